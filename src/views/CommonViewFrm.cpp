#include "views/CommonViewFrm.h"

#include "common/CatalogueModule.h"
#include "common/ConstsUnit.h"
#include "common/DialogsUnit.h"
#include "common/DrawnIcons.h"
#include "common/Hourglass.h"
#include "common/TextUnit.h"
#include "gridtools/DBGridFilterDlg.h"
#include "gridtools/EditDBGridDlg.h"
#include "gridtools/ExDBGrid.h"
#include "gridtools/FilterTemplatesUnit.h"
#include "gridtools/FindDBGridCell.h"
#include "gridtools/GridSort.h"
#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"
#include "platform/registry/Registry.h"
#include "settings/Placemnt.h"
#include "views/QuickFilterUnit.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
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
      adsCommon(new TDataSet(this)),
      CommonExDBGrid(new TExDBGrid(this)),
      ViewFindDBGridCell(new TFindDBGridCell(this)),
      FormPlacement(new TFormPlacement(this)),
      m_module(module) {
    setWindowFlags(Qt::Window);
    setProperty(MergeMenusProperty, true);
    setMinimumSize(545, 192);
    adsCommon->setObjectName(QStringLiteral("adsCommon"));
    adsCommon->SetConnection(&module.ADOConnection);
    CommonExDBGrid->setObjectName(QStringLiteral("CommonExDBGrid"));
    ViewFindDBGridCell->setObjectName(QStringLiteral("ViewFindDBGridCell"));
    ViewFindDBGridCell->SetDBGrid(CommonExDBGrid);
    ViewFindDBGridCell->setToolTip(tr("Поиск текста в выбранном столбце"));
    ViewFindDBGridCell->installEventFilter(this);
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
            if (adsCommon->Active()) {
                actDataSetRequeryExecute();
            }
        });
    });

    CommonExDBGrid->SetDataSet(adsCommon);
    CommonExDBGrid->SetDragReorder(true);
    CommonExDBGrid->SetImages(MakeSortMarkImages());
    connect(CommonExDBGrid, &TExDBGrid::titleImageWanted, this,
            [this](int column, int& image) { image = CommonExDBGridGetImageIndex(column); });
    connect(CommonExDBGrid, &TExDBGrid::titleClicked, this,
            [this](int column) { ToggleColumnSort(*CommonExDBGrid, column); });

    // A million rows are painted from their first screen on; the count comes with the last.
    adsCommon->SetFetchInSlices(true);
    adsCommon->AfterOpen = [this](TDataSet&) { UpdateCaption(); };
    adsCommon->AfterFetch = [this](TDataSet&) { UpdateCaption(); };
    adsCommon->OnFetchError = [](TDataSet&, const std::exception& e) { ShowException(e); };
    adsCommon->AfterClose = [this](TDataSet&) { setWindowTitle(ViewTitle()); };
    adsCommon->BeforeDelete = [this](TDataSet&) { adsCommonBeforeDelete(); };
    connect(FormPlacement, &TFormPlacement::placementSaved, this,
            [this]() { FormPlacementSavePlacement(); });
    connect(FormPlacement, &TFormPlacement::placementRestored, this,
            [this]() { FormPlacementRestorePlacement(); });

    createActions();
    createMenus();
    createLayout();
    connect(CommonExDBGrid, &TExDBGrid::DblClick, actDataSetEdit, &QAction::trigger);
    resize(760, 480);
}

TCommonViewForm::~TCommonViewForm() {
    FormPlacement->WindowDestroying();
    CommonExDBGrid->SetDataSet(nullptr);
}

QAction* TCommonViewForm::makeAction(const char* name, const QString& caption, const QString& hint,
                                     const std::function<void()>& handler) {
    auto* a = new QAction(caption, this);
    a->setObjectName(QLatin1String(name));
    a->setToolTip(hint);
    a->setStatusTip(hint);
    a->setShortcutContext(Qt::WindowShortcut);
    addAction(a);
    connect(a, &QAction::triggered, this, [handler]() { Guarded(handler); });
    return a;
}

