#include "app/GeneralUnit.h"
#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"
#include "platform/db/Schema.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "support/FailingDisk.h"
#include "support/TestCatalogue.h"
#include "support/TestEnvironment.h"
#include "urls/Duplicates.h"

#include <QtTest>

#include <QDir>
#include <QProcess>

#include <sys/resource.h>
#include <sys/stat.h>
#include <csignal>
#include <functional>
#include <memory>

namespace {

// The disk is full for as long as this lives: no file of the process grows past limit.
class TFullDisk final {
public:
    explicit TFullDisk(rlim_t limit) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit full{limit, m_saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &full);
    }
    ~TFullDisk() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }
    TFullDisk(const TFullDisk&) = delete;
    TFullDisk& operator=(const TFullDisk&) = delete;

private:
    rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
};

// What a write said of itself: stored (nothing thrown), not stored (failed) or unknown.
struct TSaid {
    bool unknown = false;
    bool failed = false;
    QString error;
};
TSaid said(const std::function<void()>& write) {
    TSaid s;
    try {
        write();
    } catch (const EUnknownOutcomeError& e) {
        s.unknown = true;
        s.error = e.message();
    } catch (const EDatabaseError& e) {
        s.failed = true;
        s.error = e.message();
    }
    return s;
}

// A later start of the program on the catalogue, on a disk that works.
std::unique_ptr<TConnection> laterStart(const TTestCatalogue& cat) {
    auto later = std::make_unique<TConnection>();
    later->SetConnectionString(cat.connectionString());
    later->Open();
    return later;
}

}  // namespace

