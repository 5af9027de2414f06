#pragma once

#include "urls/LinkImport.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>
#include <optional>
#include <utility>

class QDate;
class TConnection;
class TNameSet;

// What an import would do with one entry it read. A doubtful entry (an address that is no
// web or mail address, or bytes the file's encoding could not read) is shown, and written
// only when the user ticks it.
enum class TImportVerdict { New, Duplicate, InImport, Invalid, Skipped, NotWeb, Damaged };
constexpr int kImportVerdicts = 7;
QString ImportVerdictText(TImportVerdict verdict);

// What becomes of an entry whose address the catalogue, or the import before it, has.
enum class TDuplicateAction { Skip, Import, Merge };

// How the folders that lead to a link become its categories.
enum class TFolderCategories {
    EachFolder,  // "Debian", "deep", "deeper"
    FolderPath   // "Debian/deep/deeper", so the tree comes back as nested folders
};

struct TImportOptions {
    TDuplicateAction duplicates = TDuplicateAction::Skip;
    TFolderCategories folders = TFolderCategories::EachFolder;
    // Folder names that are no categories (the browsers' root folders), letter case aside.
    QStringList ignoredFolders = DefaultIgnoredFolders();
    // Added to every imported record; empty for none.
    QString extraCategory;
    bool allowJavaScript = false;
    // Whether addresses that differ only after "#" are one: off, since anchors into one page
    // ("#issuecomment-…") are links of their own.
    bool fragmentIsSame = false;
    // A Favorites shortcut's name as the description when the file gives none.
    bool shortcutNameAsDescription = true;

    static QStringList DefaultIgnoredFolders();
    // "Импорт <date>", the category an import offers to add.
    static QString DatedCategory(const QDate& day);
    // As remembered between imports (the extra category is offered anew each time).
    static TImportOptions Load();
    void Save() const;
};

struct TPreviewEntry {
    TImportedLink link;   // as read
    QString url;          // trimmed
    QString description;  // as it would be written
    QString category;     // as it would be written
    TImportVerdict verdict = TImportVerdict::New;
    QString reason;
    QVariant existingKey;  // a duplicate's record
    int first = -1;        // a repeat's entry that is kept
    bool chosen = false;   // to be written
};

struct TImportResult {
    int added = 0;
    int merged = 0;
    int skipped = 0;
    // The first of the entries not written, each with why, for the summary.
    QStringList skippedNames;
    // The category names of the written records, each once.
    QStringList categories;
    static constexpr int MaxSkippedNames = 20;
};

// A folder's or tag's name as a category name: any run of blanks (a non-breaking space, a
// tab, a line break) is one space, and ";", which separates a record's categories, becomes
// ",", so that one folder stays one category.
QString CategoryNameOfFolder(const QString& name);

// Everything an import read, with what it would do to each entry, before anything is
// written. Addresses are compared as the duplicate search compares them. What the user
// ticked or unticked is kept through every new classification.
class TImportPreview final {
public:
    void Append(const TImportedLink& link) {
        m_links.append(link);
        m_userChoice.append(std::nullopt);
    }
    // The catalogue's addresses, and the longest address and categories it takes.
    void LoadExisting(TConnection& connection);
    // The verdict of every entry under these options.
    void Classify(const TImportOptions& options);
    const TImportOptions& Options() const { return m_options; }
    const QVector<TPreviewEntry>& Entries() const { return m_entries; }
    int Count(TImportVerdict verdict) const { return m_counts[static_cast<int>(verdict)]; }
    // Whether the user can choose the entry at all (no invalid or skipped one).
    static bool Choosable(const TPreviewEntry& entry);
    // The user's own choice: it outlives every new classification.
    void SetChosen(int entry, bool chosen);
    // The list as a text of tab-separated lines, or as CSV (RFC 4180), each entry with its
    // verdict and reason.
    QString ReportText() const;
    QString ReportCsv() const;
    // Writes the chosen entries in one transaction: all or nothing. progress(done, total)
    // may throw to stop, which writes nothing. Every entry is counted once: added, merged
    // into another, or skipped with its reason.
    TImportResult Write(TConnection& connection,
                        const std::function<void(int done, int total)>& progress = {}) const;

private:
    QString categoriesOf(const TImportedLink& link, const TNameSet& ignored,
                         const QString& extra) const;
    void indexExisting(bool fragmentIsSame);

    QVector<TImportedLink> m_links;
    QVector<std::optional<bool>> m_userChoice;
    QVector<TPreviewEntry> m_entries;
    QVector<std::pair<QString, QVariant>> m_existingURLs;  // address, record key
    QHash<QString, QVariant> m_existing;                   // normalised address, record key
    std::optional<bool> m_existingFragmentIsSame;          // the rule m_existing was made with
    int m_maxURL = 2048;
    int m_maxCategory = 4000;
    int m_maxDescription = 255;
    TImportOptions m_options;
    int m_counts[kImportVerdicts] = {};
};

// Collects what a walk or a reader finds into a preview.
class TImportCollector final : public TImportSink {
public:
    explicit TImportCollector(TImportPreview& preview) : m_preview(preview) {}
    void Add(const TImportedLink& link) override;
    void Skip(const QString& what) override;
    int Entries() const override { return m_entries; }

private:
    TImportPreview& m_preview;
    int m_entries = 0;
};
