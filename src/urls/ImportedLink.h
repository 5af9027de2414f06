#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// One address found by an import: the categories given as such ("; "-separated, empty for
// none), the folders that lead to it and its tags, and its description (empty for none).
// Folders and tags are kept apart from the categories as read, so the preview can make each
// folder a category or the folder path one category, and tidy the names, as the user chooses.
struct TImportedLink {
    QString URL;
    QString Category;
    QString Description;
    // Where it came from, to name it should it be skipped (empty: the address names it).
    QString Source;
    bool Visited = false;
    // Why the reader found it is no link to import (a separator, a link inside a note);
    // empty for a link.
    QString SkipReason;
    // Fields after SkipReason carry initializers, so a reader may leave them out.
    // Outermost first, each as the file names it.
    QStringList Folders = {};
    QStringList Tags = {};
    // A Favorites shortcut's file name without ".url": the only title such a link has.
    QString ShortcutName = {};
    // Why the entry's bytes could not be read whole in the file's encoding (empty when
    // they could): such an entry is shown spoiled rather than silently changed.
    QString Damage = {};
    // The line of the file the entry begins on, for a file read line by line; 0 otherwise.
    int Line = 0;
};

// Where a walk or a reader puts what it finds.
class TImportSink {
public:
    virtual ~TImportSink() = default;
    virtual void Add(const TImportedLink& link) = 0;
    // An entry that could not be read, with what names it and why.
    virtual void Skip(const QString& what) = 0;
    // The entries so far.
    virtual int Entries() const = 0;
    // Tells OnProgress now: a walk calls it for every folder, however few links it holds.
    void Progress();
    // Tells OnReading how far the reading of a file has come.
    void Reading(qint64 done, qint64 total);
    // Called every few entries, so a window can show progress; may throw to stop.
    std::function<void(int entries)> OnProgress;
    std::function<void(qint64 done, qint64 total)> OnReading;

protected:
    // Progress every few entries.
    void stepped();
};
