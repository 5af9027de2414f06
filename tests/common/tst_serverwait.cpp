#include "platform/db/Connection.h"
#include "platform/db/PostgresProvider.h"
#include "support/ServerWaitInstalled.h"
#include "support/TestCatalogue.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <csignal>
#include <functional>

namespace {

// Stops a server process while it lives, and lets it go on at every way out.
class TStoppedProcess final {
public:
    explicit TStoppedProcess(int pid) : m_pid(pid) { m_stopped = ::kill(pid, SIGSTOP) == 0; }
    ~TStoppedProcess() { Resume(); }
    TStoppedProcess(const TStoppedProcess&) = delete;
    TStoppedProcess& operator=(const TStoppedProcess&) = delete;
    bool Stopped() const { return m_stopped; }
    void Resume() {
        if (m_stopped) {
            ::kill(m_pid, SIGCONT);
            m_stopped = false;
        }
    }

private:
    int m_pid;
    bool m_stopped = false;
};

// Turns of the event loop while a call waits, seen from a queued call that queues itself
// again at each turn: the longest gap between two is how long the window went unanswered.
// Once the waiting window has been up for a while, it presses "Отмена" there when asked.
class TLoopWatch final {
public:
    explicit TLoopWatch(bool pressCancel) : m_pressCancel(pressCancel) {
        m_clock.start();
        queue();
    }
    ~TLoopWatch() { *m_alive = false; }
    qint64 Worst() const { return m_worst; }
    bool SawWindow() const { return m_sawWindow; }

private:
    void queue() {
        // A turn queued before the watch ended finds it gone and does nothing.
        QMetaObject::invokeMethod(
            qApp,
            [this, alive = m_alive]() {
                if (*alive) {
                    turn();
                }
            },
            Qt::QueuedConnection);
    }
    void turn() {
        const qint64 now = m_clock.elapsed();
        m_worst = std::max(m_worst, now - m_last);
        m_last = now;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == "ServerWaitDialog" && w->isVisible()) {
                m_sawWindow = true;
                if (m_pressCancel && now > 1500) {
                    w->findChild<QPushButton*>("CancelButton")->click();
                }
            }
        }
        queue();
    }

    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_worst = 0;
    bool m_pressCancel;
    bool m_sawWindow = false;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

QString errorOf(const std::function<void()>& call, bool* unknownOutcome = nullptr) {
    try {
        call();
    } catch (const EUnknownOutcomeError& e) {
        if (unknownOutcome) {
            *unknownOutcome = true;
        }
        return e.message();
    } catch (const EError& e) {
        return e.message();
    }
    return QString();
}

}  // namespace

