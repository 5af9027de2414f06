#pragma once

#include <QStringList>

// A most-recently-used list kept under a registry key as "Item0", "Item1", ... with no gaps.
class TRegistryList final : public QStringList {
public:
    int MaxCount = 15;
    bool AddToEnd = false;

    // Reads "Item0", "Item1", ... up to the first missing number.
    void LoadFromKey(const QString& key);
    // Deletes the key and writes the list again (nothing when it is empty).
    void SaveToKey(const QString& key) const;
    // Records a text as the most recent: a known one (letter case aside) changes places
    // with the first entry, a new one goes in front and the oldest beyond MaxCount go.
    void AddRecent(const QString& text);
};
