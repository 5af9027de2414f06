#include "gridtools/FilterTemplatesUnit.h"

#include "common/Clock.h"
#include "platform/Errors.h"
#include "platform/db/Field.h"
#include "platform/db/JetSql.h"
#include "platform/db/Parameters.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRegularExpression>

#include <cstdint>
#include <utility>
#include <vector>

namespace {

const char* const kContext = "TDBGridFilterForm";

using TRow = std::pair<const char*, const char*>;

QString makeTable(std::initializer_list<TRow> rows) {
    QStringList lines;
    for (const TRow& r : rows) {
        lines << QCoreApplication::translate(kContext, r.first) + QLatin1Char('=') +
                     QLatin1String(r.second);
    }
    return lines.join(QStringLiteral("\r\n"));
}

QStringList tableLines(const QString& table) {
    return table.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}

// The words of a value: runs of characters other than space and comma.
QString word(const QString& value, int n) {
    static const QRegularExpression separators(QStringLiteral("[ ,]+"));
    const QStringList words = value.split(separators, Qt::SkipEmptyParts);
    return n >= 1 && n <= words.size() ? words.at(n - 1) : QString();
}

bool isTypeLetter(QChar c) {
    const QChar l = c.toLower();
    return l == QLatin1Char('s') || l == QLatin1Char('i') || l == QLatin1Char('d') ||
           l == QLatin1Char('b');
}

// One placeholder of a template, starting at its "$".
struct TPlaceholder {
    QChar letter;  // lower case
    QChar type;    // lower case, null when none
    int index = -1;
    int offset = 0;
    int length = 0;  // characters it spans in the template
};

bool parsePlaceholder(const QString& t, int at, TPlaceholder& p) {
    if (at + 1 >= t.size() || t.at(at) != QLatin1Char('$') || !t.at(at + 1).isLetter()) {
        return false;
    }
    p = TPlaceholder();
    p.letter = t.at(at + 1).toLower();
    int i = at + 2;
    if (p.letter == QLatin1Char('v')) {
        if (i < t.size() && isTypeLetter(t.at(i))) {
            p.type = t.at(i).toLower();
            ++i;
        }
        if (i < t.size() && t.at(i) >= QLatin1Char('1') && t.at(i) <= QLatin1Char('9')) {
            p.index = t.at(i).digitValue();
            ++i;
        }
        if (i + 1 < t.size() && (t.at(i) == QLatin1Char('+') || t.at(i) == QLatin1Char('-')) &&
            t.at(i + 1).isDigit()) {
            p.offset = t.at(i + 1).digitValue() * (t.at(i) == QLatin1Char('-') ? -1 : 1);
            i += 2;
        }
    }
    p.length = i - at;
    return true;
}

qint64 toInteger(const QString& text) {
    bool ok = false;
    const qint64 n = text.trimmed().toLongLong(&ok);
    if (!ok) {
        throw EError(
            QCoreApplication::translate(kContext, "'%1' - неверное целое значение").arg(text));
    }
    return n;
}

int positionIn(const QStringList& list, const QString& text) {
    for (int i = 0; i < list.size(); ++i) {
        if (list.at(i).compare(text, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

struct TMaskMatch {
    bool matched = false;
    int captureStart = -1;
    int captureEnd = -1;
};

// Whole-text matching by a table of "the rest of the text matches the rest of the mask",
// filled from the ends; the path is then walked in the order the backtracking matcher
// tries it (every run shortest first), so captures come out the same, in linear time.
TMaskMatch matchMask(const QString& text, const QString& mask) {
    TMaskMatch result;
    if (mask.isEmpty()) {
        return result;
    }
    const int n = text.size();
    const int m = mask.size();
    QString t = text;
    QString k = mask;
    for (QChar& c : t) {
        c = c.toCaseFolded();
    }
    for (QChar& c : k) {
        if (c != QLatin1Char('*') && c != QLatin1Char('?') && c != QLatin1Char('@')) {
            c = c.toCaseFolded();
        }
    }
    const auto run = [&k](int j) {
        return k.at(j) == QLatin1Char('*') || k.at(j) == QLatin1Char('@');
    };
    const auto literal = [&k](int j) {
        return k.at(j) != QLatin1Char('?') &&
               !(k.at(j) == QLatin1Char('*') || k.at(j) == QLatin1Char('@'));
    };
    // The literal ends of the mask must stand at the ends of the text: most masks fail here.
    int head = 0;
    while (head < m && literal(head)) {
        if (head >= n || k.at(head) != t.at(head)) {
            return result;
        }
        ++head;
    }
    for (int j = m - 1, i = n - 1; j >= head && literal(j); --j, --i) {
        if (i < 0 || k.at(j) != t.at(i)) {
            return result;
        }
    }
    const std::size_t width = static_cast<std::size_t>(m) + 1;
    std::vector<std::uint8_t> rest((static_cast<std::size_t>(n) + 1) * width, 0);
    const auto at = [&](int i, int j) {
        return rest[static_cast<std::size_t>(i) * width + j] != 0;
    };
    const auto set = [&](int i, int j, bool v) {
        rest[static_cast<std::size_t>(i) * width + j] = v ? 1 : 0;
    };
    set(n, m, true);
    for (int j = m - 1; j >= 0; --j) {
        set(n, j, run(j) && at(n, j + 1));
    }
    for (int i = n - 1; i >= 0; --i) {
        for (int j = m - 1; j >= 0; --j) {
            const QChar c = k.at(j);
            bool v;
            if (run(j)) {
                v = at(i, j + 1) || at(i + 1, j);
            } else if (c == QLatin1Char('?')) {
                v = at(i + 1, j + 1);
            } else {
                v = c == t.at(i) && at(i + 1, j + 1);
            }
            set(i, j, v);
        }
    }
    if (!at(0, 0)) {
        return result;
    }
    result.matched = true;
    int i = 0;
    int j = 0;
    int runStart = -1;
    while (j < m) {
        if (run(j)) {
            if (runStart < 0) {
                runStart = i;
            }
            if (at(i, j + 1)) {
                if (k.at(j) == QLatin1Char('@')) {
                    result.captureStart = runStart;
                    result.captureEnd = i;
                }
                ++j;
                runStart = -1;
            } else {
                ++i;
            }
        } else {
            ++i;
            ++j;
        }
    }
    return result;
}

// How a captured text is shown, by the placeholder's type and offset.
QString shown(const QString& captured, const TTemplatePattern& p, const QStringList* list) {
    switch (p.type.unicode()) {
        case 's': {
            QString s = p.like ? LikeUnescaped(captured) : captured;
            s.replace(QStringLiteral("\"\""), QStringLiteral("\""));
            return s;
        }
        case 'i': {
            bool ok = false;
            const qint64 n = captured.trimmed().toLongLong(&ok) - p.offset;
            if (ok && list && n >= 0 && n < list->size()) {
                return list->at(static_cast<int>(n));
            }
            return ok ? QString::number(n) : captured;
        }
        case 'd': {
            bool ok = false;
            const double days = captured.trimmed().toDouble(&ok);
            if (!ok) {
                return captured;
            }
            return QLocale().toString(DateTimeFromDayNumber(days - p.offset).date(),
                                      FilterDateFormat());
        }
        case 'b':
            return captured == QLatin1String(":True")
                       ? QCoreApplication::translate(kContext, "Да")
                       : QCoreApplication::translate(kContext, "Нет");
        default:
            return captured;
    }
}

}  // namespace

void TValueLists::Add(const QString& fieldName, const QStringList& values) {
    m_lists.insert(fieldName.toCaseFolded(), values);
}

const QStringList* TValueLists::Find(const QString& fieldName) const {
    const auto it = m_lists.constFind(fieldName.toCaseFolded());
    return it == m_lists.constEnd() ? nullptr : &it.value();
}

QString StringConditions() {
    return makeTable({
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "содержит"), "$f LIKE \"%$vs%\""},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "равно (точно)"), "$f = \"$vs\""},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "не содержит"),
         "$f NOT LIKE \"%$vs%\" OR $f IS NULL"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "не равно"), "$f <> \"$vs\" OR $f IS NULL"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "пусто"), "$f IS NULL"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "не пусто"), "$f IS NOT NULL"},
    });
}

