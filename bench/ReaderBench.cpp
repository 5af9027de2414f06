#include "ReaderBench.h"

#include "support/HostileImports.h"
#include "urls/LinkImport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QVector>

#include <malloc.h>

namespace {

// A figure of /proc/self/status in kB; -1 when it cannot be read.
long statusKb(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key)) {
            return line.mid(static_cast<int>(qstrlen(key))).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

class TKeep final : public TImportSink {
public:
    void Add(const TImportedLink& link) override {
        links << link;
        stepped();
    }
    void Skip(const QString&) override {
        ++skipped;
        stepped();
    }
    int Entries() const override { return static_cast<int>(links.size()) + skipped; }
    QVector<TImportedLink> links;
    int skipped = 0;
};

}  // namespace

TWalkMemory MeasureDeepFavoritesWalk(const QString& folder, int depth) {
    TWalkMemory figures;
    const QString favorites = folder + QStringLiteral("/DeepFavorites");
    figures.made = MakeFolderChain(favorites, depth);
    if (figures.made) {
        // Memory the benchmarks before freed goes back to the system first, so the walk's own
        // shows; writing 5 then resets the peak to what the process holds now.
        malloc_trim(0);
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly)) {
            clear.write("5");
        }
        clear.close();
        const long before = statusKb("VmHWM:");
        TKeep sink;
        QElapsedTimer t;
        t.start();
        TFavoritesWalk(sink).Walk(favorites);
        figures.seconds = t.nsecsElapsed() / 1e9;
        figures.peakRiseMB = (statusKb("VmHWM:") - before) / 1024.0;
        figures.links = static_cast<int>(sink.links.size());
        for (const TImportedLink& link : sink.links) {
            figures.deepestFolders =
                qMax(figures.deepestFolders, static_cast<int>(link.Folders.size()));
        }
    }
    QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), favorites});
    return figures;
}
