#pragma once

#include "platform/db/JetSql.h"

#include <QString>

class TConnection;

// Creates a new, empty catalogue file with the program's tables; an existing file is
// never touched (an error says so).
void CreateSqliteCatalogue(const QString& fileName);

// The statements that lay out a new SQLite catalogue.
QString SqliteCatalogueSchema();

// The statements that lay out a catalogue on a PostgreSQL server.
QString PostgresCatalogueSchema();

// What a catalogue made before link checks lacks: the record's last verdict, the table of
// checks and the trigger that deletes a record's checks with it.
QString LinkHealthSchema(TSqlDialect dialect);
// Adds the link check columns and table to a catalogue that has none, in one
// transaction; an error names the catalogue and the reason.
void UpgradeCatalogue(TConnection& connection);

// Lays out a catalogue in the empty database of an open server connection, in one
// transaction; a database that already holds any of the catalogue's objects is refused.
void CreateServerCatalogue(TConnection& connection);

// Which catalogue a connection is on, for messages: its file, or its database and server.
QString CatalogueName(const TConnection& connection);

// Checks that an open connection holds a catalogue: the table SubjectURLs and the query
// vCategoryList. The error names what is missing.
void CheckCatalogue(TConnection& connection);
