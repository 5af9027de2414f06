#include "urls/HtmlTokenizer.h"

#include "platform/Text.h"

namespace {

bool isSpace(QChar c) {
    const char16_t u = c.unicode();
    return u == u' ' || u == u'\t' || u == u'\n' || u == u'\f' || u == u'\r';
}

bool isAsciiAlpha(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}

QString asciiLower(QStringView s) {
    QString out = s.toString();
    for (QChar& c : out) {
        if (c.unicode() >= u'A' && c.unicode() <= u'Z') {
            c = QChar(static_cast<char16_t>(c.unicode() + (u'a' - u'A')));
        }
    }
    return out;
}

// The elements whose contents are text up to their end tag; references are decoded in the
// last two.
const char* const kRawElements[4] = {"script", "style", "title", "textarea"};

}  // namespace

QString THtmlToken::Attribute(QLatin1String attribute) const {
    for (const TAttribute& a : attributes) {
        if (a.name == attribute) {
            return a.value;
        }
    }
    return QString();
}

bool THtmlToken::HasAttribute(QLatin1String attribute) const {
    for (const TAttribute& a : attributes) {
        if (a.name == attribute) {
            return true;
        }
    }
    return false;
}

QString THtmlToken::Decoded() const {
    return decode ? DecodeHtmlEntities(raw) : raw.toString();
}

void THtmlTokenizer::skipSpace() {
    while (m_at < m_text.size() && isSpace(m_text[m_at])) {
        ++m_at;
    }
}

bool THtmlTokenizer::startsMarkup(qsizetype at) const {
    if (at + 1 >= m_text.size() || m_text[at] != QLatin1Char('<')) {
        return false;
    }
    const QChar c = m_text[at + 1];
    // "</" at the very end is text, as a '<' before anything else is.
    return isAsciiAlpha(c) || c == QLatin1Char('!') || c == QLatin1Char('?') ||
           (c == QLatin1Char('/') && at + 2 < m_text.size());
}

bool THtmlTokenizer::Next(THtmlToken& token) {
    const qsizetype n = m_text.size();
    for (;;) {
        token.attributes.clear();
        token.name.clear();
        token.raw = QStringView();
        token.selfClosing = false;
        token.decode = true;
        token.kind = THtmlToken::Text;
        if (m_at >= n) {
            return false;
        }
        token.begin = m_at;
        if (m_rawStop >= 0) {
            const qsizetype stop = m_rawStop;
            m_rawStop = -1;
            if (stop > m_at) {
                token.decode = m_rawDecoded;
                token.raw = m_text.mid(m_at, stop - m_at);
                m_at = stop;
                token.end = stop;
                return true;
            }
        }
        if (startsMarkup(m_at)) {
            const QChar c = m_text[m_at + 1];
            if (c == QLatin1Char('!')) {
                if (m_text.mid(m_at + 2, 2) == QLatin1String("--")) {
                    comment(token);
                } else {
                    bogus(token, THtmlToken::Declaration, m_at + 2);
                }
                return true;
            }
            if (c == QLatin1Char('?')) {
                bogus(token, THtmlToken::Comment, m_at + 1);
                return true;
            }
            if (c == QLatin1Char('/')) {
                const QChar after = m_text[m_at + 2];
                if (after == QLatin1Char('>')) {
                    m_at += 3;  // "</>" is nothing at all
                    continue;
                }
                if (!isAsciiAlpha(after)) {
                    bogus(token, THtmlToken::Comment, m_at + 2);
                    return true;
                }
                return tag(token, true);
            }
            return tag(token, false);
        }
        // Text up to the next '<' that starts something.
        qsizetype next = m_at;
        do {
            next = m_text.indexOf(QLatin1Char('<'), next + 1);
        } while (next >= 0 && !startsMarkup(next));
        const qsizetype stop = next < 0 ? n : next;
        token.raw = m_text.mid(m_at, stop - m_at);
        m_at = stop;
        token.end = stop;
        return true;
    }
}

