#include "urls/BookmarkEncoding.h"

#include "platform/Text.h"
#include "urls/HtmlTokenizer.h"
#include "urls/TextFiles.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>
#include <optional>

namespace {

// HTML looks for the declaration in the first kilobyte; a bookmark file's comments before
// it may be longer.
constexpr qsizetype kHeadBytes = 4096;

// Bad sequences no more than good ones are damage in a UTF-8 file: a Windows-1251 text makes
// far more bad sequences than good ones (its letters are almost never followed by a byte
// that continues a UTF-8 sequence), while one bad byte in a file with a single accented
// word must not turn the whole file into Windows-1251.
constexpr qsizetype kGoodPerBad = 1;

struct TUtf8Count {
    qsizetype bad = 0;
    qsizetype goodMultibyte = 0;
};

// UTF-8 as the Unicode standard reads it: each maximal part of a sequence that cannot be
// completed is one U+FFFD.
TUtf8Count decodeUtf8(const QByteArray& bytes, qsizetype from, TDecodedText* out) {
    TUtf8Count count;
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    QString text;
    char16_t* p = nullptr;
    if (out) {
        text.resize(n - from);
        p = reinterpret_cast<char16_t*>(text.data());
    }
    qsizetype written = 0;
    const auto put = [&](char16_t c) {
        if (p) {
            p[written] = c;
        }
        ++written;
    };
    qsizetype i = from;
    while (i < n) {
        const unsigned char c = b[i];
        if (c < 0x80) {
            put(c);
            ++i;
            continue;
        }
        unsigned char lo;
        unsigned char hi;
        const int need = Utf8Continuations(c, lo, hi);  // -1 when c leads no sequence
        char32_t code = c & (0x7Fu >> (need + 1));      // the lead's bits of the code point
        qsizetype j = i + 1;
        bool whole = need > 0;
        for (int k = 0; k < need; ++k, ++j) {
            const unsigned char lower = k == 0 ? lo : 0x80;
            const unsigned char upper = k == 0 ? hi : 0xBF;
            if (j >= n || b[j] < lower || b[j] > upper) {
                whole = false;
                break;
            }
            code = (code << 6) | (b[j] & 0x3F);
        }
        if (!whole) {
            if (out) {
                out->damage.push_back(written);
            }
            put(0xFFFD);
            ++count.bad;
            i = j;
            continue;
        }
        ++count.goodMultibyte;
        if (code >= 0x10000) {
            put(QChar::highSurrogate(code));
            put(QChar::lowSurrogate(code));
        } else {
            put(static_cast<char16_t>(code));
        }
        i = j;
    }
    if (out) {
        text.truncate(written);
        out->text = std::move(text);
    }
    return count;
}

void decodeUtf16(const QByteArray& bytes, bool little, TDecodedText& out) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    QString text;
    text.reserve(n / 2);
    const auto unit = [&](qsizetype at) {
        return static_cast<char16_t>(little ? b[at] | (b[at + 1] << 8) : (b[at] << 8) | b[at + 1]);
    };
    const auto bad = [&]() {
        out.damage.push_back(text.size());
        text += QChar(QChar::ReplacementCharacter);
    };
    qsizetype i = 2;
    for (; i + 1 < n; i += 2) {
        const char16_t u = unit(i);
        if (QChar::isHighSurrogate(u)) {
            if (i + 3 < n && QChar::isLowSurrogate(unit(i + 2))) {
                text += QChar(u);
                text += QChar(unit(i + 2));
                i += 2;
            } else {
                bad();
            }
        } else if (QChar::isLowSurrogate(u)) {
            bad();
        } else {
            text += QChar(u);
        }
    }
    if (i < n) {
        bad();  // an odd byte at the end
    }
    out.text = std::move(text);
}

void decodeWindows1251(const QByteArray& bytes, TDecodedText& out) {
    out.text = DecodeWindows1251(bytes);
    // One character per byte; the one byte the code page leaves undefined reads as U+FFFD.
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\x98') {
            out.damage.push_back(i);
        }
    }
}

// The charset in a Content-Type value, as HTML extracts it.
QString charsetOfContent(const QString& content) {
    qsizetype at = 0;
    while ((at = content.indexOf(QLatin1String("charset"), at, Qt::CaseInsensitive)) >= 0) {
        qsizetype i = at + 7;
        while (i < content.size() && content[i].isSpace()) {
            ++i;
        }
        if (i >= content.size() || content[i] != QLatin1Char('=')) {
            at = i;
            continue;
        }
        ++i;
        while (i < content.size() && content[i].isSpace()) {
            ++i;
        }
        if (i < content.size() &&
            (content[i] == QLatin1Char('"') || content[i] == QLatin1Char('\''))) {
            const qsizetype close = content.indexOf(content[i], i + 1);
            return close < 0 ? QString() : content.mid(i + 1, close - i - 1);
        }
        qsizetype end = i;
        while (end < content.size() && !content[end].isSpace() &&
               content[end] != QLatin1Char(';')) {
            ++end;
        }
        return content.mid(i, end - i);
    }
    return QString();
}

