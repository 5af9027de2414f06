#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class TDataSet;
class TField;

// The HTML report page of a record view and the text passes the preview runs over it.

// Keeps the page's lines short without changing what it shows: where a run of width
// characters without a CR, LF or "<" would be exceeded, the last blank already in the run
// becomes the line end (CR LF). A run without a blank stays whole: words and addresses
// are never split. A text shorter than width is returned as is.
QString BreakLongLines(const QString& text, int width);
// Controls other than tab, CR and LF (NUL among them) as their pictures (U+2400 + code,
// U+2421 for DEL): a record's text never puts a raw control into a page.
QString VisibleControls(const QString& text);

// The report table (UTF-8) of the records the dataset holds, in its order, for the fields of
// fields that the dataset has (in dataset order); empty when there is no field or no record.
// A pending edit is posted (or cancelled when unchanged) first; the current record stays.
QByteArray WriteReportTable(TDataSet& dataSet, const QList<TField*>& fields, const QString& title);

// The whole page as UTF-8: head with charset label and title, the table, the closing tags.
QByteArray BuildReportPage(TDataSet& dataSet, const QList<TField*>& fields, const QString& title);

// A string list as one comma-separated line: an item with a blank, control character, comma
// or double quote is quoted with inner quotes doubled; one empty item is written as "".
QString CommaText(const QStringList& items);
// The reverse of CommaText, tolerant of blanks around the commas.
QStringList SplitCommaText(const QString& text);

// Splits text into lines at CR LF, lone CR or lone LF; a line end at the very end gives
// no empty last line.
QStringList SplitPageLines(const QString& text);

// The template pass: removes every transparent tag "<#…>" (blanks allowed after "<") and
// ends every line with CR LF. Throws EError for a line of 4096 bytes or more.
QString ProducePage(const QString& text);

// The charset a page's head declares in its Content-Type meta tag, or defaultCharset.
QString DetectCharset(const QString& text, const QString& defaultCharset);

// True when the first tag of the text is exactly "html" (a page to mail as HTML).
bool IsHtmlMessage(const QString& text);

// A report page cut for display in parts: what comes before the first record row, the
// record rows, and what follows the last one. Empty rows when the page has no report table.
struct TReportParts {
    QString Head;
    QStringList Rows;
    QString Tail;
};
TReportParts SplitReportRows(const QString& page);
