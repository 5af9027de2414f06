#include "views/CommonViewFrm.h"

#include "common/CatalogueModule.h"
#include "common/ConstsUnit.h"
#include "common/DialogsUnit.h"
#include "common/DrawnIcons.h"
#include "common/Hourglass.h"
#include "common/TextUnit.h"
#include "common/UtilsUnit.h"
#include "gridtools/DBGridFilterDlg.h"
#include "gridtools/EditDBGridDlg.h"
#include "gridtools/ExDBGrid.h"
#include "gridtools/FilterTemplatesUnit.h"
#include "gridtools/FindDBGridCell.h"
#include "gridtools/GridSort.h"
#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"
#include "reports/ReportWriter.h"
#include "views/GridSelectedCell.h"
#include "views/QuickFilterUnit.h"
#include "views/SavedFiltersMenu.h"
#include "views/ViewCommand.h"
#include "views/ViewFindBar.h"
#include "views/ViewPlacement.h"
#include "views/ViewQuery.h"
#include "views/ViewReportCommand.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScopedValueRollback>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QUuid>
#include <QVBoxLayout>

namespace {
const QString kTitleSeparator = QStringLiteral(" - ");
}  // namespace

TCommonViewForm::TCommonViewForm(TCatalogueModule& module, QWidget* parent)
    : TExForm(parent),
      m_module(module),
      m_dataSet(new TDataSet(this)),
      m_grid(new TExDBGrid(this)),
      m_findBox(new TFindDBGridCell(this)),
      m_query(new TViewQuery(*m_dataSet, *m_grid, this)) {
    setWindowFlags(Qt::Window);
    setProperty(MergeMenusProperty, true);
    setMinimumSize(545, 192);
    m_dataSet->setObjectName(QStringLiteral("adsCommon"));
    m_dataSet->SetConnection(&module.ADOConnection);
    m_grid->setObjectName(QStringLiteral("CommonExDBGrid"));
    m_findBox->setObjectName(QStringLiteral("ViewFindDBGridCell"));
    m_findBox->SetDBGrid(m_grid);
    m_findBox->setToolTip(tr("Поиск текста в выбранном столбце"));
    m_findBox->installEventFilter(this);
    connect(&module.ADOConnection, &TConnection::ChangedElsewhere, this, [this]() {
        // A dialog open over the view may be working on its current record; the view
        // catches up when the user comes back to it.
        if (!QApplication::activeModalWidget()) {
            Guarded([this]() { RefreshIfChangedElsewhere(); });
        }
    });
    connect(&module.ADOConnection, &TConnection::LinkChanged, this, [this]() { UpdateCaption(); });
    connect(&module, &TCatalogueModule::RecordsRewritten, this, [this]() {
        Guarded([this]() {
            if (m_dataSet->Active()) {
                actDataSetRequeryExecute();
            }
        });
    });
    connect(m_query, &TViewQuery::Reread, this, &TCommonViewForm::UpdateCaption);

    m_grid->SetDataSet(m_dataSet);
    m_grid->SetDragReorder(true);
    m_grid->SetImages(MakeSortMarkImages());
    // A million rows are painted from their first screen on; the count comes with the last.
    m_dataSet->SetFetchInSlices(true);
    createActions();
    m_placement =
        std::make_unique<TViewPlacement>(*this, *m_dataSet, *m_grid, *m_query, *m_findBar);
    m_report = std::make_unique<TViewReportCommand>(*this, *m_dataSet);
    connectHooks();
    createMenus();
    createLayout();
    connect(m_grid, &TExDBGrid::DblClick, actDataSetEdit, &QAction::trigger);
    resize(760, 480);
}