QString NumberConditions() {
    return makeTable({
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "равно"), "$f = $vi"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "не равно"), "$f <> $vi OR $f IS NULL"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "не более"), "$f <= $vi"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "не менее"), "$f >= $vi"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "больше чем"), "$f > $vi"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "меньше чем"), "$f < $vi"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "между"), "$f BETWEEN $vi1 AND $vi2"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "отсутствует"), "$f IS NULL"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "присутствует"), "$f IS NOT NULL"},
    });
}

QString ListConditions() {
    return makeTable({
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "равно"), "$f = $vi"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "не равно"), "$f <> $vi OR $f IS NULL"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "отсутствует"), "$f IS NULL"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "присутствует"), "$f IS NOT NULL"},
    });
}

QString BooleanConditions() {
    return makeTable({
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "равно"), "$f = $vb"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "не равно"), "$f <> $vb OR $f IS NULL"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "отсутствует"), "$f IS NULL"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "присутствует"), "$f IS NOT NULL"},
    });
}

QString DateConditions() {
    return makeTable({
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "вчера"), "$f >= :Yesterday AND $f < :Today"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "сегодня"), "$f >= :Today AND $f < :Tomorrow"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "завтра"),
         "$f >= :Tomorrow AND $f < :DayAfterTomorrow"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "в последние 7 дней"),
         "$f < :Tomorrow AND $f >= :Last7Days"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "в следующие 7 дней"),
         "$f >= :Today AND $f < :Next7Days"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "на прошлой неделе"),
         "$f >= :LastWeekStart AND $f < :ThisWeekStart"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "на этой неделе"),
         "$f >= :ThisWeekStart AND $f < :NextWeekStart"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "на следующей неделе"),
         "$f >= :NextWeekStart AND $f < :AfterNextWeekStart"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "в предыдущем месяце"),
         "$f >= :LastMonthStart AND $f < :ThisMonthStart"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "в этом месяце"),
         "$f >= :ThisMonthStart AND $f < :NextMonthStart"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "в следующем месяце"),
         "$f >= :NextMonthStart AND $f < :AfterNextMonthStart"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "равно"), "$f >= $vd AND $f < $vd+1"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "не ранее"), "$f >= $vd"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "не позднее"), "$f < $vd+1"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "не равно"),
         "$f < $vd OR $f >= $vd+1 OR $f IS NULL"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "между"), "$f BETWEEN $vd1 AND $vd2+1"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "отсутствует"), "$f IS NULL"},
        {QT_TRANSLATE_NOOP("TDBGridFilterForm", "присутствует"), "$f IS NOT NULL"},
    });
}

