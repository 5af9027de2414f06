#pragma once

#include "common/ExForm.h"
#include "common/UtilsUnit.h"
#include "gridtools/FilterTemplatesUnit.h"

#include <QHash>
#include <QStringList>

#include <memory>

namespace Ui {
class TDBGridFilterForm;
}
class QTreeWidgetItem;
class TDataSet;
class TField;

// Asks for the name of a filter to save until it is not empty and no saved filter has it
// (letter case aside); false when the user cancels.
bool AskNewFilterName(QWidget* parent, const TValuesList& saved, QString& name);

// The advanced filter: criteria (field, condition, value) joined by "или"/"и" become a
// filter text and are read back from one; filters are saved, loaded, renamed and deleted
// by name, reaching the settings only when the dialog is closed with "Применить".
class TDBGridFilterForm final : public TExForm {
    Q_OBJECT
public:
    explicit TDBGridFilterForm(QWidget* parent = nullptr);
    ~TDBGridFilterForm() override;

    // The dataset whose fields the criteria name, and where its filters are saved.
    void SetDataSet(TDataSet* dataSet) { m_dataSet = dataSet; }
    void SetFiltersKey(const QString& key) { m_filtersKey = key; }
    // The saved filters as "name=filter text", changed here until "Применить" stores them.
    const TValuesList& StoredFilters() const { return m_storedFilters; }

    // Items are separated by CR LF; a free list only suggests, a fixed one is the choice.
    // A field keeps the first list it is given.
    void AddValueList(const QString& fieldName, const QString& items, bool freeList);
    void SetFilterText(const QString& text);
    QString GetFilterText() const;
    bool Execute();

    // The steps of Execute and the handlers, callable from tests.
    void Prepare();
    void OkButtonClick();
    void FieldComboBoxChange();
    void ConditionComboBoxChange();
    void ValueEditChange();
    void BooleanComboBoxChange();
    void AddButtonClick();
    void RemoveButtonClick();
    void ClearButtonClick();
    void StoreQueryButtonClick();
    void LoadQueryButtonClick();
    void RenameQueryButtonClick();
    void RemoveQueryButtonClick();
    void StoredQueriesListViewEdited(int row, const QString& newName);
    // Asks about a criterion that was typed but not added; false when the user cancels.
    bool ConfirmPendingCriterion(bool pageSwitch);

    int RowCount() const;
    QStringList RowTexts(int row) const;  // connector, field, condition, value

protected:
    void IdleUpdate() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TValueList {
        QStringList items;
        bool freeList = false;
    };
    const TValueList* valueListOf(const TField* field) const;
    TValueLists templateLists() const;
    TField* chosenField() const;
    QString chosenTemplate() const;
    QString connectorCaption(const QString& word) const;
    void addRow(const QString& connector, TField* field, const QString& condition,
                const QString& value);
    void resetEditor();
    void showValueList(bool show);
    void fillStoredList();
    void pageChanged(int index);

    std::unique_ptr<Ui::TDBGridFilterForm> ui;
    TDataSet* m_dataSet = nullptr;
    QString m_filtersKey;
    TValuesList m_storedFilters;
    // A criterion just taken out of the list back into the editor is not asked about.
    bool m_justRemoved = false;
    QHash<QString, TValueList> m_valueLists;
    int m_page = 0;
    bool m_switching = false;
    bool m_editingName = false;
};
