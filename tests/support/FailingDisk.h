#pragma once

#include <sqlite3.h>

#include <atomic>

// The engine's default file system with faults switched on and off at will, as a dying disk
// shows them: reads, syncs (the fsync at a commit) or openings answered by an I/O error.
// While it lives it is the default, so connections opened meanwhile go through it; the
// faults apply to the files opened through it.
class TFailingDisk final {
public:
    TFailingDisk();
    ~TFailingDisk();
    TFailingDisk(const TFailingDisk&) = delete;
    TFailingDisk& operator=(const TFailingDisk&) = delete;

    std::atomic<bool> failReads{false};
    std::atomic<bool> failSyncs{false};
    // While above zero, the next syncs fail, one less each time: a disk that recovers.
    std::atomic<int> syncsToFail{0};
    std::atomic<bool> failOpens{false};
    // How many syncs failed.
    std::atomic<int> failedSyncs{0};

private:
    static int open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags,
                    int* outFlags);
    sqlite3_vfs* m_real = nullptr;
    sqlite3_vfs m_vfs{};
};
