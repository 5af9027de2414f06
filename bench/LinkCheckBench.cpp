#include "LinkCheckBench.h"

#include "LoopGapMeter.h"

#include "platform/db/Command.h"
#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"
#include "platform/db/Schema.h"
#include "urls/LinkCheckDlg.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <memory>
#include <vector>

namespace {

// Servers that answer each request of a kept-alive connection with 200 after a delay.
class TSlowServers final : public QThread {
public:
    TSlowServers(int hosts, int answerMs) : m_hosts(hosts), m_answerMs(answerMs) {}

    QSemaphore ready;
    std::vector<quint16> ports;

protected:
    void run() override {
        std::vector<std::unique_ptr<QTcpServer>> servers;
        for (int h = 0; h < m_hosts; ++h) {
            auto server = std::make_unique<QTcpServer>();
            server->listen(QHostAddress(QStringLiteral("127.0.0.%1").arg(h + 2)), 0);
            ports.push_back(server->serverPort());
            QTcpServer* s = server.get();
            QObject::connect(s, &QTcpServer::newConnection, s, [this, s]() {
                while (QTcpSocket* socket = s->nextPendingConnection()) {
                    QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                     [this, socket]() { read(socket); });
                    QObject::connect(socket, &QTcpSocket::disconnected, socket,
                                     &QObject::deleteLater);
                }
            });
            servers.push_back(std::move(server));
        }
        ready.release();
        exec();
    }

private:
    void read(QTcpSocket* socket) {
        QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
        int end;
        while ((end = buffer.indexOf("\r\n\r\n")) >= 0) {
            buffer.remove(0, end + 4);
            QTimer::singleShot(m_answerMs, socket, [socket]() {
                socket->write("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
            });
        }
        socket->setProperty("buffer", buffer);
    }

    int m_hosts;
    int m_answerMs;
};

}  // namespace

TLinkCheckFigures MeasureLinkCheck(const QString& folder, int links, int hosts, int answerMs) {
    TLinkCheckFigures figures;
    TSlowServers servers(hosts, answerMs);
    servers.start();
    servers.ready.acquire();

    const QString file = folder + QStringLiteral("/linkcheck-bench.db");
    QFile::remove(file);
    CreateSqliteCatalogue(file);
    TConnection connection;
    connection.SetConnectionString(QStringLiteral("Data Source=") + file);
    connection.Open();
    {
        TTransaction transaction(connection);
        TCommand insert;
        insert.SetConnection(&connection);
        insert.SetCommandText(QStringLiteral("INSERT INTO SubjectURLs (URL) VALUES (:URL)"));
        for (int i = 0; i < links; ++i) {
            const int h = i % hosts;
            insert.Parameters()
                .ParamByName(QStringLiteral("URL"))
                .SetValue(QStringLiteral("http://127.0.0.%1:%2/page/%3")
                              .arg(h + 2)
                              .arg(servers.ports[static_cast<std::size_t>(h)])
                              .arg(i));
            insert.Execute();
        }
        transaction.Commit();
    }
    QList<TLinkToCheck> toCheck;
    {
        TDataSet rows;
        rows.SetConnection(&connection);
        rows.SetCommandText(QStringLiteral("SELECT SubjectURLID, URL FROM SubjectURLs"));
        rows.Open();
        for (int r = 0; r < rows.RecordCount(); ++r) {
            toCheck.append(
                {rows.ValueAt(r, rows.Fields(0)), rows.DisplayTextAt(r, rows.Fields(1))});
        }
    }
    figures.links = static_cast<int>(toCheck.size());

    TLinkCheckForm form(connection);
    QEventLoop loop;
    QObject::connect(&form, &TLinkCheckForm::Finished, &loop, &QEventLoop::quit);
    QElapsedTimer t;
    t.start();
    {
        const TLoopGapMeter gaps;
        form.Start(toCheck);
        loop.exec();
        figures.longestGapMs = gaps.LongestMs();
    }
    figures.seconds = t.nsecsElapsed() / 1e9;

    TDataSet counts;
    counts.SetConnection(&connection);
    counts.SetCommandText(
        QStringLiteral("SELECT (SELECT COUNT(*) FROM SubjectURLs WHERE LinkStatus = 'alive') AS A, "
                       "(SELECT COUNT(*) FROM LinkChecks) AS C"));
    counts.Open();
    figures.alive = static_cast<int>(counts.Fields(0).AsInteger());
    figures.stored = static_cast<int>(counts.Fields(1).AsInteger());
    servers.quit();
    servers.wait();
    connection.Close();
    QFile::remove(file);
    return figures;
}
