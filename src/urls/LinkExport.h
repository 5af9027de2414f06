#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class QIODevice;
class TDataSet;

struct TExportRecord {
    QString URL;
    QString Description;
    QString Category;
    bool Visited = false;
};

// A record's texts as the UTF-8 bytes a store keeps, for writers that copy them.
struct TExportBytes {
    QByteArrayView URL;
    QByteArrayView Description;
    QByteArrayView Category;
};

// The records to export, read one at a time: a million of them are never all held as texts.
class TExportSource {
public:
    virtual ~TExportSource() = default;
    virtual int Count() const = 0;
    virtual TExportRecord At(int i) const = 0;
    // Only the categories, for the grouping pass.
    virtual QString CategoryAt(int i) const { return At(i).Category; }
    // The texts without making strings, where the source keeps them so; false otherwise.
    virtual bool BytesAt(int, TExportBytes&) const { return false; }
};

// The rows of an open dataset in its order (a view's filter and sort).
class TDataSetExportSource final : public TExportSource {
public:
    explicit TDataSetExportSource(TDataSet& ds);
    int Count() const override;
    TExportRecord At(int i) const override;
    QString CategoryAt(int i) const override;
    bool BytesAt(int i, TExportBytes& bytes) const override;

private:
    TDataSet& m_ds;
    int m_url;
    int m_description;
    int m_category;
    int m_visited;
};

class TVectorExportSource final : public TExportSource {
public:
    explicit TVectorExportSource(const QVector<TExportRecord>& records) : m_records(records) {}
    int Count() const override { return static_cast<int>(m_records.size()); }
    TExportRecord At(int i) const override { return m_records.at(i); }

private:
    const QVector<TExportRecord>& m_records;
};

enum class TExportFormat { BookmarkHtml, Csv, UrlFolder };

struct TExportOptions {
    TExportFormat format = TExportFormat::BookmarkHtml;
    // A record of several categories in the folder of each, or of its first only.
    bool eachCategory = false;
    // A byte order mark before the CSV text, for spreadsheet programs.
    bool bom = false;
    // ADD_DATE of every bookmark, seconds since 1970 (the catalogue keeps no dates).
    qint64 addDate = 0;
};

// The folders a category is exported in: "a/b/c" is c inside b inside a (blanks around a
// part and empty parts left out); a name that is nothing but slashes is one folder.
QStringList CategoryFolderPath(const QString& category);

// Called every few thousand records with how many are done; may throw to stop.
using TExportProgress = std::function<void(int done, int total)>;

// Writes the records to a file, or below a folder for UrlFolder; returns how many records
// were written. A file is replaced whole or not at all; a folder's files are never
// overwritten. Throws EError naming the file and the reason.
int ExportLinks(const TExportSource& source, const QString& target, const TExportOptions& options,
                const TExportProgress& progress = {});

// The Netscape bookmark file: each category a folder, the description its title (cut
// titles in full as the note), the categories also as TAGS. Written in pieces; a device
// that refuses one throws EError.
void WriteBookmarkHtml(QIODevice& out, const TExportSource& source, const TExportOptions& options,
                       const TExportProgress& progress = {});
// URL, Description, Category, Visited (1 or 0) after a line of those names.
void WriteCsvLinks(QIODevice& out, const TExportSource& source, bool bom,
                   const TExportProgress& progress = {});
// A name for a file or folder: no "/", no control characters, not "." or "..", at most
// 200 bytes of UTF-8, never empty.
QString SafeFileName(const QString& name);
