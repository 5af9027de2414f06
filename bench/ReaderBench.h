#pragma once

#include <QString>

struct TWalkMemory {
    bool made = false;  // the chain of folders could be made
    double seconds = 0;
    // How far the peak resident memory rose during the walk, with every link kept.
    double peakRiseMB = 0;
    int links = 0;
    int deepestFolders = 0;  // folders of the deepest link
};

// Walks a chain of depth nested Favorites folders made below folder, keeping what it finds
// as the preview does, and measures the time and the rise of the peak memory.
TWalkMemory MeasureDeepFavoritesWalk(const QString& folder, int depth);
