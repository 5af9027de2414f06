#pragma once

#include <QString>

// Fills a new catalogue file with realistic rows: addresses up to 150 characters,
// descriptions up to 255, Latin and Cyrillic text, categories, a visited mark.
// The same seed gives the same catalogue. Returns the raw text size of the rows.
qint64 GenerateCatalogue(const QString& fileName, int rows, unsigned seed = 42);