QString ConditionTable(const TField& field, const TValueLists& lists) {
    switch (field.FieldClass()) {
        case TFieldClass::Text:
        case TFieldClass::Guid:
        case TFieldClass::Memo:
            return StringConditions();
        case TFieldClass::Boolean:
            return BooleanConditions();
        case TFieldClass::DateTime:
            return DateConditions();
        case TFieldClass::Integer:
            return lists.Find(field.FieldName) ? ListConditions() : NumberConditions();
        default:
            return QString();
    }
}

QStringList ConditionCaptions(const QString& table) {
    QStringList captions;
    for (const QString& line : tableLines(table)) {
        captions << line.section(QLatin1Char('='), 0, 0);
    }
    return captions;
}

QString ConditionTemplate(const QString& table, int index) {
    const QStringList lines = tableLines(table);
    if (index < 0 || index >= lines.size()) {
        return QString();
    }
    const QString& line = lines.at(index);
    return line.mid(line.indexOf(QLatin1Char('=')) + 1);
}

QString FilterDateFormat() {
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy"))) {
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    }
    return format;
}

QDate StrToDate(const QString& text) {
    const QLocale locale;
    const QString trimmed = text.trimmed();
    QString format = FilterDateFormat();
    QDate d = locale.toDate(trimmed, format);
    if (!d.isValid()) {
        // One-digit days and months are fine to type.
        format.replace(QStringLiteral("dd"), QStringLiteral("d"));
        format.replace(QStringLiteral("MM"), QStringLiteral("M"));
        d = locale.toDate(trimmed, format);
        if (!d.isValid() && format.contains(QStringLiteral("yyyy"))) {
            QString shortYear = format;
            shortYear.replace(QStringLiteral("yyyy"), QStringLiteral("yy"));
            d = locale.toDate(trimmed, shortYear);
            if (d.isValid() && d.year() < 1950) {
                d = d.addYears(100);
            }
        }
    }
    if (!d.isValid()) {
        throw EError(QCoreApplication::translate(kContext, "'%1' - неверная дата").arg(text));
    }
    return d;
}

