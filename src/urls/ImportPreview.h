#pragma once

#include "urls/LinkImport.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>

class TConnection;

// What an import would do with one entry it read.
enum class TImportVerdict { New, Duplicate, InImport, Invalid, Skipped };
constexpr int kImportVerdicts = 5;
QString ImportVerdictText(TImportVerdict verdict);

// What becomes of an entry whose address the catalogue, or the import before it, has.
enum class TDuplicateAction { Skip, Import, Merge };

struct TImportOptions {
    TDuplicateAction duplicates = TDuplicateAction::Skip;
    // Folder names that are no categories (the browsers' root folders), letter case aside.
    QStringList ignoredFolders = DefaultIgnoredFolders();
    // Added to every imported record; empty for none.
    QString extraCategory;
    bool allowJavaScript = false;

    static QStringList DefaultIgnoredFolders();
    // "Импорт <date>", the category an import offers to add.
    static QString DatedCategory(const QDate& day);
    // As remembered between imports (the extra category is offered anew each time).
    static TImportOptions Load();
    void Save() const;
};

struct TPreviewEntry {
    TImportedLink link;  // as read
    QString url;         // trimmed
    QString category;    // with the ignored folders left out and the extra category added
    TImportVerdict verdict = TImportVerdict::New;
    QString reason;
    QVariant existingKey;  // a duplicate's record
    int first = -1;        // a repeat's first entry in the import
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

// Everything an import read, with what it would do to each entry, before anything is
// written. Addresses are compared as the duplicate search compares them.
class TImportPreview final {
public:
    void Append(const TImportedLink& link) { m_links.append(link); }
    // The catalogue's addresses, and the longest one it takes.
    void LoadExisting(TConnection& connection);
    // The verdict of every entry under these options; what the user chose is reset.
    void Classify(const TImportOptions& options);
    const TImportOptions& Options() const { return m_options; }
    const QVector<TPreviewEntry>& Entries() const { return m_entries; }
    int Count(TImportVerdict verdict) const { return m_counts[static_cast<int>(verdict)]; }
    // Whether the user can choose the entry at all (no invalid or skipped one).
    static bool Choosable(const TPreviewEntry& entry);
    void SetChosen(int entry, bool chosen);
    // The list as a text of tab-separated lines, or as CSV (RFC 4180), each entry with its
    // verdict and reason.
    QString ReportText() const;
    QString ReportCsv() const;
    // Writes the chosen entries in one transaction: all or nothing. progress(done, total)
    // may throw to stop, which writes nothing.
    TImportResult Write(TConnection& connection,
                        const std::function<void(int done, int total)>& progress = {}) const;

private:
    QVector<TImportedLink> m_links;
    QVector<TPreviewEntry> m_entries;
    QHash<QString, QVariant> m_existing;  // normalised address, record key
    int m_maxURL = 2048;
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

// The preview's list: a check to choose, address, description, categories, verdict; the
// rows of one verdict only, or all.
class TImportPreviewModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TImportPreviewModel(TImportPreview& preview, QObject* parent = nullptr);
    // -1 for every verdict.
    void SetVerdictFilter(int verdict);
    // After the preview was classified anew.
    void Reload();
    int EntryAt(int row) const { return m_rows.value(row, -1); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    TImportPreview& m_preview;
    QVector<int> m_rows;
    int m_filter = -1;
};
