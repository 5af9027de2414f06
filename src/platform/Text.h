#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <cstddef>

// The program's rules for UTF-8 bytes and HTML text, shared by the report writer, the
// export and the bookmark reader.

// The continuation bytes a UTF-8 sequence led by lead needs (0 for ASCII), with the range
// its first continuation byte must lie in (the rest lie in 0x80..0xBF); -1 for a byte that
// leads no well-formed sequence. The narrow ranges after E0, ED, F0 and F4 keep out
// overlong forms, surrogates and code points past U+10FFFF.
inline int Utf8Continuations(unsigned char lead, unsigned char& low, unsigned char& high) {
    low = 0x80;
    high = 0xBF;
    if (lead < 0x80) {
        return 0;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 1;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
        return 2;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
        return 3;
    }
    return -1;
}

// The length (1 to 4) of the well-formed UTF-8 sequence at p, or 0 when the bytes there are
// none: overlong, a surrogate, past U+10FFFF, cut off by end, or a stray continuation byte.
// Inline and branching on the lead byte's class first, as the export asks it for every
// character beyond ASCII; the bounds are those of Utf8Continuations.
inline int Utf8SequenceLength(const unsigned char* p, const unsigned char* end) {
    const unsigned char c = *p;
    if (c < 0x80) {
        return 1;
    }
    const std::ptrdiff_t left = end - p;
    const auto continuation = [](unsigned char b) { return (b & 0xC0) == 0x80; };
    if (c >= 0xC2 && c <= 0xDF) {
        return left >= 2 && continuation(p[1]) ? 2 : 0;
    }
    if (c >= 0xE0 && c <= 0xEF) {
        if (left < 3 || !continuation(p[1]) || !continuation(p[2]) || (c == 0xE0 && p[1] < 0xA0) ||
            (c == 0xED && p[1] > 0x9F)) {
            return 0;
        }
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (left < 4 || !continuation(p[1]) || !continuation(p[2]) || !continuation(p[3]) ||
            (c == 0xF0 && p[1] < 0x90) || (c == 0xF4 && p[1] > 0x8F)) {
            return 0;
        }
        return 4;
    }
    return 0;
}

// Whether the bytes are well-formed UTF-8: what QString::fromUtf8 decodes without a
// replacement character.
bool IsUtf8(QByteArrayView bytes);

// The entity that stands for a markup character of HTML ("&amp;", "&lt;", "&gt;",
// "&quot;"), nullptr for any other byte. The apostrophe is none: every attribute the program
// writes is in double quotes.
inline const char* HtmlEntityOf(char c) {
    switch (c) {
        case '&':
            return "&amp;";
        case '<':
            return "&lt;";
        case '>':
            return "&gt;";
        case '"':
            return "&quot;";
        default:
            return nullptr;
    }
}

// A text as HTML shows it literally, in text or in a double-quoted attribute: its markup
// characters as entities (HtmlEntityOf). The text itself, not copied, when it has none.
QString HtmlEscaped(const QString& text);

// Appends the bytes as HTML shows them literally: the markup characters as entities, and CR,
// LF and tab as character references, which a double-quoted attribute keeps as they are.
// Runs without such a byte are copied whole: the export writes every bookmark so.
void AppendHtmlEscaped(QByteArray& out, QByteArrayView bytes);

// Character references of HTML text and attribute values: every name of HTML's list with
// its semicolon ("&nbsp;", "&mdash;", "&NotEqualTilde;"...), and the numeric ones
// ("&#8212;", "&#x2014;", the semicolon optional) as HTML reads them: a code out of range,
// a surrogate or 0 becomes U+FFFD, 128 to 159 the Windows-1252 character. Any other '&'
// (an unknown name, a name without its semicolon) stays as it is. Linear in the size of the
// text.
QString DecodeHtmlEntities(QStringView text);
