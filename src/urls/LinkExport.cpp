#include "urls/LinkExport.h"

#include "common/CsvText.h"
#include "platform/Errors.h"
#include "platform/FileNames.h"
#include "platform/Text.h"
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
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

constexpr int kTitleMax = 100;
constexpr int kProgressEvery = 4096;
constexpr int kChunk = 1 << 20;

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

// Text for HTML: the markup characters as entities; CR, LF and tab as character references
// in an attribute (as AppendHtmlEscaped writes them) and as blanks elsewhere (a bookmark's
// title is one line).
QString escaped(const QString& text, bool attribute) {
    QString out = HtmlEscaped(text);
    for (const char16_t c : {u'\r', u'\n', u'\t'}) {
        if (out.contains(QChar(c))) {
            out.replace(QChar(c), attribute ? QStringLiteral("&#%1;").arg(static_cast<int>(c))
                                            : QStringLiteral(" "));
        }
    }
    return out;
}

void stepped(const TExportProgress& progress, int done, int total) {
    if (progress && done % kProgressEvery == 0) {
        progress(done, total);
    }
}

// Whether a well-formed sequence of two or three bytes is a blank: U+0085, U+00A0, U+1680,
// U+2000 to U+200A, U+2028, U+2029, U+202F, U+205F or U+3000.
bool unicodeBlank(const unsigned char* p, int length) {
    if (length == 2) {
        return p[0] == 0xC2 && (p[1] == 0x85 || p[1] == 0xA0);
    }
    const unsigned char c = p[0];
    return (c == 0xE1 && p[1] == 0x9A && p[2] == 0x80) ||
           (c == 0xE2 && p[1] == 0x80 &&
            (p[2] <= 0x8A || p[2] == 0xA8 || p[2] == 0xA9 || p[2] == 0xAF)) ||
           (c == 0xE2 && p[1] == 0x81 && p[2] == 0x9F) ||
           (c == 0xE3 && p[1] == 0x80 && p[2] == 0x80);
}

// Whether the bytes are well-formed UTF-8 of one- to three-byte characters with no blank
// beyond ASCII: then a UTF-16 unit is a character, and ASCII blanks are all that a title's
// simplification changes, so the bytes can be written as they are.
bool plainUtf8(QByteArrayView text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        const int length = Utf8SequenceLength(p, end);
        if (length == 0 || length == 4 || unicodeBlank(p, length)) {
            return false;
        }
        p += length;
    }
    return true;
}

