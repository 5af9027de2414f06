#pragma once

#include <QString>

class TConnection;

// Creates a new, empty catalogue file with the program's tables; an existing file is
// never touched (an error says so).
void CreateSqliteCatalogue(const QString& fileName);

// The statements that lay out a new SQLite catalogue.
QString SqliteCatalogueSchema();

// Checks that an open connection holds a catalogue: the table SubjectURLs and the query
// vCategoryList. The error names what is missing.
void CheckCatalogue(TConnection& connection);
