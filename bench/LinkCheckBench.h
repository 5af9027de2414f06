#pragma once

#include <QString>

struct TLinkCheckFigures {
    double seconds = 0;
    // The longest time between two turns of the event loop while the check ran.
    double longestGapMs = 0;
    int links = 0;
    int alive = 0;
    int stored = 0;
};

// Checks links spread over loopback addresses 127.0.0.2 and up, one server on each (in a
// thread of its own) answering every request after answerMs, with the program's limits,
// writing every check into a new catalogue in folder.
TLinkCheckFigures MeasureLinkCheck(const QString& folder, int links, int hosts, int answerMs);