bool asciiBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The byte form of writeLink below, for plain texts; false to leave the record to it.
bool writeLinkBytes(QByteArray& line, const TExportBytes& r, const QByteArray& addDate) {
    if (!plainUtf8(r.URL) || !plainUtf8(r.Description) || !plainUtf8(r.Category)) {
        return false;
    }
    // The title simplified: ASCII blanks runs as one space, none at either end. Most
    // descriptions are so already and are not copied.
    const QByteArrayView d = r.Description;
    bool simple = d.isEmpty() || (!asciiBlank(d.front()) && !asciiBlank(d.back()));
    for (qsizetype i = 0; simple && i < d.size(); ++i) {
        simple = d.at(i) == ' ' ? !asciiBlank(d.at(i + 1)) : !asciiBlank(d.at(i));
    }
    QByteArray simplified;
    if (!simple) {
        simplified.reserve(d.size());
        for (const char c : d) {
            if (asciiBlank(c)) {
                if (!simplified.isEmpty() && simplified.back() != ' ') {
                    simplified += ' ';
                }
            } else {
                simplified += c;
            }
        }
        if (!simplified.isEmpty() && simplified.back() == ' ') {
            simplified.chop(1);
        }
    }
    const QByteArrayView title = simple ? d : QByteArrayView(simplified);
    qsizetype characters = 0;
    qsizetype cutAt = -1;  // the byte where the 100th character begins
    for (qsizetype i = 0; i < title.size(); ++i) {
        if ((static_cast<unsigned char>(title.at(i)) & 0xC0) != 0x80) {
            if (characters == kTitleMax - 1) {
                cutAt = i;
            }
            ++characters;
        }
    }
    const bool cut = characters > kTitleMax;
    QByteArray tags;
    qsizetype begin = 0;
    const QByteArrayView category = r.Category;
    for (qsizetype i = 0; i <= category.size(); ++i) {
        const char c = i < category.size() ? category.at(i) : ';';
        if (c != ';' && c != '\r' && c != '\n') {
            continue;
        }
        qsizetype b = begin;
        qsizetype e = i;
        while (b < e && static_cast<unsigned char>(category.at(b)) <= 0x20) {
            ++b;
        }
        while (e > b && static_cast<unsigned char>(category.at(e - 1)) <= 0x20) {
            --e;
        }
        const QByteArrayView name = category.sliced(b, e - b);
        if (!name.isEmpty() && !name.contains(',')) {  // TAGS are separated by commas
            if (!tags.isEmpty()) {
                tags += ',';
            }
            tags += name;
        }
        begin = i + 1;
    }
    line += "        <DT><A HREF=\"";
    AppendHtmlEscaped(line, r.URL);
    line += "\" ADD_DATE=\"";
    line += addDate;
    if (!tags.isEmpty()) {
        line += "\" TAGS=\"";
        AppendHtmlEscaped(line, tags);
    }
    line += "\">";
    if (cut) {
        AppendHtmlEscaped(line, title.first(cutAt));
        line += "\xE2\x80\xA6";  // U+2026
    } else {
        AppendHtmlEscaped(line, title);
    }
    line += "</A>\n";
    if (cut) {
        line += "        <DD>";
        AppendHtmlEscaped(line, title);
        line += '\n';
    }
    return true;
}

// A bookmark's lines, made as one text and converted once.
void writeLink(TChunkWriter& w, const TExportRecord& r, const QString& addDate) {
    const QStringList names = SplitCategoryNames(r.Category);
    QString tags;
    for (const QString& n : names) {
        if (!n.contains(QLatin1Char(','))) {  // TAGS are separated by commas
            if (!tags.isEmpty()) {
                tags += QLatin1Char(',');
            }
            tags += n;
        }
    }
    const QString title = r.Description.simplified();
    const bool cut = title.size() > kTitleMax;
    QString line;
    line.reserve(r.URL.size() + title.size() * (cut ? 2 : 1) + tags.size() + 64);
    line += QLatin1String("        <DT><A HREF=\"");
    line += escaped(r.URL, true);
    line += QLatin1String("\" ADD_DATE=\"");
    line += addDate;
    if (!tags.isEmpty()) {
        line += QLatin1String("\" TAGS=\"");
        line += escaped(tags, true);
    }
    line += QLatin1String("\">");
    line += escaped(cut ? title.left(kTitleMax - 1) + QChar(0x2026) : title, false);
    line += QLatin1String("</A>\n");
    if (cut) {
        line += QLatin1String("        <DD>");
        line += escaped(title, false);
        line += QLatin1Char('\n');
    }
    w.add(line);
}

QString shortcutAddress(const QString& url) {
    // A line break would end the key and begin another in the file.
    QString out = url;
    out.replace(QLatin1Char('\r'), QStringLiteral("%0D"));
    out.replace(QLatin1Char('\n'), QStringLiteral("%0A"));
    return out;
}

QString fileError(const QString& file, const QString& reason) {
    return QCoreApplication::translate("LinkExport", "Не удалось записать %1: %2")
        .arg(file, reason);
}

}  // namespace

QStringList CategoryFolderPath(const QString& category) {
    QStringList path;
    for (const QString& part : category.split(QLatin1Char('/'))) {
        const QString name = part.trimmed();
        if (!name.isEmpty()) {
            path << name;
        }
    }
    if (path.isEmpty() && !category.trimmed().isEmpty()) {
        path << category.trimmed();
    }
    return path;
}

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

