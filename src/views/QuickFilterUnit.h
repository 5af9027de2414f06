#pragma once

#include "gridtools/FilterTemplatesUnit.h"
#include "platform/db/FieldTypes.h"

#include <QString>
#include <QVector>

// What a quick filter takes from the selected grid cell: the field, the current row's value
// and, for a text cell, the in-place editor when it is open.
struct TSelectedCell {
    QString FieldName;
    TFieldClass FieldClass = TFieldClass::Other;
    bool IsNull = false;
    QString Text;          // the value's text form
    bool Boolean = false;  // a Boolean cell's value
    double Day = 0;        // a date cell's day number
    bool EditorOpen = false;
    QString EditorText;
    int SelectionStart = -1;
    int SelectionLength = 0;
};

// The SQL literal of the cell: a whole text value quoted as it is, a partial selection as a
// LIKE pattern between "%" signs with its own wildcards escaped, a number bare, a Boolean as
// :True or :False.
QString QuickFilterValue(const TSelectedCell& cell);
// Whether the value is a LIKE pattern (a part of the text was selected in the editor).
bool QuickFilterIsPattern(const TSelectedCell& cell);
QString FilterBySelectionCondition(const TSelectedCell& cell);
QString ExcludeSelectionCondition(const TSelectedCell& cell);

// A filter text "(c1) OR (c2) AND (c3)" held as its conditions and the words between them.
class TFilterExpression final {
public:
    explicit TFilterExpression(const QString& text);

    // Only conditions joined by AND, nothing else between them: each one holds for every row.
    bool IsConjunction() const { return m_conjunction; }
    // Whether every row of the filter satisfies the condition because it is one of the
    // conditions ANDed at the top (whole conditions compared, not substrings).
    bool Requires(const QString& condition) const;
    // The filter further narrowed by the condition; a filter that is no plain conjunction
    // is grouped first, so "(A) OR (B)" becomes "((A) OR (B)) AND (C)".
    QString NarrowedBy(const QString& condition) const;

private:
    QString m_text;
    QVector<TFilterCondition> m_conditions;
    bool m_conjunction = true;
};

// Whether a query has a WHERE clause of its own: the word in any letter case, outside
// literals, bracketed names and parentheses.
bool HasWhereClause(const QString& sql);
// The base query with the filter: " WHERE " or " AND " by the base's structure. Behind an
// existing WHERE a filter that is no plain conjunction is grouped, so its OR cannot reach
// into the base's condition.
QString ComposeFilteredQuery(const QString& base, const QString& filter);
