#include "platform/db/JetSql.h"

#include "platform/db/FieldTypes.h"

namespace {

bool isIdentChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

bool isHex(QChar c) {
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
           (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

// Length of a braced GUID starting at i ("{8-4-4-4-12}", 38 characters), or 0.
int guidLength(const QString& s, int i) {
    static const int groups[] = {8, 4, 4, 4, 12};
    if (i + 38 > s.size() || s.at(i) != QLatin1Char('{')) {
        return 0;
    }
    int p = i + 1;
    for (int g = 0; g < 5; ++g) {
        for (int k = 0; k < groups[g]; ++k, ++p) {
            if (!isHex(s.at(p))) {
                return 0;
            }
        }
        if (g < 4) {
            if (s.at(p) != QLatin1Char('-')) {
                return 0;
            }
            ++p;
        }
    }
    return s.at(p) == QLatin1Char('}') ? 38 : 0;
}

// Copies a quoted run starting at i (quote char q, doubled inside) and returns the
// index after it; the text between the quotes goes to body.
int readQuoted(const QString& s, int i, QChar q, QString& body, bool& closed) {
    closed = false;
    ++i;
    while (i < s.size()) {
        if (s.at(i) == q) {
            if (i + 1 < s.size() && s.at(i + 1) == q) {
                body += q;
                i += 2;
                continue;
            }
            closed = true;
            return i + 1;
        }
        body += s.at(i++);
    }
    return i;
}

QString singleQuoted(const QString& body) {
    QString b = body;
    b.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + b + QLatin1Char('\'');
}

int skipBlanks(const QString& s, int i) {
    while (i < s.size() && s.at(i).isSpace()) {
        ++i;
    }
    return i;
}

// A comparison operator at i: its length, or 0.
int comparisonLength(const QString& s, int i, bool orderings) {
    const QStringView rest = QStringView(s).mid(i);
    for (const char* op : {"<>", "!=", "<=", ">=", "=", "<", ">"}) {
        const QLatin1String o(op);
        if (rest.startsWith(o) && (orderings || o == QLatin1String("=") ||
                                   o == QLatin1String("<>") || o == QLatin1String("!="))) {
            return o.size();
        }
    }
    return 0;
}

// A plain number at i ("-12", "45000.5"): its length, or 0.
int numberLength(const QString& s, int i, bool fraction) {
    int j = i;
    if (j < s.size() && s.at(j) == QLatin1Char('-')) {
        ++j;
    }
    const int digits = j;
    while (j < s.size() && s.at(j).isDigit()) {
        ++j;
    }
    if (fraction && j > digits && j + 1 < s.size() && s.at(j) == QLatin1Char('.') &&
        s.at(j + 1).isDigit()) {
        j += 2;
        while (j < s.size() && s.at(j).isDigit()) {
            ++j;
        }
    }
    if (j == digits || (j < s.size() && (isIdentChar(s.at(j)) || s.at(j) == QLatin1Char('.')))) {
        return 0;
    }
    return j - i;
}

// The keyword word (upper case) at i: its length, or 0.
int keywordLength(const QString& s, int i, QLatin1String word) {
    const int end = i + word.size();
    if (end > s.size() || QStringView(s).mid(i, word.size()).compare(word, Qt::CaseInsensitive) ||
        (end < s.size() && isIdentChar(s.at(end)))) {
        return 0;
    }
    return word.size();
}

// A day number as the server's timestamp literal; empty when it names no date.
QString timestampOf(const QString& number) {
    const QDateTime when = DateTimeFromDayNumber(number.toDouble());
    if (!when.isValid()) {
        return QString();
    }
    return QStringLiteral("TIMESTAMP '") +
           when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + QLatin1Char('\'');
}

// After a date column: "BETWEEN 45000 AND 45007" with both day numbers as timestamps.
int rewriteBetween(const QString& s, int i, QString& r) {
    const int between = skipBlanks(s, i);
    const int betweenLength = keywordLength(s, between, QLatin1String("BETWEEN"));
    if (!betweenLength) {
        return i;
    }
    const int lowStart = skipBlanks(s, between + betweenLength);
    const int lowLength = numberLength(s, lowStart, true);
    const int andStart = skipBlanks(s, lowStart + lowLength);
    const int andLength = lowLength ? keywordLength(s, andStart, QLatin1String("AND")) : 0;
    const int highStart = skipBlanks(s, andStart + andLength);
    const int highLength = andLength ? numberLength(s, highStart, true) : 0;
    const QString low = timestampOf(s.mid(lowStart, lowLength));
    const QString high = timestampOf(s.mid(highStart, highLength));
    if (!highLength || low.isEmpty() || high.isEmpty()) {
        return i;
    }
    r += s.mid(i, lowStart - i) + low +
         s.mid(lowStart + lowLength, highStart - lowStart - lowLength) + high;
    return highStart + highLength;
}

// After a Boolean or date column: "= 1" becomes "= TRUE", "< 45000" a timestamp literal, so
// the server compares like Jet does. Returns the index after what was rewritten, or i.
int rewriteComparison(const QString& s, int i, TSqlNames::Kind kind, QString& r) {
    if (kind == TSqlNames::DateTime) {
        const int after = rewriteBetween(s, i, r);
        if (after != i) {
            return after;
        }
    }
    const int opStart = skipBlanks(s, i);
    const int opLength = comparisonLength(s, opStart, kind == TSqlNames::DateTime);
    if (!opLength) {
        return i;
    }
    const int valueStart = skipBlanks(s, opStart + opLength);
    const int valueLength = numberLength(s, valueStart, kind == TSqlNames::DateTime);
    if (!valueLength) {
        return i;
    }
    const QString number = s.mid(valueStart, valueLength);
    QString value;
    if (kind == TSqlNames::Boolean) {
        value = number.toLongLong() != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    } else {
        value = timestampOf(number);
        if (value.isEmpty()) {
            return i;  // no such date: the server's own error says so
        }
    }
    r += s.mid(i, valueStart - i) + value;
    return valueStart + valueLength;
}

// Whether " ESCAPE ''" may follow a LIKE pattern that ends before i: only when the pattern
// stands alone and has no ESCAPE clause of its own.
bool patternEnds(const QString& s, int i) {
    const int j = skipBlanks(s, i);
    if (j >= s.size() || s.at(j) == QLatin1Char(')') || s.at(j) == QLatin1Char(';')) {
        return true;
    }
    if (!s.at(j).isLetter()) {
        return false;
    }
    int k = j;
    while (k < s.size() && isIdentChar(s.at(k))) {
        ++k;
    }
    return QStringView(s).mid(j, k - j).compare(QLatin1String("ESCAPE"), Qt::CaseInsensitive) != 0;
}

// The character a Jet LIKE escape "[%]", "[_]" or "[[]" at i stands for; null for none.
QChar likeEscapeAt(const QString& pattern, int i) {
    if (i + 2 >= pattern.size() || pattern.at(i) != QLatin1Char('[') ||
        pattern.at(i + 2) != QLatin1Char(']')) {
        return QChar();
    }
    const QChar c = pattern.at(i + 1);
    return c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('[') ? c : QChar();
}

bool hasLikeEscapes(const QString& pattern) {
    for (int i = 0; i < pattern.size(); ++i) {
        if (!likeEscapeAt(pattern, i).isNull()) {
            return true;
        }
    }
    return false;
}

// A Jet pattern with escapes in the engines' form, a backslash as the escape character.
QString backslashEscaped(const QString& pattern) {
    QString out;
    out.reserve(pattern.size());
    for (int i = 0; i < pattern.size(); ++i) {
        const QChar escaped = likeEscapeAt(pattern, i);
        if (!escaped.isNull()) {
            if (escaped != QLatin1Char('[')) {
                out += QLatin1Char('\\');
            }
            out += escaped;
            i += 2;
            continue;
        }
        if (pattern.at(i) == QLatin1Char('\\')) {
            out += QLatin1Char('\\');
        }
        out += pattern.at(i);
    }
    return out;
}

// "a HASITEM b" in the engine's form, before and after the two operands. The server splits
// the text at ";" and line breaks and trims each piece of the characters up to the space;
// the embedded engine has a function of the program for the same (SqliteProvider).
const QString& hasItemOpening(bool server) {
    static const QString sqlite = QStringLiteral("hasitem(");
    static const QString postgres = QStringLiteral("EXISTS (SELECT 1 FROM regexp_split_to_table(");
    return server ? postgres : sqlite;
}
const QString& hasItemMiddle(bool server) {
    static const QString sqlite = QStringLiteral(", ");
    static const QString postgres = [] {
        QString blanks;
        for (int c = 1; c <= 0x20; ++c) {
            blanks += QStringLiteral("\\x%1").arg(c, 2, 16, QLatin1Char('0'));
        }
        return QStringLiteral(
                   ", E'[;\\r\\n]') AS hasitem_piece(piece) WHERE "
                   "lower(btrim(hasitem_piece.piece, E'%1')) = lower(CAST(")
            .arg(blanks);
    }();
    return server ? postgres : sqlite;
}
QLatin1String hasItemClosing(bool server) {
    return server ? QLatin1String(" AS text)))") : QLatin1String(")");
}

}  // namespace

const TSqlNames::Kind* TSqlNames::find(QStringView name) const {
    const auto it = columns.constFind(name.toString().toCaseFolded());
    return it == columns.constEnd() ? nullptr : &it.value();
}

QString TSqlNames::exact(QStringView name) const {
    return spelling.value(name.toString().toCaseFolded());
}

TTranslatedSql TranslateJetSql(const QString& s, TSqlDialect dialect, const TSqlNames* names) {
    TTranslatedSql out;
    QString& r = out.sql;
    r.reserve(s.size() + 16);
    const int n = s.size();
    const bool server = dialect == TSqlDialect::PostgreSQL;
    // The server's LIKE takes a backslash as its escape by default; Jet's has none, unless
    // the pattern holds bracket escapes, which become backslash escapes on both engines.
    bool likePattern = false;
    const auto endPattern = [&](int next, bool escaped) {
        if (likePattern && patternEnds(s, next)) {
            if (escaped) {
                r += QLatin1String(" ESCAPE '\\'");
            } else if (server) {
                r += QLatin1String(" ESCAPE ''");
            }
        }
        likePattern = false;
    };
    // The left operand of a HASITEM: the name last written, where it begins and ends in r.
    int operandStart = -1;
    int operandEnd = -1;
    bool hasItemOpen = false;  // its right operand comes next
    const auto operandDone = [&](int start) {
        if (hasItemOpen) {
            r += hasItemClosing(server);
            hasItemOpen = false;
            operandStart = -1;
            return;
        }
        operandStart = start;
        operandEnd = static_cast<int>(r.size());
    };
    const auto addParameter = [&](const QString& name) {
        out.parameters << name;
        bool seen = false;
        for (const QString& known : out.names) {
            seen = seen || known.compare(name, Qt::CaseInsensitive) == 0;
        }
        if (!seen) {
            out.names << name;
        }
        r += server ? QLatin1Char('$') + QString::number(out.parameters.size())
                    : QStringLiteral("?");
    };
    int i = 0;
    while (i < n) {
        const QChar c = s.at(i);
        if (likePattern && !c.isSpace() && c != QLatin1Char('"') && c != QLatin1Char('\'') &&
            c != QLatin1Char(':') && c != QLatin1Char('?')) {
            likePattern = false;
        }
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            QString body;
            bool closed = false;
            const int start = i;
            i = readQuoted(s, i, c, body, closed);
            const bool escaped = closed && likePattern && patternEnds(s, i) && hasLikeEscapes(body);
            const int at = static_cast<int>(r.size());
            // An unterminated literal is passed on as it stands, so the engine reports it.
            r += closed ? singleQuoted(escaped ? backslashEscaped(body) : body) : s.mid(start);
            endPattern(i, escaped);
            operandDone(at);
            continue;
        }
        if (c == QLatin1Char('[')) {
            const int end = s.indexOf(QLatin1Char(']'), i + 1);
            if (end > i) {
                QString ident = s.mid(i + 1, end - i - 1);
                if (server && names) {
                    const QString exact = names->exact(ident);
                    ident = exact.isEmpty() ? ident : exact;
                }
                const int at = static_cast<int>(r.size());
                r += JetQuotedString(ident);
                i = end + 1;
                operandDone(at);
                continue;
            }
        }
        if (c == QLatin1Char('{')) {
            const int len = guidLength(s, i);
            if (len) {
                r += QLatin1Char('\'') + s.mid(i, len).toUpper() + QLatin1Char('\'');
                i += len;
                continue;
            }
        }
        if (c == QLatin1Char(':') && i + 1 < n &&
            (s.at(i + 1).isLetter() || s.at(i + 1) == QLatin1Char('_')) &&
            (i == 0 || (!isIdentChar(s.at(i - 1)) && s.at(i - 1) != QLatin1Char(':')))) {
            int j = i + 1;
            while (j < n && isIdentChar(s.at(j))) {
                ++j;
            }
            const int at = static_cast<int>(r.size());
            addParameter(s.mid(i + 1, j - i - 1));
            i = j;
            endPattern(i, false);
            operandDone(at);
            continue;
        }
        if (c == QLatin1Char('?')) {
            const int at = static_cast<int>(r.size());
            r += c;
            ++i;
            endPattern(i, false);
            operandDone(at);
            continue;
        }
        if (isIdentChar(c)) {
            int j = i;
            while (j < n && isIdentChar(s.at(j))) {
                ++j;
            }
            const QStringView word = QStringView(s).mid(i, j - i);
            if (word.compare(QLatin1String("LIKE"), Qt::CaseInsensitive) == 0) {
                if (server) {
                    r += QLatin1String("ILIKE");
                } else {
                    r += word;
                }
                likePattern = true;
                i = j;
                continue;
            }
            if (word.compare(QLatin1String("HASITEM"), Qt::CaseInsensitive) == 0 &&
                operandStart >= 0 && !hasItemOpen &&
                QStringView(r).mid(operandEnd).trimmed().isEmpty()) {
                const QString left = r.mid(operandStart, operandEnd - operandStart);
                r.truncate(operandStart);
                r += hasItemOpening(server) + left + hasItemMiddle(server);
                hasItemOpen = true;
                i = skipBlanks(s, j);
                continue;
            }
            const int at = static_cast<int>(r.size());
            const QString exact =
                server && names && !word.front().isDigit() ? names->exact(word) : QString();
            if (exact.isEmpty()) {
                r += word;
            } else {
                r += QLatin1Char('"') + exact + QLatin1Char('"');
            }
            i = j;
            if (server && names && !word.front().isDigit()) {
                if (const TSqlNames::Kind* kind = names->find(word)) {
                    i = rewriteComparison(s, i, *kind, r);
                }
            }
            operandDone(at);
            continue;
        }
        r += c;
        ++i;
    }
    return out;
}

QStringList JetSqlParameterNames(const QString& jet) {
    return TranslateJetSql(jet, TSqlDialect::SQLite).names;
}

QString LikeEscaped(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('[')) {
            out += QLatin1Char('[');
            out += c;
            out += QLatin1Char(']');
        } else {
            out += c;
        }
    }
    return out;
}

QString LikeUnescaped(const QString& pattern) {
    QString out;
    out.reserve(pattern.size());
    for (int i = 0; i < pattern.size(); ++i) {
        const QChar escaped = likeEscapeAt(pattern, i);
        if (escaped.isNull()) {
            out += pattern.at(i);
        } else {
            out += escaped;
            i += 2;
        }
    }
    return out;
}
QString JetQuotedBody(const QString& text) {
    QString t = text;
    return t.replace(QLatin1Char('"'), QLatin1String("\"\""));
}

QString JetQuotedString(const QString& text) {
    return QLatin1Char('"') + JetQuotedBody(text) + QLatin1Char('"');
}
