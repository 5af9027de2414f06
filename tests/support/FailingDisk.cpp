#include "support/FailingDisk.h"

namespace {
struct TFaults {
    std::atomic<bool> failReads{false};
    std::atomic<bool> failSyncs{false};
    std::atomic<int> syncsToFail{0};
    std::atomic<bool> failOpens{false};
    std::atomic<int> failedSyncs{0};
    void clear() {
        failReads = false;
        failSyncs = false;
        syncsToFail = 0;
        failOpens = false;
        failedSyncs = 0;
    }
};

TFaults& faults() {
    static TFaults f;
    return f;
}

struct TFile {
    sqlite3_file base;
    sqlite3_file* real;
};

sqlite3_file* real(sqlite3_file* f) {
    return reinterpret_cast<TFile*>(f)->real;
}

const sqlite3_io_methods& methods() {
    // Version 3, with the shared memory the write-ahead log needs, passed on as it is.
    static const sqlite3_io_methods m = {
        3,
        [](sqlite3_file* f) { return real(f)->pMethods->xClose(real(f)); },
        [](sqlite3_file* f, void* b, int n, sqlite3_int64 o) {
            if (faults().failReads) {
                return SQLITE_IOERR_READ;
            }
            return real(f)->pMethods->xRead(real(f), b, n, o);
        },
        [](sqlite3_file* f, const void* b, int n, sqlite3_int64 o) {
            return real(f)->pMethods->xWrite(real(f), b, n, o);
        },
        [](sqlite3_file* f, sqlite3_int64 n) { return real(f)->pMethods->xTruncate(real(f), n); },
        [](sqlite3_file* f, int flags) {
            if (faults().failSyncs || faults().syncsToFail-- > 0) {
                ++faults().failedSyncs;
                return SQLITE_IOERR_FSYNC;
            }
            return real(f)->pMethods->xSync(real(f), flags);
        },
        [](sqlite3_file* f, sqlite3_int64* n) { return real(f)->pMethods->xFileSize(real(f), n); },
        [](sqlite3_file* f, int l) { return real(f)->pMethods->xLock(real(f), l); },
        [](sqlite3_file* f, int l) { return real(f)->pMethods->xUnlock(real(f), l); },
        [](sqlite3_file* f, int* out) {
            return real(f)->pMethods->xCheckReservedLock(real(f), out);
        },
        [](sqlite3_file* f, int op, void* arg) {
            return real(f)->pMethods->xFileControl(real(f), op, arg);
        },
        [](sqlite3_file* f) { return real(f)->pMethods->xSectorSize(real(f)); },
        [](sqlite3_file* f) { return real(f)->pMethods->xDeviceCharacteristics(real(f)); },
        [](sqlite3_file* f, int page, int size, int extend, void volatile** out) {
            return real(f)->pMethods->xShmMap(real(f), page, size, extend, out);
        },
        [](sqlite3_file* f, int offset, int n, int flags) {
            return real(f)->pMethods->xShmLock(real(f), offset, n, flags);
        },
        [](sqlite3_file* f) { real(f)->pMethods->xShmBarrier(real(f)); },
        [](sqlite3_file* f, int deleteFlag) {
            return real(f)->pMethods->xShmUnmap(real(f), deleteFlag);
        },
        [](sqlite3_file* f, sqlite3_int64 offset, int n, void** out) {
            return real(f)->pMethods->xFetch(real(f), offset, n, out);
        },
        [](sqlite3_file* f, sqlite3_int64 offset, void* p) {
            return real(f)->pMethods->xUnfetch(real(f), offset, p);
        }};
    return m;
}

// The real file system, and this one around it: made once, registered for good.
struct TFileSystems {
    sqlite3_vfs* real = nullptr;
    sqlite3_vfs failing{};
};

TFileSystems& fileSystems() {
    static TFileSystems systems = []() {
        TFileSystems s;
        s.real = sqlite3_vfs_find(nullptr);
        s.failing = *s.real;
        s.failing.zName = "linkarium-failing-disk";
        s.failing.szOsFile = static_cast<int>(sizeof(TFile)) + s.real->szOsFile;
        s.failing.xOpen = [](sqlite3_vfs*, const char* name, sqlite3_file* file, int flags,
                             int* outFlags) {
            auto* f = reinterpret_cast<TFile*>(file);
            f->base.pMethods = nullptr;
            if (faults().failOpens) {
                return SQLITE_IOERR;
            }
            sqlite3_vfs* r = fileSystems().real;
            f->real = reinterpret_cast<sqlite3_file*>(f + 1);
            const int rc = r->xOpen(r, name, f->real, flags, outFlags);
            f->base.pMethods = rc == SQLITE_OK ? &methods() : nullptr;
            return rc;
        };
        return s;
    }();
    return systems;
}
}  // namespace

TFailingDisk::TFailingDisk()
    : failReads(faults().failReads),
      failSyncs(faults().failSyncs),
      syncsToFail(faults().syncsToFail),
      failOpens(faults().failOpens),
      failedSyncs(faults().failedSyncs) {
    faults().clear();
    sqlite3_vfs_register(&fileSystems().failing, 1);
}

TFailingDisk::~TFailingDisk() {
    faults().clear();
    sqlite3_vfs_register(fileSystems().real, 1);
}
