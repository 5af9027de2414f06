#pragma once

#include "urls/ImportedLink.h"

#include <QString>
#include <QVector>

// A CSV file of links (RFC 4180) as the export writes it: a first line naming the columns
// URL, Description, Category, Visited (in any order, some of them), or those four in that
// order without such a line. The Category column gives the categories as such; a field the
// export kept from being run as a formula comes back as it was (see RestoredCsvField).
QVector<TImportedLink> ReadCsvLinks(const QString& text);

// The export puts one apostrophe before a field that starts with any apostrophes and then
// '=', '+', '-', '@', a tab or a carriage return, so a spreadsheet shows it as text; this
// takes exactly that apostrophe off again. Any other field stays as it is.
QString RestoredCsvField(const QString& field);
