#include "NoticeBench.h"

#include "LoopGapMeter.h"

#include "app/GeneralUnit.h"
#include "common/ConstsUnit.h"
#include "common/UtilsUnit.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/DataSet.h"
#include "platform/db/PostgresProvider.h"
#include "platform/db/Schema.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "support/ViewParts.h"
#include "urls/URLViewFrm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>

namespace {

const QString kDatabase = QStringLiteral("linkarium_bench_notices");

// The other program: its own connection and dataset, in a thread of its own, changing
// the description of a record at random once a second.
class TWriter final : public QThread {
public:
    TWriter(QString connection, int seconds)
        : m_connection(std::move(connection)), m_seconds(seconds) {}
    std::atomic<int> writes{0};
    QString error;

protected:
    void run() override {
        try {
            TConnection c;
            c.SetConnectionString(m_connection);
            c.Open();
            TDataSet ds;
            ds.SetConnection(&c);
            ds.SetCommandText(QStringLiteral("SELECT * FROM SubjectURLs"));
            ds.Open();
            ds.FetchRest();
            QRandomGenerator random(7);
            QElapsedTimer clock;
            clock.start();
            for (int i = 0; i < m_seconds; ++i) {
                ds.MoveBy(random.bounded(ds.RecordCount()) - (ds.RecNo() - 1));
                ds.Edit();
                ds.FieldByName(QStringLiteral("Description"))
                    .SetValue(QStringLiteral("Изменено %1").arg(i));
                ds.Post();
                ++writes;
                const qint64 next = (i + 1) * 1000LL;
                QThread::msleep(
                    static_cast<unsigned long>(std::max<qint64>(0, next - clock.elapsed())));
            }
        } catch (const EError& e) {
            error = e.message();
        }
    }

private:
    QString m_connection;
    int m_seconds;
};

}  // namespace

TNoticeFigures MeasureServerNotices(const QString& server, int records, int seconds) {
    TNoticeFigures figures;
    TConnection admin;
    admin.SetConnectionString(server);
    admin.Open();
    admin.Execute(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(kDatabase));
    admin.Execute(QStringLiteral("CREATE DATABASE %1").arg(kDatabase));
    TConnectionString cs(server);
    cs.setValue(QStringLiteral("Initial Catalog"), kDatabase);
    {
        TConnection c;
        c.SetConnectionString(cs.toString());
        c.Open();
        CreateServerCatalogue(c);
        c.Provider().execute(
            QStringLiteral("INSERT INTO \"SubjectURLs\" (\"URL\", \"Description\", \"Category\")"
                           " SELECT 'https://site' || i || '.example/page', 'Запись ' || i,"
                           " 'Раздел ' || (i % 40) FROM generate_series(1, $1) i"),
            {records});
        c.Execute(QStringLiteral("ANALYZE SubjectURLs"));
    }
    QTemporaryDir settings;
    TRegistryStore::instance().setFileName(settings.filePath(QStringLiteral("settings.db")));
    WriteRegString(RegRootKey, RegConnectionValue, cs.toString());
    {
        TGeneralModule module(nullptr, false);
        module.Connect();
        TURLViewForm view(module);
        view.resize(1000, 700);
        view.show();
        while (ViewData(view).Fetching()) {
            QCoreApplication::processEvents();
        }
        figures.records = ViewData(view).RecordCount();
        const auto& provider = static_cast<TPostgresProvider&>(module.ADOConnection.Provider());
        const quint64 rowsBefore = provider.rowsRead();
        QObject::connect(&module.ADOConnection, &TConnection::ChangedElsewhere,
                         [&figures]() { ++figures.notices; });
        TWriter writer(cs.toString(), seconds);
        const TLoopGapMeter gaps;
        QEventLoop loop;
        QObject::connect(&writer, &QThread::finished, &loop, &QEventLoop::quit);
        writer.start();
        loop.exec();
        // The last notice comes up to a second after the last write.
        QElapsedTimer tail;
        tail.start();
        while (tail.elapsed() < 1500) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        figures.longestGapMs = gaps.LongestMs();
        if (!writer.error.isEmpty()) {
            std::printf("notice writer failed: %s\n", qPrintable(writer.error));
        }
        figures.writes = writer.writes;
        figures.rowsPerNotice =
            figures.notices > 0
                ? static_cast<double>(provider.rowsRead() - rowsBefore) / figures.notices
                : 0;
    }
    admin.Execute(QStringLiteral("DROP DATABASE %1 WITH (FORCE)").arg(kDatabase));
    return figures;
}
