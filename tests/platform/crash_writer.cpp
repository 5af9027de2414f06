// Writes to a catalogue and a settings store until it is killed, saying on standard output
// what each finished step committed: crash_writer <catalogue> <settings store> <prefix>.
//   pair N     two rows "<prefix>wN-a", "<prefix>wN-b" inserted in one transaction
//   batch N    both rows of pair N changed to "done N" in one batch update
//   setting N  the value Crash\Last set to N
// crash_writer create <folder> makes catalogues cat-0.db, cat-1.db, … there until killed,
// saying "created N" after each.
#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"
#include "platform/db/Schema.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == QLatin1String("create")) {
        for (int n = 0;; ++n) {
            CreateSqliteCatalogue(args.at(2) + QStringLiteral("/cat-%1.db").arg(n));
            std::printf("created %d\n", n);
            std::fflush(stdout);
        }
    }
    if (args.size() != 4) {
        return 2;
    }
    TRegistryStore::instance().setFileName(args.at(2));
    const QString prefix = args.at(3);
    TConnection connection;
    connection.SetConnectionString(QStringLiteral("Data Source=") + args.at(1));
    connection.Open();
    const auto say = [](const char* what, int n) {
        std::printf("%s %d\n", what, n);
        std::fflush(stdout);
    };
    for (int n = 1;; ++n) {
        {
            TTransaction t(connection);
            for (const char* side : {"a", "b"}) {
                connection.Execute(
                    QStringLiteral("INSERT INTO SubjectURLs (URL, Description) VALUES (:U, :D)"),
                    {{QStringLiteral("U"),
                      QString(prefix + QStringLiteral("w%1-%2").arg(n).arg(QLatin1String(side)))},
                     {QStringLiteral("D"), QStringLiteral("pair %1").arg(n)}});
            }
            t.Commit();
        }
        say("pair", n);
        TDataSet batch;
        batch.SetConnection(&connection);
        batch.SetLockType(TLockType::BatchOptimistic);
        batch.SetCommandText(QStringLiteral("SELECT * FROM SubjectURLs WHERE URL LIKE :P"));
        batch.Parameters()
            .ParamByName(QStringLiteral("P"))
            .SetValue(QString(prefix + QStringLiteral("w%1-_").arg(n)));
        batch.Open();
        while (!batch.Eof()) {
            batch.Edit();
            batch.FieldByName(QStringLiteral("Description"))
                .SetAsString(QStringLiteral("done %1").arg(n));
            batch.Post();
            batch.Next();
        }
        batch.UpdateBatch();
        say("batch", n);
        TRegistry reg;
        if (reg.OpenKey(QStringLiteral("Software\\Quorvel\\Linkarium\\Crash"), true) &&
            reg.WriteInteger(QStringLiteral("Last"), n)) {
            say("setting", n);
        }
    }
}
