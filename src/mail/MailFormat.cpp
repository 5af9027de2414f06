#include "mail/MailFormat.h"

#include "platform/Errors.h"

#include <QStringList>
#include <QUuid>

namespace {

// RFC 5322 2.1.1: lines SHOULD stay within 78 characters.
constexpr int kHeaderWidth = 78;
// RFC 2045 6.7 (5): encoded lines are at most 76 characters.
constexpr int kQuotedWidth = 76;
// RFC 2047 2: an encoded word is at most 75 characters; "=?UTF-8?B?" and "?=" take 12,
// which leaves 60 base64 characters, 45 bytes.
constexpr int kWordBytes = 45;

const char kHex[] = "0123456789ABCDEF";

bool isSpecial(QChar c) {
    return QStringView(u"()<>[]:;@\\,.\"").contains(c);
}

void addEncoded(QByteArray& out, char byte) {
    const auto b = static_cast<unsigned char>(byte);
    out += '=';
    out += kHex[b >> 4];
    out += kHex[b & 15];
}

// One line of quoted-printable text, without its line end, with soft breaks.
void quoteLine(QByteArray& out, const QByteArray& line) {
    int width = 0;
    for (int i = 0; i < line.size(); ++i) {
        const char c = line.at(i);
        const auto u = static_cast<unsigned char>(c);
        const bool last = i + 1 == line.size();
        const bool atStart = width == 0;
        bool literal = (u >= 33 && u <= 126 && c != '=') || ((c == ' ' || c == '\t') && !last);
        // A line starting with "." or "From " means something to servers and mailboxes.
        if (atStart && (c == '.' || (c == 'F' && line.mid(i, 5) == "From "))) {
            literal = false;
        }
        const int size = literal ? 1 : 3;
        if (width + size > kQuotedWidth - 1 && !(last && width + size <= kQuotedWidth)) {
            out += "=\r\n";
            width = 0;
            if (c == '.') {
                literal = false;
            }
        }
        if (literal) {
            out += c;
            width += 1;
        } else {
            addEncoded(out, c);
            width += 3;
        }
    }
}

bool isAttributeChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           QByteArrayView("!#$&+-.^_`|~").contains(c);
}

}  // namespace

bool IsPlainAscii(const QString& text) {
    for (const QChar c : text) {
        if ((c.unicode() < 32 && c != QLatin1Char('\t')) || c.unicode() > 126) {
            return false;
        }
    }
    return true;
}

namespace {
// The words of EncodedWords, the first one holding at most firstBytes bytes, so it fits
// on a header line behind the field's name.
QString encodedWords(const QString& text, int firstBytes) {
    QStringList words;
    int limit = qBound(3, firstBytes, kWordBytes);
    QByteArray chunk;
    const auto flush = [&words, &chunk]() {
        if (!chunk.isEmpty()) {
            words << QStringLiteral("=?UTF-8?B?") + QString::fromLatin1(chunk.toBase64()) +
                         QStringLiteral("?=");
            chunk.clear();
        }
    };
    for (int i = 0; i < text.size(); ++i) {
        // A surrogate pair is one character: never split between its halves.
        const int length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray bytes = text.mid(i, length).toUtf8();
        if (!chunk.isEmpty() && chunk.size() + bytes.size() > limit) {
            flush();
            limit = kWordBytes;
        }
        chunk += bytes;
        i += length - 1;
    }
    flush();
    return words.join(QLatin1Char(' '));
}
}  // namespace

QString EncodedWords(const QString& text) {
    return encodedWords(text, kWordBytes);
}

QByteArray HeaderLine(const QString& name, const QString& value) {
    if (value.contains(QLatin1Char('\r')) || value.contains(QLatin1Char('\n'))) {
        throw EError(QStringLiteral("Invalid line break in header"));
    }
    // "Name: " and the 12 characters around the base64 of the first word.
    const int firstBytes = (kHeaderWidth - static_cast<int>(name.size()) - 2 - 12) / 4 * 3;
    const QString text = IsPlainAscii(value) ? value : encodedWords(value, firstBytes);
    QString out;
    QString current = name + QLatin1Char(':');
    for (const QString& word : text.split(QLatin1Char(' '))) {
        if (!word.isEmpty() && current.size() + 1 + word.size() > kHeaderWidth &&
            current.trimmed().size() > name.size() + 1) {
            out += current + QStringLiteral("\r\n");
            current.clear();
        }
        current += QLatin1Char(' ') + word;
    }
    out += current;
    return out.toUtf8();
}

