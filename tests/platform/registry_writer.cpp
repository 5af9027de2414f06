// Writes values into a settings store from a second process, for the test of two
// processes sharing one store: registry_writer <store file> <key> <count> <prefix>.
#include "platform/registry/Registry.h"

#include <QCoreApplication>
#include <QStringList>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
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
    }
    return failures == 0 ? 0 : 1;
}
