#include "urls/URLViewFrm.h"

#include "common/CatalogueModule.h"
#include "common/Desktop.h"
#include "common/DialogsUnit.h"
#include "common/LinkOpener.h"
#include "common/ProgramOptions.h"
#include "gridtools/DBGridFilterDlg.h"
#include "gridtools/ExDBGrid.h"
#include "platform/Errors.h"
#include "platform/db/Command.h"
#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"
#include "urls/Categories.h"
#include "urls/DuplicatesDlg.h"
#include "urls/EditURLDlg.h"
#include "urls/ExportDlg.h"
#include "urls/ImportPreviewDlg.h"
#include "urls/LinkCheckDlg.h"
#include "urls/LinkCheckStore.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QTimer>
#include <algorithm>

namespace {

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
    : TCommonViewForm(module, parent), MarkVisited(new TCommand(this)) {
    setObjectName(QStringLiteral("URLViewForm"));
    setWindowTitle(QStringLiteral("Linkarium"));
    BaseSQL = QStringLiteral("SELECT * FROM SubjectURLs");
    KeyFieldName = QStringLiteral("SubjectURLID");
    adsCommon->SetCommandText(BaseSQL);
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
        TField& field = adsCommon->AddField(QLatin1String(f.name));
        field.DisplayLabel = tr(f.title);
        field.Visible = f.visible;
    }
    // The visited mark and the link check's columns are there to be shown in the column
    // setup; a layout the user saved decides after the first run.
    for (const char* name : {"Visited", "LinkStatus", "LinkCode", "LinkChecked"}) {
        CommonExDBGrid->SetColumnVisible(adsCommon->FieldByName(QLatin1String(name)).Index(),
                                         false);
    }
    CommonExDBGrid->SetColumnWidth(1, 215);
    CommonExDBGrid->SetColumnWidth(2, 135);
    CommonExDBGrid->SetColumnWidth(3, 265);
    CommonExDBGrid->SetFieldRole(TURLViewForm::VisitedRole, QStringLiteral("Visited"));
    CommonExDBGrid->setItemDelegateForColumn(1, new TLinkDelegate(CommonExDBGrid));
    CommonExDBGrid->viewport()->setMouseTracking(true);
    CommonExDBGrid->viewport()->installEventFilter(this);

    connect(&TLinkOpener::Instance(), &TLinkOpener::OpeningFailed, this,
            [this](quint64 opening) { Guarded([&]() { openingFailed(opening); }); });
    MarkVisited->setObjectName(QStringLiteral("MarkVisitedCommand"));
    MarkVisited->SetConnection(&module.ADOConnection);
    MarkVisited->SetCommandText(
        QStringLiteral("UPDATE SubjectURLs SET Visited = 1 WHERE SubjectURLID = :ID"));

