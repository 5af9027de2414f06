#pragma once

#include "platform/db/Command.h"
#include "urls/BookmarkFile.h"
#include "urls/BookmarkHtmlReader.h"
#include "urls/BrowserProfiles.h"
#include "urls/ChromiumBookmarks.h"
#include "urls/CsvLinkReader.h"
#include "urls/FavoritesWalk.h"
#include "urls/FirefoxPlaces.h"
#include "urls/ImportedLink.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>
#include <vector>

class TConnection;
class TTransaction;

// The imports: what they find (TImportedLink, given to a TImportSink), the readers of each
// kind of source (the headers above), and the writer of what the preview lets through.

// Adds imported addresses to SubjectURLs, every value bound as a parameter. Rows go in in
// batches; when the database refuses one, the rows before it stay and the error is passed on
// (inside a caller's transaction, nothing stays). Only the link's Category is written: the
// preview has made its categories of the folders and tags already.
class TLinkImporter final : public TImportSink {
public:
    explicit TLinkImporter(TConnection& connection);
    ~TLinkImporter() override;
    TLinkImporter(const TLinkImporter&) = delete;
    TLinkImporter& operator=(const TLinkImporter&) = delete;

    // Trims the address and adds it when it is 1 character long up to the size of the
    // catalogue's URL field, and its categories fit the Category field; counts it as
    // skipped otherwise (categories are never cut).
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
    // The preview makes a description fit; this only keeps a write from failing.
    int m_maxDescription = 255;
    int m_maxCategory = 255;
    std::vector<TBatchRow> m_batch;
    QSet<QString> m_categoryTexts;
    QSet<QString> m_categoryNames;  // case-folded
};