void TCommonViewForm::createActions() {
    const auto icon = [this](const char* theme, QStyle::StandardPixmap fallback) {
        return QIcon::fromTheme(QLatin1String(theme), style()->standardIcon(fallback));
    };
    actDataSetFirst = makeAction("actDataSetFirst", QStringLiteral("&First"), tr("Первая запись"),
                                 [this]() { adsCommon->First(); });
    actDataSetFirst->setIcon(icon("go-first", QStyle::SP_MediaSkipBackward));
    actDataSetPrior = makeAction("actDataSetPrior", QStringLiteral("&Prior"),
                                 tr("Предыдущая запись"), [this]() { adsCommon->Prior(); });
    actDataSetPrior->setIcon(icon("go-previous", QStyle::SP_ArrowBack));
    actDataSetNext = makeAction("actDataSetNext", QStringLiteral("&Next"), tr("Следующая запись"),
                                [this]() { adsCommon->Next(); });
    actDataSetNext->setIcon(icon("go-next", QStyle::SP_ArrowForward));
    actDataSetLast = makeAction("actDataSetLast", QStringLiteral("&Last"), tr("Последняя запись"),
                                [this]() { adsCommon->Last(); });
    actDataSetLast->setIcon(icon("go-last", QStyle::SP_MediaSkipForward));
    actDataSetInsert = makeAction("actDataSetInsert", tr("Добавить запись..."),
                                  tr("Добавить запись"), [this]() { adsCommon->Insert(); });
    actDataSetInsert->setShortcut(QKeySequence(Qt::Key_Insert));
    actDataSetInsert->setIcon(icon("list-add", QStyle::SP_FileDialogNewFolder));
    actDataSetEdit = makeAction("actDataSetEdit", QStringLiteral("&Edit"),
                                tr("Редактировать запись"), [this]() { adsCommon->Edit(); });
    actDataSetEdit->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    actDataSetEdit->setIcon(icon("document-edit", QStyle::SP_FileDialogDetailedView));
    actDataSetDelete = makeAction("actDataSetDelete", tr("Удалить запись"), tr("Удалить запись"),
                                  [this]() { adsCommon->Delete(); });
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
    createFindActions();
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
    CommonPopupMenu = new QMenu(this);
    CommonPopupMenu->setObjectName(QStringLiteral("CommonPopupMenu"));
    CommonPopupMenu->addActions(
        {actDataSetInsert, menuItem(actDataSetEdit, tr("Изменить..."), "miEditRecord"),
         menuItem(actDuplicateRecord, tr("Дублировать"), "miDuplicateRecord"),
         menuItem(actDataSetDelete, tr("Удалить"), "miDeleteRecord")});
    m_popupCommandsEnd = CommonPopupMenu->addSeparator();
    CommonPopupMenu->addActions(
        {actFilterBySelection, actFilterExcludeSelection, actFilterByForm, actRemoveFilter});
    CommonPopupMenu->addSeparator();
    CommonPopupMenu->addActions({actSortAsc, actSortDesc, actSort});
    CommonPopupMenu->addSeparator();
    CommonPopupMenu->addActions({actHideColumn, actSetupColumns});
    CommonExDBGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(CommonExDBGrid, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        CommonPopupMenu->popup(CommonExDBGrid->viewport()->mapToGlobal(p));
    });

    FiltersPopupMenu = new QMenu(this);
    FiltersPopupMenu->setObjectName(QStringLiteral("FiltersPopupMenu"));
    FiltersPopupMenu->addAction(actSaveCurrentFilter);
    FiltersPopupMenu->addSeparator();
    m_savedFilterGroup = new QActionGroup(this);
    m_savedFilterGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    connect(FiltersPopupMenu, &QMenu::aboutToShow, this,
            GuardedSlot(this, &TCommonViewForm::FiltersPopupMenuPopup));

    // The view's own bar is never shown: its menus join the main window's bar.
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    MainMenu1->setVisible(false);
    m_fileMenu = MainMenu1->addMenu(tr("Файл"));
    m_fileMenu->setObjectName(QStringLiteral("mnuViewFile"));
    m_fileMenu->setProperty(GroupIndexProperty, 0);
    m_fileMenu->addAction(actShowReport);
    m_fileMenu->addSeparator();
    QMenu* records = MainMenu1->addMenu(tr("Записи"));
    records->setObjectName(QStringLiteral("mnuRecords"));
    records->setProperty(GroupIndexProperty, 2);
    QMenu* filter = records->addMenu(tr("Фильтр"));
    filter->addActions({actFilterBySelection, actFilterExcludeSelection, actFilterByForm});
    m_filterMenu = filter;
    // The saved filters, as in the toolbar's drop-down.
    filter->addSeparator();
    FiltersPopupMenu->setTitle(tr("Сохранённые фильтры"));
    filter->addMenu(FiltersPopupMenu);
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
    label->setBuddy(ViewFindDBGridCell);
    view->addWidget(label);
    ViewFindDBGridCell->setMinimumWidth(160);
    view->addWidget(ViewFindDBGridCell);
    addFindControls(view);

    auto* sortBar = new QToolBar(bar);
    sortBar->setObjectName(QStringLiteral("SortToolBar"));
    sortBar->setIconSize(QSize(16, 16));
    sortBar->addActions({actSortAsc, actSortDesc});
    sortBar->addSeparator();
    sortBar->addAction(actFilterBySelection);
    auto* filters = new QToolButton(sortBar);
    filters->setObjectName(QStringLiteral("FiltersButton"));
    filters->setDefaultAction(actFilterByForm);
    filters->setMenu(FiltersPopupMenu);
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
    layout->addWidget(CommonExDBGrid, 1);
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
    CommonPopupMenu->insertAction(m_popupCommandsEnd, command);
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
    FormPlacement->SetIniFileName(RegRootKey);
    // The section is the view's class; taken now, while the derived class is alive.
    FormPlacement->SetIniSection(QString::fromLatin1(metaObject()->className()));
    RebuildFiltersMenu();
    DesignSQL = BaseSQL;
}

