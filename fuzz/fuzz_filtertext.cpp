#include "FuzzInput.h"
#include "gridtools/FilterTemplatesUnit.h"
#include "platform/db/DataSet.h"

namespace {

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
    return 0;
}
