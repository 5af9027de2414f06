#include "support/FailingDisk.h"

namespace {
struct TFile {
    sqlite3_file base;
    TFailingDisk* disk;
    sqlite3_file* real;
};

TFile* self(sqlite3_file* f) {
    return reinterpret_cast<TFile*>(f);
}
sqlite3_file* real(sqlite3_file* f) {
    return self(f)->real;
}

const sqlite3_io_methods& methods() {
    // Version 3, with the shared memory the write-ahead log needs, passed on as it is.
    static const sqlite3_io_methods m = {
        3,
        [](sqlite3_file* f) { return real(f)->pMethods->xClose(real(f)); },
        [](sqlite3_file* f, void* b, int n, sqlite3_int64 o) {
            if (self(f)->disk->failReads) {
                return SQLITE_IOERR_READ;
            }
            return real(f)->pMethods->xRead(real(f), b, n, o);
        },
        [](sqlite3_file* f, const void* b, int n, sqlite3_int64 o) {
            return real(f)->pMethods->xWrite(real(f), b, n, o);
        },
        [](sqlite3_file* f, sqlite3_int64 n) { return real(f)->pMethods->xTruncate(real(f), n); },
        [](sqlite3_file* f, int flags) {
            if (self(f)->disk->failSyncs || self(f)->disk->syncsToFail-- > 0) {
                ++self(f)->disk->failedSyncs;
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
}  // namespace

TFailingDisk::TFailingDisk() {
    m_real = sqlite3_vfs_find(nullptr);
    m_vfs = *m_real;
    m_vfs.zName = "linkarium-failing-disk";
    m_vfs.szOsFile = static_cast<int>(sizeof(TFile)) + m_real->szOsFile;
    m_vfs.pAppData = this;
    m_vfs.xOpen = &TFailingDisk::open;
    sqlite3_vfs_register(&m_vfs, 1);
}

TFailingDisk::~TFailingDisk() {
    sqlite3_vfs_unregister(&m_vfs);
    sqlite3_vfs_register(m_real, 1);
}

int TFailingDisk::open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags,
                       int* outFlags) {
    auto* disk = static_cast<TFailingDisk*>(vfs->pAppData);
    auto* f = reinterpret_cast<TFile*>(file);
    f->base.pMethods = nullptr;
    if (disk->failOpens) {
        return SQLITE_IOERR;
    }
    f->disk = disk;
    f->real = reinterpret_cast<sqlite3_file*>(f + 1);
    const int rc = disk->m_real->xOpen(disk->m_real, name, f->real, flags, outFlags);
    f->base.pMethods = rc == SQLITE_OK ? &methods() : nullptr;
    return rc;
}
