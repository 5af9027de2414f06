#include "urls/URLViewFrm.h"

#include "common/CatalogueModule.h"
#include "common/DialogsUnit.h"
#include "gridtools/DBGridFilterDlg.h"
#include "gridtools/ExDBGrid.h"
#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"
#include "urls/CaptureRequest.h"
#include "urls/Categories.h"
#include "urls/DuplicatesDlg.h"
#include "urls/EditURLDlg.h"
#include "urls/ImportExportCommands.h"
#include "urls/LinkCheckCommands.h"
#include "urls/LinkCheckDlg.h"
#include "urls/VisitedLinks.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QTimer>

namespace {

// An address as a message shows it: a long one in its first 200 characters and "…", so
// that the box stays on the screen (only the message is shortened).
QString shownAddress(const QString& url) {
    constexpr int kShown = 200;
    return url.size() <= kShown ? url : url.left(kShown) + QChar(0x2026);
}

const QColor kVisited(128, 0, 128);
const QColor kNotVisited(0, 0, 255);

// Draws the address column as links: underlined, purple or blue by the visited mark,
// and measures the current record's link into the view's hot rectangle.
// The address column painted as a link, from the model alone: underlined, in the visited
// or the unvisited colour, but for the current cell.
class TLinkDelegate final : public TGridDelegate {
public:
    explicit TLinkDelegate(TExDBGrid* grid) : TGridDelegate(grid), m_grid(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem o = linkOption(option, index);
        const bool oneLine = FitCellText(o);
        if (index != m_grid->currentIndex()) {
            const bool seen = index.data(TURLViewForm::VisitedRole).toBool();
            o.palette.setColor(QPalette::Text, seen ? kVisited : kNotVisited);
            o.palette.setColor(QPalette::HighlightedText, seen ? kVisited : kNotVisited);
        }
        PaintCell(painter, o, oneLine);
    }

    // Where the link's text stands in its cell, as painted.
    QRect LinkRect(const QStyleOptionViewItem& option, const QModelIndex& index) const {
        QStyleOptionViewItem o = linkOption(option, index);
        FitCellText(o);
        const QFontMetrics fm(o.font);
        return QRect(o.rect.left() + 2, o.rect.top() + 2, fm.horizontalAdvance(o.text),
                     fm.height());
    }

private:
    QStyleOptionViewItem linkOption(const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
        QStyleOptionViewItem o = option;
        initStyleOption(&o, index);
        o.font.setUnderline(true);
        return o;
    }

    TExDBGrid* m_grid;
};

}  // namespace