bool TDataSetExportSource::BytesAt(int i, TExportBytes& bytes) const {
    const auto take = [this, i](int field, QByteArrayView& out) {
        const TField& f = m_ds.Fields(field);
        const TCellView c = m_ds.DisplayBytesAt(i, f);
        if (c.tag == TCellView::Text) {
            out = QByteArrayView(c.data, static_cast<qsizetype>(c.size));
            return true;
        }
        out = QByteArrayView();
        return m_ds.CellAt(i, f).isNull();  // empty; other values are made into texts
    };
    return take(m_url, bytes.URL) && take(m_description, bytes.Description) &&
           take(m_category, bytes.Category);
}

void WriteBookmarkHtml(QIODevice& out, const TExportSource& source, const TExportOptions& options,
                       const TExportProgress& progress) {
    // A tree of folders: a category "a/b/c" is the folder c inside b inside a, so a tree
    // imported as folder paths comes back as the same tree. Sub-folders in the order of
    // their names, letter case aside; records without a category at the top. Each folder
    // keeps its records' positions, not their texts.
    struct TFolder {
        QString name;
        std::vector<int> records;
        std::vector<int> children;
        QHash<QString, int> byName;
    };
    std::vector<TFolder> folders(1);  // the top
    // The folders of one category text, found once: a catalogue has few such texts.
    const auto foldersOf = [&](const QString& category) {
        std::vector<int> found;
        for (const QString& name : SplitCategoryNames(category)) {
            int at = 0;
            for (const QString& part : CategoryFolderPath(name)) {
                const QString key = part.toCaseFolded();
                int next = folders[static_cast<std::size_t>(at)].byName.value(key, -1);
                if (next < 0) {
                    next = static_cast<int>(folders.size());
                    folders[static_cast<std::size_t>(at)].byName.insert(key, next);
                    folders[static_cast<std::size_t>(at)].children.push_back(next);
                    folders.push_back({part, {}, {}, {}});
                }
                at = next;
            }
            if (at != 0 && std::find(found.begin(), found.end(), at) == found.end()) {
                found.push_back(at);
            }
            if (!options.eachCategory) {
                break;
            }
        }
        return found;
    };
    std::unordered_map<std::string_view, std::vector<int>> byText;
    TExportBytes bytes;
    const int count = source.Count();
    int total = 0;
    for (int i = 0; i < count; ++i) {
        std::vector<int> computed;
        const std::vector<int>* found = &computed;
        if (source.BytesAt(i, bytes)) {
            const std::string_view text(bytes.Category.data(),
                                        static_cast<std::size_t>(bytes.Category.size()));
            auto at = byText.find(text);
            if (at == byText.end()) {
                at = byText.emplace(text, foldersOf(QString::fromUtf8(bytes.Category))).first;
            }
            found = &at->second;
        } else {
            computed = foldersOf(source.CategoryAt(i));
        }
        if (found->empty()) {
            folders.front().records.push_back(i);
            ++total;
        }
        for (const int f : *found) {
            folders[static_cast<std::size_t>(f)].records.push_back(i);
            ++total;
        }
    }
    for (TFolder& f : folders) {
        std::sort(f.children.begin(), f.children.end(), [&folders](int a, int b) {
            return folders[static_cast<std::size_t>(a)].name.compare(
                       folders[static_cast<std::size_t>(b)].name, Qt::CaseInsensitive) < 0;
        });
    }
    const QString addDate = QString::number(options.addDate);
    const QByteArray addDateBytes = addDate.toLatin1();
    TChunkWriter w(out);
    QByteArray line;
    const auto link = [&](int i) {
        line.clear();
        if (source.BytesAt(i, bytes) && writeLinkBytes(line, bytes, addDateBytes)) {
            w.add(line);
        } else {
            writeLink(w, source.At(i), addDate);
        }
    };
    w.add(
        "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
        "<!-- This is an automatically generated file.\n"
        "     It will be read and overwritten.\n"
        "     DO NOT EDIT! -->\n"
        "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
        "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n");
    int done = 0;
    // Depth first without recursion: a deep path must not exhaust the stack.
    struct TVisit {
        int folder;
        std::size_t child;
    };
    std::vector<TVisit> stack = {{0, 0}};
    for (const int i : folders.front().records) {
        link(i);
        stepped(progress, ++done, total);
    }
    while (!stack.empty()) {
        TVisit& v = stack.back();
        const TFolder& parent = folders[static_cast<std::size_t>(v.folder)];
        if (v.child == parent.children.size()) {
            stack.pop_back();
            if (!stack.empty()) {
                w.add(QByteArray(static_cast<qsizetype>(stack.size()) * 4, ' '));
                w.add("</DL><p>\n");
            }
            continue;
        }
        const int next = parent.children[v.child++];
        const TFolder& f = folders[static_cast<std::size_t>(next)];
        const QByteArray indent(static_cast<qsizetype>(stack.size()) * 4, ' ');
        w.add(indent);
        w.add("<DT><H3 ADD_DATE=\"");
        w.add(addDateBytes);
        w.add("\">");
        w.add(escaped(f.name, false));
        w.add("</H3>\n");
        w.add(indent);
        w.add("<DL><p>\n");
        for (const int i : f.records) {
            link(i);
            stepped(progress, ++done, total);
        }
        stack.push_back({next, 0});
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
        constexpr TCsvFormulas guard = TCsvFormulas::Guard;
        w.add(CsvField(r.URL, guard) + QLatin1Char(',') + CsvField(r.Description, guard) +
              QLatin1Char(',') + CsvField(r.Category, guard) +
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
        // A pipe or a device in the file's place would be replaced by a file of its name.
        const QFileInfo existing(target);
        if (existing.exists() && !existing.isFile()) {
            throw EError(fileError(
                target, QCoreApplication::translate("LinkExport", "это не обычный файл")));
        }
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
    // One file per record below its categories' folders, in their order (a category "a/b"
    // is the folder b inside a); a name taken (by this export or already there) gets a
    // number.
    QSet<QString> taken;
    const int count = source.Count();
    for (int i = 0; i < count; ++i) {
        const TExportRecord r = source.At(i);
        QString folder = target;
        // The first folder this record makes, so that a failure takes back what it made.
        QString made;
        for (const QString& name : SplitCategoryNames(r.Category)) {
            for (const QString& part : CategoryFolderPath(name)) {
                folder += QLatin1Char('/') + SafeFileName(part);
                if (made.isEmpty() && !QFileInfo::exists(folder)) {
                    made = folder;
                }
            }
        }
        // Whatever fails below takes back the folders this record made, when empty; the
        // folders above the first of them were there before and stay.
        const auto takeBack = [&made, &folder]() {
            for (QString left = folder; !made.isEmpty() && left.size() >= made.size();
                 left = QFileInfo(left).path()) {
                QDir().rmdir(left);
            }
        };
        if (!MakeFolders(folder)) {
            takeBack();
            throw EError(
                fileError(folder, QCoreApplication::translate("LinkExport", "папка не создана")));
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
            const QString reason = file.errorString();
            takeBack();
            throw EError(fileError(path, reason));
        }
        const QByteArray text =
            "[InternetShortcut]\r\nURL=" + shortcutAddress(r.URL).toUtf8() + "\r\n";
        bool written = file.write(text) == text.size() && file.flush();
        const QString reason = file.errorString();
        file.close();
        written = written && file.error() == QFileDevice::NoError;
        if (!written) {
            // Nothing half-written stays: the shortcut this record began goes, and with it
            // the folders it made, when they are empty.
            file.remove();
            takeBack();
            throw EError(fileError(path, reason));
        }
        stepped(progress, i + 1, count);
    }
    return count;
}
