#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/DataSet.h"
#include "platform/db/PostgresProvider.h"
#include "platform/db/Schema.h"
#include "support/FailingDisk.h"
#include "support/TestCatalogue.h"
#include "support/TestEnvironment.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QByteArray digest(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

QString errorOf(TConnection& c) {
    try {
        c.Open();
    } catch (const EError& e) {
        return e.message();
    }
    return QString();
}
}  // namespace

class TestConnection final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { LINKARIUM_REQUIRE_ENGINE(); }
    void refusedWithoutTouchingTheFile_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        QTest::newRow("garbage") << QByteArray(4096, 'g') << "не является базой данных SQLite";
        QTest::newRow("text") << QByteArray("Data Source=x\n") << "не является базой данных SQLite";
        QTest::newRow("empty") << QByteArray() << "пуст";
    }
    void refusedWithoutTouchingTheFile() {
        LINKARIUM_SQLITE_ONLY();
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString file = dir.filePath("cat.db");
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        const QByteArray before = digest(file);
        TConnection c;
        c.SetConnectionString("Data Source=" + file);
        const QString error = errorOf(c);
        QVERIFY2(error.contains(message) && error.contains(file), qPrintable(error));
        QVERIFY(!c.Connected());
        QCOMPARE(digest(file), before);
        QCOMPARE(QFileInfo(file).size(), content.size());
        QVERIFY(!QFileInfo::exists(file + "-wal"));
    }

    // Not a catalogue, and said so for what it is: a pipe or a device is no regular file,
    // and a disk that fails to read is an I/O error, not a damaged database.
    void namedForWhatItIs() {
        LINKARIUM_SQLITE_ONLY();
        QTemporaryDir dir;
        const QString fifo = dir.filePath("pipe.db");
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        TConnection c;
        c.SetConnectionString("Data Source=" + fifo);
        QString error = errorOf(c);
        QVERIFY2(error.contains("не обычный файл") && error.contains(fifo), qPrintable(error));
        c.SetConnectionString("Data Source=/dev/null");
        error = errorOf(c);
        QVERIFY2(error.contains("не обычный файл"), qPrintable(error));
        const QString file = dir.filePath("cat.db");
        CreateSqliteCatalogue(file);
        const QByteArray before = digest(file);
        {
            TFailingDisk failing;
            failing.failReads = true;
            TConnection broken;
            broken.SetConnectionString("Data Source=" + file);
            error = errorOf(broken);
        }
        QVERIFY2(error.contains("Ошибка чтения с диска") && error.contains(file) &&
                     !error.contains("не является базой"),
                 qPrintable(error));
        QCOMPARE(digest(file), before);
        // The disk refuses the file itself: the engine's handle goes with the refusal.
        {
            TFailingDisk failing;
            failing.failOpens = true;
            TConnection broken;
            broken.SetConnectionString("Data Source=" + file);
            error = errorOf(broken);
            QVERIFY(!broken.Connected());
        }
        QVERIFY2(error.contains("Ошибка чтения с диска") && error.contains(file),
                 qPrintable(error));
        QCOMPARE(digest(file), before);
        TConnection again;
        again.SetConnectionString("Data Source=" + file);
        QCOMPARE(errorOf(again), QString());
    }

    // Many writes do not let the write-ahead log grow past a megabyte or two: it is copied
    // into the database and cut back as it goes.
    void logStaysSmall() {
        LINKARIUM_SQLITE_ONLY();
        QTemporaryDir dir;
        const QString file = dir.filePath("cat.db");
        CreateSqliteCatalogue(file);
        TConnection c;
        c.SetConnectionString("Data Source=" + file);
        c.Open();
        qint64 largest = 0;
        const QString text(250, QChar(0x0436));
        for (int t = 0; t < 60; ++t) {
            c.BeginTrans();
            for (int i = 0; i < 40; ++i) {
                c.Execute(
                    "INSERT INTO SubjectURLs(SubjectURLID, URL, Description) VALUES "
                    "(:Key, :URL, :Description)",
                    {{"Key", QUuid::createUuid().toString(QUuid::WithBraces)},
                     {"URL", QString("http://x%1-%2.example/").arg(t).arg(i)},
                     {"Description", text}});
            }
            c.CommitTrans();
            largest = std::max(largest, QFileInfo(file + "-wal").size());
        }
        QVERIFY2(largest <= 2 * 1024 * 1024, qPrintable(QString::number(largest)));
        // Every record is there: the log was copied, not dropped.
        QCOMPARE(c.Execute("DELETE FROM SubjectURLs"), qint64(60 * 40));
    }

    // A file the engine reads but that holds no catalogue is refused as the program checks
    // it on opening, and left byte for byte as it was: another program's database keeps its
    // journal, an empty file beside an unreadable log stays empty.
    void foreignDatabaseLeftAsItWas_data() {
        QTest::addColumn<QByteArrayList>("statements");
        QTest::addColumn<QByteArray>("log");
        QTest::newRow("another program's database")
            << QByteArrayList{"CREATE TABLE notes(a TEXT)", "INSERT INTO notes VALUES('x')"}
            << QByteArray();
        QTest::newRow("another program's empty database")
            << QByteArrayList{"PRAGMA user_version=7"} << QByteArray();
        QTest::newRow("empty file, unreadable log beside it")
            << QByteArrayList{} << QByteArray(200, '\x5a');
    }
    void foreignDatabaseLeftAsItWas() {
        LINKARIUM_SQLITE_ONLY();
        QFETCH(QByteArrayList, statements);
        QFETCH(QByteArray, log);
        QTemporaryDir dir;
        const QString file = dir.filePath("other.db");
        if (statements.isEmpty()) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
        } else {
            sqlite3* db = nullptr;
            QCOMPARE(sqlite3_open(QFile::encodeName(file).constData(), &db), SQLITE_OK);
            for (const QByteArray& s : statements) {
                QCOMPARE(sqlite3_exec(db, s.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
            }
            sqlite3_close(db);
        }
        if (!log.isEmpty()) {
            QFile f(file + "-wal");
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(log);
        }
        const QByteArray before = digest(file);
        const qint64 size = QFileInfo(file).size();
        QString error;
        {
            TConnection c;
            c.SetConnectionString("Provider=SQLite;Data Source=" + file);
            try {
                c.Open();
                CheckCatalogue(c);
            } catch (const EError& e) {
                error = e.message();
            }
        }
        QVERIFY2(!error.isEmpty() && error.contains(file), qPrintable(error));
        QCOMPARE(QFileInfo(file).size(), size);
        QCOMPARE(digest(file), before);
    }

    void missingFileIsNotCreated() {
        LINKARIUM_SQLITE_ONLY();
        QTemporaryDir dir;
        const QString file = dir.filePath("absent.db");
        TConnection c;
        c.SetConnectionString("Provider=SQLite;Data Source=" + file);
        QVERIFY(errorOf(c).contains("не найден"));
        QVERIFY(!QFileInfo::exists(file));
    }

    void badStrings_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << ""
                               << "Не задана строка подключения";
        QTest::newRow("no source") << "Provider=SQLite"
                                   << "Не указан файл";
        QTest::newRow("unknown provider") << "Provider=Oracle;Data Source=x"
                                          << "Oracle";
    }
    void badStrings() {
        QFETCH(QString, text);
        QFETCH(QString, message);
        TConnection c;
        c.SetConnectionString(text);
        QVERIFY2(errorOf(c).contains(message), qPrintable(errorOf(c)));
    }

    void passwordNeverInMessages() {
        TConnection c;
        c.SetConnectionString("Provider=SQLite;Data Source=/nonexistent/x.db;Password=s3cr3t");
        QVERIFY(!errorOf(c).contains("s3cr3t"));
    }

    void readOnlyCatalogue() {
        LINKARIUM_SQLITE_ONLY();
        if (::geteuid() == 0) {
            QSKIP("root may write any file");
        }
        QTemporaryDir dir;
        const QString file = dir.filePath("ro.db");
        CreateSqliteCatalogue(file);
        QFile::setPermissions(file, QFile::ReadOwner);
        const QByteArray before = digest(file);
        TConnection c;
        c.SetConnectionString("Data Source=" + file);
        QVERIFY(errorOf(c).contains("только для чтения"));
        QCOMPARE(digest(file), before);
    }

    // A statement run again reuses its translation; a new opening of the connection (maybe
    // on another engine) translates it anew.
    void translationMadeOncePerStatement() {
        TTestCatalogue cat;
        TConnection connection;
        connection.SetConnectionString(cat.connectionString());
        TTranslationCache cache;
        const QString jet = "SELECT * FROM SubjectURLs WHERE URL = :U OR Category = :U";
        QCOMPARE(cache.For(&connection, jet).names, QStringList{"U"});  // not yet open
        connection.Open();
        const TTranslatedSql& t = cache.For(&connection, jet);
        const QChar* text = t.sql.constData();
        QCOMPARE(t.parameters, (QStringList{"U", "U"}));
        QCOMPARE(t.sql.contains("$2"), TestEngine() == TTestEngine::PostgreSQL);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(cache.For(&connection, jet).sql.constData(), text);
        }
        TDataSet ds;
        ds.SetConnection(&connection);
        ds.SetCommandText(jet);
        ds.Parameters().ParamByName("U").SetValue("x");
        ds.Open();
        ds.Close();
        ds.Open();  // opened again from the same translation
        QCOMPARE(ds.RecordCount(), 0);
    }

    void catalogueObjectsAreNamed_data() {
        QTest::addColumn<QString>("drop");
        QTest::addColumn<QString>("message");
        QTest::newRow("table") << "DROP TABLE SubjectURLs"
                               << "SubjectURLs";
        QTest::newRow("query") << "DROP VIEW vCategoryList"
                               << "vCategoryList";
    }
    void catalogueObjectsAreNamed() {
        QFETCH(QString, drop);
        QFETCH(QString, message);
        TTestCatalogue cat;
        cat.otherExec(drop);
        try {
            CheckCatalogue(cat.connection());
            QFAIL("no error");
        } catch (const EDatabaseError& e) {
            QVERIFY(e.message().contains(message));
            // Which catalogue it is about: its file, or its database on the server.
            QVERIFY2(e.message().contains(
                         TestEngine() == TTestEngine::SQLite
                             ? cat.fileName()
                             : TConnectionString(cat.connectionString()).value("Initial Catalog")),
                     qPrintable(e.message()));
        }
    }

    void afterConnectRunsAndItsErrorReachesTheCaller() {
        TTestCatalogue cat;
        TConnection c;
        int calls = 0;
        c.AfterConnect = [&calls](TConnection&) {
            if (++calls == 2) {
                throw EError("list failed");
            }
        };
        c.SetConnectionString(cat.connectionString());
        c.Open();
        QCOMPARE(calls, 1);
        c.Close();
        QCOMPARE(errorOf(c), QStringLiteral("list failed"));
    }

    void createRefusesAnExistingFile() {
        LINKARIUM_SQLITE_ONLY();
        QTemporaryDir dir;
        const QString file = dir.filePath("mine.db");
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("precious");
        }
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, CreateSqliteCatalogue(file));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("precious"));
    }

    // A catalogue another program holds exclusively is reported as locked, by its name.
    void lockedAtOpenSaysSo() {
        LINKARIUM_SQLITE_ONLY();
        QTemporaryDir dir;
        const QString file = dir.filePath("held.db");
        CreateSqliteCatalogue(file);
        sqlite3* holder = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(file).constData(), &holder), SQLITE_OK);
        QCOMPARE(sqlite3_exec(holder,
                              "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;"
                              " DELETE FROM CategoryList",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        TConnection c;
        c.SetConnectionString("Data Source=" + file + ";Busy Timeout=200");
        const QString error = errorOf(c);
        QVERIFY2(error.contains("database is locked") && error.contains(file), qPrintable(error));
        QVERIFY(!error.contains("не является"));
        sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(holder);
        QVERIFY(errorOf(c).isEmpty());
    }

    // The engine's complaint about a damaged catalogue says which file it is.
    void damageIsReportedWithTheFile() {
        LINKARIUM_SQLITE_ONLY();
        QTemporaryDir dir;
        const QString file = dir.filePath("damaged.db");
        CreateSqliteCatalogue(file);
        {
            TConnection c;
            c.SetConnectionString("Data Source=" + file);
            c.Open();
            for (int i = 0; i < 200; ++i) {
                c.Execute(QString("INSERT INTO SubjectURLs(URL, Description) VALUES(\"u%1\", "
                                  "\"%2\")")
                              .arg(i)
                              .arg(QString(200, QChar('d'))));
            }
        }
        {
            // Page 3 onwards overwritten: the header still reads, the table does not.
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.seek(2 * 4096));
            f.write(QByteArray(8 * 4096, '\x5a'));
        }
        TConnection c;
        c.SetConnectionString("Data Source=" + file);
        QString error = errorOf(c);
        if (error.isEmpty()) {
            try {
                TDataSet ds;
                ds.SetConnection(&c);
                ds.SetCommandText("SELECT * FROM SubjectURLs");
                ds.Open();
            } catch (const EError& e) {
                error = e.message();
            }
        }
        QVERIFY2(error.contains("malformed") && error.contains(file), qPrintable(error));
    }

    // Another program holds the catalogue (the file) or the record (the server) locked: a
    // change waits the busy time, then is reported; afterwards it goes through.
    void lockedCatalogueWaitsThenReports() {
        TTestCatalogue cat;
        cat.addUrl("a.example", "A", QString());
        TConnection c;
        c.SetConnectionString(cat.connectionString() + ";Busy Timeout=300");
        c.Open();
        const bool file = TestEngine() == TTestEngine::SQLite;
        cat.other().Provider().execute(file ? "BEGIN IMMEDIATE" : "BEGIN", {});
        if (!file) {
            cat.other().Execute("UPDATE SubjectURLs SET Visited = 1");
        }
        QElapsedTimer t;
        t.start();
        QString message;
        try {
            c.Execute("UPDATE SubjectURLs SET Description = \"mine\"");
        } catch (const EDatabaseError& e) {
            message = e.message();
        }
        QVERIFY(t.elapsed() >= 250);
        QVERIFY2(message.contains(file ? "locked" : "lock timeout"), qPrintable(message));
        cat.other().Provider().execute("ROLLBACK", {});
        QCOMPARE(c.Execute("UPDATE SubjectURLs SET Description = \"mine\""), 1);
    }

    // TLS in every mode with the server's own root certificate, another one and none. A
    // root certificate means the server is to be checked: it raises any mode that would go
    // on unchecked (or in clear) to a full check, and contradicts "disable". What was
    // reached, and how, is said in the catalogue's name, as the server and libpq report it.
    void serverTls_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("root");      // "right", "other" or none
        QTest::addColumn<QString>("expected");  // a part of the name, or of the error
        const QString verified = "соединение зашифровано, сервер проверен";
        const QString unchecked = "соединение зашифровано, сервер не проверен";
        const QString failed = "certificate verify failed";
        const QString contradiction = "Указан корневой сертификат, но шифрование отключено";
        for (const QString mode : {"", "prefer", "allow", "require"}) {
            QTest::addRow("%s, right root", qPrintable(mode)) << mode << "right" << verified;
            QTest::addRow("%s, other root", qPrintable(mode)) << mode << "other" << failed;
            // "allow" tries a link in clear first.
            QTest::addRow("%s, no root", qPrintable(mode))
                << mode << "" << (mode == "allow" ? "соединение не зашифровано" : unchecked);
        }
        QTest::newRow("verify-full, right root") << "verify-full"
                                                 << "right" << verified;
        QTest::newRow("verify-full, other root") << "verify-full"
                                                 << "other" << failed;
        QTest::newRow("verify-ca, right root")
            << "verify-ca"
            << "right"
            << "соединение зашифровано, сертификат сервера проверен без его имени";
        QTest::newRow("verify-ca, other root") << "verify-ca"
                                               << "other" << failed;
        QTest::newRow("disable, no root") << "disable"
                                          << ""
                                          << "соединение не зашифровано";
        QTest::newRow("disable, right root") << "disable"
                                             << "right" << contradiction;
        QTest::newRow("disable, other root") << "disable"
                                             << "other" << contradiction;
    }
    void serverTls() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        const QString ca = qEnvironmentVariable("LINKARIUM_TEST_PG_CA");
        if (ca.isEmpty()) {
            QSKIP("the test server's root certificate is not known (LINKARIUM_TEST_PG_CA)");
        }
        QFETCH(QString, mode);
        QFETCH(QString, root);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        // A blank, a quote and a semicolon, quoted in the connection string and passed on whole.
        const QString other = dir.filePath("other's; ca.crt");
        QCOMPARE(QProcess::execute("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes",
                                               "-days", "1", "-subj", "/CN=Someone else", "-keyout",
                                               dir.filePath("k"), "-out", other}),
                 0);
        QString settings = qEnvironmentVariable("LINKARIUM_TEST_PG");
        if (!mode.isEmpty()) {
            settings += ";SSL Mode=" + mode;
        }
        if (!root.isEmpty()) {
            settings += ";SSL Root Cert=\"" + (root == "right" ? ca : other) + "\"";
        }
        TConnection c;
        c.SetConnectionString(settings);
        if (!expected.startsWith("соединение")) {
            const QString error = errorOf(c);
            QVERIFY2(error.contains(expected), qPrintable(error));
            return;
        }
        c.Open();
        const QString name = CatalogueName(c);
        QVERIFY2(name.endsWith("(" + expected + ")"), qPrintable(name));
        TDataSet ds;
        ds.SetConnection(&c);
        ds.SetCommandText("SELECT ssl FROM pg_stat_ssl WHERE pid = pg_backend_pid()");
        ds.Open();
        QCOMPARE(ds.Fields(0).AsBoolean(), !expected.contains("не зашифровано"));
    }

    // Without a password in the connection string the server's password comes from the
    // user's password file, as libpq reads it: the program need store none.
    void serverPasswordFromPgpass() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        const TConnectionString full(qEnvironmentVariable("LINKARIUM_TEST_PG"));
        QTemporaryDir dir;
        const QString pgpass = dir.filePath("pgpass");
        QFile file(pgpass);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QString source = full.value("Data Source");
        file.write((source.section(':', 0, 0) + ":" + source.section(':', 1) +
                    ":*:" + full.value("User ID") + ":" + full.value("Password") + "\n")
                       .toUtf8());
        file.close();
        QVERIFY(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        const QByteArray saved = qgetenv("PGPASSFILE");
        qputenv("PGPASSFILE", QFile::encodeName(pgpass));
        TConnection c;
        c.SetConnectionString(
            QString("Provider=PostgreSQL;Data Source=%1;Initial Catalog=%2;"
                    "User ID=%3")
                .arg(source, full.value("Initial Catalog"), full.value("User ID")));
        const QString error = errorOf(c);
        c.Close();
        qputenv("PGPASSFILE", QFile::encodeName(dir.filePath("none")));
        const QString without = errorOf(c);
        RestoreEnvironment("PGPASSFILE", saved);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY2(without.contains("127.0.0.1"), qPrintable(without));  // no password at all
    }

    // A service file holds the server, the database, the user and the password: a connection
    // string naming the service connects, as does one with the provider alone while PGSERVICE
    // names it; a service nobody defined is refused and named.
    void serverServiceFile() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        const TConnectionString full(qEnvironmentVariable("LINKARIUM_TEST_PG"));
        QTemporaryDir dir;
        QFile file(dir.filePath("services.conf"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QString source = full.value("Data Source");
        file.write(QString("[linkarium_team]\nhost=%1\nport=%2\ndbname=%3\nuser=%4\n"
                           "password=%5\n")
                       .arg(source.section(':', 0, 0), source.section(':', 1),
                            full.value("Initial Catalog"), full.value("User ID"),
                            full.value("Password"))
                       .toUtf8());
        file.close();
        const QByteArray savedFile = qgetenv("PGSERVICEFILE");
        const QByteArray savedService = qgetenv("PGSERVICE");
        const auto restore = qScopeGuard([&]() {
            RestoreEnvironment("PGSERVICEFILE", savedFile);
            RestoreEnvironment("PGSERVICE", savedService);
        });
        qputenv("PGSERVICEFILE", QFile::encodeName(file.fileName()));
        qunsetenv("PGSERVICE");
        TConnection c;
        c.SetConnectionString("Provider=PostgreSQL;Service=linkarium_team");
        QCOMPARE(errorOf(c), QString());
        QVERIFY(c.Connected());
        // Named as the service resolved it, not by the string's blank names.
        QVERIFY2(CatalogueName(c).startsWith("База данных " + full.value("Initial Catalog") +
                                             " на сервере " + source + " ("),
                 qPrintable(CatalogueName(c)));
        c.Close();
        c.SetConnectionString("Provider=PostgreSQL");
        QVERIFY(errorOf(c).contains("Не указан сервер"));
        qputenv("PGSERVICE", "linkarium_team");
        QCOMPARE(errorOf(c), QString());
        c.Close();
        qunsetenv("PGSERVICE");
        c.SetConnectionString("Provider=PostgreSQL;Service=nobody_defined");
        const QString unknown = errorOf(c);
        QVERIFY2(unknown.contains("nobody_defined"), qPrintable(unknown));
        // Passed to libpq whole, a ";" included.
        c.SetConnectionString("Provider=PostgreSQL;Service=\"a;b\"");
        const QString semicolon = errorOf(c);
        QVERIFY2(semicolon.contains("\"a;b\" not found"), qPrintable(semicolon));
    }

    void serverStringErrors_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("no server") << "Provider=PostgreSQL;Initial Catalog=x"
                                   << "Не указан сервер";
        QTest::newRow("bad port") << "Provider=PostgreSQL;Data Source=h:99999"
                                  << "Неверный порт сервера: 99999";
        QTest::newRow("nobody listening")
            << "Provider=PostgreSQL;Data Source=127.0.0.1:1;Initial Catalog=x;Password=s3cr3t"
            << "Не удалось подключиться к серверу 127.0.0.1:1";
        QTest::newRow("unknown TLS mode")
            << "Provider=PostgreSQL;Data Source=127.0.0.1:1;SSL Mode=always;Password=s3cr3t"
            << "Неизвестный режим шифрования: always";
        QTest::newRow("command time-out not a number")
            << "Provider=PostgreSQL;Data Source=127.0.0.1:1;Command Timeout=abc"
            << "Неверное время ожидания «Command Timeout=abc» в строке подключения";
        QTest::newRow("connection time-out zero")
            << "Provider=PostgreSQL;Data Source=127.0.0.1:1;Connect Timeout=0"
            << "Неверное время ожидания «Connect Timeout=0»";
    }
    void serverStringErrors() {
        QFETCH(QString, text);
        QFETCH(QString, message);
        TConnection c;
        c.SetConnectionString(text);
        const QString error = errorOf(c);
        QVERIFY2(error.contains(message), qPrintable(error));
        QVERIFY(!error.contains("s3cr3t"));
        QVERIFY(!c.Connected());
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