QString TCommonViewForm::ViewKey() const {
    return FormPlacement->SectionKey();
}

QString TCommonViewForm::GridKey() const {
    return ViewKey() + QStringLiteral("\\T") + CommonExDBGrid->objectName();
}

QString TCommonViewForm::FiltersKey() const {
    return ViewKey() + QStringLiteral("\\Filters");
}

bool TCommonViewForm::FilterApplied() const {
    // Read from the query text, which outlives a dataset closed by a change of database.
    return !adsCommon->CommandText().isEmpty() && adsCommon->CommandText() != BaseSQL;
}

QString TCommonViewForm::ComposeQuery(const QString& filter) const {
    return ComposeFilteredQuery(BaseSQL, filter);
}

QVariant TCommonViewForm::CurrentKey() const {
    TField* key = adsCommon->FindField(KeyFieldName);
    if (!key || !adsCommon->Active() || adsCommon->IsEmpty()) {
        return QVariant();
    }
    return key->Value();
}

QString TCommonViewForm::ViewTitle() const {
    const QString caption = windowTitle();
    const int at = caption.indexOf(kTitleSeparator);
    return at < 0 ? caption : caption.left(at);
}

void TCommonViewForm::UpdateCaption() {
    if (!adsCommon->Active()) {
        setWindowTitle(ViewTitle());
        return;
    }
    QString caption = ViewTitle() + kTitleSeparator;
    if (adsCommon->Fetching()) {
        caption += tr("загрузка...");
    } else {
        const int n = adsCommon->RecordCount();
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
    if (adsCommon->Connection() && adsCommon->Connection()->LinkDown()) {
        caption += QLatin1Char(' ') + tr("(нет связи с сервером)");
    }
    setWindowTitle(caption);
}

void TCommonViewForm::RebuildFiltersMenu() {
    LoadValuesList(SavedFilters, FiltersKey());
    const QList<QAction*> items = FiltersPopupMenu->actions();
    for (int i = 2; i < items.size(); ++i) {
        FiltersPopupMenu->removeAction(items[i]);
        delete items[i];
    }
    for (int i = 0; i < SavedFilters.size(); ++i) {
        const QString name = SavedFilters[i].section(QLatin1Char('='), 0, 0);
        auto* item = new QAction(name, FiltersPopupMenu);
        item->setCheckable(true);
        item->setData(i);
        m_savedFilterGroup->addAction(item);
        connect(item, &QAction::triggered, this,
                [this, i]() { Guarded([this, i]() { ApplySavedFilter(i); }); });
        FiltersPopupMenu->addAction(item);
    }
}

void TCommonViewForm::ApplySavedFilter(int index) {
    if (index < 0 || index >= SavedFilters.size()) {
        return;
    }
    const QString& entry = SavedFilters[index];
    FilterText = entry.mid(entry.indexOf(QLatin1Char('=')) + 1);
    ApplyQuery(FilterText, adsCommon->Sort());
}

void TCommonViewForm::FiltersPopupMenuPopup() {
    const QList<QAction*> items = FiltersPopupMenu->actions();
    for (int i = 2; i < items.size(); ++i) {
        items[i]->setChecked(false);
    }
    // The applied filter is FilterText: the query is composed from it, whatever the
    // connector or grouping behind the base query.
    if (!FilterApplied() || FilterText.isEmpty()) {
        return;
    }
    for (int i = 0; i < SavedFilters.size(); ++i) {
        const QString& entry = SavedFilters[i];
        if (entry.mid(entry.indexOf(QLatin1Char('=')) + 1) == FilterText && i + 2 < items.size()) {
            items[i + 2]->setChecked(true);
            return;
        }
    }
}

void TCommonViewForm::actSaveCurrentFilterExecute() {
    QString name;
    if (!AskNewFilterName(this, SavedFilters, name)) {
        return;
    }
    WriteRegString(FiltersKey(), name, FilterText);
    RebuildFiltersMenu();
}

void TCommonViewForm::actApplyFilterExecute() {
    ApplyQuery(FilterApplied() ? QString() : FilterText, adsCommon->Sort());
}

void TCommonViewForm::actRemoveFilterExecute() {
    ApplyQuery(QString(), QString());
}

void TCommonViewForm::PrepareFilterDialog(TDBGridFilterForm&) {}

bool TCommonViewForm::RunFilterDialog() {
    TDBGridFilterForm dialog(this);
    dialog.SetFiltersKey(FiltersKey());
    dialog.SetDataSet(adsCommon);
    PrepareFilterDialog(dialog);
    dialog.SetFilterText(FilterText);
    if (!dialog.Execute()) {
        return false;
    }
    FilterText = dialog.GetFilterText();
    return true;
}

void TCommonViewForm::actFilterByFormExecute() {
    if (RunFilterDialog()) {
        RebuildFiltersMenu();
        ApplyQuery(FilterText, adsCommon->Sort());
    }
}

void TCommonViewForm::actDataSetRequeryExecute() {
    RefreshAndLocate(CurrentKey());
    UpdateCaption();
}

TSelectedCell TCommonViewForm::SelectedCell() const {
    TSelectedCell cell;
    const TField* f = CommonExDBGrid->SelectedField();
    if (!f) {
        return cell;
    }
    cell.FieldName = f->FieldName;
    cell.FieldClass = f->FieldClass();
    cell.IsNull = f->IsNull();
    if (!cell.IsNull) {
        cell.Text = f->AsString();
        if (cell.FieldClass == TFieldClass::Boolean) {
            cell.Boolean = f->AsBoolean();
        } else if (cell.FieldClass == TFieldClass::DateTime) {
            cell.Day = DayNumber(f->AsDateTime());
        }
    }
    if (const QLineEdit* editor = CommonExDBGrid->InplaceEditor()) {
        cell.EditorOpen = true;
        cell.EditorText = editor->text();
        cell.SelectionStart = editor->selectionStart();
        cell.SelectionLength = editor->selectedText().size();
    }
    return cell;
}

QString TCommonViewForm::SelectionValue() const {
    return CommonExDBGrid->SelectedField() ? QuickFilterValue(SelectedCell()) : QString();
}

QString TCommonViewForm::FilterBySelectionCondition() const {
    return CommonExDBGrid->SelectedField() ? ::FilterBySelectionCondition(SelectedCell())
                                           : QString();
}

QString TCommonViewForm::ExcludeSelectionCondition() const {
    return CommonExDBGrid->SelectedField() ? ::ExcludeSelectionCondition(SelectedCell())
                                           : QString();
}

void TCommonViewForm::addQuickFilter(const QString& condition, bool skipRepeat) {
    if (condition.isEmpty()) {
        return;
    }
    const TFilterExpression applied(FilterApplied() ? FilterText : QString());
    if (skipRepeat && applied.Requires(condition)) {
        return;
    }
    FilterText = applied.NarrowedBy(condition);
    ApplyQuery(FilterText, adsCommon->Sort());
}

void TCommonViewForm::actFilterBySelectionExecute() {
    addQuickFilter(FilterBySelectionCondition(), true);
}

void TCommonViewForm::AddFilterMenu(QMenu* menu) {
    CommonPopupMenu->insertMenu(actFilterByForm, menu);
    m_filterMenu->insertMenu(actFilterByForm, menu);
}

void TCommonViewForm::actFilterExcludeSelectionExecute() {
    addQuickFilter(ExcludeSelectionCondition(), false);
}

void TCommonViewForm::actSortExecute(int tag) {
    TField* field = tag == 2 ? nullptr : CommonExDBGrid->SelectedField();
    if (tag != 2 && !field) {
        return;
    }
    CommonExDBGrid->CloseInplaceEditor();
    SortDataSet(*adsCommon, field, CommonExDBGrid, tag == 0);
}

void TCommonViewForm::actColumnsExecute(int tag) {
    if (tag == 1) {
        EditGridColumns(*CommonExDBGrid);
        return;
    }
    const int column = CommonExDBGrid->SelectedIndex();
    if (column < 0) {
        return;
    }
    CommonExDBGrid->SetColumnVisible(column, false);
    // Move the selection off the hidden column: right, or left when nothing is there.
    const QVector<int> order = CommonExDBGrid->ColumnOrder();
    const int at = order.indexOf(column);
    int target = -1;
    for (int i = at + 1; i < order.size() && target < 0; ++i) {
        if (CommonExDBGrid->ColumnVisible(order[i])) {
            target = order[i];
        }
    }
    for (int i = at - 1; i >= 0 && target < 0; --i) {
        if (CommonExDBGrid->ColumnVisible(order[i])) {
            target = order[i];
        }
    }
    if (target >= 0) {
        CommonExDBGrid->SetSelectedIndex(target);
    }
}

int TCommonViewForm::CommonExDBGridGetImageIndex(int column) const {
    const TField* f = CommonExDBGrid->ColumnField(column);
    if (!f) {
        return -1;
    }
    // Each column of a sort on several shows its place in it.
    const QStringList terms = adsCommon->Sort().split(QLatin1Char(','), Qt::SkipEmptyParts);
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
            TDataSet::TControlsGuard controls(*adsCommon);
            // The user confirmed the record as the grid shows it: one another user has
            // changed or deleted since is left alone.
            adsCommon->DeleteInCatalogue();
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
    if (adsCommon->RecNo() < adsCommon->RecordCount()) {
        adsCommon->Next();
        neighbour = CurrentKey();
    } else if (adsCommon->RecNo() > 1) {
        adsCommon->Prior();
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
    const bool open = adsCommon->Active();
    const bool modifiable = adsCommon->CanModify();
    const bool editing =
        adsCommon->State() == TDataSetState::Edit || adsCommon->State() == TDataSetState::Insert;
    const bool empty = !open || adsCommon->IsEmpty();
    actDataSetFirst->setEnabled(open && !adsCommon->Bof());
    actDataSetPrior->setEnabled(open && !adsCommon->Bof());
    actDataSetNext->setEnabled(open && !adsCommon->Eof());
    actDataSetLast->setEnabled(open && !adsCommon->Eof());
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
    const int column = CommonExDBGrid->SelectedIndex();
    actHideColumn->setEnabled(column >= 0 && CommonExDBGrid->ColumnVisible(column));
    actSetupColumns->setEnabled(true);
    actFilterBySelection->setEnabled(open && !empty);
    actFilterExcludeSelection->setEnabled(open && !empty);
    actFilterByForm->setEnabled(true);
    actApplyFilter->setEnabled(!FilterText.isEmpty());
    actApplyFilter->setChecked(FilterApplied());
    actSaveCurrentFilter->setEnabled(!FilterText.isEmpty());
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
        FormPlacement->SavePlacement();
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
    if (watched == ViewFindDBGridCell && event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        event->accept();
        return false;
    }
    return TExForm::eventFilter(watched, event);
}

void TCommonViewForm::FormPlacementSavePlacement() {
    CommonExDBGrid->SaveColumns(GridKey());
    TRegistry reg;
    if (!reg.OpenKey(GridKey(), true)) {
        return;
    }
    // The dataset keeps its sort text while closed, as the query keeps its filter.
    reg.WriteString(QStringLiteral("Sort"), adsCommon->Sort());
    reg.WriteString(QStringLiteral("Filter"), FilterText);
    reg.WriteInteger(QStringLiteral("FilterApplied"), FilterApplied() ? 1 : 0);
    reg.WriteBool(QStringLiteral("FindAnywhere"), ViewFindDBGridCell->Anywhere());
    reg.WriteBool(QStringLiteral("FindAllColumns"), ViewFindDBGridCell->AllColumns());
}

void TCommonViewForm::FormPlacementRestorePlacement() {
    CommonExDBGrid->LoadColumns(GridKey());
    TRegistry reg;
    if (reg.OpenKeyReadOnly(GridKey())) {
        actFindAnywhere->setChecked(reg.ReadBool(QStringLiteral("FindAnywhere")).value_or(false));
        actFindAllColumns->setChecked(
            reg.ReadBool(QStringLiteral("FindAllColumns")).value_or(false));
    }
}
