#pragma once

#include <QString>

class TConnection;

struct TExportFigures {
    double seconds = 0;
    int records = 0;
    qint64 bytes = 0;
};

// Every record of the catalogue, read into a dataset first, written as a bookmark file in
// folder; only the writing is timed.
TExportFigures MeasureBookmarkExport(TConnection& connection, const QString& folder);

// 10,000 Internet shortcuts in 200 folders nested four deep, and a bookmark file of 50,000
// links in 100 folders, below home; made once.
void GenerateImportData(const QString& home);
