#include "reports/ReportWriter.h"

#include "gridtools/FilterTemplatesUnit.h"
#include "platform/Errors.h"
#include "platform/Text.h"
#include "platform/db/DataSet.h"

#include <QCoreApplication>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

const QLatin1String kCrLf("\r\n");
// The parser of the template pass refuses a line this long.
constexpr int kMaxPageLine = 4096;
constexpr int kCellWidth = 127;
// Ends a page line where a text has no blank for it: a line break inside a tag that shows
// nothing, so the text reads as it did.
constexpr char kForcedBreak[] = "<span\r\n></span>";
constexpr std::size_t kForcedBreakSize = sizeof kForcedBreak - 1;

QString cellText(const TDataSet& dataSet, int position, const TField& field) {
    // Escaped first, so a record's text is shown and never read as markup; then its
    // line breaks become the page's.
    QString text = VisibleControls(HtmlEscaped(field.FieldClass() == TFieldClass::Boolean
                                                   ? CheckMarkText(dataSet.ValueAt(position, field))
                                                   : dataSet.DisplayTextAt(position, field)));
    if (text.contains(QLatin1Char('\r'))) {
        text.replace(QLatin1String("\r\n"), QLatin1String("<br>\r\n"));
    }
    text = BreakLongLines(text, kCellWidth);
    return text.isEmpty() ? QStringLiteral("&nbsp;") : text;
}

// The bytes the page writer writes otherwise than as they stand.
const std::array<bool, 256>& specialBytes() {
    static const std::array<bool, 256> table = []() {
        std::array<bool, 256> t{};
        for (const char c : {'&', '<', '>', '"', '\r', '\n'}) {
            t[static_cast<unsigned char>(c)] = true;
        }
        for (int c = 0; c < 0x20; ++c) {
            t[static_cast<std::size_t>(c)] = true;
        }
        t[0x7F] = true;
        return t;
    }();
    return table;
}

constexpr std::uint64_t kOnes = 0x0101010101010101ull;
constexpr std::uint64_t kHighs = 0x8080808080808080ull;

// Whether any of the eight bytes of w is c (exact for "any", not for which).
inline bool hasByte(std::uint64_t w, unsigned char c) {
    const std::uint64_t v = w ^ (kOnes * c);
    return ((v - kOnes) & ~v & kHighs) != 0;
}

// Whether any of the eight bytes of w is below n (n at most 0x80; exact for "any").
inline bool hasByteBelow(std::uint64_t w, unsigned char n) {
    return ((w - kOnes * n) & ~w & kHighs) != 0;
}

// How many bytes of x have their high bit set, x having no other bit: the multiplication
// adds the eight one-bit bytes into the top byte.
inline std::size_t highBitsSet(std::uint64_t x) {
    return static_cast<std::size_t>(((x >> 7) * kOnes) >> 56);
}

struct TTextScan {
    std::size_t units = 0;   // UTF-16 units, were the bytes well-formed UTF-8
    bool special = false;    // a byte the page writer writes otherwise ("&", "<", ">", '"', CR, LF)
    bool high = false;       // a byte of 0x80 or more
    bool wellFormed = true;  // shown on the way: ASCII and whole two-byte sequences only
};

