#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

enum class TSqlDialect { SQLite, PostgreSQL };

// What the translator has to know of a server catalogue, keyed by case-folded name: the
// exact spelling of names that are not all lower case (the server folds bare names, Jet
// does not care), and the columns whose values Jet writes as numbers (Booleans compared
// with 0 or -1, dates compared with day numbers).
struct TSqlNames {
    enum Kind { Boolean, DateTime };
    QHash<QString, Kind> columns;
    QHash<QString, QString> spelling;
    quint64 generation = 0;  // counts the readings of the catalogue, so translations can tell
    const Kind* find(QStringView name) const;
    QString exact(QStringView name) const;
};

struct TTranslatedSql {
    QString sql;             // the engine's dialect, parameters as its placeholders
    QStringList parameters;  // the named parameters in order of appearance, repeats included
    QStringList names;       // the same without repeats (compared without regard to case)
};

// Turns the program's Jet SQL into the engine's dialect just before execution:
// double-quoted string literals (with "" inside) become single-quoted ones, {GUID}
// literals become quoted text, [identifiers] become "identifiers", :Name parameters
// become the engine's placeholders ("?" on SQLite, "$1", "$2", ... on the server, numbered in
// the same pass) and LIKE becomes the engine's case-insensitive match. The program's own
// "name HASITEM value" (a column name, then a literal or a parameter) holds when the text,
// split at ";" and line breaks into pieces trimmed of the characters up to the space, has a
// piece equal to value, letter case aside: a record's categories, read as the program reads
// them. A LIKE pattern literal
// may hold the escapes "[%]", "[_]" and "[[]" for the characters themselves.
// On the server, LIKE has no escape character (as in Jet), a name is quoted in the spelling
// names knows, and a column named in names compared with a number gets TRUE/FALSE or a
// timestamp instead. Nothing inside a literal
// is ever changed.
TTranslatedSql TranslateJetSql(const QString& jet, TSqlDialect dialect,
                               const TSqlNames* names = nullptr);

// The distinct parameter names of a Jet statement, in order of first appearance.
QStringList JetSqlParameterNames(const QString& jet);

// A text that a LIKE pattern matches as it is: "%", "_" and "[" become "[%]", "[_]", "[[]".
QString LikeEscaped(const QString& text);
// The text of a pattern made by LikeEscaped.
QString LikeUnescaped(const QString& pattern);

// A text as a Jet string literal: "text" with every " doubled. The same form quotes a
// name in standard SQL, and a title in a stored column layout.
QString JetQuotedString(const QString& text);
// The inside of such a literal, for a template that supplies the quotes itself.
QString JetQuotedBody(const QString& text);
