#include "common/CatalogueModule.h"
#include "platform/db/Command.h"
#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"
#include "platform/db/PostgresProvider.h"
#include "platform/db/Schema.h"
#include "support/TestCatalogue.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

namespace {

// A server of its own, for a test that restarts or stops it: the shared one serves the
// tests running beside.
struct TOwnServer {
    QString folder;
    QString connection;
    bool Start() {
        QProcess start;
        start.start(PG_CLUSTER_SCRIPT, {"start"});
        if (!start.waitForFinished(120000) || start.exitCode() != 0) {
            return false;
        }
        const QStringList lines = QString::fromUtf8(start.readAllStandardOutput()).split('\n');
        if (lines.size() < 2) {
            return false;
        }
        folder = lines.at(0);
        connection = lines.at(1);
        return true;
    }
    // Starts it and opens c on it, with the catalogue's tables when asked.
    bool StartAndOpen(TConnection& c, bool catalogue) {
        if (!Start()) {
            return false;
        }
        c.SetConnectionString(connection);
        c.Open();
        if (catalogue) {
            CreateServerCatalogue(c);
        }
        return true;
    }
    ~TOwnServer() {
        if (!folder.isEmpty()) {
            QProcess::execute(PG_CLUSTER_SCRIPT, {"stop", folder});
        }
    }
};

}  // namespace