// What the page writer needs to know of a text, eight bytes at a time: a continuation byte
// (10xxxxxx) adds no unit, a lead byte of four (11110xxx) one more. Text of ASCII and two-byte
// sequences (Latin, Cyrillic, Greek) is shown well-formed in the same pass: each continuation
// follows a lead of two (C2..DF) and each such lead has one. Anything else leaves wellFormed
// false and the exact test to IsUtf8.
TTextScan scanText(const unsigned char* p, const unsigned char* end) {
    TTextScan scan;
    std::uint64_t carry = 0;  // a lead ending the previous word, as byte 0's high bit
    const auto word = [&scan, &carry](std::uint64_t w) {
        scan.units += 8;
        // Every byte below a blank (line ends, tabs, other controls) and DEL as well.
        scan.special = scan.special || hasByte(w, '&') || hasByte(w, '<') || hasByte(w, '>') ||
                       hasByte(w, '"') || hasByteBelow(w, 0x20) || hasByte(w, 0x7F);
        if ((w & kHighs) == 0) {
            scan.wellFormed = scan.wellFormed && carry == 0;
            carry = 0;
            return;
        }
        scan.high = true;
        const std::uint64_t continuation = w & ~(w << 1) & kHighs;
        const std::uint64_t lead = w & (w << 1) & kHighs;
        const std::uint64_t leadOfTwo = lead & ~(w << 2);
        const std::uint64_t leadOfFour = lead & (w << 2) & (w << 3) & kHighs;
        scan.units -= highBitsSet(continuation);
        scan.units += highBitsSet(leadOfFour);
        // C0 and C1 would be overlong: their bits 1 to 4 are clear. Bytes so masked are
        // even, so the zero-byte test is exact for each of them.
        const std::uint64_t bits = w & 0x1E1E1E1E1E1E1E1Eull;
        const std::uint64_t overlong = leadOfTwo & (bits - kOnes) & ~bits & kHighs;
        scan.wellFormed = scan.wellFormed && lead == leadOfTwo && overlong == 0 &&
                          continuation == ((leadOfTwo << 8) | carry);
        carry = leadOfTwo >> 56;
    };
    for (; end - p >= 8; p += 8) {
        word(qFromLittleEndian<std::uint64_t>(p));
    }
    if (p < end) {
        // The last bytes padded with blanks, which are ASCII, no special byte, and counted
        // out again.
        unsigned char last[8];
        std::memset(last, ' ', sizeof last);
        const auto rest = static_cast<std::size_t>(end - p);
        std::memcpy(last, p, rest);
        word(qFromLittleEndian<std::uint64_t>(last));
        scan.units -= 8 - rest;
    }
    scan.wellFormed = scan.wellFormed && carry == 0;
    return scan;
}

// Writes the page through a pointer into the array's spare room, which is what the table's
// hundreds of thousands of small pieces need: the array is kept at its capacity while
// writing and cut to what was written at the end (also when a cell's text throws).
class TPageCursor final {
public:
    explicit TPageCursor(QByteArray& out) : m_out(out), m_size(out.size()) {}
    ~TPageCursor() { m_out.resize(m_size); }
    TPageCursor(const TPageCursor&) = delete;
    TPageCursor& operator=(const TPageCursor&) = delete;

    // Room for n more bytes; what is written there counts once Wrote is told where it ends.
    char* Room(qsizetype n) {
        if (m_out.size() - m_size < n) {
            Reserve(std::max(m_out.capacity() * 2, m_size + n));
        }
        return m_out.data() + m_size;
    }
    void Wrote(const char* end) { m_size = end - m_out.constData(); }
    void Put(QByteArrayView bytes) {
        char* q = Room(bytes.size());
        std::memcpy(q, bytes.data(), static_cast<std::size_t>(bytes.size()));
        m_size += bytes.size();
    }
    void Reserve(qsizetype capacity) {
        m_out.resize(m_size);
        m_out.reserve(capacity);
        m_out.resize(m_out.capacity());
    }
    qsizetype Size() const { return m_size; }

private:
    QByteArray& m_out;
    qsizetype m_size;
};

