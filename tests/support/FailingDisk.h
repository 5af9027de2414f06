#pragma once

#include <sqlite3.h>

#include <atomic>

// The engine's default file system with faults switched on and off at will, as a dying disk
// shows them: reads, syncs (the fsync at a commit) or openings answered by an I/O error.
// While it lives it is the default, so connections opened meanwhile go through it; the
// faults apply to the files opened through it. Those files may outlive it (a store closed
// later): they go on through the real file system, with no fault, as the file system
// itself stays registered for good.
class TFailingDisk final {
public:
    TFailingDisk();
    ~TFailingDisk();
    TFailingDisk(const TFailingDisk&) = delete;
    TFailingDisk& operator=(const TFailingDisk&) = delete;

    std::atomic<bool>& failReads;
    std::atomic<bool>& failSyncs;
    // While above zero, the next syncs fail, one less each time: a disk that recovers.
    std::atomic<int>& syncsToFail;
    std::atomic<bool>& failOpens;
    // How many syncs failed.
    std::atomic<int>& failedSyncs;
};
