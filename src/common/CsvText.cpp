#include "common/CsvText.h"

QString CsvField(const QString& field) {
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

QString CsvText(const QVector<QStringList>& rows) {
    QString out;
    for (const QStringList& row : rows) {
        for (int i = 0; i < row.size(); ++i) {
            if (i > 0) {
                out += QLatin1Char(',');
            }
            out += CsvField(row.at(i));
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