// The session with a server: ended by the server or by a restart while the program sits
// idle or inside a transaction, other programs' changes announced, and failures the server
// calls transient run again.
class TestServerSession final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { LINKARIUM_REQUIRE_ENGINE(); }

    // The server ends the session while the program is idle: the next command opens a new
    // one by itself, nothing crashes.
    void serverGoneThenReconnect() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        TTestCatalogue cat;
        cat.addUrl("a.example", "A", QString());
        TDataSet ds;
        ds.SetConnection(&cat.connection());
        ds.SetCommandText("SELECT * FROM SubjectURLs");
        ds.Open();
        const int pid = static_cast<TPostgresProvider&>(cat.connection().Provider()).backendPid();
        QCOMPARE(cat.otherValue(QString("SELECT pg_terminate_backend(%1)").arg(pid)).toInt(), 1);
        QTRY_COMPARE(
            cat.otherValue(QString("SELECT count(*) FROM pg_stat_activity WHERE pid = %1").arg(pid))
                .toInt(),
            0);
        // The next command finds the session ended and opens a new one; the rows held stay,
        // marked out of date.
        QCOMPARE(cat.connection().Execute("UPDATE SubjectURLs SET Visited = 1"), 1);
        QVERIFY(static_cast<TPostgresProvider&>(cat.connection().Provider()).backendPid() != pid);
        QVERIFY(ds.Active());
        QVERIFY(ds.ChangedElsewhere());
        ds.Requery();
        QCOMPARE(ds.RecordCount(), 1);
        QVERIFY(ds.FieldByName("Visited").AsBoolean());
    }

    // On a server every committed write is announced to the other programs on the catalogue:
    // the program's own writes and a rolled-back one are not news; a burst of changes gives
    // one signal, never two within a second.
    void serverChangesAnnounced() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        TTestCatalogue cat;
        TConnection& mine = cat.connection();
        TDataSet ds;
        ds.SetConnection(&mine);
        ds.SetCommandText("SELECT * FROM SubjectURLs");
        ds.Open();
        QList<qint64> told;
        QElapsedTimer clock;
        clock.start();
        connect(&mine, &TConnection::ChangedElsewhere, this,
                [&told, &clock]() { told << clock.elapsed(); });

        mine.Execute("INSERT INTO SubjectURLs (URL) VALUES ('own.example')");
        QVERIFY(!ds.ChangedElsewhere());
        cat.other().BeginTrans();
        cat.other().Execute("INSERT INTO SubjectURLs (URL) VALUES ('undone.example')");
        cat.other().RollbackTrans();
        // The own write after it comes back once the server has sent what was committed before.
        mine.Execute("UPDATE SubjectURLs SET Visited = 1");
        QVERIFY(!ds.ChangedElsewhere());
        QVERIFY(told.isEmpty());

        {
            TTransaction t(cat.other());
            cat.other().Execute("UPDATE SubjectURLs SET Description = 'a'");
            cat.other().Execute("UPDATE SubjectURLs SET Description = 'b'");
            t.Commit();
        }
        QTRY_COMPARE(told.size(), 1);
        QVERIFY(ds.ChangedElsewhere());
        qint64 lastWrite = 0;
        for (int i = 0; i < 5; ++i) {
            cat.addUrl(QString("burst%1.example").arg(i), "B", QString());
            lastWrite = clock.elapsed();
        }
        QTRY_VERIFY(told.size() >= 2 && told.last() >= lastWrite);
        for (int i = 1; i < told.size(); ++i) {
            QVERIFY2(told.at(i) - told.at(i - 1) >= TConnection::kChangeNoticeMs - 20,
                     qPrintable(QString("signals %1 ms apart").arg(told.at(i) - told.at(i - 1))));
        }
        ds.Close();
        ds.Open();
        QVERIFY(!ds.ChangedElsewhere());
    }

    // A write another program makes through a record names its row in the notice: the view
    // reads just that row again (counted on the server's cursor), in its place in the sort;
    // a command over many records makes it read the whole query.
    void keyedNoticeReadsJustTheChangedRows_data() {
        QTest::addColumn<QString>("write");
        QTest::addColumn<int>("rowsRead");  // -1: the whole query is to be read
        QTest::addColumn<QStringList>("urls");
        QTest::addColumn<bool>("sorted");
        QTest::newRow("edit") << "edit" << 1 << QStringList{"a.example", "c.example", "z.example"}
                              << true;
        // Without a sort the server keeps no order: the row read again keeps its place.
        QTest::newRow("edit, unsorted")
            << "edit" << 1 << QStringList{"a.example", "z.example", "c.example"} << false;
        QTest::newRow("add") << "add" << 1
                             << QStringList{"a.example", "b.example", "c.example", "d.example"}
                             << true;
        QTest::newRow("add, unsorted")
            << "add" << 1 << QStringList{"a.example", "b.example", "c.example", "d.example"}
            << false;
        QTest::newRow("delete") << "delete" << 0 << QStringList{"a.example", "c.example"} << true;
        QTest::newRow("command") << "command" << -1 << QStringList{} << true;
    }
    void keyedNoticeReadsJustTheChangedRows() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        QFETCH(QString, write);
        QFETCH(int, rowsRead);
        QFETCH(QStringList, urls);
        QFETCH(bool, sorted);
        TTestCatalogue cat;
        for (const QString url : {"a.example", "b.example", "c.example"}) {
            cat.addUrl(url, "", QString());
        }
        TConnection& mine = cat.connection();
        TDataSet ds;
        ds.SetConnection(&mine);
        ds.SetCommandText("SELECT * FROM SubjectURLs");
        if (sorted) {
            ds.SetSort("URL");
        }
        ds.Open();
        QStringList first;
        for (ds.First(); !ds.Eof(); ds.Next()) {
            first << ds.FieldByName("URL").AsString();
        }
        if (!sorted && first != QStringList{"a.example", "b.example", "c.example"}) {
            QSKIP("the server gave the rows in another order than they were written");
        }
        QVERIFY(ds.Locate("URL", {"c.example"}, 0));
        TDataSet theirs;
        theirs.SetConnection(&cat.other());
        theirs.SetCommandText("SELECT * FROM SubjectURLs");
        theirs.Open();
        QVERIFY(theirs.Locate("URL", {"b.example"}, 0));
        if (write == "edit") {
            theirs.Edit();
            theirs.FieldByName("URL").SetValue("z.example");
            theirs.Post();
        } else if (write == "add") {
            theirs.Append();
            theirs.FieldByName("URL").SetValue("d.example");
            theirs.Post();
        } else if (write == "delete") {
            theirs.Delete();
        } else {
            cat.other().Execute("UPDATE SubjectURLs SET Visited = 1");
        }
        QTRY_VERIFY(ds.ChangedElsewhere());
        const auto& server = static_cast<TPostgresProvider&>(mine.Provider());
        const quint64 before = server.rowsRead();
        const bool named = ds.RefreshChangedElsewhere("SubjectURLID");
        QCOMPARE(named, rowsRead >= 0);
        if (!named) {
            return;
        }
        QCOMPARE(server.rowsRead() - before, static_cast<quint64>(rowsRead));
        QVERIFY(!ds.ChangedElsewhere());
        // Where the sort puts it, and the current record kept.
        QCOMPARE(ds.FieldByName("URL").AsString(), QString("c.example"));
        QStringList shown;
        for (ds.First(); !ds.Eof(); ds.Next()) {
            shown << ds.FieldByName("URL").AsString();
        }
        QCOMPARE(shown, urls);
    }

    // A transaction the server rolls back as a serialisation failure runs again, and only
    // the run that committed counts; one that keeps failing is reported after the last run.
    void serverTransientFailureRunsAgain_data() {
        QTest::addColumn<int>("failures");
        QTest::addColumn<int>("runs");  // 0: reported
        QTest::newRow("once") << 1 << 2;
        QTest::newRow("every time") << kTransactionAttempts << 0;
    }
    void serverTransientFailureRunsAgain() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        QFETCH(int, failures);
        QFETCH(int, runs);
        TTestCatalogue cat;
        const QString key = cat.addUrl("a.example", "first", QString());
        const QString where = " FROM SubjectURLs WHERE SubjectURLID = '" + key + "'";
        int run = 0;
        const auto work = [&]() {
            TConnection& c = cat.connection();
            c.Provider().execute("SET TRANSACTION ISOLATION LEVEL SERIALIZABLE", {});
            TDataSet snapshot;
            snapshot.SetConnection(&c);
            snapshot.SetCommandText("SELECT Description" + where);
            snapshot.Open();
            // Another program commits a change the snapshot does not see: the update below
            // cannot be serialised after it.
            if (run++ < failures) {
                cat.otherExec(QString("UPDATE SubjectURLs SET Description = 'other %1' "
                                      "WHERE SubjectURLID = '%2'")
                                  .arg(run)
                                  .arg(key));
            }
            c.Execute("UPDATE SubjectURLs SET Description = 'mine' WHERE SubjectURLID = '" + key +
                      "'");
        };
        if (runs > 0) {
            QCOMPARE(RunTransaction(cat.connection(), work), runs);
            QCOMPARE(cat.otherValue("SELECT Description" + where).toString(), QString("mine"));
        } else {
            QVERIFY_THROWS_EXCEPTION(ETransientError, RunTransaction(cat.connection(), work));
            QCOMPARE(run, kTransactionAttempts);
            QCOMPARE(cat.otherValue("SELECT Description" + where).toString(),
                     QString("other %1").arg(kTransactionAttempts));
        }
        QVERIFY(!cat.connection().InTransaction());
    }

    // A restart of the server ends every session: a transaction under way fails and is
    // reported, never repeated; the next command opens the connection again by itself, and
    // the rows read before count as out of date.
    void serverRestartedThenReconnects() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        TOwnServer server;
        QVERIFY(server.Start());
        const QString& folder = server.folder;
        TConnection c;
        c.SetConnectionString(server.connection);
        c.Open();
        c.Execute("CREATE TABLE Numbers (N integer)");
        c.Execute("INSERT INTO Numbers (N) VALUES (1)");
        TDataSet ds;
        ds.SetConnection(&c);
        ds.SetCommandText("SELECT N FROM Numbers");
        ds.Open();
        QVERIFY(!ds.ChangedElsewhere());

        // Inside a transaction nothing is opened again behind the caller's back.
        c.BeginTrans();
        QCOMPARE(QProcess::execute(PG_CLUSTER_SCRIPT, {"restart", folder}), 0);
        QString message;
        try {
            c.Execute("INSERT INTO Numbers (N) VALUES (2)");
        } catch (const EDatabaseError& e) {
            message = e.message();
        }
        QVERIFY2(message.contains("Соединение с сервером базы данных потеряно"),
                 qPrintable(message));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, c.RollbackTrans());
        QVERIFY(!c.InTransaction());
        QCOMPARE(c.Execute("INSERT INTO Numbers (N) VALUES (3)"), 1);
        QVERIFY(ds.Active());
        QVERIFY(ds.ChangedElsewhere());

        // Between commands: the next one finds the session ended and opens it again.
        QCOMPARE(QProcess::execute(PG_CLUSTER_SCRIPT, {"restart", folder}), 0);
        ds.Close();
        ds.SetCommandText("SELECT N FROM Numbers ORDER BY N");
        ds.Open();
        QStringList numbers;
        for (ds.First(); !ds.Eof(); ds.Next()) {
            numbers << ds.Fields(0).AsString();
        }
        QCOMPARE(numbers, QStringList({"1", "3"}));

        // A server that does not come back is reported to each command that tries it.
        QCOMPARE(QProcess::execute(PG_CLUSTER_SCRIPT, {"down", folder}), 0);
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, c.Execute("INSERT INTO Numbers (N) VALUES (4)"));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, c.Execute("INSERT INTO Numbers (N) VALUES (4)"));
    }

    // A copy that sits idle through a server restart notices the session ended, says so,
    // opens it again by itself with no command asked of it, listens again, and tells its
    // views to read what the server holds now.
    void serverRestartFollowedWhileIdle() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        TOwnServer server;
        TConnection c;
        QVERIFY(server.StartAndOpen(c, true));
        TDataSet ds;
        ds.SetConnection(&c);
        ds.SetCommandText("SELECT * FROM SubjectURLs");
        ds.Open();
        QSignalSpy link(&c, &TConnection::LinkChanged);
        QSignalSpy changed(&c, &TConnection::ChangedElsewhere);
        QCOMPARE(QProcess::execute(PG_CLUSTER_SCRIPT, {"restart", server.folder}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(link.size() >= 2, 30000);
        QCOMPARE(link.first().at(0).toBool(), true);
        QCOMPARE(link.last().at(0).toBool(), false);
        QVERIFY(!c.LinkDown() && c.Connected() && !c.Lost());
        QTRY_VERIFY(!changed.isEmpty());
        QVERIFY(ds.ChangedElsewhere());
        // It listens again: another program's write is announced.
        ds.Close();
        ds.Open();
        changed.clear();
        TConnection other;
        other.SetConnectionString(server.connection);
        other.Open();
        other.Execute("INSERT INTO SubjectURLs (URL) VALUES ('after.example')");
        QTRY_VERIFY_WITH_TIMEOUT(!changed.isEmpty(), 10000);
        // A server that stays down: the copy keeps saying so while it tries again.
        other.Close();
        link.clear();
        QCOMPARE(QProcess::execute(PG_CLUSTER_SCRIPT, {"down", server.folder}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(c.LinkDown(), 10000);
        QTest::qWait(2000);  // several attempts to open it again meanwhile
        QVERIFY(c.LinkDown());
        QCOMPARE(link.size(), 1);
    }

    // The background opening runs the catalogue's own setup again: a category the user added
    // and has not saved yet stays pending through it.
    void categoryPendingThroughBackgroundReopening() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        TOwnServer server;
        QVERIFY(server.Start());
        {
            TConnection setup;
            setup.SetConnectionString(server.connection);
            setup.Open();
            CreateServerCatalogue(setup);
        }
        TCatalogueModule module;
        module.ADOConnection.SetConnectionString(server.connection);
        module.ADOConnection.Open();
        TDataSet& categories = module.adsCategoryList;
        QVERIFY(categories.Active());
        const int before = categories.RecordCount();
        categories.Append();
        categories.FieldByName("CategoryName").SetAsString("Несохранённая");
        categories.Post();
        QVERIFY(categories.UpdatesPending());
        QSignalSpy link(&module.ADOConnection, &TConnection::LinkChanged);
        QCOMPARE(QProcess::execute(PG_CLUSTER_SCRIPT, {"restart", server.folder}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(link.size() >= 2, 30000);
        QVERIFY(!module.ADOConnection.LinkDown());
        QVERIFY(categories.Active());
        QVERIFY(categories.UpdatesPending());
        QCOMPARE(categories.RecordCount(), before + 1);
        // Saved on the new session.
        categories.UpdateBatch();
        QVERIFY(!categories.UpdatesPending());
        TConnection other;
        other.SetConnectionString(server.connection);
        other.Open();
        TDataSet check;
        check.SetConnection(&other);
        check.SetCommandText("SELECT * FROM CategoryList WHERE CategoryName = 'Несохранённая'");
        check.Open();
        QCOMPARE(check.RecordCount(), 1);
    }

    // Closing a connection whose link is down tells the listeners the link is no longer
    // down, so a caption that said so does not keep saying it for another catalogue.
    void closingWhileLinkDownSaysSo() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        TOwnServer server;
        TConnection c;
        QVERIFY(server.StartAndOpen(c, false));
        QSignalSpy link(&c, &TConnection::LinkChanged);
        QCOMPARE(QProcess::execute(PG_CLUSTER_SCRIPT, {"down", server.folder}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(c.LinkDown(), 10000);
        c.Close();
        QVERIFY(!c.LinkDown());
        QCOMPARE(link.size(), 2);
        QCOMPARE(link.last().at(0).toBool(), false);
        // No attempt follows the closing.
        QTest::qWait(1500);
        QVERIFY(!c.Connected());
        QCOMPARE(link.size(), 2);
    }

    // A restart inside a transaction: nothing opens again until it ends, then the link
    // comes back by itself.
    void restartInsideTransactionWaitsForItsEnd() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        TOwnServer server;
        TConnection c;
        QVERIFY(server.StartAndOpen(c, true));
        QSignalSpy link(&c, &TConnection::LinkChanged);
        c.BeginTrans();
        c.Execute("INSERT INTO SubjectURLs (URL) VALUES ('lost.example')");
        QCOMPARE(QProcess::execute(PG_CLUSTER_SCRIPT, {"restart", server.folder}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(c.LinkDown(), 10000);
        QTest::qWait(1500);
        QVERIFY(c.InTransaction());
        QVERIFY(c.LinkDown());
        QVERIFY_THROWS_EXCEPTION(std::exception, c.CommitTrans());
        QVERIFY(!c.InTransaction());
        QTRY_VERIFY_WITH_TIMEOUT(!c.LinkDown(), 30000);
        QCOMPARE(link.size(), 2);
        TDataSet ds;
        ds.SetConnection(&c);
        ds.SetCommandText("SELECT * FROM SubjectURLs WHERE URL = 'lost.example'");
        ds.Open();
        QCOMPARE(ds.RecordCount(), 0);
    }

    // A command that finds the session ended and cannot open it again says the link is down
    // and leaves the background to keep trying.
    void commandFindingServerDownReportsLink() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        TOwnServer server;
        TConnection c;
        QVERIFY(server.StartAndOpen(c, true));
        QSignalSpy link(&c, &TConnection::LinkChanged);
        QCOMPARE(QProcess::execute(PG_CLUSTER_SCRIPT, {"down", server.folder}), 0);
        // Before the event loop has seen the socket.
        QVERIFY_THROWS_EXCEPTION(std::exception,
                                 c.Execute("INSERT INTO SubjectURLs (URL) VALUES ('x.example')"));
        QTRY_VERIFY_WITH_TIMEOUT(c.LinkDown(), 5000);
        QCOMPARE(link.size(), 1);
        // Up again: pg_ctl restart starts a stopped server.
        QCOMPARE(QProcess::execute(PG_CLUSTER_SCRIPT, {"restart", server.folder}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!c.LinkDown(), 40000);
        QVERIFY(c.Connected() && !c.Lost());
        QCOMPARE(link.size(), 2);
    }

    // A reading or a command tried while the server is down fails; tried again once it is
    // back, it runs in the server's dialect, not in the one kept while the link was down
    // (unquoted names the server would fold to lower case).
    void statementsAfterTheServerCameBackUseItsDialect_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("view reading") << "reading";
        QTest::newRow("command") << "command";
        QTest::newRow("connection's statement") << "execute";
    }
    void statementsAfterTheServerCameBackUseItsDialect() {
        QFETCH(QString, kind);
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        TOwnServer server;
        TConnection c;
        QVERIFY(server.StartAndOpen(c, true));
        c.Execute("INSERT INTO SubjectURLs (URL) VALUES ('a.example')");
        TDataSet ds;
        ds.SetConnection(&c);
        ds.SetCommandText("SELECT * FROM SubjectURLs");
        TCommand command;
        command.SetConnection(&c);
        command.SetCommandText("UPDATE SubjectURLs SET Description = :d");
        command.Parameters().ParamByName("d").SetValue(QStringLiteral("после"));
        const auto run = [&]() {
            if (kind == "reading") {
                ds.Close();
                ds.Open();
            } else if (kind == "command") {
                command.Execute();
            } else {
                c.Execute("UPDATE SubjectURLs SET Description = :d", {{"d", "после"}});
            }
        };
        ds.Open();
        QCOMPARE(ds.RecordCount(), 1);
        QCOMPARE(QProcess::execute(PG_CLUSTER_SCRIPT, {"down", server.folder}), 0);
        QVERIFY_THROWS_EXCEPTION(std::exception, run());
        QCOMPARE(QProcess::execute(PG_CLUSTER_SCRIPT, {"restart", server.folder}), 0);
        QString failure;
        try {
            run();
        } catch (const EError& e) {
            failure = e.message();
        }
        QCOMPARE(failure, QString());
        if (kind == "reading") {
            QCOMPARE(ds.RecordCount(), 1);
        } else {
            QCOMPARE(c.Value("SELECT Description FROM SubjectURLs").toString(),
                     QStringLiteral("после"));
        }
    }
};

QTEST_GUILESS_MAIN(TestServerSession)
#include "tst_serversession.moc"