namespace {
// "содержит" and "не содержит": the value is a part of the text, not a pattern of its own.
bool isLikeTemplate(const QString& tmpl) {
    return tmpl.contains(QLatin1String(" LIKE "), Qt::CaseInsensitive);
}
}  // namespace

QString ExpandTemplate(const QString& tmpl, const TField& field, const QString& value,
                       const TValueLists& lists) {
    QString out;
    int i = 0;
    while (i < tmpl.size()) {
        TPlaceholder p;
        if (!parsePlaceholder(tmpl, i, p)) {
            out += tmpl.at(i++);
            continue;
        }
        i += p.length;
        if (p.letter == QLatin1Char('f')) {
            out += field.FieldName;
            continue;
        }
        if (p.letter != QLatin1Char('v')) {
            continue;
        }
        const QString v = p.index > 0 ? word(value, p.index) : value;
        switch (p.type.unicode()) {
            case 'i': {
                const QStringList* list = lists.Find(field.FieldName);
                const qint64 n = list ? positionIn(*list, v) : toInteger(v);
                out += QString::number(n + p.offset);
                break;
            }
            case 'd':
                out += QString::number(static_cast<qint64>(DayNumber(StrToDate(v))) + p.offset);
                break;
            case 'b':
                out += v == QCoreApplication::translate(kContext, "Да") ? QStringLiteral(":True")
                                                                        : QStringLiteral(":False");
                break;
            default:
                out += isLikeTemplate(tmpl) ? LikeEscaped(v) : v;
                break;
        }
    }
    return out;
}

TTemplatePattern TemplatePattern(const QString& tmpl, QChar letter, int index) {
    TTemplatePattern result;
    result.like = isLikeTemplate(tmpl);
    const QChar wanted = letter.toLower();
    int i = 0;
    while (i < tmpl.size()) {
        TPlaceholder p;
        if (!parsePlaceholder(tmpl, i, p)) {
            result.mask += tmpl.at(i++);
            continue;
        }
        i += p.length;
        if (!p.type.isNull()) {
            result.type = p.type;
        }
        if (!wanted.isNull() && p.letter == wanted && p.index == index) {
            result.mask += QLatin1Char('@');
            result.offset = p.offset;
        } else {
            result.mask += QStringLiteral("?*");
        }
    }
    return result;
}

int FindTemplate(const QString& table, const QString& condition) {
    const QStringList lines = tableLines(table);
    int best = -1;
    int bestLength = -1;
    for (int i = lines.size() - 1; i >= 0; --i) {
        const QString tmpl = ConditionTemplate(table, i);
        if (tmpl.size() > bestLength &&
            MatchMask(condition, TemplatePattern(tmpl, QChar(), -1).mask)) {
            best = i;
            bestLength = tmpl.size();
        }
    }
    return best;
}

