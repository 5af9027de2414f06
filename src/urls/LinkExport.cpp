#include "urls/LinkExport.h"

#include "common/CsvText.h"
#include "platform/Errors.h"
#include "platform/db/DataSet.h"
#include "urls/Categories.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <vector>

namespace {

constexpr int kTitleMax = 100;
constexpr int kProgressEvery = 4096;
constexpr int kChunk = 1 << 20;

QString tr(const char* text) {
    return QCoreApplication::translate("LinkExport", text);
}

// Pieces gathered into blocks of about a megabyte before they go to the device.
class TChunkWriter final {
public:
    explicit TChunkWriter(QIODevice& out) : m_out(out) { m_buffer.reserve(kChunk + 4096); }
    ~TChunkWriter() = default;
    TChunkWriter(const TChunkWriter&) = delete;
    TChunkWriter& operator=(const TChunkWriter&) = delete;

    void add(const char* text) { add(QByteArray::fromRawData(text, qstrlen(text))); }
    void add(const QByteArray& bytes) {
        m_buffer += bytes;
        if (m_buffer.size() >= kChunk) {
            flush();
        }
    }
    void add(const QString& text) { add(text.toUtf8()); }
    void flush() {
        if (!m_buffer.isEmpty() && m_out.write(m_buffer) != m_buffer.size()) {
            throw EError(m_out.errorString());
        }
        m_buffer.clear();
    }

private:
    QIODevice& m_out;
    QByteArray m_buffer;
};

// Text for HTML: the markup characters as entities, line breaks as blanks (a bookmark's
// title is one line).
QString escaped(const QString& text, bool attribute) {
    QString out;
    out.reserve(text.size() + 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
            case '&':
                out += QStringLiteral("&amp;");
                break;
            case '<':
                out += QStringLiteral("&lt;");
                break;
            case '>':
                out += QStringLiteral("&gt;");
                break;
            case '"':
                out += QStringLiteral("&quot;");
                break;
            case '\r':
            case '\n':
            case '\t':
                out += attribute ? QStringLiteral("&#%1;").arg(c.unicode()) : QStringLiteral(" ");
                break;
            default:
                out += c;
        }
    }
    return out;
}

void stepped(const TExportProgress& progress, int done, int total) {
    if (progress && done % kProgressEvery == 0) {
        progress(done, total);
    }
}

void writeLink(TChunkWriter& w, const TExportRecord& r, const QByteArray& addDate) {
    const QStringList names = SplitCategoryNames(r.Category);
    QStringList tags;
    for (const QString& n : names) {
        if (!n.contains(QLatin1Char(','))) {  // TAGS are separated by commas
            tags << n;
        }
    }
    const QString title = r.Description.simplified();
    const bool cut = title.size() > kTitleMax;
    w.add("        <DT><A HREF=\"");
    w.add(escaped(r.URL, true));
    w.add("\" ADD_DATE=\"");
    w.add(addDate);
    if (!tags.isEmpty()) {
        w.add("\" TAGS=\"");
        w.add(escaped(tags.join(QLatin1Char(',')), true));
    }
    w.add("\">");
    w.add(escaped(cut ? title.left(kTitleMax - 1) + QChar(0x2026) : title, false));
    w.add("</A>\n");
    if (cut) {
        w.add("        <DD>");
        w.add(escaped(title, false));
        w.add("\n");
    }
}

QString shortcutAddress(const QString& url) {
    // A line break would end the key and begin another in the file.
    QString out = url;
    out.replace(QLatin1Char('\r'), QStringLiteral("%0D"));
    out.replace(QLatin1Char('\n'), QStringLiteral("%0A"));
    return out;
}

QString fileError(const QString& file, const QString& reason) {
    return tr("Не удалось записать %1: %2").arg(file, reason);
}

}  // namespace

TDataSetExportSource::TDataSetExportSource(TDataSet& ds)
    : m_ds(ds),
      m_url(ds.FieldByName(QStringLiteral("URL")).Index()),
      m_description(ds.FieldByName(QStringLiteral("Description")).Index()),
      m_category(ds.FieldByName(QStringLiteral("Category")).Index()),
      m_visited(ds.FieldByName(QStringLiteral("Visited")).Index()) {
    ds.FetchRest();
}

int TDataSetExportSource::Count() const {
    return m_ds.RecordCount();
}

TExportRecord TDataSetExportSource::At(int i) const {
    return {m_ds.DisplayTextAt(i, m_ds.Fields(m_url)),
            m_ds.DisplayTextAt(i, m_ds.Fields(m_description)),
            m_ds.DisplayTextAt(i, m_ds.Fields(m_category)),
            m_ds.ValueAt(i, m_ds.Fields(m_visited)).toBool()};
}

QString TDataSetExportSource::CategoryAt(int i) const {
    return m_ds.DisplayTextAt(i, m_ds.Fields(m_category));
}