// A server that stops answering, mid-command or while the connection opens: the window
// keeps answering, the user may give up, and a limit ends the wait when nobody does.
class TestServerWait final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { LINKARIUM_REQUIRE_ENGINE(); }

    // The server's process stops (as a server does behind a dropped network) while a read
    // or a write waits; "Отмена" in the window that appears after a second ends the call,
    // whose outcome is unknown for the write, and the next command opens a new session.
    void stoppedServerGivenUp_data() {
        QTest::addColumn<bool>("write");
        QTest::newRow("read") << false;
        QTest::newRow("write") << true;
    }
    void stoppedServerGivenUp() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        QFETCH(bool, write);
        TTestCatalogue cat;
        TConnection& c = cat.connection();
        QWidget window;
        window.show();
        const TWaitWindowInstalled installed;
        // Once before, so that the stop meets the command itself, not the look-up of the
        // catalogue's names it begins with.
        c.Execute("UPDATE SubjectURLs SET Visited = True");
        auto& server = static_cast<TPostgresProvider&>(c.Provider());
        TStoppedProcess stopped(server.backendPid());
        QVERIFY(stopped.Stopped());
        QElapsedTimer clock;
        clock.start();
        bool unknown = false;
        QString error;
        {
            const TLoopWatch watch(true);
            error = errorOf(
                [&]() {
                    if (write) {
                        c.Execute("UPDATE SubjectURLs SET Visited = True");
                    } else {
                        c.Value("SELECT count(*) FROM SubjectURLs");
                    }
                },
                &unknown);
            QVERIFY(watch.SawWindow());
            QVERIFY2(watch.Worst() < 100, qPrintable(QString::number(watch.Worst())));
        }
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(error.contains(write ? "выполнена ли команда, неизвестно" : "Чтение отменено"),
                 qPrintable(error));
        QCOMPARE(unknown, write);
        stopped.Resume();
        QVERIFY(c.Lost());
        QCOMPARE(c.Value("SELECT count(*) FROM SubjectURLs").toInt(), 0);
    }

    // Nobody gives up: the server's own limit ends a statement that runs too long and the
    // session goes on; a server that does not answer at all is given up a little later.
    void commandLimit_data() {
        QTest::addColumn<bool>("stop");
        QTest::addColumn<QString>("expected");
        QTest::newRow("slow statement") << false << "не выполнил команду за 1 с, и она отменена";
        QTest::newRow("stopped server") << true << "не ответил за 3 с: чтение прервано";
    }
    void commandLimit() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        QFETCH(bool, stop);
        QFETCH(QString, expected);
        TConnection c;
        c.SetConnectionString(qEnvironmentVariable("LINKARIUM_TEST_PG") + ";Command Timeout=1");
        c.Open();
        auto& server = static_cast<TPostgresProvider&>(c.Provider());
        std::unique_ptr<TStoppedProcess> stopped;
        if (stop) {
            stopped = std::make_unique<TStoppedProcess>(server.backendPid());
            QVERIFY(stopped->Stopped());
        }
        QElapsedTimer clock;
        clock.start();
        const QString error = errorOf([&]() { c.Value("SELECT pg_sleep(5)"); });
        QVERIFY2(error.contains(expected), qPrintable(error));
        QVERIFY2(clock.elapsed() < (stop ? 8000 : 2500),
                 qPrintable(QString::number(clock.elapsed())));
        if (stopped) {
            stopped->Resume();
        }
        QCOMPARE(c.Lost(), stop);
        QCOMPARE(c.Value("SELECT 7").toInt(), 7);
    }

    // A server that accepts the connection and then says nothing: the opening is given up
    // after its limit, or sooner by "Отмена", and either way the error names the server.
    void silentServerWhileOpening_data() {
        QTest::addColumn<bool>("window");
        QTest::addColumn<QString>("expected");
        QTest::newRow("limit")
            << false << "Не удалось подключиться к серверу %1.\nСервер не ответил за 2 с.";
        QTest::newRow("Отмена") << true << "Подключение к серверу %1 отменено.";
    }
    void silentServerWhileOpening() {
        QFETCH(bool, window);
        QFETCH(QString, expected);
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        const QString address = QString("127.0.0.1:%1").arg(silent.serverPort());
        TConnection c;
        c.SetConnectionString(
            "Provider=PostgreSQL;Data Source=" + address +
            ";Initial Catalog=x;User ID=u;Password=p;Connect Timeout=" + (window ? "30" : "2"));
        std::unique_ptr<TWaitWindowInstalled> installed;
        if (window) {
            installed = std::make_unique<TWaitWindowInstalled>();
        }
        QElapsedTimer clock;
        clock.start();
        QString error;
        {
            const TLoopWatch watch(window);
            error = errorOf([&]() { c.Open(); });
            if (window) {
                QVERIFY(watch.SawWindow());
                QVERIFY2(watch.Worst() < 100, qPrintable(QString::number(watch.Worst())));
            }
        }
        QCOMPARE(error, expected.arg(address));
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!c.Connected());
    }
};

QTEST_MAIN(TestServerWait)
#include "tst_serverwait.moc"
