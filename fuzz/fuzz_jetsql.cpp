#include "FuzzInput.h"
#include "platform/db/JetSql.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = FuzzText(data, size);
    for (const TSqlDialect d : {TSqlDialect::SQLite, TSqlDialect::PostgreSQL}) {
        TranslateJetSql(text, d);
    }
    JetSqlParameterNames(text);
    // A quoted text reads back as one literal holding the text.
    const TTranslatedSql quoted = TranslateJetSql(JetQuotedString(text), TSqlDialect::SQLite);
    FUZZ_CHECK(quoted.parameters.isEmpty());
    return 0;
}