// Writes escaped UTF-8 text at q, breaking its runs as BreakLongLines does: a run counts
// UTF-16 units, as the QString version does, so a four-byte character is two. The text is
// copied whole and its breaks made in place, so q needs room for size + size / 2 + 1 bytes
// (a break turns one blank into two bytes, or adds a tag of 16 bytes after at least 126).
char* breakRuns(const char* text, std::size_t size, char* q) {
    std::memcpy(q, text, size);
    char* end = q + size;
    constexpr std::size_t kWidth = kCellWidth;
    std::size_t run = 0;
    char* blank = nullptr;
    std::size_t blankRun = 0;
    char* entity = nullptr;  // the "&" of an entity the run is inside
    std::size_t entityRun = 0;
    // The blank becomes CR LF; what follows it moves up one byte.
    const auto breakAtBlank = [&]() {
        std::memmove(blank + 1, blank, static_cast<std::size_t>(end - blank));
        blank[0] = '\r';
        blank[1] = '\n';
        ++end;
        ++q;
        run -= blankRun + 1;
        if (entity) {
            ++entity;
            entityRun -= blankRun + 1;
        }
        blank = nullptr;
    };
    // No blank in the run: the tag goes before the entity the run is in, or here.
    const auto breakInTag = [&]() {
        char* at = entity ? entity : q;
        std::memmove(at + kForcedBreakSize, at, static_cast<std::size_t>(end - at));
        std::memcpy(at, kForcedBreak, kForcedBreakSize);
        end += kForcedBreakSize;
        q += kForcedBreakSize;
        run = entity ? run - entityRun : 0;
        if (entity) {
            entity = at + kForcedBreakSize;
            entityRun = 0;
        }
    };
    while (q < end) {
        const auto c = static_cast<unsigned char>(*q);
        if (c == '\r' || c == '\n' || c == '<') {
            run = 0;
            blank = nullptr;
            entity = nullptr;
            ++q;
            continue;
        }
        const int length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : (c >= 0xE0 ? 3 : 2);
        const std::size_t units = length == 4 ? 2 : 1;
        if (run + units >= kWidth && blank) {
            breakAtBlank();
        }
        if (run + units >= kWidth && !blank) {
            breakInTag();
        }
        if (c == ' ') {
            blank = q;
            blankRun = run;
        } else if (c == '&') {
            entity = q;
            entityRun = run;
        } else if (c == ';') {
            entity = nullptr;
        }
        run += units;
        q += length;
    }
    return end;
}

void putBroken(const char* text, std::size_t size, TPageCursor& page) {
    page.Wrote(breakRuns(text, size, page.Room(static_cast<qsizetype>(size + size / 2 + 1))));
}

// A stored text written as cellText writes it, from its bytes and without a QString:
// escaped, CR LF as "<br>" and a line end, long runs broken. False, with nothing written, for
// bytes that are not UTF-8: their decoding is the QString path's.
bool putCellText(const TCellView& cell, TPageCursor& page) {
    if (cell.size == 0) {
        page.Put("&nbsp;");
        return true;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(cell.data);
    const auto* end = p + cell.size;
    const TTextScan scan = scanText(p, end);
    if (scan.high && !scan.wellFormed &&
        !IsUtf8(QByteArrayView(cell.data, static_cast<qsizetype>(cell.size)))) {
        return false;
    }
    if (!scan.special) {
        if (scan.units < static_cast<std::size_t>(kCellWidth)) {
            page.Put(QByteArrayView(cell.data, static_cast<qsizetype>(cell.size)));
        } else {
            putBroken(cell.data, cell.size, page);
        }
        return true;
    }
    const std::array<bool, 256>& special = specialBytes();
    thread_local std::string escaped;
    escaped.clear();
    const bool lineBreaks = std::memchr(cell.data, '\r', cell.size) != nullptr;
    const char* plain = cell.data;
    const char* const stop = cell.data + cell.size;
    for (const char* q = cell.data; q < stop; ++q) {
        if (!special[static_cast<unsigned char>(*q)]) {
            continue;
        }
        escaped.append(plain, static_cast<std::size_t>(q - plain));
        plain = q + 1;
        if (const char* entity = HtmlEntityOf(*q)) {
            escaped += entity;
            continue;
        }
        switch (*q) {
            case '\r':
                if (lineBreaks && q + 1 < stop && q[1] == '\n') {
                    escaped += "<br>";
                }
                escaped += '\r';
                break;
            case '\t':
            case '\n':
                escaped += *q;
                break;
            default:
                // Any other control shown as its picture (U+2400 + code, U+2421 for DEL):
                // never written raw into the page.
                escaped += "\xE2\x90";
                escaped += static_cast<char>(*q == 0x7F ? 0xA1 : 0x80 + *q);
        }
    }
    escaped.append(plain, static_cast<std::size_t>(stop - plain));
    putBroken(escaped.data(), escaped.size(), page);
    return true;
}

QString ruleLine(int columns) {
    return QStringLiteral(
               "  <TR>\r\n    <TD colspan=\"%1\"><hr size=\"1\" color=\"#000000\"></TD>\r\n"
               "  </TR>\r\n")
        .arg(columns);
}

bool needsQuotes(const QString& item) {
    for (const QChar c : item) {
        if (c.unicode() <= 32 || c == QLatin1Char(',') || c == QLatin1Char('"')) {
            return true;
        }
    }
    return false;
}

}  // namespace