// The grid's and the dataset's hooks, in one place.
void TCommonViewForm::connectHooks() {
    connect(m_grid, &TExDBGrid::titleImageWanted, this,
            [this](int column, int& image) { image = CommonExDBGridGetImageIndex(column); });
    connect(m_grid, &TExDBGrid::titleClicked, this,
            [this](int column) { ToggleColumnSort(*m_grid, column); });
    m_dataSet->AfterOpen = [this](TDataSet&) { UpdateCaption(); };
    m_dataSet->AfterFetch = [this](TDataSet&) { UpdateCaption(); };
    m_dataSet->OnFetchError = [](TDataSet&, const std::exception& e) { ShowException(e); };
    m_dataSet->AfterClose = [this](TDataSet&) { setWindowTitle(ViewTitle()); };
    m_dataSet->BeforeDelete = [this](TDataSet&) { adsCommonBeforeDelete(); };
}

TCommonViewForm::~TCommonViewForm() {
    m_placement->WindowDestroying();
    m_grid->SetDataSet(nullptr);
}

QAction* TCommonViewForm::makeAction(const char* name, const QString& caption, const QString& hint,
                                     const std::function<void()>& handler) {
    return MakeViewCommand(this, name, caption, hint, handler);
}

void TCommonViewForm::createActions() {
    const auto icon = [this](const char* theme, QStyle::StandardPixmap fallback) {
        return QIcon::fromTheme(QLatin1String(theme), style()->standardIcon(fallback));
    };
    actDataSetFirst = makeAction("actDataSetFirst", QStringLiteral("&First"), tr("Первая запись"),
                                 [this]() { m_dataSet->First(); });
    actDataSetFirst->setIcon(icon("go-first", QStyle::SP_MediaSkipBackward));
    actDataSetPrior = makeAction("actDataSetPrior", QStringLiteral("&Prior"),
                                 tr("Предыдущая запись"), [this]() { m_dataSet->Prior(); });
    actDataSetPrior->setIcon(icon("go-previous", QStyle::SP_ArrowBack));
    actDataSetNext = makeAction("actDataSetNext", QStringLiteral("&Next"), tr("Следующая запись"),
                                [this]() { m_dataSet->Next(); });
    actDataSetNext->setIcon(icon("go-next", QStyle::SP_ArrowForward));
    actDataSetLast = makeAction("actDataSetLast", QStringLiteral("&Last"), tr("Последняя запись"),
                                [this]() { m_dataSet->Last(); });
    actDataSetLast->setIcon(icon("go-last", QStyle::SP_MediaSkipForward));
    actDataSetInsert = makeAction("actDataSetInsert", tr("Добавить запись..."),
                                  tr("Добавить запись"), [this]() { m_dataSet->Insert(); });
    actDataSetInsert->setShortcut(QKeySequence(Qt::Key_Insert));
    actDataSetInsert->setIcon(icon("list-add", QStyle::SP_FileDialogNewFolder));
    actDataSetEdit = makeAction("actDataSetEdit", QStringLiteral("&Edit"),
                                tr("Редактировать запись"), [this]() { m_dataSet->Edit(); });
    actDataSetEdit->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    actDataSetEdit->setIcon(icon("document-edit", QStyle::SP_FileDialogDetailedView));
    actDataSetDelete = makeAction("actDataSetDelete", tr("Удалить запись"), tr("Удалить запись"),
                                  [this]() { m_dataSet->Delete(); });
    actDataSetDelete->setShortcut(QKeySequence(Qt::Key_Delete));
    actDataSetDelete->setIcon(icon("list-remove", QStyle::SP_TrashIcon));
    actDataSetRequery = makeAction("actDataSetRequery", tr("Обновить"), tr("Обновить данные"),
                                   [this]() { actDataSetRequeryExecute(); });
    actDataSetRequery->setIcon(icon("view-refresh", QStyle::SP_BrowserReload));
    actDuplicateRecord =
        makeAction("actDuplicateRecord", tr("Дублировать запись"), tr("Дублировать запись"),
                   [this]() { actDuplicateRecordExecute(); });
    actDuplicateRecord->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    actSortAsc = makeAction("actSortAsc", tr("Сортировать по возрастанию"),
                            tr("Сортировать по возрастанию"), [this]() { actSortExecute(0); });
    actSortAsc->setData(0);
    actSortAsc->setIcon(ThemeOrDrawnIcon("view-sort-ascending", TDrawnIcon::SortAscending));
    actSortDesc = makeAction("actSortDesc", tr("Сортировать по убыванию"),
                             tr("Сортировать по убыванию"), [this]() { actSortExecute(1); });
    actSortDesc->setData(1);
    actSortDesc->setIcon(ThemeOrDrawnIcon("view-sort-descending", TDrawnIcon::SortDescending));
    actSort = makeAction("actSort", tr("Расширенная сортировка..."), tr("Расширенная сортировка"),
                         [this]() { actSortExecute(2); });
    actSort->setData(2);
    actHideColumn = makeAction("actHideColumn", tr("Скрыть колонку"), tr("Скрыть колонку"),
                               [this]() { actColumnsExecute(0); });
    actHideColumn->setData(0);
    actSetupColumns = makeAction("actSetupColumns", tr("Настройка колонок..."),
                                 tr("Настройка колонок"), [this]() { actColumnsExecute(1); });
    actSetupColumns->setData(1);
    actFilterBySelection =
        makeAction("actFilterBySelection", tr("Фильтровать выделенное"),
                   tr("Фильтровать выделенное"), [this]() { actFilterBySelectionExecute(); });
    actFilterBySelection->setIcon(icon("view-filter", QStyle::SP_FileDialogContentsView));
    actFilterExcludeSelection =
        makeAction("actFilterExcludeSelection", tr("Исключить выделенное"),
                   tr("Исключить выделенное"), [this]() { actFilterExcludeSelectionExecute(); });
    actFilterByForm = makeAction("actFilterByForm", tr("Расширенный фильтр"),
                                 tr("Расширенный фильтр"), [this]() { actFilterByFormExecute(); });
    actFilterByForm->setIcon(icon("edit-find", QStyle::SP_FileDialogInfoView));
    actRemoveFilter = makeAction("actRemoveFilter", tr("Отменить фильтр"), tr("Отменить фильтр"),
                                 [this]() { actRemoveFilterExecute(); });
    actApplyFilter = makeAction("actApplyFilter", tr("Применить фильтр"), tr("Применить фильтр"),
                                [this]() { actApplyFilterExecute(); });
    actApplyFilter->setCheckable(true);
    actApplyFilter->setIcon(icon("view-filter", QStyle::SP_DialogApplyButton));
    actSaveCurrentFilter =
        makeAction("actSaveCurrentFilter", tr("Сохранить текущий фильтр"),
                   tr("Сохранить текущий фильтр"), [this]() { actSaveCurrentFilterExecute(); });
    actShowReport = makeAction("actShowReport", tr("Отчёт..."), tr("Отчёт"),
                               [this]() { actShowReportExecute(); });
    actShowReport->setIcon(icon("document-print-preview", QStyle::SP_FileDialogContentsView));
    actShowReport->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    m_findBar = std::make_unique<TViewFindBar>(this, *m_findBox);
}

