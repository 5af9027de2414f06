#pragma once

#include "platform/db/Command.h"

#include <QSet>
#include <QString>
#include <QVector>

#include <functional>
#include <memory>
#include <vector>

class TConnection;
class TTransaction;

// One address found by an import: its categories ("; "-separated, empty for none) and
// its description (empty for none).
struct TImportedLink {
    QString URL;
    QString Category;
    QString Description;
};

// Adds imported addresses to SubjectURLs, every value bound as a parameter. Rows go in in
// batches; when the database refuses one, the rows before it stay and the error is passed on.
class TLinkImporter final {
public:
    explicit TLinkImporter(TConnection& connection);
    ~TLinkImporter();
    TLinkImporter(const TLinkImporter&) = delete;
    TLinkImporter& operator=(const TLinkImporter&) = delete;

    // Trims the address and adds it when it is 1 character long up to the size of the
    // catalogue's URL field; counts it as skipped otherwise.
    void Add(const TImportedLink& link);
    void Skip() { ++Skipped; }
    // Commits what was added.
    void Finish();

    int Added = 0;
    int Skipped = 0;
    // Called every few entries, so a window can show progress; may throw to stop.
    std::function<void(int entries)> OnProgress;

private:
    struct TBatchRow {
        QString url;
        QString category;
        QString description;
    };
    void progress();
    void bind(const TBatchRow& row);
    void keepBatch();

    TConnection& m_connection;
    TCommand m_insert;
    std::unique_ptr<TTransaction> m_transaction;
    int m_inBatch = 0;
    int m_maxURL = 150;
    std::vector<TBatchRow> m_batch;
};

// Leading and trailing blanks and control characters removed.
QString TrimControls(const QString& text);
// At most limit characters, cut after a whole "; "-separated name when it has to be cut.
QString LimitCategories(const QString& categories, int limit);

// The walk of a Favorites folder: every ".url" file (extension in any case), its address
// added with the names of the folders that lead to it as categories. Each folder is
// visited once, so links that loop back are harmless.
class TFavoritesWalk final {
public:
    explicit TFavoritesWalk(TLinkImporter& importer) : m_importer(importer) {}
    void Walk(const QString& folder, const QString& prefix = QString());

private:
    TLinkImporter& m_importer;
    QSet<QString> m_visited;
};

// The Netscape bookmark file every browser exports: folders (H3) become categories, the
// tags of a link are added to them, its title (and note) make the description.
QVector<TImportedLink> ReadBookmarkHtml(const QString& text);
// A Chromium or Chrome "Bookmarks" file (JSON); the root folders give no category.
QVector<TImportedLink> ReadChromiumBookmarks(const QByteArray& json);
// A Firefox places.sqlite, read from a copy so a running browser is not disturbed; the root
// folders give no category, the tag folders are not links.
QVector<TImportedLink> ReadFirefoxPlaces(const QString& placesFile);
// The bookmark files of the current user's Firefox and Chromium/Chrome profiles.
QStringList BrowserBookmarkFiles(const QString& home);
