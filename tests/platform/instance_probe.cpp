// Starts as one copy of a program guarded by the single-instance rule and says what
// happened: "first" (runs; "activated" for each later start), "second" (exits 0), or
// "failed" (exits 1).
//   instance_probe <milliseconds to keep running> [descriptor limit] [lock limit ms]
#include "platform/FileNames.h"
#include "platform/SingleInstance.h"

#include <QCoreApplication>
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
    switch (instance.Start()) {
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
    QTimer::singleShot(argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 5000, &app,
                       &QCoreApplication::quit);
    return app.exec();
}
