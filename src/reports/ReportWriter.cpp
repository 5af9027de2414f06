#include "reports/ReportWriter.h"

#include "gridtools/FilterTemplatesUnit.h"
#include "platform/Errors.h"
#include "platform/db/DataSet.h"

#include <QCoreApplication>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

const QLatin1String kCrLf("\r\n");
// The parser of the template pass refuses a line this long.
constexpr int kMaxPageLine = 4096;
constexpr int kCellWidth = 127;

QString cellText(const TDataSet& dataSet, int position, const TField& field) {
    // Escaped first, so a record's text is shown and never read as markup; then its
    // line breaks become the page's.
    QString text = HtmlText(dataSet.DisplayTextAt(position, field));
    if (text.contains(QLatin1Char('\r'))) {
        text.replace(QLatin1String("\r\n"), QLatin1String("<br>\r\n"));
    }
    text = BreakLongLines(text, kCellWidth);
    return text.isEmpty() ? QStringLiteral("&nbsp;") : text;
}

// What a byte of a stored text asks of the page writer.
enum TByteClass : unsigned char { Plain, Special, Continuation, Lead2, Lead3, Lead4, Invalid };

const std::array<TByteClass, 256>& byteClasses() {
    static const std::array<TByteClass, 256> table = []() {
        std::array<TByteClass, 256> t{};
        for (int b = 0; b < 256; ++b) {
            t[b] = b < 0x80   ? Plain
                   : b < 0xC0 ? Continuation
                   : b < 0xC2 ? Invalid
                   : b < 0xE0 ? Lead2
                   : b < 0xF0 ? Lead3
                   : b < 0xF5 ? Lead4
                              : Invalid;
        }
        for (const char c : {'&', '<', '>', '"', '\r', '\n'}) {
            t[static_cast<unsigned char>(c)] = Special;
        }
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

// How many bytes of x have their high bit set, x having no other bit: the multiplication
// adds the eight one-bit bytes into the top byte.
inline std::size_t highBitsSet(std::uint64_t x) {
    return static_cast<std::size_t>(((x >> 7) * kOnes) >> 56);
}

struct TTextScan {
    std::size_t units = 0;  // UTF-16 units, were the bytes well-formed UTF-8
    bool special = false;   // a byte the page writes otherwise ("&", "<", ">", '"', CR, LF)
    bool high = false;      // a byte of 0x80 or more
};

// What the page writer needs to know of a text, eight bytes at a time: a continuation byte
// (10xxxxxx) adds no unit, a lead byte of four (11110xxx) one more.
TTextScan scanText(const unsigned char* p, const unsigned char* end) {
    TTextScan scan;
    for (; end - p >= 8; p += 8) {
        std::uint64_t w;
        std::memcpy(&w, p, sizeof w);
        scan.units += 8;
        scan.special = scan.special || hasByte(w, '&') || hasByte(w, '<') || hasByte(w, '>') ||
                       hasByte(w, '"') || hasByte(w, '\r') || hasByte(w, '\n');
        if (w & kHighs) {
            scan.high = true;
            const std::uint64_t continuation = w & ~(w << 1) & kHighs;
            const std::uint64_t leadOfFour = w & (w << 1) & (w << 2) & (w << 3) & kHighs;
            scan.units -= highBitsSet(continuation);
            scan.units += highBitsSet(leadOfFour);
        }
    }
    const std::array<TByteClass, 256>& classes = byteClasses();
    for (; p < end; ++p) {
        const TByteClass k = classes[*p];
        scan.units += (k != Continuation) + (k == Lead4);
        scan.special = scan.special || k == Special;
        scan.high = scan.high || k >= Continuation;
    }
    return scan;
}

// Whether the bytes are UTF-8 as QString::fromUtf8 decodes it without a replacement: no
// overlong form, no surrogate, nothing past U+10FFFF. ASCII goes eight bytes at a time.
bool wellFormedUtf8(const unsigned char* p, const unsigned char* end) {
    while (p < end) {
        std::uint64_t w;
        if (end - p >= 8 && (std::memcpy(&w, p, sizeof w), (w & kHighs) == 0)) {
            p += 8;
            continue;
        }
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        if (c >= 0xC2 && c < 0xE0 && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
            p += 2;  // Cyrillic, Greek, accented Latin
            continue;
        }
        int n;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            n = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 3;
            low = c == 0xE0 ? 0xA0 : 0x80;
            high = c == 0xED ? 0x9F : 0xBF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 4;
            low = c == 0xF0 ? 0x90 : 0x80;
            high = c == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (end - p < n || p[1] < low || p[1] > high) {
            return false;
        }
        for (int i = 2; i < n; ++i) {
            if ((p[i] & 0xC0) != 0x80) {
                return false;
            }
        }
        p += n;
    }
    return true;
}

// Appends escaped UTF-8 text, breaking its runs as BreakLongLines does: a run counts UTF-16
// units, as the QString version does, so a four-byte character is two, and the check falls
// between its two units too. The text is copied whole and its breaks made in place.
void appendBroken(const char* text, std::size_t size, QByteArray& out) {
    const qsizetype start = out.size();
    // Every break turns one blank into two bytes.
    out.resize(start + static_cast<qsizetype>(size + size / 2 + 1));
    char* const base = out.data();
    char* q = base + start;
    std::memcpy(q, text, size);
    char* end = q + size;
    constexpr std::size_t kWidth = kCellWidth;
    std::size_t run = 0;
    char* blank = nullptr;
    std::size_t blankRun = 0;
    // The blank becomes CR LF; what follows it moves up one byte.
    const auto breakAtBlank = [&]() {
        std::memmove(blank + 1, blank, static_cast<std::size_t>(end - blank));
        blank[0] = '\r';
        blank[1] = '\n';
        ++end;
        ++q;
        run -= blankRun + 1;
        blank = nullptr;
    };
    while (q < end) {
        const auto c = static_cast<unsigned char>(*q);
        if (c < 0x80) {
            if (c == '\r' || c == '\n' || c == '<') {
                run = 0;
                blank = nullptr;
                ++q;
                continue;
            }
            if (run + 1 >= kWidth && blank) {
                breakAtBlank();
            }
            if (c == ' ') {
                blank = q;
                blankRun = run;
            }
            ++run;
            ++q;
            continue;
        }
        const int length = c >= 0xF0 ? 4 : (c >= 0xE0 ? 3 : 2);
        for (int unit = length == 4 ? 2 : 1; unit > 0; --unit) {
            if (run + 1 >= kWidth && blank) {
                breakAtBlank();
            }
            ++run;
        }
        q += length;
    }
    out.resize(static_cast<qsizetype>(end - base));
}

// A stored text written as cellText writes it, from its bytes and without a QString:
// escaped, CR LF as "<br>" and a line end, long runs broken. False, with out as it was, for
// bytes that are not UTF-8: their decoding is the QString path's.
bool appendCellText(const TCellView& cell, QByteArray& out) {
    if (cell.size == 0) {
        out += "&nbsp;";
        return true;
    }
    const std::array<TByteClass, 256>& classes = byteClasses();
    const auto* p = reinterpret_cast<const unsigned char*>(cell.data);
    const auto* end = p + cell.size;
    const TTextScan scan = scanText(p, end);
    const std::size_t units = scan.units;
    const bool special = scan.special;
    const bool high = scan.high;
    // Bytes that are not UTF-8 are left to QString's decoding.
    if (high && !wellFormedUtf8(p, end)) {
        return false;
    }
    if (!special) {
        if (units < static_cast<std::size_t>(kCellWidth)) {
            out.append(cell.data, static_cast<qsizetype>(cell.size));
        } else {
            appendBroken(cell.data, cell.size, out);
        }
        return true;
    }
    thread_local std::string escaped;
    escaped.clear();
    const bool lineBreaks = std::memchr(cell.data, '\r', cell.size) != nullptr;
    const char* plain = cell.data;
    const char* const stop = cell.data + cell.size;
    for (const char* q = cell.data; q < stop; ++q) {
        if (classes[static_cast<unsigned char>(*q)] != Special) {
            continue;
        }
        escaped.append(plain, static_cast<std::size_t>(q - plain));
        plain = q + 1;
        switch (*q) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            case '\r':
                if (lineBreaks && q + 1 < stop && q[1] == '\n') {
                    escaped += "<br>";
                }
                escaped += '\r';
                break;
            default:
                escaped += *q;
        }
    }
    escaped.append(plain, static_cast<std::size_t>(stop - plain));
    appendBroken(escaped.data(), escaped.size(), out);
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

QString HtmlText(const QString& text) {
    for (const QChar c : text) {
        if (c == QLatin1Char('&') || c == QLatin1Char('<') || c == QLatin1Char('>') ||
            c == QLatin1Char('"')) {
            return text.toHtmlEscaped();
        }
    }
    return text;
}

QString BreakLongLines(const QString& text, int width) {
    if (text.size() < width) {
        return text;
    }
    QString out;
    out.reserve(text.size() + text.size() / width + 2);
    qsizetype runStart = 0;    // where the current run begins in out
    qsizetype lastBlank = -1;  // the last blank of the run, in out
    for (const QChar c : text) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QLatin1Char('<')) {
            out += c;
            runStart = out.size();
            lastBlank = -1;
            continue;
        }
        if (out.size() - runStart >= width - 1 && lastBlank >= 0) {
            out.replace(lastBlank, 1, kCrLf);
            runStart = lastBlank + 2;
            lastBlank = -1;
        }
        if (c == QLatin1Char(' ')) {
            lastBlank = out.size();
        }
        out += c;
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
    appendText(out, HtmlText(title));
    out +=
        "</font></b>\r\n    <hr size=\"3\" color=\"#000000\" noshade>\r\n"
        "  </Caption>\r\n  <b><TR VAlign=\"top\">\r\n";
    for (const TField* f : shown) {
        out += "    <TH Align=\"left\"><font size=\"1\">";
        appendText(out, HtmlText(f->Title()));
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
    const qsizetype before = out.size();
    for (int row = 0; row < rows; ++row) {
        if (row == sample && rows > 4 * sample) {
            // One allocation for the page, sized after its first rows with room to spare:
            // pages never touched cost nothing, a second allocation copies the page.
            out.reserve(
                before +
                static_cast<qsizetype>((out.size() - before) * (double(rows) / sample) * 1.5) +
                4096);
        }
        out.append(rowStart);
        for (const TField* f : shown) {
            out.append(cellStart);
            const TCellView bytes = dataSet.DisplayBytesAt(row, *f);
            if (bytes.tag != TCellView::Text || !appendCellText(bytes, out)) {
                appendText(out, cellText(dataSet, row, *f));
            }
            out.append(cellEnd);
        }
        out.append(rowEnd);
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
    appendText(page, HtmlText(title));
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
