#pragma once

#include "platform/db/Command.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>
#include <vector>

class TConnection;
class TTransaction;

// One address found by an import: the categories given as such ("; "-separated, empty for
// none), the folders that lead to it and its tags, and its description (empty for none).
// Folders and tags are kept apart from the categories as read, so the preview can make each
// folder a category or the folder path one category, and tidy the names, as the user chooses.
struct TImportedLink {
    QString URL;
    QString Category;
    QString Description;
    // Where it came from, to name it should it be skipped (empty: the address names it).
    QString Source;
    bool Visited = false;
    // Why the reader found it is no link to import (a separator, a link inside a note);
    // empty for a link.
    QString SkipReason;
    // Fields after SkipReason carry initializers, so a reader may leave them out.
    // Outermost first, each as the file names it.
    QStringList Folders = {};
    QStringList Tags = {};
    // A Favorites shortcut's file name without ".url": the only title such a link has.
    QString ShortcutName = {};
    // Why the entry's bytes could not be read whole in the file's encoding (empty when
    // they could): such an entry is shown spoiled rather than silently changed.
    QString Damage = {};
    // The line of the file the entry begins on, for a file read line by line; 0 otherwise.
    int Line = 0;
};

// Where a walk or a reader puts what it finds.
class TImportSink {
public:
    virtual ~TImportSink() = default;
    virtual void Add(const TImportedLink& link) = 0;
    // An entry that could not be read, with what names it and why.
    virtual void Skip(const QString& what) = 0;
    // The entries so far.
    virtual int Entries() const = 0;
    // Tells OnProgress now: a walk calls it for every folder, however few links it holds.
    void Progress();
    // Tells OnReading how far the reading of a file has come.
    void Reading(qint64 done, qint64 total);
    // Called every few entries, so a window can show progress; may throw to stop.
    std::function<void(int entries)> OnProgress;
    std::function<void(qint64 done, qint64 total)> OnReading;

protected:
    // Progress every few entries.
    void stepped();
};

// Adds imported addresses to SubjectURLs, every value bound as a parameter. Rows go in in
// batches; when the database refuses one, the rows before it stay and the error is passed on
// (inside a caller's transaction, nothing stays).
class TLinkImporter final : public TImportSink {
public:
    explicit TLinkImporter(TConnection& connection);
    ~TLinkImporter() override;
    TLinkImporter(const TLinkImporter&) = delete;
    TLinkImporter& operator=(const TLinkImporter&) = delete;

    // Trims the address and adds it when it is 1 character long up to the size of the
    // catalogue's URL field; counts it as skipped otherwise.
    void Add(const TImportedLink& link) override;
    // Counts an entry that could not be imported, with what names it and why.
    void Skip(const QString& what) override;
    int Entries() const override { return Added + Skipped; }
    // Commits what was added.
    void Finish();

    int Added = 0;
    int Skipped = 0;
    // The first of the skipped entries, for the summary (all are counted).
    QStringList SkippedNames;
    static constexpr int MaxSkippedNames = 20;
    // The category names of the added links, each once (letter case aside).
    QStringList Categories;

private:
    struct TBatchRow {
        QString url;
        QString category;
        QString description;
        bool visited = false;
    };
    void noteSkipped(const QString& what);
    void bind(const TBatchRow& row);
    void keepBatch();
    void noteCategories(const QString& text);

    TConnection& m_connection;
    TCommand m_insert;
    std::unique_ptr<TTransaction> m_transaction;
    int m_inBatch = 0;
    int m_maxURL = 150;
    std::vector<TBatchRow> m_batch;
    QSet<QString> m_categoryTexts;
    QSet<QString> m_categoryNames;  // case-folded
};

// At most limit characters, cut after a whole "; "-separated name when it has to be cut.
QString LimitCategories(const QString& categories, int limit);

// The walk of a Favorites folder: every ".url" file (extension in any case), its address
// added with the names of the folders that lead to it as categories. Names are taken byte
// for byte, so none is lost for not being UTF-8 (such a name reads as Windows-1251). Each
// folder is visited once, so links that loop back are harmless; a link that leads out of
// the folder is not followed but counted as skipped. The walk holds no path strings and
// no recursion, so its cost is linear in the folders whatever their depth.
class TFavoritesWalk final {
public:
    explicit TFavoritesWalk(TImportSink& importer) : m_importer(importer) {}
    void Walk(const QString& folder);

private:
    TImportSink& m_importer;
};

// The Netscape bookmark file every browser exports: folders (H3) become categories, the
// tags of a link are added to them, its title (and note) make the description; separators
// and links inside a note come as entries to skip. Linear in the size of the text; reading
// reports to progress (which may throw to stop).
QVector<TImportedLink> ReadBookmarkHtml(
    const QString& text, const std::function<void(qint64 done, qint64 total)>& progress = {});
// A CSV file of links (RFC 4180) as the export writes it: a first line naming the columns
// URL, Description, Category, Visited (in any order, some of them), or those four in that
// order without such a line.
QVector<TImportedLink> ReadCsvLinks(const QString& text);
// A Chromium or Chrome "Bookmarks" file (JSON); the root folders give no category.
QVector<TImportedLink> ReadChromiumBookmarks(const QByteArray& json);
// A Firefox places.sqlite, read from a copy so a running browser is not disturbed; the root
// folders give no category, the tag folders are not links, separators come as entries to
// skip.
QVector<TImportedLink> ReadFirefoxPlaces(const QString& placesFile);
// The bookmark files of the current user's Firefox and Chromium/Chrome profiles.
QStringList BrowserBookmarkFiles(const QString& home);