QString VisibleControls(const QString& text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if ((c < 0x20 && c != u'\t' && c != u'\r' && c != u'\n') || c == 0x7F) {
            if (out.isEmpty()) {
                out = text;
            }
            out[i] = QChar(c == 0x7F ? 0x2421 : 0x2400 + c);
        }
    }
    return out.isEmpty() ? text : out;
}

QString BreakLongLines(const QString& text, int width) {
    if (text.size() < width) {
        return text;
    }
    const QLatin1String forced(kForcedBreak);
    QString out;
    out.reserve(text.size() + text.size() / width * forced.size() + 2);
    qsizetype runStart = 0;    // where the current run begins in out
    qsizetype lastBlank = -1;  // the last blank of the run, in out
    qsizetype entity = -1;     // the "&" of an entity the run is inside, in out
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QLatin1Char('<')) {
            out += c;
            runStart = out.size();
            lastBlank = -1;
            entity = -1;
            continue;
        }
        const int units =
            c.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate() ? 2 : 1;
        if (out.size() - runStart + units >= width && lastBlank >= 0) {
            out.replace(lastBlank, 1, kCrLf);
            runStart = lastBlank + 2;
            lastBlank = -1;
            if (entity >= 0) {
                ++entity;
            }
        }
        if (out.size() - runStart + units >= width && lastBlank < 0) {
            // No blank to end the line at: the line ends inside a tag that shows nothing,
            // before the entity the run may be in, never inside a character.
            const qsizetype at = entity >= 0 ? entity : out.size();
            out.insert(at, forced);
            runStart = at + forced.size();
            if (entity >= 0) {
                entity = runStart;
            }
        }
        if (c == QLatin1Char(' ')) {
            lastBlank = out.size();
        } else if (c == QLatin1Char('&')) {
            entity = out.size();
        } else if (c == QLatin1Char(';')) {
            entity = -1;
        }
        out += c;
        if (units == 2) {
            out += text.at(++i);
        }
    }
    return out;
}

namespace {
void appendText(QByteArray& out, const QString& text) {
    out += text.toUtf8();
}

// The table, as WriteReportTable describes it, appended to a page being written.
void appendReportTable(TDataSet& dataSet, const QList<TField*>& fields, const QString& title,
                       QByteArray& out) {
    QList<const TField*> shown;
    for (int i = 0; i < dataSet.FieldCount(); ++i) {
        if (fields.contains(&dataSet.Fields(i))) {
            shown << &dataSet.Fields(i);
        }
    }
    if (dataSet.State() == TDataSetState::Edit || dataSet.State() == TDataSetState::Insert) {
        if (dataSet.Modified()) {
            dataSet.Post();
        } else {
            dataSet.Cancel();
        }
    }
    if (shown.isEmpty() || dataSet.RecordCount() <= 0) {
        return;
    }
    out +=
        "<Table Width=\"100%\" CellSpacing=0 Border=0>\r\n  <Caption>\r\n"
        "    <p align=\"left\"><b><font size=\"3\">";
    appendText(out, HtmlEscaped(title));
    out +=
        "</font></b>\r\n    <hr size=\"3\" color=\"#000000\" noshade>\r\n"
        "  </Caption>\r\n  <b><TR VAlign=\"top\">\r\n";
    for (const TField* f : shown) {
        out += "    <TH Align=\"left\"><font size=\"1\">";
        appendText(out, HtmlEscaped(f->Title()));
        out += "</font></TH>\r\n";
    }
    out += "  </TR></b>\r\n";
    appendText(out, ruleLine(shown.size()));
    // Rows are read by position, so the current record and the attached grid are left
    // alone: nothing to restore, nothing repainted per record.
    const TDataSet::TControlsGuard quiet(dataSet);
    // Stored texts are copied from the row store; a QString is made only for a value shown
    // through its field (numbers, dates).
    static constexpr QByteArrayView cellStart("    <TD><font size=\"1\">");
    static constexpr QByteArrayView cellEnd("</font></TD>\r\n");
    static constexpr QByteArrayView rowStart("  <TR VAlign=\"top\">\r\n");
    static constexpr QByteArrayView rowEnd("  </TR>\r\n");
    const int rows = dataSet.RecordCount();
    const int sample = 64;
    {
        TPageCursor page(out);
        const qsizetype before = page.Size();
        for (int row = 0; row < rows; ++row) {
            if (row == sample && rows > 4 * sample) {
                // One allocation for the page, sized after its first rows with room to spare:
                // pages never touched cost nothing, a second allocation copies the page.
                page.Reserve(
                    before +
                    static_cast<qsizetype>((page.Size() - before) * (double(rows) / sample) * 1.5) +
                    4096);
            }
            page.Put(rowStart);
            for (const TField* f : shown) {
                page.Put(cellStart);
                const TCellView bytes = dataSet.DisplayBytesAt(row, *f);
                if (bytes.tag != TCellView::Text || !putCellText(bytes, page)) {
                    page.Put(cellText(dataSet, row, *f).toUtf8());
                }
                page.Put(cellEnd);
            }
            page.Put(rowEnd);
        }
    }
    appendText(out, ruleLine(shown.size()));
    out += "</Table>\r\n<p></p>\r\n\r\n";
}
}  // namespace

