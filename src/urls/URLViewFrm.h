#pragma once

#include "urls/LinkCheck.h"
#include "views/CommonViewFrm.h"

#include <QHash>
#include <QRect>

#include <functional>
#include <memory>

class TCommand;
class TDuplicatesForm;
class TExportForm;
class TImportPreview;
class TImportSink;
class TLinkCheckForm;
struct TImportOptions;

// The catalogue itself: the record view over SubjectURLs. Its address column is drawn as a
// link (purple once visited, blue before); a click on the current record's link opens the
// address and marks it visited. Records are added and changed in the URL dialog, deleted
// and duplicated by SQL.
class TURLViewForm final : public TCommonViewForm {
    Q_OBJECT
public:
    explicit TURLViewForm(TCatalogueModule& module, QWidget* parent = nullptr);
    ~TURLViewForm() override;

    TCommand* MarkVisited;
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

    // Checks the links of the current record or of every record in view (the user says
    // which) in a window of its own, while the view stays usable; the view shows each
    // record's new status as its check is written.
    void actCheckLinksExecute();
    // Replaces the addresses of moved records (current, or all in view) by where they
    // lead now, after a confirmation that lists them.
    void actAcceptNewAddressesExecute();
    // Limits of the link check; a time limit of 0 is the program option's.
    TLinkCheckOptions LinkCheckOptions{0};
    // The running check's window; null when none runs.
    TLinkCheckForm* LinkCheckForm() const { return m_linkCheck.get(); }

    // Imports: Internet shortcuts of the Favorites folder, a bookmark or CSV file, the
    // bookmarks of the user's browsers. Each reads everything first and shows what it would
    // do in a preview; what the user accepts is written in one transaction, and a count of
    // what was added, merged and skipped ends it.
    void actImportFromFavoritesExecute();
    void actImportBookmarkFileExecute();
    void actImportBrowserBookmarksExecute();
    // Shows the preview; true to write. The modal window unless a test answers.
    std::function<bool(TImportPreview& preview, const TImportOptions& options)> RunImportPreview;
    // The records in view or all of them to a bookmark file, a CSV file or a folder of
    // shortcuts.
    void actExportExecute();
    // Runs the export window; true to export. The modal window unless a test answers.
    std::function<bool(TExportForm& form)> RunExportDialog;
    // $HOME/Favorites when it exists; otherwise the folder the user chooses (empty: none).
    QString FavoritesFolder();
    // How long an import runs before its progress window shows; tests make it 0.
    int ImportProgressDelayMs = 1000;

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
    // Runs the duplicates window; tests answer it in advance.
    std::function<void(TDuplicatesForm&)> RunDuplicatesDialog;
    void FilterByCategory(const QString& name);

    // Runs the URL dialog for a key (null: a new record); answers whether a modified record
    // was saved and its key. The modal dialog unless a test answers.
    std::function<bool(const QVariant& key, QVariant& recordKey)> RunEditDialog;

    // The category names, offered as a free list for the field Category.
    void PrepareFilterDialog(TDBGridFilterForm& dialog) override;

protected:
    void IdleUpdate() override;
    QString ReadOnlyReason() const override;
    QString RecordName() const override;
    void CopyRecord(const QVariant& key, QVariant& newKey) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void editRecord(const QVariant& key);
    bool urlColumnSelected() const;
    // Runs one import under the hourglass with a progress window for long ones, then
    // re-queries, locates the former record and reports the counts.
    void runImport(const std::function<void(TImportSink&)>& import);
    bool overLink(const QPoint& pos) const;
    // The keys and addresses a command on records works on: the current record's or,
    // when the user says so, those of every record in view; empty when cancelled.
    QList<TLinkToCheck> chosenLinks(const QString& question);

    void openingFailed(quint64 opening);

    std::unique_ptr<TLinkCheckForm> m_linkCheck;
    // Records this window marked visited on opening them, by the opener's number, until the
    // opener fails or its watch ends; a record opened again while its mark waits is listed
    // under each opener.
    QHash<quint64, QVariant> m_markedByOpening;
    // Checks the last window could not write, written with the next check's.
    QList<TLinkCheckResult> m_unwrittenChecks;
};
