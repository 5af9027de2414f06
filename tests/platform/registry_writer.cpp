// Uses a settings store from a second process:
//   registry_writer <store file> <key> <count> <prefix>   writes count values
//   registry_writer <store file> hold                     locks the file until a line
//                                                          arrives on standard input
#include "platform/registry/Registry.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QThread>

#include <cstdio>

#include <sqlite3.h>

namespace {

constexpr unsigned long kPauseMs = 20;

// Holds an exclusive lock, as another program busy with the file would.
int hold(const QString& file) {
    sqlite3* db = nullptr;
    if (sqlite3_open(QFile::encodeName(file).constData(), &db) != SQLITE_OK ||
        sqlite3_exec(db, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE", nullptr, nullptr,
                     nullptr) != SQLITE_OK) {
        return 1;
    }
    std::puts("held");
    std::fflush(stdout);
    char line[16];
    if (!std::fgets(line, sizeof line, stdin)) {
        line[0] = 0;
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(2) == QLatin1String("hold")) {
        return hold(args.at(1));
    }
    if (args.size() != 5) {
        return 2;
    }
    TRegistryStore::instance().setFileName(args.at(1));
    const int count = args.at(3).toInt();
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        TRegistry reg;
        if (!reg.OpenKey(args.at(2), true) ||
            !reg.WriteInteger(args.at(4) + QString::number(i), i)) {
            ++failures;
        }
        // Paced as settings are written, between a person's actions: two tight loops
        // would only measure how unfairly the engine hands a busy file between them.
        QThread::msleep(kPauseMs);
    }
    return failures == 0 ? 0 : 1;
}
