#pragma once

#include "urls/LinkCheck.h"
#include "views/CommonViewFrm.h"

#include <QRect>

#include <memory>

class TImportExportCommands;
struct TCaptureRequest;
class TLinkCheckCommands;
class TLinkCheckForm;
class TVisitedLinks;

// The catalogue itself: the record view over SubjectURLs. Its address column is drawn as a
// link (purple once visited, blue before); a click on the current record's link opens the
// address and marks it visited. Records are added and changed in the URL dialog, deleted
// and duplicated by SQL.
class TURLViewForm final : public TCommonViewForm {
    Q_OBJECT
public:
    explicit TURLViewForm(TCatalogueModule& module, QWidget* parent = nullptr);
    ~TURLViewForm() override;

    // Checks the links of the current record or of every record in view (the user says
    // which) in a window of its own, while the view stays usable; the view shows each
    // record's new status as its check is written.
    void actCheckLinksExecute();
    // Replaces the addresses of moved records (current, or all in view) by where they
    // lead now, after a confirmation that lists them.
    void actAcceptNewAddressesExecute();
    // Limits of the link check; a time limit of 0 is the program option's.
    void SetLinkCheckOptions(const TLinkCheckOptions& options);
    // The running check's window; null when none runs.
    TLinkCheckForm* LinkCheckForm() const;

    // Imports: Internet shortcuts of the Favorites folder, a bookmark or CSV file, the
    // bookmarks of the user's browsers. Each reads everything first and shows what it would
    // do in a preview; what the user accepts is written in one transaction, and a count of
    // what was added, merged and skipped ends it.
    void actImportFromFavoritesExecute();
    void actImportBookmarkFileExecute();
    void actImportBrowserBookmarksExecute();
    // The records in view or all of them to a bookmark file, a CSV file or a folder of
    // shortcuts.
    void actExportExecute();
    // $HOME/Favorites when it exists; otherwise the folder the user chooses (empty: none).
    QString FavoritesFolder();
    // How long an import or export runs before its progress window shows (a second).
    void SetImportProgressDelayMs(int ms);

    // The area of the current record's link text in the grid, while the URL column is
    // selected; empty otherwise.
    QRect HotRect() const;
    // The grid model's answer, for every cell, of its row's visited mark.
    static constexpr int VisitedRole = Qt::UserRole + 1;
    // Opens the current record's address and marks the record visited.
    void OpenLink();
    // The quick filter by one name of the selected Category cell, matching it as a whole
    // name of a record's list.
    QStringList CategoryFilterNames() const;
    void FillCategoryFilterMenu();
    void actFindDuplicatesExecute();
    void FilterByCategory(const QString& name);

    // A link handed over from outside: the record dialog of a new record filled with it,
    // or, when the catalogue holds the address already, that record's dialog with a note.
    // Texts longer than the catalogue's fields are refused with a message, never cut.
    void AddCaptured(const TCaptureRequest& request);

    // The category names, offered as a free list for the field Category.
    void PrepareFilterDialog(TDBGridFilterForm& dialog) override;

protected:
    void IdleUpdate() override;
    QString ReadOnlyReason() const override;
    QString RecordName() const override;
    void CopyRecord(const QVariant& key, QVariant& newKey) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* fileCommand(const char* name, const QString& caption, void (TURLViewForm::*handler)());
    QAction* recordCommand(const char* name, const QString& caption,
                           void (TURLViewForm::*handler)());
    // Runs the URL dialog for a key (null: a new record); the view reads again what it saved.
    void editRecord(const QVariant& key, const TCaptureRequest* captured = nullptr);
    bool urlColumnSelected() const;
    bool overLink(const QPoint& pos) const;

    std::unique_ptr<TVisitedLinks> m_visitedLinks;
    std::unique_ptr<TLinkCheckCommands> m_linkCommands;
    std::unique_ptr<TImportExportCommands> m_importExport;

    QAction* actImportFromFavorites;
    QAction* actImportBookmarkFile;
    QAction* actImportBrowserBookmarks;
    QAction* actExport;
    // "Открыть ссылку": the grid's context menu, and Enter on an address.
    QAction* actOpenLink;
    QAction* actCheckLinks;
    QAction* actAcceptNewAddresses;
    QAction* actFindDuplicates;
    // The names of the current record's categories, each a quick filter.
    QMenu* mnuFilterByCategory;
};