class TestFaults final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { InitTestApplication(); }

    // A full disk ends a write with the engine's reason; what was committed before stays,
    // the connection keeps working once there is room again.
    void diskFull() {
        TTestEnvironment env;
        TTestCatalogue cat;
        TConnection& c = cat.connection();
        c.Execute("INSERT INTO SubjectURLs (URL) VALUES (\"kept\")");
        const QString big(4000, QLatin1Char('x'));
        QString error;
        {
            const TFullDisk full(2 * 1024 * 1024);
            try {
                TTransaction t(c);
                for (int i = 0; i < 2000; ++i) {
                    c.Execute("INSERT INTO SubjectURLs (URL, Description) VALUES (:U, :D)",
                              {{"U", QString("big%1").arg(i)}, {"D", big}});
                }
                t.Commit();
            } catch (const EDatabaseError& e) {
                error = e.message();
            }
        }
        QVERIFY2(error.contains("full", Qt::CaseInsensitive) ||
                     error.contains("I/O", Qt::CaseInsensitive),
                 qPrintable(error));
        QCOMPARE(cat.otherValue("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
        QCOMPARE(cat.otherValue("SELECT count(*) FROM SubjectURLs").toInt(), 1);
        c.Execute("INSERT INTO SubjectURLs (URL) VALUES (\"after\")");
        QCOMPARE(cat.otherValue("SELECT count(*) FROM SubjectURLs").toInt(), 2);
    }

    // A commit whose fsync fails may have reached the log all the same, and a later start
    // finds it there. The program opens the catalogue afresh and asks the file: what it
    // then says (stored, not stored, or unknown) is what a later start finds, whether the
    // catalogue is open elsewhere or not, and only a disk that cannot be opened again (or a
    // write that says nothing of what it wrote) leaves the outcome unknown.
    void commitWhoseSyncFails_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<bool>("alone");
        QTest::addColumn<QString>("disk");
        for (const char* op : {"insert", "edit", "delete", "merge", "bare"}) {
            for (const bool alone : {true, false}) {
                for (const char* disk : {"syncs fail", "one sync fails", "disk dead"}) {
                    QTest::addRow("%s, %s, %s", op, alone ? "alone" : "open elsewhere", disk)
                        << QString::fromLatin1(op) << alone << QString::fromLatin1(disk);
                }
            }
        }
    }
    void commitWhoseSyncFails() {
        QFETCH(QString, operation);
        QFETCH(bool, alone);
        QFETCH(QString, disk);
        const bool diskDead = disk == "disk dead";
        TTestEnvironment env;
        TTestCatalogue cat;
        cat.addUrl("http://a.example/", "old", QString());
        cat.addUrl("https://a.example/", "old", QString());
        cat.addUrl("http://b.example/", QString(), QString());
        TSaid outcome;
        int storedNotices = 0;
        {
            TFailingDisk failing;
            TConnection& c = cat.connection();
            c.Close();
            c.Open();  // through the failing disk
            if (alone) {
                cat.other().Close();
            }
            QObject::connect(&c, &TConnection::StoredDespiteError, &c,
                             [&storedNotices](const QString&) { ++storedNotices; });
            TDataSet ds;
            ds.SetConnection(&c);
            ds.SetCommandText("SELECT * FROM SubjectURLs ORDER BY URL");
            ds.Open();
            TDuplicates duplicates(c);
            const QVector<TDuplicateGroup> groups = duplicates.Find({});
            QCOMPARE(groups.size(), 1);
            failing.failSyncs = disk != "one sync fails";
            failing.syncsToFail = disk == "one sync fails" ? 1 : 0;
            failing.failOpens = diskDead;
            outcome = said([&]() {
                if (operation == "insert") {
                    ds.Insert();
                    ds.FieldByName("URL").SetValue("http://new.example/");
                    ds.Post();
                } else if (operation == "edit") {
                    QVERIFY(ds.Locate("URL", {"http://b.example/"}, {}));
                    ds.Edit();
                    ds.FieldByName("Description").SetValue("new");
                    ds.Post();
                } else if (operation == "delete") {
                    QVERIFY(ds.Locate("URL", {"http://b.example/"}, {}));
                    ds.Delete();
                } else if (operation == "merge") {
                    duplicates.Merge(groups.first(), DefaultKept(groups.first()));
                } else {
                    TTransaction t(c);
                    c.Execute("INSERT INTO SubjectURLs (URL) VALUES ('http://new.example/')");
                    t.Commit();
                }
            });
            QVERIFY(failing.failedSyncs > 0);
            QCoreApplication::processEvents();
            ds.Close();
            c.Close();
            cat.other().Close();
        }
        // A later start of the program, on a disk that works.
        const std::unique_ptr<TConnection> laterOne = laterStart(cat);
        TConnection& later = *laterOne;
        const auto count = [&later](const QString& where) {
            return later.Value("SELECT count(*) FROM SubjectURLs WHERE " + where).toInt();
        };
        QCOMPARE(later.Value("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
        bool changed = false;
        if (operation == "insert" || operation == "bare") {
            changed = count("URL = 'http://new.example/'") == 1;
        } else if (operation == "edit") {
            changed = count("URL = 'http://b.example/' AND Description = 'new'") == 1;
        } else if (operation == "delete") {
            changed = count("URL = 'http://b.example/'") == 0;
        } else {
            changed = count("URL LIKE '%a.example/'") == 1;
        }
        if (outcome.unknown) {
            QVERIFY2(outcome.error.contains("неизвестно, сохранено ли изменение"),
                     qPrintable(outcome.error));
        } else if (outcome.failed) {
            QVERIFY2(!changed && outcome.error.contains("не сохранено"), qPrintable(outcome.error));
        } else {
            QVERIFY2(changed, "reported stored, found missing");
            QCOMPARE(storedNotices, 1);
        }
        // Not there while another program holds the catalogue is final only once the log
        // that still holds the failed commit is emptied, which needs a disk that syncs.
        QCOMPARE(outcome.unknown,
                 diskDead || operation == "bare" || (!alone && disk == "syncs fail"));
    }

    // What a failed commit is reported as matches what a later start finds, also when the
    // first write of the transaction no longer tells: a change only in letter case (the
    // column ignores case), a write undone by its savepoint, a row inserted and deleted
    // again before the commit; and for a batch of several rows.
    void settledCommitMatchesTheFile_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<bool>("alone");
        QTest::addColumn<QString>("expected");
        for (const bool alone : {true, false}) {
            const char* where = alone ? "alone" : "open elsewhere";
            QTest::addRow("case only, %s", where) << "case" << alone << "OLD";
            QTest::addRow("savepoint undone, %s", where) << "savepoint" << alone << "new";
            QTest::addRow("inserted and deleted, %s", where) << "churn" << alone << "new";
            QTest::addRow("batch, %s", where) << "batch" << alone << "new";
        }
    }
    void settledCommitMatchesTheFile() {
        QFETCH(QString, operation);
        QFETCH(bool, alone);
        QFETCH(QString, expected);
        TTestEnvironment env;
        TTestCatalogue cat;
        cat.addUrl("http://a.example/", "a", QString());
        cat.addUrl("http://c.example/", "old", QString());
        TSaid outcome;
        int storedNotices = 0;
        {
            TFailingDisk disk;
            TConnection& c = cat.connection();
            c.Close();
            c.Open();
            if (alone) {
                cat.other().Close();
            }
            QObject::connect(&c, &TConnection::StoredDespiteError, &c,
                             [&storedNotices](const QString&) { ++storedNotices; });
            TDataSet ds;
            ds.SetConnection(&c);
            if (operation == "batch") {
                ds.SetLockType(TLockType::BatchOptimistic);
            }
            ds.SetCommandText("SELECT * FROM SubjectURLs ORDER BY URL");
            ds.Open();
            const auto edit = [&ds](const QString& url, const QString& description) {
                QVERIFY(ds.Locate("URL", {url}, {}));
                ds.Edit();
                ds.FieldByName("Description").SetValue(description);
                ds.Post();
            };
            outcome = said([&]() {
                if (operation == "case") {
                    disk.failSyncs = true;
                    edit("http://c.example/", "OLD");
                } else if (operation == "batch") {
                    edit("http://c.example/", "new");
                    ds.Insert();
                    ds.FieldByName("URL").SetValue("http://x.example/");
                    ds.Post();
                    disk.failSyncs = true;
                    ds.UpdateBatch();
                } else {
                    TTransaction t(c);
                    if (operation == "savepoint") {
                        TTransaction inner(c);
                        edit("http://a.example/", "inner");
                    } else {
                        ds.Insert();
                        ds.FieldByName("URL").SetValue("http://x.example/");
                        ds.Post();
                        ds.Delete();
                    }
                    edit("http://c.example/", "new");
                    disk.failSyncs = true;
                    t.Commit();
                }
            });
            QVERIFY(disk.failedSyncs > 0);
            QCoreApplication::processEvents();
            ds.Close();
            c.Close();
            cat.other().Close();
        }
        const std::unique_ptr<TConnection> laterOne = laterStart(cat);
        TConnection& later = *laterOne;
        const bool changed =
            later.Value("SELECT Description FROM SubjectURLs WHERE URL = 'http://c.example/'")
                .toString() == expected;
        if (outcome.unknown) {
            QVERIFY2(outcome.error.contains("неизвестно, сохранено ли изменение"),
                     qPrintable(outcome.error));
        } else if (outcome.failed) {
            QVERIFY2(!changed, qPrintable("reported not stored, found stored: " + outcome.error));
            QVERIFY2(outcome.error.contains("не сохранено"), qPrintable(outcome.error));
        } else {
            QVERIFY2(changed, "reported stored, found missing");
            QCOMPARE(storedNotices, 1);
        }
    }

    // After a failed commit is settled the window goes on: the same dataset, its edit kept
    // when the change was not stored, saves again once the disk works, and a later start
    // finds the second change.
    void editingGoesOnAfterAFailedCommit_data() {
        QTest::addColumn<bool>("alone");
        QTest::addColumn<bool>("diskDead");
        QTest::newRow("stored despite the error") << true << false;
        QTest::newRow("not stored") << false << false;
        QTest::newRow("unknown") << true << true;
    }
    void editingGoesOnAfterAFailedCommit() {
        QFETCH(bool, alone);
        QFETCH(bool, diskDead);
        TTestEnvironment env;
        TTestCatalogue cat;
        cat.addUrl("http://a.example/", "a", QString());
        cat.addUrl("http://c.example/", "c", QString());
        {
            TFailingDisk disk;
            TConnection& c = cat.connection();
            c.Close();
            c.Open();
            if (alone) {
                cat.other().Close();
            }
            TDataSet ds;
            ds.SetConnection(&c);
            ds.SetCommandText("SELECT * FROM SubjectURLs ORDER BY URL");
            ds.Open();
            QVERIFY(ds.Locate("URL", {"http://a.example/"}, {}));
            ds.Edit();
            ds.FieldByName("Description").SetValue("first");
            disk.failSyncs = true;
            disk.failOpens = diskDead;
            bool threw = false;
            try {
                ds.Post();
            } catch (const EDatabaseError&) {
                threw = true;
            }
            QCOMPARE(threw, !alone || diskDead);
            disk.failSyncs = false;
            disk.failOpens = false;
            QCoreApplication::processEvents();
            if (ds.State() == TDataSetState::Edit) {
                try {
                    ds.Post();  // the user saves again
                } catch (const EConflictError&) {
                    // When it is unknown whether the first save went in, a second one may
                    // find the row changed already; the user gives it up.
                    QVERIFY(diskDead);
                    ds.Cancel();
                }
            }
            QCOMPARE(ds.State(), TDataSetState::Browse);
            QVERIFY(ds.Locate("URL", {"http://c.example/"}, {}));
            ds.Edit();
            ds.FieldByName("Description").SetValue("second");
            ds.Post();
            ds.Close();
            c.Close();
            cat.other().Close();
        }
        const std::unique_ptr<TConnection> laterOne = laterStart(cat);
        TConnection& later = *laterOne;
        QCOMPARE(later.Value("SELECT Description FROM SubjectURLs WHERE URL = 'http://c.example/'")
                     .toString(),
                 QStringLiteral("second"));
        if (!diskDead) {
            QCOMPARE(
                later.Value("SELECT Description FROM SubjectURLs WHERE URL = 'http://a.example/'")
                    .toString(),
                QStringLiteral("first"));
        }
    }

    // The category list saved while its commit fails: the fresh opening that settles the
    // commit opens the module's lists again, under the save that is still running. No
    // crash, and what is said matches what a later start finds.
    void categoryListSavedOnAFailingDisk_data() {
        QTest::addColumn<bool>("alone");
        QTest::newRow("alone") << true;
        QTest::newRow("open elsewhere") << false;
    }
    void categoryListSavedOnAFailingDisk() {
        QFETCH(bool, alone);
        TTestEnvironment env;
        TTestCatalogue cat;
        bool unknown = false;
        bool failed = false;
        {
            TFailingDisk disk;
            std::unique_ptr<TGeneralModule> module = cat.connectedModule();
            if (alone) {
                cat.other().Close();
            }
            TDataSet& list = module->adsCategoryList;
            QVERIFY(list.Active());
            list.Insert();
            list.FieldByName("CategoryName").SetValue("Новая");
            list.Post();
            disk.failSyncs = true;
            try {
                list.UpdateBatch();
            } catch (const EUnknownOutcomeError&) {
                unknown = true;
            } catch (const EDatabaseError&) {
                failed = true;
            }
            QVERIFY(disk.failedSyncs > 0);
            disk.failSyncs = false;
            QVERIFY(list.Active());
            module.reset();
            cat.other().Close();
        }
        const std::unique_ptr<TConnection> laterOne = laterStart(cat);
        TConnection& later = *laterOne;
        const bool stored =
            later.Value("SELECT count(*) FROM CategoryList WHERE CategoryName = 'Новая'").toInt() ==
            1;
        if (!unknown) {
            QCOMPARE(stored, !failed);
        }
    }

    // A commit said not to be stored while another connection keeps the catalogue open,
    // and then every copy of the program ends without closing it (a crash, a kill): the
    // files as they are then, opened by a later start, do not hold the change.
    void notStoredStaysSoAfterACrash_data() {
        QTest::addColumn<bool>("recovers");
        QTest::newRow("the disk syncs again") << true;
        QTest::newRow("syncs keep failing") << false;
    }
    void notStoredStaysSoAfterACrash() {
        QFETCH(bool, recovers);
        TTestEnvironment env;
        TTestCatalogue cat;
        cat.addUrl("http://c.example/", "old", QString());
        QTemporaryDir crashed;
        bool failed = false;
        {
            TFailingDisk disk;
            TConnection& c = cat.connection();
            c.Close();
            c.Open();
            TDataSet ds;
            ds.SetConnection(&c);
            ds.SetCommandText("SELECT * FROM SubjectURLs");
            ds.Open();
            QVERIFY(ds.Locate("URL", {"http://c.example/"}, {}));
            ds.Edit();
            ds.FieldByName("Description").SetValue("new");
            disk.failSyncs = !recovers;
            disk.syncsToFail = recovers ? 1 : 0;
            try {
                ds.Post();
            } catch (const EUnknownOutcomeError&) {
            } catch (const EDatabaseError&) {
                failed = true;
            }
            disk.failSyncs = false;
            // What is on the disk when the processes die: the catalogue and its log.
            QVERIFY(QFile::copy(cat.fileName(), crashed.filePath("catalogue.db")));
            QVERIFY(QFile::copy(cat.fileName() + "-wal", crashed.filePath("catalogue.db-wal")));
            ds.Close();
            c.Close();
            cat.other().Close();
        }
        // Said not stored only where it can be made sure of; unknown otherwise.
        QCOMPARE(failed, recovers);
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open_v2(QFile::encodeName(crashed.filePath("catalogue.db")).constData(),
                                 &db, SQLITE_OPEN_READWRITE, nullptr),
                 SQLITE_OK);
        sqlite3_stmt* st = nullptr;
        QCOMPARE(
            sqlite3_prepare_v2(db, "SELECT count(*) FROM SubjectURLs WHERE Description = 'new'", -1,
                               &st, nullptr),
            SQLITE_OK);
        QCOMPARE(sqlite3_step(st), SQLITE_ROW);
        const int found = sqlite3_column_int(st, 0);
        sqlite3_finalize(st);
        sqlite3_close(db);
        // The failed commit's frames stayed in the log after its last confirmed one, hidden
        // only by the index the other connection keeps; an opening after a crash would
        // read them back had the log not been emptied.
        if (failed) {
            QCOMPARE(found, 0);
        }
    }

    // A folder whose name is not UTF-8 reads back with U+FFFD in it. The catalogue in it,
    // a new catalogue and the settings there are refused with the path named; no folder
    // with the mark in its name appears in its place. A name that really holds U+FFFD
    // is used like any other.
    void unreadableFolderNames_data() {
        QTest::addColumn<QByteArray>("folder");
        QTest::addColumn<bool>("usable");
        QTest::newRow("Windows-1251 bytes") << QByteArray("\xea\xe0\xf2\xe0\xeb\xee\xe3") << false;
        QTest::newRow("a lone continuation byte") << QByteArray("links\x80") << false;
        QTest::newRow("a cut sequence") << QByteArray("\xd0") << false;
        QTest::newRow("the mark itself, as UTF-8") << QByteArray("links\xef\xbf\xbd") << true;
    }
    void unreadableFolderNames() {
        QFETCH(QByteArray, folder);
        QFETCH(bool, usable);
        TTestEnvironment env;
        QTemporaryDir dir;
        // Qt cannot name what is inside to remove it.
        const struct TRemoveByBytes {
            QString path;
            ~TRemoveByBytes() { QProcess::execute("rm", {"-rf", "--", path}); }
        } cleanup{dir.path()};
        const QByteArray raw = QFile::encodeName(dir.path()) + '/' + folder;
        QCOMPARE(::mkdir(raw.constData(), 0700), 0);
        const QString shown = QFile::decodeName(raw);
        // The catalogue is put there by its real bytes, as another program would.
        {
            TTestCatalogue source;
            source.connection().Close();
            source.other().Close();
            QVERIFY(QFile::copy(source.fileName(), dir.filePath("made.db")));
            QCOMPARE(::rename(QFile::encodeName(dir.filePath("made.db")).constData(),
                              QByteArray(raw + "/catalogue.db").constData()),
                     0);
        }
        const QStringList before =
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

        TConnection c;
        c.SetConnectionString("Provider=SQLite;Data Source=" + shown + "/catalogue.db");
        QString error;
        try {
            c.Open();
        } catch (const EDatabaseError& e) {
            error = e.message();
        }
        QString created;
        try {
            CreateSqliteCatalogue(shown + "/sub/new.db");
        } catch (const EDatabaseError& e) {
            created = e.message();
        }
        TRegistryStore::instance().setFileName(shown + "/settings/settings.db");
        TRegistry reg;
        const bool saved = reg.OpenKey("Software\\Quorvel\\Linkarium\\Names", true) &&
                           reg.WriteString("Kept", "yes");
        const QString notice = TRegistryStore::instance().takeNotice();
        TRegistryStore::instance().close();
        if (usable) {
            QVERIFY2(error.isEmpty(), qPrintable(error));
            QVERIFY2(created.isEmpty(), qPrintable(created));
            QVERIFY(saved);
            QVERIFY(QFileInfo::exists(shown + "/sub/new.db"));
        } else {
            for (const QString& message : {error, created, notice}) {
                QVERIFY2(message.contains("не в кодировке UTF-8") && message.contains(shown),
                         qPrintable(message));
            }
            QVERIFY(!saved);
            QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
            struct stat st {};
            QVERIFY(::stat(QByteArray(raw + "/catalogue.db").constData(), &st) == 0);
            QCOMPARE(::stat(QByteArray(raw + "/sub").constData(), &st), -1);
        }
    }

    // A settings write that finds the disk full fails, and the store keeps what it had.
    void diskFullSettings() {
        TTestEnvironment env;
        {
            TRegistry reg;
            QVERIFY(reg.OpenKey("Software\\Quorvel\\Linkarium\\Faults", true));
            QVERIFY(reg.WriteString("Kept", "yes"));
        }
        {
            const TFullDisk full(QFileInfo(env.storeFile()).size());
            TRegistry reg;
            QVERIFY(reg.OpenKey("Software\\Quorvel\\Linkarium\\Faults", true));
            bool allWritten = true;
            for (int i = 0; i < 200; ++i) {
                allWritten =
                    reg.WriteString(QString("Big%1").arg(i), QString(8000, QLatin1Char('y'))) &&
                    allWritten;
            }
            QVERIFY(!allWritten);
        }
        TRegistry reg;
        QVERIFY(reg.OpenKeyReadOnly("Software\\Quorvel\\Linkarium\\Faults"));
        QCOMPARE(reg.ReadString("Kept").value_or(QString()), QStringLiteral("yes"));
        QVERIFY(reg.OpenKey("Software\\Quorvel\\Linkarium\\Faults", true));
        QVERIFY(reg.WriteString("After", "yes"));
    }
};

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