QString reasonFor(const QString& encoding) {
    if (encoding == QLatin1String("utf-8")) {
        return QCoreApplication::translate("LinkImport", "неверные байты UTF-8");
    }
    if (encoding.startsWith(QLatin1String("utf-16"))) {
        return QCoreApplication::translate("LinkImport", "неверные байты UTF-16");
    }
    return QCoreApplication::translate("LinkImport", "байты, которых нет в кодировке %1")
        .arg(encoding);
}

}  // namespace

bool TDecodedText::Damaged(qsizetype begin, qsizetype end) const {
    const auto at = std::lower_bound(damage.begin(), damage.end(), begin);
    return at != damage.end() && *at < end;
}

QString DeclaredCharset(const QByteArray& bytes) {
    const QString head = QString::fromLatin1(bytes.left(kHeadBytes));
    THtmlTokenizer tokens(head);
    THtmlToken token;
    while (tokens.Next(token)) {
        if (token.kind != THtmlToken::StartTag || token.name != QLatin1String("meta")) {
            continue;
        }
        // Only a declaration counts: <meta charset> or a Content-Type given as http-equiv; a
        // description that mentions "charset=" is text.
        const bool contentType =
            token.Attribute(QLatin1String("http-equiv"))
                .trimmed()
                .compare(QLatin1String("content-type"), Qt::CaseInsensitive) == 0;
        QString charset =
            token.HasAttribute(QLatin1String("charset")) ? token.Attribute(QLatin1String("charset"))
            : contentType ? charsetOfContent(token.Attribute(QLatin1String("content")))
                          : QString();
        charset = charset.trimmed().toLower();
        static const QRegularExpression name(QStringLiteral("^[a-z0-9._:-]+$"));
        if (!charset.isEmpty() && name.match(charset).hasMatch()) {
            return charset;
        }
    }
    return QString();
}

TDecodedText DecodeBookmarkBytes(const QByteArray& bytes) {
    TDecodedText out;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        out.encoding = QStringLiteral("utf-8");
        decodeUtf8(bytes, 3, &out);
    } else if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        const bool little = bytes.startsWith("\xFF\xFE");
        out.encoding = little ? QStringLiteral("utf-16le") : QStringLiteral("utf-16be");
        decodeUtf16(bytes, little, out);
    } else {
        QString declared = DeclaredCharset(bytes);
        // An ASCII-based file cannot be UTF-16, whatever it says: HTML reads it as UTF-8.
        if (declared == QLatin1String("utf8") || declared == QLatin1String("unicode-1-1-utf-8") ||
            declared.startsWith(QLatin1String("utf-16"))) {
            declared = QStringLiteral("utf-8");
        } else if (declared == QLatin1String("cp1251") || declared == QLatin1String("x-cp1251")) {
            declared = QStringLiteral("windows-1251");
        }
        std::optional<QStringDecoder> other;
        if (!declared.isEmpty() && declared != QLatin1String("utf-8") &&
            declared != QLatin1String("windows-1251")) {
            other.emplace(declared.toLatin1().constData(), QStringDecoder::Flag::Stateless);
            if (!other->isValid()) {
                other.reset();
                declared.clear();  // a name this system does not know: found out as below
            }
        }
        if (declared.isEmpty()) {
            const TUtf8Count count = decodeUtf8(bytes, 0, nullptr);
            declared = count.bad == 0 || count.goodMultibyte >= kGoodPerBad * count.bad
                           ? QStringLiteral("utf-8")
                           : QStringLiteral("windows-1251");
        }
        out.encoding = declared;
        if (declared == QLatin1String("utf-8")) {
            decodeUtf8(bytes, 0, &out);
        } else if (declared == QLatin1String("windows-1251")) {
            decodeWindows1251(bytes, out);
        } else {
            out.text = (*other)(bytes);
            // A legacy code page has no U+FFFD of its own: every one is a byte it lacks.
            for (qsizetype i = 0; i < out.text.size(); ++i) {
                if (out.text[i] == QChar(QChar::ReplacementCharacter)) {
                    out.damage.push_back(i);
                }
            }
        }
    }
    out.reason = reasonFor(out.encoding);
    return out;
}
