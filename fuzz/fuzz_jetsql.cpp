#include "FuzzInput.h"
#include "platform/db/JetSql.h"

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
    // Every parameter the translation made is numbered in order, the last one included.
    const int count = static_cast<int>(server.parameters.size());
    if (count > 0) {
        FUZZ_CHECK(server.sql.contains(QLatin1Char('$') + QString::number(count)));
    }
    FUZZ_CHECK(server.names.size() <= count);
    JetSqlParameterNames(text);
    // An escaped text reads back as itself.
    FUZZ_CHECK(LikeUnescaped(LikeEscaped(text)) == text);
    // A quoted text reads back as one literal holding the text.
    const TTranslatedSql quoted = TranslateJetSql(JetQuotedString(text), TSqlDialect::SQLite);
    FUZZ_CHECK(quoted.parameters.isEmpty());
    return 0;
}