QString Mailbox(const QString& displayName, const QString& address) {
    const QString name = displayName.trimmed();
    const QString angle = QLatin1Char('<') + address + QLatin1Char('>');
    if (name.isEmpty()) {
        return angle;
    }
    if (!IsPlainAscii(name)) {
        return EncodedWords(name) + QLatin1Char(' ') + angle;
    }
    bool special = false;
    for (const QChar c : name) {
        special = special || isSpecial(c);
    }
    if (!special) {
        return name + QLatin1Char(' ') + angle;
    }
    QString quoted = name;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    quoted.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + quoted + QStringLiteral("\" ") + angle;
}

bool IsValidMailAddress(const QString& address) {
    const int at = address.lastIndexOf(QLatin1Char('@'));
    if (at <= 0 || at == address.size() - 1) {
        return false;
    }
    for (const QChar c : address) {
        if (c.unicode() <= 32 || c.unicode() > 126 || c == QLatin1Char('<') ||
            c == QLatin1Char('>') || c == QLatin1Char('(') || c == QLatin1Char(')') ||
            c == QLatin1Char(',') || c == QLatin1Char(';') || c == QLatin1Char('\\') ||
            c == QLatin1Char('"') || c == QLatin1Char('[') || c == QLatin1Char(']')) {
            return false;
        }
    }
    return true;
}

QByteArray QuotedPrintable(const QByteArray& text) {
    QByteArray out;
    out.reserve(text.size() + text.size() / 8);
    int start = 0;
    while (start <= text.size()) {
        const int end = text.indexOf("\r\n", start);
        quoteLine(out, text.mid(start, end < 0 ? -1 : end - start));
        if (end < 0) {
            break;
        }
        out += "\r\n";
        start = end + 2;
    }
    return out;
}

QByteArray FileNameParameter(const QString& parameter, const QString& fileName) {
    if (IsPlainAscii(fileName) && !fileName.contains(QLatin1Char('"')) &&
        !fileName.contains(QLatin1Char('\\'))) {
        return parameter.toLatin1() + "=\"" + fileName.toLatin1() + '"';
    }
    QByteArray out = parameter.toLatin1() + "*=UTF-8''";
    for (const char c : fileName.toUtf8()) {
        if (isAttributeChar(c)) {
            out += c;
        } else {
            out += '%';
            out += kHex[static_cast<unsigned char>(c) >> 4];
            out += kHex[static_cast<unsigned char>(c) & 15];
        }
    }
    return out;
}

QString MailDate(const QDateTime& when) {
    static const char* const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate d = when.date();
    const QTime t = when.time();
    const int offset = when.offsetFromUtc() / 60;
    const int minutes = offset < 0 ? -offset : offset;
    return QStringLiteral("%1, %2 %3 %4 %5:%6:%7 %8%9%10")
        .arg(QLatin1String(days[d.dayOfWeek() - 1]))
        .arg(d.day(), 2, 10, QLatin1Char('0'))
        .arg(QLatin1String(months[d.month() - 1]))
        .arg(d.year())
        .arg(t.hour(), 2, 10, QLatin1Char('0'))
        .arg(t.minute(), 2, 10, QLatin1Char('0'))
        .arg(t.second(), 2, 10, QLatin1Char('0'))
        .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString NewMessageId(const QString& host) {
    QString domain;
    for (const QChar c : host) {
        if ((c.unicode() < 128 && c.isLetterOrNumber()) || c == QLatin1Char('-') ||
            c == QLatin1Char('.')) {
            domain += c;
        }
    }
    if (domain.isEmpty()) {
        domain = QStringLiteral("localhost");
    }
    return QLatin1Char('<') + QUuid::createUuid().toString(QUuid::WithoutBraces) +
           QLatin1Char('@') + domain + QLatin1Char('>');
}