void WriteBookmarkHtml(QIODevice& out, const TExportSource& source, const TExportOptions& options,
                       const TExportProgress& progress) {
    // Folders in the order of their names, letter case aside; records without a category
    // at the top. Each folder keeps its records' positions, not their texts.
    struct TFolder {
        QString name;
        std::vector<int> records;
    };
    std::vector<TFolder> folders;
    QHash<QString, int> byName;
    std::vector<int> top;
    const int count = source.Count();
    for (int i = 0; i < count; ++i) {
        const QStringList names = SplitCategoryNames(source.CategoryAt(i));
        if (names.isEmpty()) {
            top.push_back(i);
        }
        for (const QString& name : names) {
            const QString key = name.toCaseFolded();
            auto at = byName.constFind(key);
            if (at == byName.constEnd()) {
                at = byName.insert(key, static_cast<int>(folders.size()));
                folders.push_back({name, {}});
            }
            std::vector<int>& records = folders[static_cast<std::size_t>(at.value())].records;
            if (records.empty() || records.back() != i) {
                records.push_back(i);
            }
            if (!options.eachCategory) {
                break;
            }
        }
    }
    std::sort(folders.begin(), folders.end(), [](const TFolder& a, const TFolder& b) {
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    const QByteArray addDate = QByteArray::number(options.addDate);
    TChunkWriter w(out);
    w.add(
        "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
        "<!-- This is an automatically generated file.\n"
        "     It will be read and overwritten.\n"
        "     DO NOT EDIT! -->\n"
        "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
        "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n");
    int done = 0;
    int total = static_cast<int>(top.size());
    for (const TFolder& f : folders) {
        total += static_cast<int>(f.records.size());
    }
    for (const int i : top) {
        writeLink(w, source.At(i), addDate);
        stepped(progress, ++done, total);
    }
    for (const TFolder& f : folders) {
        w.add("    <DT><H3 ADD_DATE=\"");
        w.add(addDate);
        w.add("\">");
        w.add(escaped(f.name, false));
        w.add("</H3>\n    <DL><p>\n");
        for (const int i : f.records) {
            writeLink(w, source.At(i), addDate);
            stepped(progress, ++done, total);
        }
        w.add("    </DL><p>\n");
    }
    w.add("</DL>\n");
    w.flush();
}

void WriteCsvLinks(QIODevice& out, const TExportSource& source, bool bom,
                   const TExportProgress& progress) {
    TChunkWriter w(out);
    if (bom) {
        w.add("\xEF\xBB\xBF");
    }
    w.add("URL,Description,Category,Visited\r\n");
    const int count = source.Count();
    for (int i = 0; i < count; ++i) {
        const TExportRecord r = source.At(i);
        w.add(CsvField(r.URL) + QLatin1Char(',') + CsvField(r.Description) + QLatin1Char(',') +
              CsvField(r.Category) +
              (r.Visited ? QStringLiteral(",1\r\n") : QStringLiteral(",0\r\n")));
        stepped(progress, i + 1, count);
    }
    w.flush();
}

QString SafeFileName(const QString& name) {
    QString out;
    out.reserve(name.size());
    for (const QChar c : name) {
        out +=
            c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control
                ? QLatin1Char('_')
                : c;
    }
    out = out.trimmed();
    // A name's bytes are limited (255 on most file systems): room is left for " (N).url".
    while (out.toUtf8().size() > 200) {
        out.chop(out.size() > 1 && out.at(out.size() - 1).isLowSurrogate() ? 2 : 1);
    }
    if (out.isEmpty() || out == QLatin1String(".") || out == QLatin1String("..")) {
        out = QStringLiteral("_");
    }
    return out;
}

int ExportLinks(const TExportSource& source, const QString& target, const TExportOptions& options,
                const TExportProgress& progress) {
    if (options.format != TExportFormat::UrlFolder) {
        QSaveFile file(target);
        if (!file.open(QIODevice::WriteOnly)) {
            throw EError(fileError(target, file.errorString()));
        }
        try {
            if (options.format == TExportFormat::Csv) {
                WriteCsvLinks(file, source, options.bom, progress);
            } else {
                WriteBookmarkHtml(file, source, options, progress);
            }
        } catch (const EError& e) {
            file.cancelWriting();
            throw EError(fileError(target, QString::fromUtf8(e.what())));
        }
        if (!file.commit()) {
            throw EError(fileError(target, file.errorString()));
        }
        return source.Count();
    }
    // One file per record below its categories' folders, in their order; a name taken
    // (by this export or already there) gets a number.
    QSet<QString> taken;
    const int count = source.Count();
    for (int i = 0; i < count; ++i) {
        const TExportRecord r = source.At(i);
        QString folder = target;
        for (const QString& name : SplitCategoryNames(r.Category)) {
            folder += QLatin1Char('/') + SafeFileName(name);
        }
        if (!QDir().mkpath(folder)) {
            throw EError(fileError(folder, tr("папка не создана")));
        }
        QString base = r.Description.simplified();
        if (base.isEmpty()) {
            base = r.URL.section(QStringLiteral("//"), -1).section(QLatin1Char('/'), 0, 0);
        }
        base = SafeFileName(base.isEmpty() ? QStringLiteral("link") : base);
        QString path = folder + QLatin1Char('/') + base + QStringLiteral(".url");
        for (int n = 2; taken.contains(path.toCaseFolded()) || QFileInfo::exists(path); ++n) {
            path = folder + QLatin1Char('/') + base + QStringLiteral(" (%1).url").arg(n);
        }
        taken.insert(path.toCaseFolded());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            throw EError(fileError(path, file.errorString()));
        }
        const QByteArray text =
            "[InternetShortcut]\r\nURL=" + shortcutAddress(r.URL).toUtf8() + "\r\n";
        if (file.write(text) != text.size() || !file.flush()) {
            throw EError(fileError(path, file.errorString()));
        }
        stepped(progress, i + 1, count);
    }
    return count;
}
