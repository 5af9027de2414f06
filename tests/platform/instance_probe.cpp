// Starts as one copy of a program guarded by the single-instance rule and says what
// happened: "first" (runs; "activated" for each later start), "second" (exits 0), or
// "failed" (exits 1). A later start hands the running copy the UTF-8 text of the file
// LINKARIUM_PROBE_REQUEST names, which it prints as "request <SHA-256 of the text's UTF-8>"
// (short, so that a test reading the output later never holds the probe up).
//   instance_probe <milliseconds to keep running> [descriptor limit] [lock limit ms]
#include "platform/FileNames.h"
#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QTimer>

#include <cstdio>

#include <sys/resource.h>

int main(int argc, char** argv) {
    if (argc > 2) {
        // A low limit shows whether idle clients can use up the running copy.
        const rlim_t n = static_cast<rlim_t>(QByteArray(argv[2]).toLong());
        rlimit limit{n, n};
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    ForgetUnreadableRuntimeFolder();
    QCoreApplication app(argc, argv);
    TSingleInstance instance(QCoreApplication::applicationFilePath());
    if (argc > 3) {
        instance.SetTimeLimits(QByteArray(argv[3]).toInt(), 30000);
    }
    QString request;
    QFile requestFile(qEnvironmentVariable("LINKARIUM_PROBE_REQUEST"));
    if (!requestFile.fileName().isEmpty() && requestFile.open(QIODevice::ReadOnly)) {
        request = QString::fromUtf8(requestFile.readAll());
    }
    switch (instance.Start(1, request)) {
        case TSingleInstance::TStartResult::Activated:
            std::puts("second");
            return 0;
        case TSingleInstance::TStartResult::Failed:
            std::puts("failed");
            std::fprintf(stderr, "%s\n", qPrintable(instance.FailureText()));
            return 1;
        case TSingleInstance::TStartResult::Run:
            break;
    }
    std::puts("first");
    std::fflush(stdout);
    QObject::connect(&instance, &TSingleInstance::ActivateRequested, []() {
        std::puts("activated");
        std::fflush(stdout);
    });
    QObject::connect(&instance, &TSingleInstance::RequestReceived, [](const QString& received) {
        const QByteArray hash =
            QCryptographicHash::hash(received.toUtf8(), QCryptographicHash::Sha256);
        std::printf("request %s\n", hash.toHex().constData());
        std::fflush(stdout);
    });
    QTimer::singleShot(argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 5000, &app,
                       &QCoreApplication::quit);
    return app.exec();
}
