#include "urls/ImportedLink.h"

namespace {

constexpr int kProgressEvery = 64;

}  // namespace

void TImportSink::stepped() {
    if (Entries() % kProgressEvery == 0) {
        Progress();
    }
}

void TImportSink::Progress() {
    if (OnProgress) {
        OnProgress(Entries());
    }
}

void TImportSink::Reading(qint64 done, qint64 total) {
    if (OnReading) {
        OnReading(done, total);
    }
}