QString TCommonViewForm::RecordName() const {
    return QString();
}

// A menu item of its own wording for a command: triggers it and follows its state.
QAction* TCommonViewForm::menuItem(QAction* command, const QString& text, const char* name) {
    auto* item = new QAction(command->icon(), text, this);
    item->setObjectName(QLatin1String(name));
    item->setEnabled(command->isEnabled());
    connect(item, &QAction::triggered, command, &QAction::trigger);
    connect(command, &QAction::changed, item,
            [item, command]() { item->setEnabled(command->isEnabled()); });
    return item;
}

void TCommonViewForm::createMenus() {
    m_popupMenu = new QMenu(this);
    m_popupMenu->setObjectName(QStringLiteral("CommonPopupMenu"));
    m_popupMenu->addActions({actDataSetInsert,
                             menuItem(actDataSetEdit, tr("Изменить..."), "miEditRecord"),
                             menuItem(actDuplicateRecord, tr("Дублировать"), "miDuplicateRecord"),
                             menuItem(actDataSetDelete, tr("Удалить"), "miDeleteRecord")});
    m_popupCommandsEnd = m_popupMenu->addSeparator();
    m_popupMenu->addActions(
        {actFilterBySelection, actFilterExcludeSelection, actFilterByForm, actRemoveFilter});
    m_popupMenu->addSeparator();
    m_popupMenu->addActions({actSortAsc, actSortDesc, actSort});
    m_popupMenu->addSeparator();
    m_popupMenu->addActions({actHideColumn, actSetupColumns});
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_grid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { m_popupMenu->popup(m_grid->viewport()->mapToGlobal(p)); });

    m_savedFilters = new TSavedFiltersMenu(this, actSaveCurrentFilter);
    connect(m_savedFilters->Menu(), &QMenu::aboutToShow, this,
            GuardedSlot(this, &TCommonViewForm::FiltersPopupMenuPopup));
    connect(m_savedFilters, &TSavedFiltersMenu::Chosen, this,
            [this](int index) { Guarded([this, index]() { ApplySavedFilter(index); }); });

    // The view's own bar is never shown: its menus join the main window's bar.
    auto* bar = new QMenuBar(this);
    bar->setObjectName(QStringLiteral("MainMenu1"));
    bar->setVisible(false);
    m_fileMenu = bar->addMenu(tr("Файл"));
    m_fileMenu->setObjectName(QStringLiteral("mnuViewFile"));
    m_fileMenu->setProperty(GroupIndexProperty, 0);
    m_fileMenu->addAction(actShowReport);
    m_fileMenu->addSeparator();
    QMenu* records = bar->addMenu(tr("Записи"));
    records->setObjectName(QStringLiteral("mnuRecords"));
    records->setProperty(GroupIndexProperty, 2);
    QMenu* filter = records->addMenu(tr("Фильтр"));
    filter->addActions({actFilterBySelection, actFilterExcludeSelection, actFilterByForm});
    m_filterMenu = filter;
    // The saved filters, as in the toolbar's drop-down.
    filter->addSeparator();
    m_savedFilters->Menu()->setTitle(tr("Сохранённые фильтры"));
    filter->addMenu(m_savedFilters->Menu());
    QMenu* sort = records->addMenu(tr("Сортировка"));
    sort->addActions({actSortAsc, actSortDesc, actSort});
    records->addAction(actRemoveFilter);
    records->addSeparator();
    records->addAction(actDuplicateRecord);
    m_recordCommandsEnd = records->addSeparator();
    records->addAction(actDataSetRequery);
    m_recordsMenu = records;
}