QByteArray WriteReportTable(TDataSet& dataSet, const QList<TField*>& fields, const QString& title) {
    QByteArray out;
    appendReportTable(dataSet, fields, title, out);
    return out;
}

QByteArray BuildReportPage(TDataSet& dataSet, const QList<TField*>& fields, const QString& title) {
    // Pages are UTF-8 like every text the program writes.
    const QString charset = QCoreApplication::translate("ReportWriter", "utf-8");
    QByteArray page =
        "<html>\r\n\r\n<head>\r\n"
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=";
    appendText(page, charset);
    page += "\">\r\n<title>";
    appendText(page, HtmlEscaped(title));
    page += "</title>\r\n</head>\r\n\r\n<body>\r\n<font face=\"Arial\">\r\n\r\n";
    appendReportTable(dataSet, fields, title, page);
    page += "</font>\r\n</body>\r\n\r\n</html>";
    return page;
}

QString CommaText(const QStringList& items) {
    if (items.size() == 1 && items.first().isEmpty()) {
        return QStringLiteral("\"\"");
    }
    QStringList parts;
    for (const QString& item : items) {
        if (needsQuotes(item)) {
            parts << QLatin1Char('"') +
                         QString(item).replace(QLatin1String("\""), QLatin1String("\"\"")) +
                         QLatin1Char('"');
        } else {
            parts << item;
        }
    }
    return parts.join(QLatin1Char(','));
}

QStringList SplitCommaText(const QString& text) {
    QStringList items;
    int i = 0;
    const int n = text.size();
    const auto skipBlanks = [&text, &i, n]() {
        while (i < n && text.at(i).unicode() <= 32) {
            ++i;
        }
    };
    skipBlanks();
    while (i < n) {
        QString item;
        if (text.at(i) == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (text.at(i) == QLatin1Char('"')) {
                    if (i + 1 < n && text.at(i + 1) == QLatin1Char('"')) {
                        item += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text.at(i++);
            }
        } else {
            while (i < n && text.at(i).unicode() > 32 && text.at(i) != QLatin1Char(',')) {
                item += text.at(i++);
            }
        }
        items << item;
        skipBlanks();
        if (i < n && text.at(i) == QLatin1Char(',')) {
            ++i;
            skipBlanks();
            if (i >= n) {
                items << QString();  // a trailing comma ends with an empty item
            }
        }
    }
    return items;
}

QStringList SplitPageLines(const QString& text) {
    QStringList lines;
    int start = 0;
    const int n = text.size();
    for (int i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines << text.mid(start, i - start);
            if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n')) {
                ++i;
            }
            start = i + 1;
        }
    }
    if (start < n) {
        lines << text.mid(start);
    }
    return lines;
}

