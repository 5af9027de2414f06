#include "platform/Text.h"

#include "platform/HtmlEntityTable.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

bool IsUtf8(QByteArrayView bytes) {
    // The report writer asks this of every cell beyond Latin and Cyrillic, so runs of ASCII
    // are passed eight bytes at a time rather than through QStringDecoder.
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        std::uint64_t w;
        if (end - p >= 8 && (std::memcpy(&w, p, sizeof w), (w & kHighs) == 0)) {
            p += 8;
            continue;
        }
        const int length = Utf8SequenceLength(p, end);
        if (length == 0) {
            return false;
        }
        p += length;
    }
    return true;
}

QString HtmlEscaped(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x80 && HtmlEntityOf(static_cast<char>(c.unicode()))) {
            return text.toHtmlEscaped();  // exactly the entities of HtmlEntityOf
        }
    }
    return text;
}

void AppendHtmlEscaped(QByteArray& out, QByteArrayView bytes) {
    const char* data = bytes.data();
    qsizetype run = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = data[i];
        // Every byte that is written otherwise lies at or below '>': letters, and every byte
        // of a character beyond ASCII, are passed over with one comparison.
        if (static_cast<unsigned char>(c) > '>') {
            continue;
        }
        const char* entity = c == '\r'   ? "&#13;"
                             : c == '\n' ? "&#10;"
                             : c == '\t' ? "&#9;"
                                         : HtmlEntityOf(c);
        if (entity) {
            out.append(data + run, i - run);
            out.append(entity);
            run = i + 1;
        }
    }
    out.append(data + run, bytes.size() - run);
}

namespace {

struct TNamedReference {
    std::string_view name;
    char32_t code[2];
    int count;
};

// The longest name of the list: a text of many '&' and no ';' is not searched further than
// this from each of them.
constexpr int kMaxName = 31;

// The list, read once into a table sorted by name.
const std::vector<TNamedReference>& namedReferences() {
    static const std::vector<TNamedReference> table = []() {
        std::vector<TNamedReference> t;
        const std::string_view list(kHtmlNamedReferences);
        std::size_t at = 0;
        while (at < list.size()) {
            const std::size_t blank = list.find(' ', at);
            const std::string_view entry = list.substr(at, blank - at);
            at = blank == std::string_view::npos ? list.size() : blank + 1;
            const std::size_t colon = entry.find(':');
            TNamedReference r{entry.substr(0, colon), {0, 0}, 0};
            std::size_t from = colon + 1;
            while (from < entry.size() && r.count < 2) {
                std::size_t plus = entry.find('+', from);
                plus = plus == std::string_view::npos ? entry.size() : plus;
                const std::string hex(entry.substr(from, plus - from));
                r.code[r.count++] = static_cast<char32_t>(std::stoul(hex, nullptr, 16));
                from = plus + 1;
            }
            t.push_back(r);
        }
        std::sort(t.begin(), t.end(), [](const TNamedReference& a, const TNamedReference& b) {
            return a.name < b.name;
        });
        return t;
    }();
    return table;
}

// HTML reads the C1 codes of a numeric reference as Windows-1252 (0: no such character).
const char16_t kWindows1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

bool isAsciiAlnum(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9');
}

int hexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') {
        return u - u'0';
    }
    if (u >= u'a' && u <= u'f') {
        return u - u'a' + 10;
    }
    if (u >= u'A' && u <= u'F') {
        return u - u'A' + 10;
    }
    return -1;
}

void appendCode(QString& out, char32_t code) {
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        code = 0xFFFD;
    } else if (code >= 0x80 && code <= 0x9F && kWindows1252[code - 0x80] != 0) {
        code = kWindows1252[code - 0x80];
    }
    out += QString::fromUcs4(&code, 1);
}

// A numeric reference at text[at] == '&', text[at + 1] == '#': its end, or -1 for none.
qsizetype numeric(QStringView text, qsizetype at, QString& out) {
    qsizetype i = at + 2;
    const bool hex =
        i < text.size() && (text[i] == QLatin1Char('x') || text[i] == QLatin1Char('X'));
    if (hex) {
        ++i;
    }
    const qsizetype digits = i;
    char32_t code = 0;
    for (; i < text.size(); ++i) {
        const int v =
            hex ? hexValue(text[i])
                : (text[i].isDigit() && text[i].unicode() < 0x80 ? text[i].unicode() - u'0' : -1);
        if (v < 0) {
            break;
        }
        // Past the last code point the value only has to stay out of range.
        code = code > 0x10FFFF ? code : code * (hex ? 16 : 10) + static_cast<char32_t>(v);
    }
    if (i == digits) {
        return -1;
    }
    appendCode(out, code);
    return i < text.size() && text[i] == QLatin1Char(';') ? i + 1 : i;
}

// A named reference at text[at] == '&': its end, or -1 for none.
qsizetype named(QStringView text, qsizetype at, QString& out) {
    char name[kMaxName];
    qsizetype i = at + 1;
    int n = 0;
    while (i < text.size() && n < kMaxName && isAsciiAlnum(text[i])) {
        name[n++] = static_cast<char>(text[i].unicode());
        ++i;
    }
    if (n == 0 || i >= text.size() || text[i] != QLatin1Char(';')) {
        return -1;
    }
    const std::string_view key(name, static_cast<std::size_t>(n));
    const std::vector<TNamedReference>& table = namedReferences();
    const auto found =
        std::lower_bound(table.begin(), table.end(), key,
                         [](const TNamedReference& r, std::string_view k) { return r.name < k; });
    if (found == table.end() || found->name != key) {
        return -1;
    }
    out += QString::fromUcs4(found->code, found->count);
    return i + 1;
}

}  // namespace

QString DecodeHtmlEntities(QStringView text) {
    qsizetype amp = text.indexOf(QLatin1Char('&'));
    if (amp < 0) {
        return text.toString();
    }
    QString out;
    out.reserve(text.size());
    qsizetype done = 0;
    while (amp >= 0) {
        out += text.mid(done, amp - done);
        const bool hash = amp + 1 < text.size() && text[amp + 1] == QLatin1Char('#');
        const qsizetype end = hash ? numeric(text, amp, out) : named(text, amp, out);
        if (end < 0) {
            out += QLatin1Char('&');
            done = amp + 1;
        } else {
            done = end;
        }
        amp = text.indexOf(QLatin1Char('&'), done);
    }
    out += text.mid(done);
    return out;
}