void TCommonViewForm::createLayout() {
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("MainControlBar"));
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(0, 0, 0, 0);
    barLayout->setSpacing(0);

    auto* view = new QToolBar(bar);
    view->setObjectName(QStringLiteral("ViewToolBar"));
    view->setIconSize(QSize(16, 16));
    view->addActions({actDataSetFirst, actDataSetPrior, actDataSetNext, actDataSetLast});
    view->addSeparator();
    view->addActions({actDataSetInsert, actDataSetEdit, actDataSetDelete, actDataSetRequery});
    view->addSeparator();
    auto* label = new QLabel(tr("&Поиск: "), view);
    label->setBuddy(m_findBox);
    view->addWidget(label);
    m_findBox->setMinimumWidth(160);
    view->addWidget(m_findBox);
    m_findBar->AddControls(view);

    auto* sortBar = new QToolBar(bar);
    sortBar->setObjectName(QStringLiteral("SortToolBar"));
    sortBar->setIconSize(QSize(16, 16));
    sortBar->addActions({actSortAsc, actSortDesc});
    sortBar->addSeparator();
    sortBar->addAction(actFilterBySelection);
    auto* filters = new QToolButton(sortBar);
    filters->setObjectName(QStringLiteral("FiltersButton"));
    filters->setDefaultAction(actFilterByForm);
    filters->setMenu(m_savedFilters->Menu());
    filters->setPopupMode(QToolButton::MenuButtonPopup);
    sortBar->addWidget(filters);
    sortBar->addAction(actApplyFilter);

    barLayout->addWidget(view);
    barLayout->addWidget(sortBar);
    barLayout->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_grid, 1);
}

