#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"
#include "platform/db/PostgresProvider.h"
#include "support/ServerWaitInstalled.h"
#include "support/TestCatalogue.h"

#include <QtTest>

#include <chrono>
#include <csignal>
#include <thread>

namespace {

// A window that reads from the catalogue each time it becomes the active one, as a view
// does to show what changed while the user was elsewhere.
class TReadsWhenActive final : public QWidget {
public:
    explicit TReadsWhenActive(TConnection& c) : m_connection(c) {}
    bool waiting = false;  // a call of the test's own is under way
    int readsDuringWait = 0;
    int reads = 0;
    QStringList errors;

protected:
    void changeEvent(QEvent* event) override {
        QWidget::changeEvent(event);
        if (event->type() != QEvent::ActivationChange || !isActiveWindow()) {
            return;
        }
        if (waiting) {
            ++readsDuringWait;
        }
        ++reads;
        try {
            m_connection.Value("SELECT count(*) FROM SubjectURLs");
        } catch (const EError& e) {
            errors << e.message();
        }
    }

private:
    TConnection& m_connection;
};

}  // namespace

// While a call waits for the server, nothing the windows do may start a second call on
// the same session: libpq has one call in flight at a time.
class TestServerWaitNesting final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { LINKARIUM_REQUIRE_ENGINE(); }

    // The window manager makes the program's window the active one (the user clicked it, or
    // closed another program) while a call waits, before the waiting window is up: the
    // window's reading on activation must not run inside the wait.
    void activationDuringWaitStartsNoSecondCall_data() {
        QTest::addColumn<bool>("sessionEnds");
        QTest::newRow("session goes on") << false;
        // The server ends the session meanwhile: the reading opens a new one and frees the
        // old one, whose call is still being waited for on memory no longer its own.
        QTest::newRow("session ended") << true;
    }
    void activationDuringWaitStartsNoSecondCall() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        QFETCH(bool, sessionEnds);
        TTestCatalogue cat;
        TConnection& c = cat.connection();
        c.Value("SELECT count(*) FROM SubjectURLs");
        TReadsWhenActive form(c);
        form.show();
        QWidget elsewhere;
        elsewhere.show();
        elsewhere.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
        const TWaitWindowInstalled installed;
        const int pid = static_cast<TPostgresProvider&>(c.Provider()).backendPid();
        // What the window system says once the program turns its event loop.
        QMetaObject::invokeMethod(
            &form,
            [&form, pid, sessionEnds]() {
                if (sessionEnds) {
                    ::kill(pid, SIGTERM);
                    for (int i = 0; i < 100 && ::kill(pid, 0) == 0; ++i) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(20));
                    }
                }
                form.activateWindow();
            },
            Qt::QueuedConnection);
        form.waiting = true;
        QString error;
        try {
            c.Value("SELECT pg_sleep(0.6)");
        } catch (const EError& e) {
            error = e.message();
        }
        form.waiting = false;
        QVERIFY2(error.isEmpty() || sessionEnds, qPrintable(error));
        QVERIFY2(form.readsDuringWait == 0, qPrintable(QString("%1 reads inside the wait: %2")
                                                           .arg(form.readsDuringWait)
                                                           .arg(form.errors.join(" / "))));
        // The activation held back reaches the window once the wait is over, and the window
        // reads then.
        QTRY_VERIFY(form.reads > 0);
        QVERIFY(form.isActiveWindow());
    }

    // Something the program does while a call waits closes the connection, or the dataset
    // being read: the session and the result waited for are not freed under the wait; the
    // call ends, with or without an error, and the next command works.
    void closedDuringWait_data() {
        QTest::addColumn<bool>("dataSet");
        QTest::newRow("connection") << false;
        QTest::newRow("dataset being read") << true;
    }
    void closedDuringWait() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        QFETCH(bool, dataSet);
        TTestCatalogue cat;
        TConnection& c = cat.connection();
        c.Value("SELECT count(*) FROM SubjectURLs");
        TDataSet ds;
        ds.SetConnection(&c);
        ds.SetCommandText("SELECT 1 AS One, pg_sleep(0.4) AS Slept");
        const TWaitWindowInstalled installed;
        QMetaObject::invokeMethod(
            &c,
            [&c, &ds, dataSet]() {
                try {
                    if (dataSet) {
                        ds.Close();
                    } else {
                        c.Close();
                    }
                } catch (const EError&) {
                    // Refusing is one way not to free what the wait uses.
                }
            },
            Qt::QueuedConnection);
        try {
            if (dataSet) {
                ds.Open();
            } else {
                c.Value("SELECT pg_sleep(0.4)");
            }
        } catch (const EError&) {
            // Ending the call with an error is another.
        }
        QCOMPARE(c.Value("SELECT count(*) FROM SubjectURLs").toInt(),
                 cat.otherValue("SELECT count(*) FROM SubjectURLs").toInt());
    }

    // A call given up inside a transaction, the session given up with it or not: the
    // commands that follow, one after the other, are answered for what they are, never as
    // though a call were still under way.
    void afterAGivenUpCallNothingIsBusy_data() {
        QTest::addColumn<bool>("background");
        QTest::addColumn<bool>("commit");
        QTest::newRow("cancelled, commit") << false << true;
        QTest::newRow("cancelled, rollback") << false << false;
        QTest::newRow("session given up, commit") << true << true;
        QTest::newRow("session given up, rollback") << true << false;
    }
    void afterAGivenUpCallNothingIsBusy() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        QFETCH(bool, background);
        QFETCH(bool, commit);
        TTestCatalogue cat;
        TConnection& c = cat.connection();
        c.Value("SELECT count(*) FROM SubjectURLs");
        // Gives the call up after a moment, as the user or the background's budget does.
        struct TGivesUp final : public TServerWait {
            bool background = false;
            bool Waiting(const QString&, qint64 elapsedMs) override { return elapsedMs > 150; }
            void Finished() override {}
            bool Background() const override { return background; }
        } wait;
        wait.background = background;
        c.BeginTrans();
        c.Execute("UPDATE SubjectURLs SET Visited = True");
        SetServerWait(&wait);
        QString given;
        try {
            c.Value("SELECT pg_sleep(3)");
        } catch (const EError& e) {
            given = e.message();
        }
        SetServerWait(nullptr);
        QVERIFY(!given.isEmpty());
        QStringList errors;
        const auto step = [&](const std::function<void()>& f) {
            try {
                f();
            } catch (const EError& e) {
                errors << e.message();
            }
        };
        step([&]() {
            if (commit) {
                c.CommitTrans();
            } else {
                c.RollbackTrans();
            }
        });
        step([&]() { c.Value("SELECT count(*) FROM SubjectURLs"); });
        for (const QString& e : errors) {
            QVERIFY2(!e.contains(QString::fromUtf8("ещё выполняет")) &&
                         !e.contains(QString::fromUtf8("занято")),
                     qPrintable(e));
        }
        // The command after it works, on a session opened again if need be.
        QCOMPARE(c.Value("SELECT 7").toInt(), 7);
    }

    // While a call waits on one connection, something the program does makes a short call
    // on another one, which has a wait of its own: when that one ends, the activations held
    // back since the first began still wait for the first.
    void callOnAnotherConnectionInsideTheWait() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        TTestCatalogue cat;
        TConnection& c = cat.connection();
        c.Value("SELECT count(*) FROM SubjectURLs");
        cat.otherValue("SELECT count(*) FROM SubjectURLs");
        TReadsWhenActive form(c);
        form.show();
        QWidget elsewhere;
        elsewhere.show();
        elsewhere.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
        const TWaitWindowInstalled installed;
        QMetaObject::invokeMethod(
            &form, [&form]() { form.activateWindow(); }, Qt::QueuedConnection);
        QMetaObject::invokeMethod(
            &form, [&cat]() { cat.other().Value("SELECT pg_sleep(0.2)"); }, Qt::QueuedConnection);
        form.waiting = true;
        QString error;
        try {
            c.Value("SELECT pg_sleep(0.8)");
        } catch (const EError& e) {
            error = e.message();
        }
        form.waiting = false;
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY2(form.readsDuringWait == 0, qPrintable(QString("%1 reads inside the wait: %2")
                                                           .arg(form.readsDuringWait)
                                                           .arg(form.errors.join(" / "))));
        QTRY_VERIFY(form.reads > 0);
    }
};

QTEST_MAIN(TestServerWaitNesting)
#include "tst_serverwaitnesting.moc"