QString ProducePage(const QString& text) {
    const QChar* const data = text.constData();
    const int n = text.size();
    // The parser's line limit counts bytes of the UTF-8 text, line by line.
    int line = 1;
    int bytes = 0;
    for (int i = 0; i < n; ++i) {
        const char16_t c = data[i].unicode();
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < n && data[i + 1].unicode() == u'\n') {
                ++i;
            }
            ++line;
            bytes = 0;
            continue;
        }
        bytes += c < 0x80 ? 1 : c < 0x800 ? 2 : QChar::isSurrogate(c) ? 2 : 3;
        if (bytes >= kMaxPageLine) {
            throw EError(QCoreApplication::translate("ReportWriter", "Строка слишком длинная") +
                         QCoreApplication::translate("ReportWriter", " в строке ") +
                         QString::number(line));
        }
    }
    QString out;
    out.reserve(n + n / 64 + 2);
    int copied = 0;  // text before this index is in out
    bool lineOpen = false;
    for (int i = 0; i < n; ++i) {
        const char16_t c = data[i].unicode();
        if (c == u'\r' || c == u'\n') {
            out.append(data + copied, i - copied);
            out += kCrLf;
            if (c == u'\r' && i + 1 < n && data[i + 1].unicode() == u'\n') {
                ++i;
            }
            copied = i + 1;
            lineOpen = false;
            continue;
        }
        lineOpen = true;
        if (c != u'<') {
            continue;
        }
        int j = i + 1;
        while (j < n && data[j].unicode() == u' ') {
            ++j;
        }
        if (j < n && data[j].unicode() == u'#') {
            const int close = text.indexOf(QLatin1Char('>'), j);
            if (close >= 0) {
                out.append(data + copied, i - copied);
                // A tag that spans line ends takes them with it.
                i = close;
                copied = close + 1;
                lineOpen = true;
            }
        }
    }
    out.append(data + copied, n - copied);
    if (lineOpen) {
        out += kCrLf;
    }
    return out;
}

QString DetectCharset(const QString& text, const QString& defaultCharset) {
    static const QString mask =
        QStringLiteral("meta?*http-equiv*=*\"*Content-Type*\"?*content*=*\"*charset=@\"");
    int from = 0;
    while (from < text.size()) {
        const int lt = text.indexOf(QLatin1Char('<'), from);
        const int gt = text.indexOf(QLatin1Char('>'), from);
        if (lt < 0 || gt < 0) {
            break;
        }
        const QString tag = lt < gt ? text.mid(lt + 1, gt - lt - 1) : QString();
        from = gt + 1;
        const QString charset = ExtractMask(tag, mask);
        if (!charset.isEmpty()) {
            return charset;
        }
        QString bare = tag.toLower();
        while (bare.endsWith(QLatin1Char(' '))) {
            bare.chop(1);
        }
        if (bare == QLatin1String("/head")) {
            break;
        }
    }
    return defaultCharset;
}

bool IsHtmlMessage(const QString& text) {
    const int lt = text.indexOf(QLatin1Char('<'));
    const int gt = text.indexOf(QLatin1Char('>'));
    if (lt < 0 || gt < 0) {
        return false;
    }
    QString tag = lt < gt ? text.mid(lt + 1, gt - lt - 1).toLower() : QString();
    while (tag.endsWith(QLatin1Char(' '))) {
        tag.chop(1);
    }
    return tag == QLatin1String("html");
}

TReportParts SplitReportRows(const QString& page) {
    static const QString rowStart = QStringLiteral("\r\n  <TR VAlign=\"top\">\r\n");
    static const QString rowEnd = QStringLiteral("\r\n  </TR>\r\n");
    TReportParts parts;
    int at = page.indexOf(rowStart);
    if (at < 0) {
        parts.Head = page;
        return parts;
    }
    parts.Head = page.left(at);
    while (at >= 0) {
        const int next = page.indexOf(rowStart, at + rowStart.size());
        if (next >= 0) {
            parts.Rows << page.mid(at, next - at);
            at = next;
            continue;
        }
        const int end = page.indexOf(rowEnd, at + rowStart.size());
        const int stop = end < 0 ? page.size() : end + rowEnd.size() - 2;
        parts.Rows << page.mid(at, stop - at);
        parts.Tail = page.mid(stop);
        break;
    }
    return parts;
}
