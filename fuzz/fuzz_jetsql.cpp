#include "FuzzInput.h"
#include "platform/db/JetSql.h"
#include "platform/db/PostgresProvider.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = FuzzText(data, size);
    for (const TSqlDialect d : {TSqlDialect::SQLite, TSqlDialect::PostgreSQL}) {
        TranslateJetSql(text, d);
    }
    // With the names of a server catalogue: spellings, Booleans and dates rewritten.
    static const TSqlNames names = []() {
        TSqlNames n;
        n.spelling.insert(QStringLiteral("visited"), QStringLiteral("Visited"));
        n.spelling.insert(QStringLiteral("url"), QStringLiteral("URL"));
        n.columns.insert(QStringLiteral("visited"), TSqlNames::Boolean);
        n.columns.insert(QStringLiteral("d"), TSqlNames::DateTime);
        return n;
    }();
    const TTranslatedSql server = TranslateJetSql(text, TSqlDialect::PostgreSQL, &names);
    // Every parameter the translation made is numbered, and nothing else (comments and
    // raw placeholders aside, which the program's SQL never has).
    int count = 0;
    TPostgresProvider::NumberPlaceholders(server.sql, &count);
    if (!text.contains(QLatin1Char('?')) && !text.contains(QLatin1Char('-')) &&
        !text.contains(QLatin1Char('/'))) {
        FUZZ_CHECK(count == server.parameters.size());
    }
    JetSqlParameterNames(text);
    // A quoted text reads back as one literal holding the text.
    const TTranslatedSql quoted = TranslateJetSql(JetQuotedString(text), TSqlDialect::SQLite);
    FUZZ_CHECK(quoted.parameters.isEmpty());
    return 0;
}