    // Records change only in the dialog; the dataset's own insert and edit never happen.
    adsCommon->BeforeInsert = [this](TDataSet&) {
        editRecord(QVariant());
        Abort();
    };
    adsCommon->BeforeEdit = [this](TDataSet&) {
        editRecord(CurrentKey());
        Abort();
    };
    RunEditDialog = [this](const QVariant& key, QVariant& recordKey) {
        QVariant instead;
        bool saved = false;
        {
            TEditURLForm dialog(m_module, this);
            dialog.Execute(key);
            recordKey = dialog.RecordKey;
            saved = dialog.Saved;
            instead = dialog.OpenInstead;
        }
        // The user chose the record the catalogue held already: it is opened, and shown in
        // the window when the window shows it.
        if (instead.isValid()) {
            adsCommon->Locate(KeyFieldName, {instead}, 0);
            QTimer::singleShot(0, this,
                               [this, instead]() { Guarded([&]() { editRecord(instead); }); });
        }
        return saved;
    };
    const auto importCommand = [this](const char* name, const QString& caption,
                                      void (TURLViewForm::*handler)()) {
        auto* a = new QAction(caption, this);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this,
                [this, handler]() { Guarded([this, handler]() { (this->*handler)(); }); });
        AddFileCommand(a);
        return a;
    };
    actImportFromFavorites = importCommand("actImportFromFavorites", tr("Импорт из Избранного..."),
                                           &TURLViewForm::actImportFromFavoritesExecute);
    actImportBookmarkFile =
        importCommand("actImportBookmarkFile", tr("Импорт закладок из файла..."),
                      &TURLViewForm::actImportBookmarkFileExecute);
    actImportBrowserBookmarks =
        importCommand("actImportBrowserBookmarks", tr("Импорт закладок браузера..."),
                      &TURLViewForm::actImportBrowserBookmarksExecute);
    actExport = importCommand("actExport", tr("Экспорт..."), &TURLViewForm::actExportExecute);
    RunImportPreview = [this](TImportPreview& preview, const TImportOptions& options) {
        TImportPreviewForm form(preview, options, this);
        return form.exec() == QDialog::Accepted;
    };
    RunExportDialog = [](TExportForm& form) { return form.exec() == QDialog::Accepted; };
    actOpenLink = new QAction(tr("Открыть ссылку"), this);
    actOpenLink->setObjectName(QStringLiteral("actOpenLink"));
    actOpenLink->setIcon(QIcon::fromTheme(QStringLiteral("internet-web-browser"),
                                          style()->standardIcon(QStyle::SP_ArrowForward)));
    connect(actOpenLink, &QAction::triggered, this, GuardedSlot(this, &TURLViewForm::OpenLink));
    actCheckLinks = new QAction(tr("Проверить ссылки..."), this);
    actCheckLinks->setObjectName(QStringLiteral("actCheckLinks"));
    connect(actCheckLinks, &QAction::triggered, this,
            GuardedSlot(this, &TURLViewForm::actCheckLinksExecute));
    actAcceptNewAddresses = new QAction(tr("Принять новые адреса"), this);
    actAcceptNewAddresses->setObjectName(QStringLiteral("actAcceptNewAddresses"));
    connect(actAcceptNewAddresses, &QAction::triggered, this,
            GuardedSlot(this, &TURLViewForm::actAcceptNewAddressesExecute));
    QAction* first = CommonPopupMenu->actions().value(0);
    CommonPopupMenu->insertAction(first, actOpenLink);
    CommonPopupMenu->insertSeparator(first);
    // Enter on an address opens it, as its click does; elsewhere it edits the record.
    CommonExDBGrid->installEventFilter(this);
    FormCreate();
    AddRecordCommand(actCheckLinks);
    AddRecordCommand(actAcceptNewAddresses);
    actFindDuplicates = new QAction(tr("Найти дубликаты..."), this);
    actFindDuplicates->setObjectName(QStringLiteral("actFindDuplicates"));
    connect(actFindDuplicates, &QAction::triggered, this,
            GuardedSlot(this, &TURLViewForm::actFindDuplicatesExecute));
    AddRecordCommand(actFindDuplicates);
    RunDuplicatesDialog = [](TDuplicatesForm& d) { d.exec(); };
    mnuFilterByCategory = new QMenu(tr("Фильтровать по категории"), this);
    mnuFilterByCategory->setObjectName(QStringLiteral("mnuFilterByCategory"));
    mnuFilterByCategory->menuAction()->setObjectName(QStringLiteral("actFilterByCategory"));
    connect(mnuFilterByCategory, &QMenu::aboutToShow, this,
            GuardedSlot(this, &TURLViewForm::FillCategoryFilterMenu));
    AddFilterMenu(mnuFilterByCategory);
    setGeometry(0, 76, 630, 400);
}

