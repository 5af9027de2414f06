#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// Whether a field that a spreadsheet would take for a formula is written as it is, or
// guarded: a text from outside (a page's title) must never run in the reader's spreadsheet.
enum class TCsvFormulas { Keep, Guard };
// A field that begins, after any apostrophes, with "=", "+", "-", "@", a tab or a carriage
// return gets one apostrophe in front: spreadsheet programs take such a field as text. The
// apostrophes already there count, so that CsvFormulaUnguarded gives back every field
// exactly.
QString CsvFormulaGuarded(const QString& field);
QString CsvFormulaUnguarded(const QString& field);

// Comma-separated values as RFC 4180 writes them: CRLF between records, a field quoted
// when it holds a comma, a quote or a line break, its quotes doubled.
QString CsvField(const QString& field, TCsvFormulas formulas = TCsvFormulas::Keep);
QString CsvText(const QVector<QStringList>& rows, TCsvFormulas formulas = TCsvFormulas::Keep);
// Reads such a text back; line breaks inside quotes stay in the field, a lone LF ends a
// record as CRLF does (files saved by other programs), a UTF-8 byte order mark is dropped.
QVector<QStringList> ParseCsv(const QString& text);
