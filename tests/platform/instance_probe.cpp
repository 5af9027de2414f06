// Starts as one copy of a program guarded by the single-instance rule and says what
// happened: "first" (runs; "activated" for each later start), or "second" (exits 0).
//   instance_probe <milliseconds to keep running>
#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    TSingleInstance instance(QCoreApplication::applicationFilePath());
    if (!instance.Start()) {
        std::puts("second");
        return 0;
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