QStringList TURLViewForm::CategoryFilterNames() const {
    const TField* f = CommonExDBGrid->SelectedField();
    if (!f || f->FieldName.compare(QLatin1String("Category"), Qt::CaseInsensitive) != 0 ||
        !adsCommon->Active() || adsCommon->IsEmpty()) {
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
    RunDuplicatesDialog(form);
    if (form.Merged() > 0) {
        RefreshAndLocate(CurrentKey());
    }
}

void TURLViewForm::FilterByCategory(const QString& name) {
    addQuickFilter(CategoryItemCondition(QStringLiteral("Category"), name), true);
}

TURLViewForm::~TURLViewForm() {
    // Checks a refused write left for the next check in this window: one more try before
    // they go with it. A check still running writes its own as its window goes.
    if (!m_unwrittenChecks.isEmpty()) {
        try {
            TLinkCheckStore store(m_module.ADOConnection);
            store.History = Options().LinkCheckHistory;
            store.Save(m_unwrittenChecks);
        } catch (const EError&) {
            // Refused again: the summary said so, and a closing window has nobody to tell.
        }
    }
}

QString TURLViewForm::RecordName() const {
    return adsCommon->Active() && !adsCommon->IsEmpty()
               ? adsCommon->FieldByName(QStringLiteral("URL")).AsString()
               : QString();
}

bool TURLViewForm::urlColumnSelected() const {
    const TField* field = CommonExDBGrid->ColumnField(CommonExDBGrid->SelectedIndex());
    return field && field->FieldName == QLatin1String("URL");
}

void TURLViewForm::IdleUpdate() {
    mnuFilterByCategory->menuAction()->setEnabled(!CategoryFilterNames().isEmpty());
    const bool open = adsCommon->Active();
    const QString readOnly = ReadOnlyReason();
    const bool writable = open && readOnly.isEmpty();
    actOpenLink->setEnabled(open && !adsCommon->IsEmpty());
    // A link check stores what it found.
    EnableWriting(actCheckLinks, writable && !adsCommon->IsEmpty(), readOnly);
    EnableWriting(actAcceptNewAddresses, writable && !adsCommon->IsEmpty() && !m_linkCheck,
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

void TURLViewForm::editRecord(const QVariant& key) {
    QVariant recordKey;
    if (RunEditDialog(key, recordKey)) {
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
    if (adsCommon->IsEmpty()) {
        return;
    }
    CommonExDBGrid->CloseInplaceEditor();
    TLinkOpener& opener = TLinkOpener::Instance();
    const quint64 before = opener.LastOpening();
    OpenURLOrThrow(adsCommon->FieldByName(QStringLiteral("URL")).AsString());
    // Handed to this program's opener, which tells its failure, or to another handler.
    const quint64 opening = opener.LastOpening() != before ? opener.LastOpening() : 0;
    const QVariant key = CurrentKey();
    TField& visited = adsCommon->FieldByName(QStringLiteral("Visited"));
    bool watched = false;
    // Only a user who may change the records leaves the visited mark.
    if (!visited.AsBoolean() && m_module.RecordsReadOnly.isEmpty()) {
        MarkVisited->Parameters().ParamByName(QStringLiteral("ID")).SetValue(key);
        MarkVisited->Execute();
        // The row shows the mark at once, without a re-query.
        adsCommon->RefreshCurrentValue(visited, true);
        watched = true;
    } else {
        // Opened again while the mark an earlier opening left waits on its opener: the mark
        // goes only when every one of them fails.
        watched = std::find(m_markedByOpening.cbegin(), m_markedByOpening.cend(), key) !=
                  m_markedByOpening.cend();
    }
    if (watched && opening != 0) {
        m_markedByOpening.insert(opening, key);
        // Past its watch the opener is taken to have worked, and the mark stands.
        QTimer::singleShot(opener.WatchMs() + 1000, this, [this, opening]() {
            const QVariant opened = m_markedByOpening.take(opening);
            if (opened.isValid()) {
                m_markedByOpening.removeIf(
                    [&opened](const auto& marked) { return marked.value() == opened; });
            }
        });
    }
}

void TURLViewForm::openingFailed(quint64 opening) {
    // The link was never opened: the mark it left goes, unless another opening of the
    // record is still watched (it decides) or has worked.
    const QVariant key = m_markedByOpening.take(opening);
    if (!key.isValid() || std::find(m_markedByOpening.cbegin(), m_markedByOpening.cend(), key) !=
                              m_markedByOpening.cend()) {
        return;
    }
    m_module.ADOConnection.Execute(
        QStringLiteral("UPDATE SubjectURLs SET Visited = 0 WHERE SubjectURLID = :ID"),
        {{QStringLiteral("ID"), key}});
    RefreshChanged({key}, {}, CurrentKey());
}

QRect TURLViewForm::HotRect() const {
    // Only the current record's link is one to click: the rest of its row selects.
    const QModelIndex index = CommonExDBGrid->currentIndex();
    const TField* field = index.isValid() ? CommonExDBGrid->ColumnField(index.column()) : nullptr;
    const auto* link =
        dynamic_cast<const TLinkDelegate*>(CommonExDBGrid->itemDelegateForColumn(index.column()));
    if (!field || field->FieldName != QLatin1String("URL") || !link) {
        return QRect();
    }
    return link->LinkRect(CommonExDBGrid->CellOption(index), index);
}

bool TURLViewForm::overLink(const QPoint& pos) const {
    return HotRect().contains(pos);
}

bool TURLViewForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == CommonExDBGrid &&
        (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            key->modifiers() == Qt::NoModifier && urlColumnSelected() &&
            !CommonExDBGrid->IsEditing()) {
            // Taken from the edit command's shortcut, then handled as the key itself.
            event->accept();
            if (event->type() == QEvent::KeyPress) {
                Guarded([this]() { OpenLink(); });
            }
            return true;
        }
    }
    if (watched == CommonExDBGrid->viewport()) {
        if (event->type() == QEvent::MouseMove) {
            const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
            if (overLink(pos)) {
                CommonExDBGrid->viewport()->setCursor(Qt::PointingHandCursor);
            } else {
                CommonExDBGrid->viewport()->unsetCursor();
            }
        } else if (event->type() == QEvent::MouseButtonRelease) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton &&
                CommonExDBGrid->viewport()->cursor().shape() == Qt::PointingHandCursor &&
                CommonExDBGrid->indexAt(mouse->position().toPoint()).isValid()) {
                Guarded([this]() { OpenLink(); });
                // The grid never sees this release: it would open its editor on the
                // selected cell a moment later, and the next click would land in it.
                return true;
            }
        }
    }
    return TCommonViewForm::eventFilter(watched, event);
}
