#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// Comma-separated values as RFC 4180 writes them: CRLF between records, a field quoted
// when it holds a comma, a quote or a line break, its quotes doubled.
QString CsvField(const QString& field);
QString CsvText(const QVector<QStringList>& rows);
// Reads such a text back; line breaks inside quotes stay in the field, a lone LF ends a
// record as CRLF does (files saved by other programs), a UTF-8 byte order mark is dropped.
QVector<QStringList> ParseCsv(const QString& text);
