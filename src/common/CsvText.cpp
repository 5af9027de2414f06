#include "common/CsvText.h"

namespace {

// Whether the field begins, after n >= minimum apostrophes, with what a spreadsheet reads
// as the start of a formula.
bool formulaAfterApostrophes(const QString& field, int minimum) {
    int i = 0;
    while (i < field.size() && field.at(i) == QLatin1Char('\'')) {
        ++i;
    }
    if (i < minimum || i >= field.size()) {
        return false;
    }
    const QChar c = field.at(i);
    return c == QLatin1Char('=') || c == QLatin1Char('+') || c == QLatin1Char('-') ||
           c == QLatin1Char('@') || c == QLatin1Char('\t') || c == QLatin1Char('\r');
}

}  // namespace

QString CsvFormulaGuarded(const QString& field) {
    return formulaAfterApostrophes(field, 0) ? QLatin1Char('\'') + field : field;
}

QString CsvFormulaUnguarded(const QString& field) {
    return formulaAfterApostrophes(field, 1) ? field.mid(1) : field;
}

QString CsvField(const QString& text, TCsvFormulas formulas) {
    const QString field = formulas == TCsvFormulas::Guard ? CsvFormulaGuarded(text) : text;
    bool quote = false;
    for (const QChar c : field) {
        if (c == QLatin1Char(',') || c == QLatin1Char('"') || c == QLatin1Char('\r') ||
            c == QLatin1Char('\n')) {
            quote = true;
            break;
        }
    }
    if (!quote) {
        return field;
    }
    QString out;
    out.reserve(field.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : field) {
        if (c == QLatin1Char('"')) {
            out += QLatin1Char('"');
        }
        out += c;
    }
    out += QLatin1Char('"');
    return out;
}

QString CsvText(const QVector<QStringList>& rows, TCsvFormulas formulas) {
    QString out;
    for (const QStringList& row : rows) {
        for (int i = 0; i < row.size(); ++i) {
            if (i > 0) {
                out += QLatin1Char(',');
            }
            out += CsvField(row.at(i), formulas);
        }
        out += QStringLiteral("\r\n");
    }
    return out;
}

QVector<QStringList> ParseCsv(const QString& text) {
    QVector<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    bool fieldStarted = false;
    int i = text.startsWith(QChar(0xFEFF)) ? 1 : 0;
    const int n = text.size();
    const auto endRecord = [&]() {
        row << field;
        rows.append(row);
        row.clear();
        field.clear();
        fieldStarted = false;
    };
    for (; i < n; ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < n && text.at(i + 1) == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
            continue;
        }
        if (c == QLatin1Char('"') && !fieldStarted) {
            quoted = true;
            fieldStarted = true;
        } else if (c == QLatin1Char(',')) {
            row << field;
            field.clear();
            fieldStarted = false;
        } else if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n')) {
            endRecord();
            ++i;
        } else if (c == QLatin1Char('\n')) {
            endRecord();
        } else {
            field += c;
            fieldStarted = true;
        }
    }
    if (fieldStarted || !field.isEmpty() || !row.isEmpty()) {
        endRecord();
    }
    return rows;
}