TURLViewForm::TURLViewForm(TCatalogueModule& module, QWidget* parent)
    : TCommonViewForm(module, parent),
      m_visitedLinks(std::make_unique<TVisitedLinks>(*this, DataSet(), Grid(), module)),
      m_linkCommands(std::make_unique<TLinkCheckCommands>(*this, DataSet(), module)),
      m_importExport(std::make_unique<TImportExportCommands>(*this, DataSet(), module)) {
    setObjectName(QStringLiteral("URLViewForm"));
    setWindowTitle(QStringLiteral("Linkarium"));
    SetBaseSQL(QStringLiteral("SELECT * FROM SubjectURLs"));
    SetKeyFieldName(QStringLiteral("SubjectURLID"));
    TDataSet& records = DataSet();
    records.SetCommandText(QStringLiteral("SELECT * FROM SubjectURLs"));
    const struct {
        const char* name;
        const char* title;
        bool visible;
    } fields[] = {
        {"SubjectURLID", "ID", false},
        {"URL", "URL", true},
        {"Category", QT_TR_NOOP("Категории"), true},
        {"Description", QT_TR_NOOP("Описание"), true},
        {"Visited", QT_TR_NOOP("Посещена"), true},
        {"LinkStatus", QT_TR_NOOP("Состояние ссылки"), true},
        {"LinkCode", QT_TR_NOOP("Код ответа"), true},
        {"LinkChecked", QT_TR_NOOP("Проверена"), true},
    };
    for (const auto& f : fields) {
        TField& field = records.AddField(QLatin1String(f.name));
        field.DisplayLabel = tr(f.title);
        field.Visible = f.visible;
    }
    TExDBGrid& grid = Grid();
    // The visited mark and the link check's columns are there to be shown in the column
    // setup; a layout the user saved decides after the first run.
    for (const char* name : {"Visited", "LinkStatus", "LinkCode", "LinkChecked"}) {
        grid.SetColumnVisible(records.FieldByName(QLatin1String(name)).Index(), false);
    }
    grid.SetColumnWidth(1, 215);
    grid.SetColumnWidth(2, 135);
    grid.SetColumnWidth(3, 265);
    grid.SetFieldRole(TURLViewForm::VisitedRole, QStringLiteral("Visited"));
    grid.setItemDelegateForColumn(1, new TLinkDelegate(&grid));
    grid.viewport()->setMouseTracking(true);
    grid.viewport()->installEventFilter(this);

    // Records change only in the dialog; the dataset's own insert and edit never happen.
    records.BeforeInsert = [this](TDataSet&) {
        editRecord(QVariant());
        Abort();
    };
    records.BeforeEdit = [this](TDataSet&) {
        editRecord(CurrentKey());
        Abort();
    };
    actImportFromFavorites = fileCommand("actImportFromFavorites", tr("Импорт из Избранного..."),
                                         &TURLViewForm::actImportFromFavoritesExecute);
    actImportBookmarkFile = fileCommand("actImportBookmarkFile", tr("Импорт закладок из файла..."),
                                        &TURLViewForm::actImportBookmarkFileExecute);
    actImportBrowserBookmarks =
        fileCommand("actImportBrowserBookmarks", tr("Импорт закладок браузера..."),
                    &TURLViewForm::actImportBrowserBookmarksExecute);
    actExport = fileCommand("actExport", tr("Экспорт..."), &TURLViewForm::actExportExecute);
    actOpenLink = new QAction(tr("Открыть ссылку"), this);
    actOpenLink->setObjectName(QStringLiteral("actOpenLink"));
    actOpenLink->setIcon(QIcon::fromTheme(QStringLiteral("internet-web-browser"),
                                          style()->standardIcon(QStyle::SP_ArrowForward)));
    connect(actOpenLink, &QAction::triggered, this, GuardedSlot(this, &TURLViewForm::OpenLink));
    AddLeadingPopupCommand(actOpenLink);
    // Enter on an address opens it, as its click does; elsewhere it edits the record.
    grid.installEventFilter(this);
    FormCreate();
    actCheckLinks = recordCommand("actCheckLinks", tr("Проверить ссылки..."),
                                  &TURLViewForm::actCheckLinksExecute);
    actAcceptNewAddresses = recordCommand("actAcceptNewAddresses", tr("Принять новые адреса"),
                                          &TURLViewForm::actAcceptNewAddressesExecute);
    actFindDuplicates = recordCommand("actFindDuplicates", tr("Найти дубликаты..."),
                                      &TURLViewForm::actFindDuplicatesExecute);
    mnuFilterByCategory = new QMenu(tr("Фильтровать по категории"), this);
    mnuFilterByCategory->setObjectName(QStringLiteral("mnuFilterByCategory"));
    mnuFilterByCategory->menuAction()->setObjectName(QStringLiteral("actFilterByCategory"));
    connect(mnuFilterByCategory, &QMenu::aboutToShow, this,
            GuardedSlot(this, &TURLViewForm::FillCategoryFilterMenu));
    AddFilterMenu(mnuFilterByCategory);
    setGeometry(0, 76, 630, 400);
}

QAction* TURLViewForm::fileCommand(const char* name, const QString& caption,
                                   void (TURLViewForm::*handler)()) {
    auto* a = new QAction(caption, this);
    a->setObjectName(QLatin1String(name));
    connect(a, &QAction::triggered, this, GuardedSlot(this, handler));
    AddFileCommand(a);
    return a;
}

QAction* TURLViewForm::recordCommand(const char* name, const QString& caption,
                                     void (TURLViewForm::*handler)()) {
    auto* a = new QAction(caption, this);
    a->setObjectName(QLatin1String(name));
    connect(a, &QAction::triggered, this, GuardedSlot(this, handler));
    AddRecordCommand(a);
    return a;
}

TURLViewForm::~TURLViewForm() = default;

QStringList TURLViewForm::CategoryFilterNames() const {
    const TField* f = Grid().SelectedField();
    if (!f || f->FieldName.compare(QLatin1String("Category"), Qt::CaseInsensitive) != 0 ||
        !DataSet().Active() || DataSet().IsEmpty()) {
        return {};
    }
    return SplitCategoryNames(f->AsString());
}

void TURLViewForm::FillCategoryFilterMenu() {
    mnuFilterByCategory->clear();
    for (const QString& name : CategoryFilterNames()) {
        // "&" would mark a shortcut letter in the item's text.
        QAction* a = mnuFilterByCategory->addAction(
            QString(name).replace(QLatin1Char('&'), QStringLiteral("&&")));
        connect(a, &QAction::triggered, this,
                [this, name]() { Guarded([this, name]() { FilterByCategory(name); }); });
    }
}