void TCommonViewForm::SetExitAction(QAction* exit) {
    if (m_exitAction) {
        m_fileMenu->removeAction(m_exitAction);
    }
    m_exitAction = exit;
    if (exit) {
        m_fileMenu->addAction(exit);
    }
}

void TCommonViewForm::AddRecordCommand(QAction* command) {
    m_recordsMenu->insertAction(m_recordCommandsEnd, command);
    m_popupMenu->insertAction(m_popupCommandsEnd, command);
}

void TCommonViewForm::AddFileCommand(QAction* command) {
    // "Отчёт...", separator, the commands in the order added, separator, exit.
    if (!m_commandsEnd) {
        m_fileMenu->insertAction(m_exitAction, command);
        m_commandsEnd = m_fileMenu->insertSeparator(m_exitAction);
        return;
    }
    m_fileMenu->insertAction(m_commandsEnd, command);
}

void TCommonViewForm::FormCreate() {
    // The section is the view's class; taken now, while the derived class is alive.
    m_placement->SetSection(QString::fromLatin1(metaObject()->className()));
    RebuildFiltersMenu();
    m_query->KeepDesign();
}

void TCommonViewForm::SetBaseSQL(const QString& sql) {
    m_query->SetBaseSQL(sql);
}

void TCommonViewForm::SetKeyFieldName(const QString& name) {
    m_query->SetKeyFieldName(name);
}

const QString& TCommonViewForm::KeyFieldName() const {
    return m_query->KeyFieldName();
}

QString TCommonViewForm::FilterText() const {
    return m_query->FilterText();
}

void TCommonViewForm::SetFilterText(const QString& text) {
    m_query->SetFilterText(text);
}

QString TCommonViewForm::ViewKey() const {
    return m_placement->ViewKey();
}

QString TCommonViewForm::GridKey() const {
    return m_placement->GridKey();
}

QString TCommonViewForm::FiltersKey() const {
    return ViewKey() + QStringLiteral("\\Filters");
}

bool TCommonViewForm::FilterApplied() const {
    return m_query->FilterApplied();
}

QString TCommonViewForm::ComposeQuery(const QString& filter) const {
    return m_query->ComposeQuery(filter);
}

QVariant TCommonViewForm::CurrentKey() const {
    return m_query->CurrentKey();
}

void TCommonViewForm::OpenDataSet() {
    m_query->Open(GridKey());
}

void TCommonViewForm::ApplyQuery(const QString& filter, const QString& sort) {
    m_query->Apply(filter, sort);
}

void TCommonViewForm::RefreshAndLocate(const QVariant& key) {
    m_query->RefreshAndLocate(key);
}

void TCommonViewForm::RefreshChanged(const QVariantList& changed, const QVariantList& created,
                                     const QVariant& key) {
    m_query->RefreshChanged(changed, created, key);
}

void TCommonViewForm::RefreshIfChangedElsewhere() {
    // Another program's writes, shown when the user comes back to the window; an edit
    // under way is left alone (its save finds any conflict), and so is a delete, which
    // removes the record as the user confirmed it and reads the rows again after.
    m_module.RefreshCategoryListIfChanged();
    if (!m_deleting) {
        m_query->RefreshChangedElsewhere();
    }
}

QString TCommonViewForm::ViewTitle() const {
    const QString caption = windowTitle();
    const int at = caption.indexOf(kTitleSeparator);
    return at < 0 ? caption : caption.left(at);
}

void TCommonViewForm::UpdateCaption() {
    if (!m_dataSet->Active()) {
        setWindowTitle(ViewTitle());
        return;
    }
    QString caption = ViewTitle() + kTitleSeparator;
    if (m_dataSet->Fetching()) {
        caption += tr("загрузка...");
    } else {
        const int n = m_dataSet->RecordCount();
        caption +=
            QString::number(n) + QLatin1Char(' ') + PluralForm(n, tr("запись,записи,записей"));
    }
    if (FilterApplied()) {
        caption += QLatin1Char(' ') + tr("(отфильтровано)");
    }
    // Said once in the caption, not only in the tips of the commands turned off.
    if (!ReadOnlyReason().isEmpty()) {
        caption += QLatin1Char(' ') + tr("(только чтение)");
    }
    // The rows shown may be out of date until the server's session is opened again.
    if (m_dataSet->Connection() && m_dataSet->Connection()->LinkDown()) {
        caption += QLatin1Char(' ') + tr("(нет связи с сервером)");
    }
    setWindowTitle(caption);
}

