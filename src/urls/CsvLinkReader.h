#pragma once

#include "urls/ImportedLink.h"

#include <QString>
#include <QVector>

// A CSV file of links (RFC 4180) as the export writes it: a first line naming the columns
// URL, Description, Category, Visited (in any order, some of them), or those four in that
// order without such a line. The Category column gives the categories as such; a field the
// export kept from being run as a formula comes back as it was (see CsvFormulaUnguarded).
QVector<TImportedLink> ReadCsvLinks(const QString& text);