QString ValueFromCondition(const QString& tmpl, const TField& field, const QString& condition,
                           const TValueLists& lists) {
    const QStringList* list = lists.Find(field.FieldName);
    const TTemplatePattern whole = TemplatePattern(tmpl, QLatin1Char('v'), -1);
    const QString captured = ExtractMask(condition, whole.mask);
    if (!captured.isEmpty()) {
        return shown(captured, whole, list);
    }
    QStringList parts;
    for (int n = 1; n <= 9; ++n) {
        const TTemplatePattern p = TemplatePattern(tmpl, QLatin1Char('v'), n);
        const QString part = ExtractMask(condition, p.mask);
        if (part.isEmpty()) {
            break;
        }
        parts << shown(part, p, list);
    }
    return parts.join(QStringLiteral(", "));
}

void BindFilterParameters(TParameters& parameters, const QDate& today) {
    const QDate d = today;
    const int w = d.dayOfWeek();  // Monday 1 .. Sunday 7
    const QDate month(d.year(), d.month(), 1);
    const std::pair<const char*, QDate> dates[] = {
        {"Yesterday", d.addDays(-1)},
        {"Today", d},
        {"Tomorrow", d.addDays(1)},
        {"DayAfterTomorrow", d.addDays(2)},
        {"Last7Days", d.addDays(-7)},
        {"Next7Days", d.addDays(7)},
        {"LastWeekStart", d.addDays(-w - 6)},
        {"ThisWeekStart", d.addDays(-w + 1)},
        {"NextWeekStart", d.addDays(-w + 8)},
        {"AfterNextWeekStart", d.addDays(-w + 15)},
        {"LastMonthStart", month.addMonths(-1)},
        {"ThisMonthStart", month},
        {"NextMonthStart", month.addMonths(1)},
        {"AfterNextMonthStart", month.addMonths(2)},
    };
    for (int i = 0; i < parameters.Count(); ++i) {
        TParameter& p = parameters.Items(i);
        if (p.Name == QLatin1String("True") || p.Name == QLatin1String("False")) {
            p.DataType = TFieldType::Boolean;
            p.Value = p.Name == QLatin1String("True");
            continue;
        }
        for (const auto& [name, date] : dates) {
            if (p.Name == QLatin1String(name)) {
                p.DataType = TFieldType::DateTime;
                p.Value = date;
                break;
            }
        }
    }
}

void BindFilterParameters(TParameters& parameters) {
    BindFilterParameters(parameters, Now().date());
}

bool MatchMask(const QString& text, const QString& mask) {
    return matchMask(text, mask).matched;
}

QString ExtractMask(const QString& text, const QString& mask) {
    const TMaskMatch m = matchMask(text, mask);
    if (!m.matched || m.captureStart < 0) {
        return QString();
    }
    return text.mid(m.captureStart, m.captureEnd - m.captureStart);
}

int FilterConditionEnd(const QString& text, int from) {
    bool quoted = false;
    int depth = 0;
    for (int i = from; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == QLatin1Char('(')) {
            ++depth;
        } else if (c == QLatin1Char(')')) {
            if (depth == 0) {
                return i;
            }
            --depth;
        }
    }
    return -1;
}

QVector<TFilterCondition> SplitFilterText(const QString& text) {
    QVector<TFilterCondition> out;
    int from = 0;
    while (true) {
        const int p = text.indexOf(QLatin1Char('('), from);
        if (p < 0) {
            break;
        }
        int q = FilterConditionEnd(text, p + 1);
        if (q < 0) {
            q = text.size();
        }
        out.append({text.mid(from, p - from).trimmed().toUpper(), text.mid(p + 1, q - p - 1)});
        from = q + 1;
    }
    return out;
}