void TCommonViewForm::RebuildFiltersMenu() {
    m_savedFilters->Rebuild(FiltersKey());
}

void TCommonViewForm::ApplySavedFilter(int index) {
    if (index < 0 || index >= m_savedFilters->Filters().size()) {
        return;
    }
    m_query->SetFilterText(m_savedFilters->FilterAt(index));
    ApplyQuery(FilterText(), m_dataSet->Sort());
}

void TCommonViewForm::FiltersPopupMenuPopup() {
    // The applied filter is the filter text: the query is composed from it, whatever the
    // connector or grouping behind the base query.
    m_savedFilters->MarkApplied(FilterApplied() ? FilterText() : QString());
}

void TCommonViewForm::actSaveCurrentFilterExecute() {
    QString name;
    if (!AskNewFilterName(this, m_savedFilters->Filters(), name)) {
        return;
    }
    WriteRegString(FiltersKey(), name, FilterText());
    RebuildFiltersMenu();
}

void TCommonViewForm::actApplyFilterExecute() {
    ApplyQuery(FilterApplied() ? QString() : FilterText(), m_dataSet->Sort());
}

void TCommonViewForm::actRemoveFilterExecute() {
    ApplyQuery(QString(), QString());
}

void TCommonViewForm::PrepareFilterDialog(TDBGridFilterForm&) {}

bool TCommonViewForm::RunFilterDialog() {
    TDBGridFilterForm dialog(this);
    dialog.SetFiltersKey(FiltersKey());
    dialog.SetDataSet(m_dataSet);
    PrepareFilterDialog(dialog);
    dialog.SetFilterText(FilterText());
    if (!dialog.Execute()) {
        return false;
    }
    m_query->SetFilterText(dialog.GetFilterText());
    return true;
}

void TCommonViewForm::actFilterByFormExecute() {
    if (RunFilterDialog()) {
        RebuildFiltersMenu();
        ApplyQuery(FilterText(), m_dataSet->Sort());
    }
}

void TCommonViewForm::actDataSetRequeryExecute() {
    RefreshAndLocate(CurrentKey());
    UpdateCaption();
}

void TCommonViewForm::actShowReportExecute() {
    m_report->Run();
}

const QList<TField*>& TCommonViewForm::ReportFields() const {
    return m_report->Fields();
}

QString TCommonViewForm::BuildReport() {
    return QString::fromUtf8(BuildReportPage(*m_dataSet, ReportFields(), ViewTitle()));
}

QRect TCommonViewForm::MaximizedBounds() const {
    return m_placement->MaximizedBounds();
}

QRect TCommonViewForm::FirstStartBounds() const {
    return m_placement->FirstStartBounds();
}

void TCommonViewForm::showEvent(QShowEvent* event) {
    TExForm::showEvent(event);
    m_placement->Showing();
    m_query->AllowOpening();
    Guarded([this]() { OpenDataSet(); });
}

void TCommonViewForm::changeEvent(QEvent* event) {
    TExForm::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        Guarded([this]() {
            OpenDataSet();
            RefreshIfChangedElsewhere();
        });
    } else if (event->type() == QEvent::WindowStateChange) {
        m_placement->StateChanged();
    }
}

TSelectedCell TCommonViewForm::SelectedCell() const {
    return GridSelectedCell(*m_grid);
}

QString TCommonViewForm::SelectionValue() const {
    return m_grid->SelectedField() ? QuickFilterValue(SelectedCell()) : QString();
}

QString TCommonViewForm::FilterBySelectionCondition() const {
    return m_grid->SelectedField() ? ::FilterBySelectionCondition(SelectedCell()) : QString();
}

QString TCommonViewForm::ExcludeSelectionCondition() const {
    return m_grid->SelectedField() ? ::ExcludeSelectionCondition(SelectedCell()) : QString();
}

