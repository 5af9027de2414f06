#pragma once

#include <QChar>
#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

class TField;
class TParameters;

// Value lists of the filter dialog, keyed by field name without regard to case. For an
// integer field a list is a coding (the stored number N is entry N); for other fields it
// only offers choices.
class TValueLists final {
public:
    void Add(const QString& fieldName, const QStringList& values);
    const QStringList* Find(const QString& fieldName) const;
    void Clear() { m_lists.clear(); }

private:
    QHash<QString, QStringList> m_lists;
};

// The five condition tables: lines "caption=template" joined by CR LF.
QString StringConditions();
QString NumberConditions();
QString ListConditions();
QString BooleanConditions();
QString DateConditions();

// The table for a field's type: text, Boolean, date, integer (the list table when the
// field has a value list); empty for every other type.
QString ConditionTable(const TField& field, const TValueLists& lists);
QStringList ConditionCaptions(const QString& table);
// The template of a table line (everything after its first "=").
QString ConditionTemplate(const QString& table, int index);

// Fills a template with the field's name and the entered value; in a LIKE template the
// value's "%", "_" and "[" match themselves. Throws EError with the conversion message for
// a value that is no integer or date.
QString ExpandTemplate(const QString& tmpl, const TField& field, const QString& value,
                       const TValueLists& lists);

struct TTemplatePattern {
    QString mask;
    int offset = 0;
    QChar type;         // 's', 'i', 'd', 'b' of the value placeholders; null when there are none
    bool like = false;  // a LIKE pattern: the value stands in it with its wildcards escaped
};
// The template as a mask: the placeholder with the letter and index asked for becomes the
// capture "@", every other one "?*". No letter: every placeholder becomes "?*".
TTemplatePattern TemplatePattern(const QString& tmpl, QChar letter, int index);

// The table line a condition was made from (the longest matching template wins), or -1.
int FindTemplate(const QString& table, const QString& condition);
// The value shown for a condition made from the template ("1, 5" for a range).
QString ValueFromCondition(const QString& tmpl, const TField& field, const QString& condition,
                           const TValueLists& lists);

// Binds :True, :False and the date parameters (:Today, :ThisWeekStart, ...) of a query
// from today's date; weeks start on Monday. Other parameters are left alone.
void BindFilterParameters(TParameters& parameters, const QDate& today);
void BindFilterParameters(TParameters& parameters);

// "*" any run, "?" one character, "@" any run that is captured; other characters match
// one equal character without regard to case. Runs are tried shortest first. An empty mask
// matches nothing. Linear in text length times mask length, whatever the input.
bool MatchMask(const QString& text, const QString& mask);
// The run captured by the last "@" of the match; empty when there is none or no match.
QString ExtractMask(const QString& text, const QString& mask);

// The user's short date format with four-digit years, so a date read back from a filter
// and expanded again stays in its century whatever the format.
QString FilterDateFormat();
// A date in the user's short date format, leniently (one-digit day and month, two-digit
// year, taken as 1950 to 2049); throws EError "'%s' - неверная дата" when it is none.
QDate StrToDate(const QString& text);

// One condition of a filter text and the word before it ("OR", "AND", upper case; empty
// for the first).
struct TFilterCondition {
    QString Connector;
    QString Condition;
};
// The conditions of a filter text "(c1) OR (c2) AND (c3)", each without its parentheses;
// a ")" inside a double-quoted literal or closing a nested "(" stays in its condition, and
// an unclosed last condition runs to the end.
QVector<TFilterCondition> SplitFilterText(const QString& text);
// The ")" that closes a condition opened just before from: not one inside a double-quoted
// literal nor one that closes a nested "(", so a value holding ")" and a condition such as
// "F IN (1, 2)" are read back whole. -1 when there is none.
int FilterConditionEnd(const QString& text, int from);