void TURLViewForm::actFindDuplicatesExecute() {
    TDuplicatesForm form(m_module.ADOConnection, this);
    Dialogs().execDialog(form);
    if (form.Merged() > 0) {
        RefreshAndLocate(CurrentKey());
    }
}

void TURLViewForm::FilterByCategory(const QString& name) {
    addQuickFilter(CategoryItemCondition(QStringLiteral("Category"), name), true);
}

QString TURLViewForm::RecordName() const {
    return DataSet().Active() && !DataSet().IsEmpty()
               ? DataSet().FieldByName(QStringLiteral("URL")).AsString()
               : QString();
}

bool TURLViewForm::urlColumnSelected() const {
    const TField* field = Grid().ColumnField(Grid().SelectedIndex());
    return field && field->FieldName == QLatin1String("URL");
}

void TURLViewForm::IdleUpdate() {
    mnuFilterByCategory->menuAction()->setEnabled(!CategoryFilterNames().isEmpty());
    const bool open = DataSet().Active();
    const QString readOnly = ReadOnlyReason();
    const bool writable = open && readOnly.isEmpty();
    actOpenLink->setEnabled(open && !DataSet().IsEmpty());
    // A link check stores what it found.
    EnableWriting(actCheckLinks, writable && !DataSet().IsEmpty(), readOnly);
    EnableWriting(actAcceptNewAddresses, writable && !DataSet().IsEmpty() && !LinkCheckForm(),
                  readOnly);
    EnableWriting(actImportFromFavorites, writable, readOnly);
    EnableWriting(actImportBookmarkFile, writable, readOnly);
    EnableWriting(actImportBrowserBookmarks, writable, readOnly);
    EnableWriting(actFindDuplicates, writable, readOnly);
    actExport->setEnabled(open);
    TCommonViewForm::IdleUpdate();
}

QString TURLViewForm::ReadOnlyReason() const {
    return m_module.RecordsReadOnly;
}

void TURLViewForm::AddCaptured(const TCaptureRequest& request) {
    TConnection& connection = m_module.ADOConnection;
    const QVariant held =
        connection.Value(QStringLiteral("SELECT SubjectURLID FROM SubjectURLs WHERE URL = :URL"),
                         {{QStringLiteral("URL"), request.URL}});
    if (held.isValid() && !held.isNull()) {
        ShowInformation(tr("Адрес «%1» уже есть в каталоге: открыта его запись.")
                            .arg(shownAddress(request.URL)),
                        this);
        DataSet().Locate(KeyFieldName(), {held}, 0);
        editRecord(held);
        return;
    }
    // The dialog's fields refuse a text longer than the catalogue holds: the request is
    // refused whole, saying which text is too long, before anything is shown cut.
    const QString description = request.DescriptionText();
    const struct {
        QString caption;
        int length;
        int size;
    } texts[] = {
        {tr("Адрес"), int(request.URL.size()), URLFieldSize(connection, QStringLiteral("URL"))},
        // The memo stores each line break as CR LF.
        {tr("Описание"), int(description.size() + description.count(QLatin1Char('\n'))),
         URLFieldSize(connection, QStringLiteral("Description"))},
        {tr("Категории"), int(request.Category.size()), CategoryFieldSize(connection)},
    };
    for (const auto& text : texts) {
        if (text.length > text.size) {
            ShowError(tr("Ссылка «%1» не добавлена: поле «%2» длиной %3 знаков, а каталог "
                         "хранит не более %4.")
                          .arg(shownAddress(request.URL), text.caption)
                          .arg(text.length)
                          .arg(text.size),
                      this);
            return;
        }
    }
    editRecord(QVariant(), &request);
}

void TURLViewForm::editRecord(const QVariant& key, const TCaptureRequest* captured) {
    QVariant recordKey;
    QVariant instead;
    bool saved = false;
    {
        TEditURLForm dialog(m_module, this);
        if (captured) {
            dialog.SetCaptured(*captured);
        }
        dialog.Execute(key);
        recordKey = dialog.RecordKey();
        saved = dialog.Saved();
        instead = dialog.OpenInstead();
    }
    // The user chose the record the catalogue held already: it is opened, and shown in the
    // window when the window shows it.
    if (instead.isValid()) {
        DataSet().Locate(KeyFieldName(), {instead}, 0);
        QTimer::singleShot(0, this, [this, instead]() { Guarded([&]() { editRecord(instead); }); });
    }
    if (saved) {
        // A new record's key is one the program has just made.
        const bool added = key.isNull() || !key.isValid();
        RefreshChanged(added ? QVariantList() : QVariantList{recordKey},
                       added ? QVariantList{recordKey} : QVariantList(), recordKey);
    }
}