void TCommonViewForm::addQuickFilter(const QString& condition, bool skipRepeat) {
    if (condition.isEmpty()) {
        return;
    }
    const TFilterExpression applied(FilterApplied() ? FilterText() : QString());
    if (skipRepeat && applied.Requires(condition)) {
        return;
    }
    m_query->SetFilterText(applied.NarrowedBy(condition));
    ApplyQuery(FilterText(), m_dataSet->Sort());
}

void TCommonViewForm::actFilterBySelectionExecute() {
    addQuickFilter(FilterBySelectionCondition(), true);
}

void TCommonViewForm::AddFilterMenu(QMenu* menu) {
    m_popupMenu->insertMenu(actFilterByForm, menu);
    m_filterMenu->insertMenu(actFilterByForm, menu);
}

void TCommonViewForm::AddLeadingPopupCommand(QAction* command) {
    QAction* first = m_popupMenu->actions().value(0);
    m_popupMenu->insertAction(first, command);
    m_popupMenu->insertSeparator(first);
}

void TCommonViewForm::actFilterExcludeSelectionExecute() {
    addQuickFilter(ExcludeSelectionCondition(), false);
}

void TCommonViewForm::actSortExecute(int tag) {
    TField* field = tag == 2 ? nullptr : m_grid->SelectedField();
    if (tag != 2 && !field) {
        return;
    }
    m_grid->CloseInplaceEditor();
    SortDataSet(*m_dataSet, field, m_grid, tag == 0);
}

void TCommonViewForm::actColumnsExecute(int tag) {
    if (tag == 1) {
        EditGridColumns(*m_grid);
        return;
    }
    const int column = m_grid->SelectedIndex();
    if (column < 0) {
        return;
    }
    m_grid->SetColumnVisible(column, false);
    // Move the selection off the hidden column: right, or left when nothing is there.
    const QVector<int> order = m_grid->ColumnOrder();
    const int at = order.indexOf(column);
    int target = -1;
    for (int i = at + 1; i < order.size() && target < 0; ++i) {
        if (m_grid->ColumnVisible(order[i])) {
            target = order[i];
        }
    }
    for (int i = at - 1; i >= 0 && target < 0; --i) {
        if (m_grid->ColumnVisible(order[i])) {
            target = order[i];
        }
    }
    if (target >= 0) {
        m_grid->SetSelectedIndex(target);
    }
}

int TCommonViewForm::CommonExDBGridGetImageIndex(int column) const {
    const TField* f = m_grid->ColumnField(column);
    if (!f) {
        return -1;
    }
    // Each column of a sort on several shows its place in it.
    const QStringList terms = m_dataSet->Sort().split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (int i = 0; i < terms.size(); ++i) {
        const QString term = terms[i].trimmed();
        if (term.section(QLatin1Char(' '), 0, 0) == f->FieldName) {
            return SortMarkIndex(i + 1, term.contains(QLatin1String("DESC"), Qt::CaseInsensitive));
        }
    }
    return -1;
}

void TCommonViewForm::adsCommonBeforeDelete() {
    // The record is named, and "Нет" is the default: Enter alone deletes nothing.
    const QScopedValueRollback<bool> deleting(m_deleting, true);
    QString text = tr("Вы действительно хотите удалить данную запись?");
    const QString name = RecordName();
    if (!name.isEmpty()) {
        text += QStringLiteral("\n\n") + name;
    }
    if (!ConfirmYesNo(text, this, QMessageBox::No)) {
        Abort();
    }
    DeleteCurrentRecord();
    // The row goes away through the re-query, never through the dataset itself.
    Abort();
}

void TCommonViewForm::DeleteCurrentRecord() {
    QCoreApplication::processEvents();
    const QVariant key = CurrentKey();
    try {
        TTransaction transaction(m_module.ADOConnection);
        {
            TDataSet::TControlsGuard controls(*m_dataSet);
            // The user confirmed the record as the grid shows it: one another user has
            // changed or deleted since is left alone.
            m_dataSet->DeleteInCatalogue();
            DeleteRecord(key);
        }
        transaction.Commit();
    } catch (const EConflictError&) {
        // The grid shows what there is now, for the user to decide again beside the message.
        RefreshChanged({key}, {}, key);
        throw;
    }
}

