#pragma once

#include "common/ExForm.h"

#include <QVariant>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class TDataSet;
class TDBGridFilterForm;
class TExDBGrid;
class TField;
class TFindDBGridCell;
class TCatalogueModule;
class TSavedFiltersMenu;
class TViewFindBar;
class TViewPlacement;
class TViewQuery;
class TViewReportCommand;
struct TSelectedCell;

// The window that shows one query in a grid: navigation, search, refresh, quick and saved
// filters, sorting, deleting and duplicating through hooks of the derived view, the record
// count in the caption, and its sort, filter and column layout kept between runs.
class TCommonViewForm : public TExForm {
    Q_OBJECT
public:
    explicit TCommonViewForm(TCatalogueModule& module, QWidget* parent = nullptr);
    ~TCommonViewForm() override;

    // The view's query and its key field, set by the derived view before FormCreate.
    void SetBaseSQL(const QString& sql);
    void SetKeyFieldName(const QString& name);
    const QString& KeyFieldName() const;
    // The filter the user composed, applied or not.
    QString FilterText() const;
    void SetFilterText(const QString& text);

    // The base creation steps; the derived view calls this after setting BaseSQL.
    void FormCreate();
    // The main window's exit command, last item of the "Файл" menu.
    void SetExitAction(QAction* exit);
    // A command of the derived view in the "Файл" menu, after the report, with a separator.
    void AddFileCommand(QAction* command);
    // A command of the derived view on its records: in the "Записи" menu before the
    // refresh, and in the grid's context menu after the record commands.
    void AddRecordCommand(QAction* command);

    QString ViewKey() const;
    QString GridKey() const;
    QString FiltersKey() const;
    bool FilterApplied() const;
    QString ComposeQuery(const QString& filter) const;

    void OpenDataSet();
    void ApplyQuery(const QString& filter, const QString& sort);
    void RefreshAndLocate(const QVariant& key);
    // Re-reads the view, keeping its current record where it is in the window, when another
    // program has changed the catalogue since it was read.
    void RefreshIfChangedElsewhere();
    // After a record command: the records of the changed keys and of the keys it created
    // are read again (the rest of the view stays as it is) when that gives what a new
    // reading gives; otherwise the whole query runs again. Then key becomes current.
    void RefreshChanged(const QVariantList& changed, const QVariantList& created,
                        const QVariant& key);
    QString ViewTitle() const;
    void UpdateCaption();
    void RebuildFiltersMenu();
    void FiltersPopupMenuPopup();
    QVariant CurrentKey() const;

    // Quick filters from the selected cell.
    TSelectedCell SelectedCell() const;
    QString SelectionValue() const;
    QString FilterBySelectionCondition() const;
    QString ExcludeSelectionCondition() const;
    void actFilterBySelectionExecute();
    void actFilterExcludeSelectionExecute();

    void actSortExecute(int tag);
    void actColumnsExecute(int tag);
    void actApplyFilterExecute();
    void actRemoveFilterExecute();
    void actFilterByFormExecute();
    void actSaveCurrentFilterExecute();
    void actDataSetRequeryExecute();
    void actDuplicateRecordExecute();
    void ApplySavedFilter(int index);

    // Where a maximised view goes: the work area below the main window, its side and
    // bottom borders just outside the screen.
    QRect MaximizedBounds() const;
    // Where a view that was never placed opens: the work area below the main bar.
    QRect FirstStartBounds() const;

    // The report command: field selection, the page, the preview.
    void actShowReportExecute();
    // The fields ticked for the report being built.
    const QList<TField*>& ReportFields() const;
    // The whole report page for ReportFields.
    virtual QString BuildReport();

protected:
    // The current record in words for the delete confirmation; empty names none.
    virtual QString RecordName() const;
    virtual void DeleteCurrentRecord();
    // After the current record, of this key, is deleted in the catalogue: what else the
    // view deletes with it, and the grid's reading again.
    virtual void DeleteRecord(const QVariant& key);
    virtual void CopyRecord(const QVariant& key, QVariant& newKey);
    // Registers value lists with the filter dialog; nothing in the base.
    virtual void PrepareFilterDialog(TDBGridFilterForm& dialog);

    void IdleUpdate() override;
    // Why the user may not change this view's records (empty: they may).
    virtual QString ReadOnlyReason() const;
    // A command that writes: enabled or not; where the user may only read, its tip says why.
    static void EnableWriting(QAction* action, bool enabled, const QString& readOnly);
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Narrows the filter by the condition, as the quick filter commands do.
    void addQuickFilter(const QString& condition, bool skipRepeat);
    // A quick filter menu of the view's own, beside the others in the grid's menu and in
    // "Фильтр".
    void AddFilterMenu(QMenu* menu);
    // A command of the derived view at the head of the grid's context menu, with a
    // separator after it.
    void AddLeadingPopupCommand(QAction* command);

    // The records shown and the grid showing them, for the derived view.
    TDataSet& DataSet() const { return *m_dataSet; }
    TExDBGrid& Grid() const { return *m_grid; }

    TCatalogueModule& m_module;

private:
    QAction* menuItem(QAction* command, const QString& text, const char* name);
    void createActions();
    void createMenus();
    void createLayout();
    void connectHooks();
    QAction* makeAction(const char* name, const QString& caption, const QString& hint,
                        const std::function<void()>& handler);
    void adsCommonBeforeDelete();
    int CommonExDBGridGetImageIndex(int column) const;
    // The advanced filter dialog on this view; true when it was closed with "Применить".
    bool RunFilterDialog();

    TDataSet* m_dataSet;
    TExDBGrid* m_grid;
    TFindDBGridCell* m_findBox;
    TViewQuery* m_query;
    std::unique_ptr<TViewFindBar> m_findBar;
    std::unique_ptr<TViewPlacement> m_placement;
    std::unique_ptr<TViewReportCommand> m_report;
    TSavedFiltersMenu* m_savedFilters = nullptr;
    QMenu* m_popupMenu = nullptr;

    QAction* actDataSetFirst = nullptr;
    QAction* actDataSetPrior = nullptr;
    QAction* actDataSetNext = nullptr;
    QAction* actDataSetLast = nullptr;
    QAction* actDataSetInsert = nullptr;
    QAction* actDataSetEdit = nullptr;
    QAction* actDataSetDelete = nullptr;
    QAction* actDataSetRequery = nullptr;
    QAction* actDuplicateRecord = nullptr;
    QAction* actSortAsc = nullptr;
    QAction* actSortDesc = nullptr;
    QAction* actSort = nullptr;
    QAction* actHideColumn = nullptr;
    QAction* actSetupColumns = nullptr;
    QAction* actFilterBySelection = nullptr;
    QAction* actFilterExcludeSelection = nullptr;
    QAction* actFilterByForm = nullptr;
    QAction* actRemoveFilter = nullptr;
    QAction* actApplyFilter = nullptr;
    QAction* actSaveCurrentFilter = nullptr;
    QAction* actShowReport = nullptr;

    QAction* m_exitAction = nullptr;
    QMenu* m_fileMenu = nullptr;
    QMenu* m_filterMenu = nullptr;
    QAction* m_commandsEnd = nullptr;
    QMenu* m_recordsMenu = nullptr;
    QAction* m_recordCommandsEnd = nullptr;
    QAction* m_popupCommandsEnd = nullptr;
    bool m_deleting = false;  // from the question to the delete of the record it named
};
