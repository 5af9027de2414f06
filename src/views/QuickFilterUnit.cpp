#include "views/QuickFilterUnit.h"

#include "platform/db/JetSql.h"

#include <cmath>

namespace {

bool isTextClass(TFieldClass c) {
    return c == TFieldClass::Text || c == TFieldClass::Guid || c == TFieldClass::Memo;
}

QString selectedPart(const TSelectedCell& cell) {
    if (!cell.EditorOpen || !isTextClass(cell.FieldClass) || cell.SelectionStart < 0 ||
        cell.SelectionLength <= 0) {
        return QString();
    }
    return cell.EditorText.mid(cell.SelectionStart, cell.SelectionLength);
}

qint64 wholeDay(const TSelectedCell& cell) {
    return static_cast<qint64>(std::trunc(cell.Day));
}

bool isIdentChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

}  // namespace

bool QuickFilterIsPattern(const TSelectedCell& cell) {
    return !selectedPart(cell).isEmpty();
}

QString QuickFilterValue(const TSelectedCell& cell) {
    const bool text = isTextClass(cell.FieldClass);
    const QString part = selectedPart(cell);
    if (!part.isEmpty()) {
        // The selected characters themselves: a "%" or "_" in them is no wildcard.
        return JetQuotedString(QLatin1Char('%') + LikeEscaped(part) + QLatin1Char('%'));
    }
    if (text) {
        // The whole value, never the editor's text cut to a buffer's length.
        return JetQuotedString(cell.Text);
    }
    if (cell.FieldClass == TFieldClass::Boolean) {
        return cell.Boolean ? QStringLiteral(":True") : QStringLiteral(":False");
    }
    return cell.Text;
}

QString FilterBySelectionCondition(const TSelectedCell& cell) {
    const QString& n = cell.FieldName;
    if (cell.IsNull) {
        return n + QStringLiteral(" IS NULL");
    }
    if (cell.FieldClass == TFieldClass::DateTime) {
        const qint64 d = wholeDay(cell);
        return QStringLiteral("%1 >= %2 AND %1 < %3").arg(n).arg(d).arg(d + 1);
    }
    const QString v = QuickFilterValue(cell);
    return QuickFilterIsPattern(cell) ? n + QStringLiteral(" LIKE ") + v
                                      : n + QStringLiteral(" = ") + v;
}

QString ExcludeSelectionCondition(const TSelectedCell& cell) {
    const QString& n = cell.FieldName;
    if (cell.IsNull) {
        return n + QStringLiteral(" IS NOT NULL");
    }
    if (cell.FieldClass == TFieldClass::DateTime) {
        const qint64 d = wholeDay(cell);
        return QStringLiteral("%1 < %2 OR %1 >= %3 OR %1 IS NULL").arg(n).arg(d).arg(d + 1);
    }
    const QString v = QuickFilterValue(cell);
    const QString orNull = QStringLiteral(" OR ") + n + QStringLiteral(" IS NULL");
    return QuickFilterIsPattern(cell) ? n + QStringLiteral(" NOT LIKE ") + v + orNull
                                      : n + QStringLiteral(" <> ") + v + orNull;
}

TFilterExpression::TFilterExpression(const QString& text) : m_text(text) {
    int from = 0;
    while (true) {
        const int p = text.indexOf(QLatin1Char('('), from);
        const QString between = text.mid(from, p < 0 ? -1 : p - from).trimmed().toUpper();
        if (p < 0) {
            m_conjunction = m_conjunction && between.isEmpty();
            break;
        }
        int q = FilterConditionEnd(text, p + 1);
        if (q < 0) {
            m_conjunction = false;  // an unclosed condition runs to the end
            q = text.size();
        }
        const bool first = m_conditions.isEmpty();
        if (first ? !between.isEmpty() : between != QLatin1String("AND")) {
            m_conjunction = false;
        }
        m_conditions.append({between, text.mid(p + 1, q - p - 1)});
        from = q + 1;
    }
}

bool TFilterExpression::Requires(const QString& condition) const {
    if (!m_conjunction) {
        return false;
    }
    for (const TFilterCondition& c : m_conditions) {
        if (c.Condition == condition) {
            return true;
        }
    }
    return false;
}

QString TFilterExpression::NarrowedBy(const QString& condition) const {
    const QString added = QLatin1Char('(') + condition + QLatin1Char(')');
    if (m_text.trimmed().isEmpty()) {
        return added;
    }
    const QString base = m_conjunction ? m_text : QLatin1Char('(') + m_text + QLatin1Char(')');
    return base + QStringLiteral(" AND ") + added;
}

bool HasWhereClause(const QString& sql) {
    int depth = 0;
    const int n = sql.size();
    int i = 0;
    while (i < n) {
        const QChar c = sql.at(i);
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            // A doubled quote inside is two literals back to back: the same result.
            const int end = sql.indexOf(c, i + 1);
            i = end < 0 ? n : end + 1;
            continue;
        }
        if (c == QLatin1Char('[')) {
            const int end = sql.indexOf(QLatin1Char(']'), i + 1);
            i = end < 0 ? n : end + 1;
            continue;
        }
        if (c == QLatin1Char('(')) {
            ++depth;
        } else if (c == QLatin1Char(')')) {
            depth = qMax(0, depth - 1);
        } else if (isIdentChar(c)) {
            int j = i;
            while (j < n && isIdentChar(sql.at(j))) {
                ++j;
            }
            if (depth == 0 && QStringView(sql).mid(i, j - i).compare(QLatin1String("WHERE"),
                                                                     Qt::CaseInsensitive) == 0) {
                return true;
            }
            i = j;
            continue;
        }
        ++i;
    }
    return false;
}

QString ComposeFilteredQuery(const QString& base, const QString& filter) {
    if (filter.isEmpty()) {
        return base;
    }
    if (!HasWhereClause(base)) {
        return base + QStringLiteral(" WHERE ") + filter;
    }
    const TFilterExpression expression(filter);
    return base + QStringLiteral(" AND ") +
           (expression.IsConjunction() ? filter : QLatin1Char('(') + filter + QLatin1Char(')'));
}