void TURLViewForm::CopyRecord(const QVariant& key, QVariant& newKey) {
    TCommonViewForm::CopyRecord(key, newKey);
    m_module.ADOConnection.Execute(
        // The columns are named: a copy starts with no link checks of its own.
        QStringLiteral("INSERT INTO SubjectURLs (SubjectURLID, SubjectID, Description, URL, "
                       "Visited, Category) SELECT %1 AS SubjectURLID, SubjectID, "
                       "Description, URL, Visited, Category FROM SubjectURLs "
                       "WHERE SubjectURLID = %2")
            .arg(newKey.toString(), key.toString()));
}

void TURLViewForm::PrepareFilterDialog(TDBGridFilterForm& dialog) {
    TDataSet& list = m_module.adsCategoryList;
    QStringList names;
    if (list.Active()) {
        const TField& name = list.FieldByName(QStringLiteral("CategoryName"));
        for (int r = 0; r < list.RecordCount(); ++r) {
            names << list.DisplayTextAt(r, name);
        }
    }
    // Joined, not terminated: a closing line break would offer an empty last choice.
    dialog.AddValueList(QStringLiteral("Category"), names.join(QStringLiteral("\r\n")), true);
    dialog.AddValueList(QStringLiteral("LinkStatus"),
                        LinkStatusNames().join(QStringLiteral("\r\n")), false);
}

void TURLViewForm::OpenLink() {
    m_visitedLinks->OpenLink();
}

void TURLViewForm::actCheckLinksExecute() {
    m_linkCommands->CheckLinks();
}

void TURLViewForm::actAcceptNewAddressesExecute() {
    m_linkCommands->AcceptNewAddresses();
}

void TURLViewForm::SetLinkCheckOptions(const TLinkCheckOptions& options) {
    m_linkCommands->SetOptions(options);
}

TLinkCheckForm* TURLViewForm::LinkCheckForm() const {
    return m_linkCommands->Running();
}

void TURLViewForm::actImportFromFavoritesExecute() {
    m_importExport->ImportFromFavorites();
}

void TURLViewForm::actImportBookmarkFileExecute() {
    m_importExport->ImportBookmarkFile();
}

void TURLViewForm::actImportBrowserBookmarksExecute() {
    m_importExport->ImportBrowserBookmarks();
}

void TURLViewForm::actExportExecute() {
    m_importExport->Export();
}

QString TURLViewForm::FavoritesFolder() {
    return m_importExport->FavoritesFolder();
}

void TURLViewForm::SetImportProgressDelayMs(int ms) {
    m_importExport->SetProgressDelayMs(ms);
}

QRect TURLViewForm::HotRect() const {
    // Only the current record's link is one to click: the rest of its row selects.
    const QModelIndex index = Grid().currentIndex();
    const TField* field = index.isValid() ? Grid().ColumnField(index.column()) : nullptr;
    const auto* link =
        dynamic_cast<const TLinkDelegate*>(Grid().itemDelegateForColumn(index.column()));
    if (!field || field->FieldName != QLatin1String("URL") || !link) {
        return QRect();
    }
    return link->LinkRect(Grid().CellOption(index), index);
}

bool TURLViewForm::overLink(const QPoint& pos) const {
    return HotRect().contains(pos);
}

bool TURLViewForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &Grid() &&
        (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            key->modifiers() == Qt::NoModifier && urlColumnSelected() && !Grid().IsEditing()) {
            // Taken from the edit command's shortcut, then handled as the key itself.
            event->accept();
            if (event->type() == QEvent::KeyPress) {
                Guarded([this]() { OpenLink(); });
            }
            return true;
        }
    }
    if (watched == Grid().viewport()) {
        if (event->type() == QEvent::MouseMove) {
            const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
            if (overLink(pos)) {
                Grid().viewport()->setCursor(Qt::PointingHandCursor);
            } else {
                Grid().viewport()->unsetCursor();
            }
        } else if (event->type() == QEvent::MouseButtonRelease) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton &&
                Grid().viewport()->cursor().shape() == Qt::PointingHandCursor &&
                Grid().indexAt(mouse->position().toPoint()).isValid()) {
                Guarded([this]() { OpenLink(); });
                // The grid never sees this release: it would open its editor on the
                // selected cell a moment later, and the next click would land in it.
                return true;
            }
        }
    }
    return TCommonViewForm::eventFilter(watched, event);
}
