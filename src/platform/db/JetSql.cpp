#include "platform/db/JetSql.h"

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

}  // namespace

TTranslatedSql TranslateJetSql(const QString& s, TSqlDialect dialect) {
    TTranslatedSql out;
    QString& r = out.sql;
    r.reserve(s.size() + 16);
    const int n = s.size();
    int i = 0;
    while (i < n) {
        const QChar c = s.at(i);
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            QString body;
            bool closed = false;
            const int start = i;
            i = readQuoted(s, i, c, body, closed);
            // An unterminated literal is passed on as it stands, so the engine reports it.
            r += closed ? singleQuoted(body) : s.mid(start);
            continue;
        }
        if (c == QLatin1Char('[')) {
            const int end = s.indexOf(QLatin1Char(']'), i + 1);
            if (end > i) {
                QString ident = s.mid(i + 1, end - i - 1);
                ident.replace(QLatin1Char('"'), QLatin1String("\"\""));
                r += QLatin1Char('"') + ident + QLatin1Char('"');
                i = end + 1;
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
            out.parameters << s.mid(i + 1, j - i - 1);
            r += QLatin1Char('?');
            i = j;
            continue;
        }
        if (isIdentChar(c)) {
            int j = i;
            while (j < n && isIdentChar(s.at(j))) {
                ++j;
            }
            const QStringView word = QStringView(s).mid(i, j - i);
            if (dialect == TSqlDialect::PostgreSQL &&
                word.compare(QLatin1String("LIKE"), Qt::CaseInsensitive) == 0) {
                r += QLatin1String("ILIKE");
            } else {
                r += word;
            }
            i = j;
            continue;
        }
        r += c;
        ++i;
    }
    return out;
}

QStringList JetSqlParameterNames(const QString& jet) {
    QStringList names;
    for (const QString& p : TranslateJetSql(jet, TSqlDialect::SQLite).parameters) {
        bool seen = false;
        for (const QString& n : names) {
            seen = seen || n.compare(p, Qt::CaseInsensitive) == 0;
        }
        if (!seen) {
            names << p;
        }
    }
    return names;
}

QString JetQuotedString(const QString& text) {
    QString t = text;
    t.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + t + QLatin1Char('"');
}
