#include "FuzzInput.h"
#include "gridtools/FilterTemplatesUnit.h"
#include "platform/db/DataSet.h"
#include "views/QuickFilterUnit.h"

namespace {

// Parentheses that close in order and no literal: the texts a narrowing must keep whole.
bool balanced(const QString& text) {
    int depth = 0;
    for (const QChar c : text) {
        if (c == QLatin1Char('"')) {
            return false;
        }
        depth += c == QLatin1Char('(') ? 1 : c == QLatin1Char(')') ? -1 : 0;
        if (depth < 0) {
            return false;
        }
    }
    return depth == 0;
}

struct TFields {
    TDataSet set;
    QList<TField*> fields;
    TValueLists lists;
    TFields() {
        const std::pair<const char*, TFieldType> kinds[] = {
            {"Text", TFieldType::WideString}, {"Number", TFieldType::Integer},
            {"Small", TFieldType::SmallInt},  {"Flag", TFieldType::Boolean},
            {"When", TFieldType::DateTime},   {"Listed", TFieldType::WideString}};
        for (const auto& k : kinds) {
            TField& f = set.AddField(QLatin1String(k.first));
            f.DataType = k.second;
            fields << &f;
        }
        lists.Add(QStringLiteral("Listed"), {QStringLiteral("A"), QStringLiteral("Б")});
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TFields f;
    const QString text = FuzzText(data, size);
    for (const TFilterCondition& c : SplitFilterText(text)) {
        FUZZ_CHECK(c.Condition.size() <= text.size());
        for (TField* field : f.fields) {
            const QString table = ConditionTable(*field, f.lists);
            const int line = FindTemplate(table, c.Condition);
            if (line >= 0) {
                ValueFromCondition(ConditionTemplate(table, line), *field, c.Condition, f.lists);
            }
        }
    }
    // A quick filter on top of any filter narrows it: the result is a conjunction that
    // requires the new condition.
    const TFilterExpression expression(text);
    const QString narrowed = expression.NarrowedBy(QStringLiteral("F = 1"));
    if (balanced(text)) {
        const TFilterExpression again(narrowed);
        FUZZ_CHECK(again.IsConjunction());
        FUZZ_CHECK(again.Requires(QStringLiteral("F = 1")));
    }
    HasWhereClause(text);
    ComposeFilteredQuery(text, narrowed);
    return 0;
}
