#pragma once

#include <QString>

struct TNoticeFigures {
    double longestGapMs = 0;  // between two turns of the watching program's event loop
    double rowsPerNotice = 0;
    int notices = 0;
    int writes = 0;
    int records = 0;
};

// The records view of a catalogue of records on the server that server (a connection string
// whose user may create databases) names, while another program changes one record a
// second, through its record writer, for seconds: how long the watching window went
// unanswered at worst, and how many rows it read per notice.
TNoticeFigures MeasureServerNotices(const QString& server, int records, int seconds);
