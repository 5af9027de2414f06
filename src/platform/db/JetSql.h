#pragma once

#include <QString>
#include <QStringList>

enum class TSqlDialect { SQLite, PostgreSQL };

struct TTranslatedSql {
    QString sql;             // the engine's dialect, parameters as positional "?"
    QStringList parameters;  // the named parameters in order of appearance, repeats included
};

// Turns the program's Jet SQL into the engine's dialect just before execution:
// double-quoted string literals (with "" inside) become single-quoted ones, {GUID}
// literals become quoted text, [identifiers] become "identifiers", :Name parameters
// become positional placeholders and LIKE becomes the engine's case-insensitive match.
// Nothing inside a literal is ever changed.
TTranslatedSql TranslateJetSql(const QString& jet, TSqlDialect dialect);

// The distinct parameter names of a Jet statement, in order of first appearance.
QStringList JetSqlParameterNames(const QString& jet);

// A text as a Jet string literal: "text" with every " doubled.
QString JetQuotedString(const QString& text);