// A tag from m_at ('<'); false when the text ends inside it, which drops it.
bool THtmlTokenizer::tag(THtmlToken& token, bool end) {
    const qsizetype n = m_text.size();
    token.kind = end ? THtmlToken::EndTag : THtmlToken::StartTag;
    m_at += end ? 2 : 1;
    const qsizetype nameStart = m_at;
    while (m_at < n && !isSpace(m_text[m_at]) && m_text[m_at] != QLatin1Char('/') &&
           m_text[m_at] != QLatin1Char('>')) {
        ++m_at;
    }
    token.name = asciiLower(m_text.mid(nameStart, m_at - nameStart));
    const auto cutOff = [this, n]() {
        m_at = n;
        return false;
    };
    for (;;) {
        skipSpace();
        if (m_at >= n) {
            return cutOff();
        }
        const QChar c = m_text[m_at];
        if (c == QLatin1Char('>')) {
            ++m_at;
            break;
        }
        if (c == QLatin1Char('/')) {
            ++m_at;
            if (m_at < n && m_text[m_at] == QLatin1Char('>')) {
                token.selfClosing = true;
                ++m_at;
                break;
            }
            continue;
        }
        // A name's first character may be anything else, '=' too.
        const qsizetype attrStart = m_at++;
        while (m_at < n && !isSpace(m_text[m_at]) && m_text[m_at] != QLatin1Char('/') &&
               m_text[m_at] != QLatin1Char('>') && m_text[m_at] != QLatin1Char('=')) {
            ++m_at;
        }
        THtmlToken::TAttribute attribute;
        attribute.name = asciiLower(m_text.mid(attrStart, m_at - attrStart));
        skipSpace();
        if (m_at < n && m_text[m_at] == QLatin1Char('=')) {
            ++m_at;
            skipSpace();
            if (m_at >= n) {
                return cutOff();
            }
            const QChar quote = m_text[m_at];
            if (quote == QLatin1Char('"') || quote == QLatin1Char('\'')) {
                const qsizetype close = m_text.indexOf(quote, m_at + 1);
                if (close < 0) {
                    return cutOff();
                }
                attribute.value = DecodeHtmlEntities(m_text.mid(m_at + 1, close - m_at - 1));
                m_at = close + 1;
            } else if (quote != QLatin1Char('>')) {
                const qsizetype valueStart = m_at;
                while (m_at < n && !isSpace(m_text[m_at]) && m_text[m_at] != QLatin1Char('>')) {
                    ++m_at;
                }
                attribute.value = DecodeHtmlEntities(m_text.mid(valueStart, m_at - valueStart));
            }
        }
        if (!end) {
            token.attributes.append(std::move(attribute));
        }
    }
    token.end = m_at;
    token.raw = m_text.mid(token.begin, m_at - token.begin);
    if (!end) {
        findRawEnd(token.name);
    }
    return true;
}

// After the start tag of an element whose contents are text: where that text ends.
void THtmlTokenizer::findRawEnd(const QString& name) {
    int which = -1;
    for (int i = 0; i < 4; ++i) {
        if (name == QLatin1String(kRawElements[i])) {
            which = i;
        }
    }
    if (which < 0 || m_noEnd[which]) {
        return;
    }
    const qsizetype n = m_text.size();
    qsizetype at = m_at;
    while ((at = m_text.indexOf(QLatin1String("</"), at)) >= 0) {
        const qsizetype after = at + 2 + name.size();
        if (after <= n && m_text.mid(at + 2, name.size()).compare(name, Qt::CaseInsensitive) == 0 &&
            (after == n || isSpace(m_text[after]) || m_text[after] == QLatin1Char('/') ||
             m_text[after] == QLatin1Char('>'))) {
            m_rawStop = at;
            m_rawDecoded = which >= 2;
            return;
        }
        at += 2;
    }
    // None to the end: whatever follows is read as HTML, and the next such tag of this
    // element is not searched for again.
    m_noEnd[which] = true;
}

// A comment from m_at ("<!--"): up to "-->" (or "--!>"), or to the end of the text.
void THtmlTokenizer::comment(THtmlToken& token) {
    const qsizetype n = m_text.size();
    token.kind = THtmlToken::Comment;
    const qsizetype start = m_at + 4;
    // "<!-->" and "<!--->" are whole, empty comments.
    if (start < n && m_text[start] == QLatin1Char('>')) {
        m_at = start + 1;
        token.end = m_at;
        return;
    }
    if (m_text.mid(start, 2) == QLatin1String("->")) {
        m_at = start + 2;
        token.end = m_at;
        return;
    }
    qsizetype at = start;
    while ((at = m_text.indexOf(QLatin1String("--"), at)) >= 0) {
        if (at + 2 < n && m_text[at + 2] == QLatin1Char('>')) {
            token.raw = m_text.mid(start, at - start);
            m_at = at + 3;
            token.end = m_at;
            return;
        }
        if (m_text.mid(at + 2, 2) == QLatin1String("!>")) {
            token.raw = m_text.mid(start, at - start);
            m_at = at + 4;
            token.end = m_at;
            return;
        }
        ++at;
    }
    token.raw = m_text.mid(start);
    m_at = n;
    token.end = n;
}

// A declaration or a malformed comment from m_at: up to the next '>', or to the end.
void THtmlTokenizer::bogus(THtmlToken& token, THtmlToken::Kind kind, qsizetype from) {
    token.kind = kind;
    const qsizetype close = m_text.indexOf(QLatin1Char('>'), from);
    const qsizetype stop = close < 0 ? m_text.size() : close;
    token.raw = m_text.mid(from, stop - from);
    m_at = close < 0 ? m_text.size() : close + 1;
    token.end = m_at;
}