void TCommonViewForm::DeleteRecord(const QVariant& key) {
    // The neighbour that stays: the next row, or the previous one after the last.
    QVariant neighbour;
    if (m_dataSet->RecNo() < m_dataSet->RecordCount()) {
        m_dataSet->Next();
        neighbour = CurrentKey();
    } else if (m_dataSet->RecNo() > 1) {
        m_dataSet->Prior();
        neighbour = CurrentKey();
    }
    RefreshChanged({key}, {}, neighbour);
}

void TCommonViewForm::CopyRecord(const QVariant&, QVariant& newKey) {
    newKey = QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
}

void TCommonViewForm::actDuplicateRecordExecute() {
    THourglass hourglass;
    QVariant newKey;
    // A copy broken off by the server's deadlock breaker is made again, with a key of its own.
    RunTransaction(m_module.ADOConnection, [this, &newKey]() { CopyRecord(CurrentKey(), newKey); });
    RefreshChanged({}, {newKey}, newKey);
}

void TCommonViewForm::IdleUpdate() {
    const bool open = m_dataSet->Active();
    const bool modifiable = m_dataSet->CanModify();
    const bool editing =
        m_dataSet->State() == TDataSetState::Edit || m_dataSet->State() == TDataSetState::Insert;
    const bool empty = !open || m_dataSet->IsEmpty();
    actDataSetFirst->setEnabled(open && !m_dataSet->Bof());
    actDataSetPrior->setEnabled(open && !m_dataSet->Bof());
    actDataSetNext->setEnabled(open && !m_dataSet->Eof());
    actDataSetLast->setEnabled(open && !m_dataSet->Eof());
    // Commands that write are off, with the reason as their tip, where the user may only
    // read: better than each one failing at the server.
    const QString readOnly = ReadOnlyReason();
    const bool writable = modifiable && readOnly.isEmpty();
    EnableWriting(actDataSetInsert, writable, readOnly);
    EnableWriting(actDataSetEdit, writable && !editing, readOnly);
    EnableWriting(actDataSetDelete, writable && !empty, readOnly);
    actDataSetRequery->setEnabled(modifiable);
    EnableWriting(actDuplicateRecord, writable && !empty, readOnly);
    actSortAsc->setEnabled(open);
    actSortDesc->setEnabled(open);
    actSort->setEnabled(true);
    const int column = m_grid->SelectedIndex();
    actHideColumn->setEnabled(column >= 0 && m_grid->ColumnVisible(column));
    actSetupColumns->setEnabled(true);
    actFilterBySelection->setEnabled(open && !empty);
    actFilterExcludeSelection->setEnabled(open && !empty);
    actFilterByForm->setEnabled(true);
    actApplyFilter->setEnabled(!FilterText().isEmpty());
    actApplyFilter->setChecked(FilterApplied());
    actSaveCurrentFilter->setEnabled(!FilterText().isEmpty());
}

QString TCommonViewForm::ReadOnlyReason() const {
    return QString();
}

void TCommonViewForm::EnableWriting(QAction* action, bool enabled, const QString& readOnly) {
    action->setEnabled(enabled);
    action->setToolTip(readOnly.isEmpty() ? action->statusTip() : readOnly);
}

void TCommonViewForm::closeEvent(QCloseEvent* event) {
    TExForm::closeEvent(event);
    if (event->isAccepted()) {
        m_placement->Save();
    }
}

void TCommonViewForm::keyPressEvent(QKeyEvent* event) {
    // Escape would reject the dialog base; a view closes only when asked to.
    if (event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    TExForm::keyPressEvent(event);
}

bool TCommonViewForm::eventFilter(QObject* watched, QEvent* event) {
    // In the search box the Delete key edits the text, it deletes no record.
    if (watched == m_findBox && event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        event->accept();
        return false;
    }
    return TExForm::eventFilter(watched, event);
}
