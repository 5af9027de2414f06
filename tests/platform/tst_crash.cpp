#include "platform/db/Connection.h"
#include "platform/db/Schema.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "support/TestCatalogue.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>

// A writer killed at random moments, a hundred times over the same catalogue and settings
// store: what it reported committed is there, nothing is half written, both files open.
class TestCrash final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { InitTestApplication(); }

    void killedWriterLosesNothing() {
        TTestEnvironment env;
        TTestCatalogue cat;
        const QString store = env.path("crash-settings.db");
        QRandomGenerator random(20261208);
        int lastPair = 0;
        int lastBatch = 0;
        int lastSetting = 0;
        int reported = 0;
        for (int round = 0; round < 100; ++round) {
            QProcess writer;
            const QString prefix = QString("r%1-").arg(round);
            writer.start(CRASH_WRITER, {cat.fileName(), store, prefix});
            QVERIFY(writer.waitForReadyRead(10000));
            // Anywhere from at once to a few dozen commits in.
            const int wait = random.bounded(60);
            if (wait > 0) {
                QTest::qSleep(wait);
            }
            writer.kill();
            QVERIFY(writer.waitForFinished(10000));
            for (const QByteArray& line : writer.readAllStandardOutput().split('\n')) {
                const QList<QByteArray> words = line.split(' ');
                if (words.size() != 2) {
                    continue;
                }
                const int n = words.at(1).toInt();
                if (words.at(0) == "pair") {
                    lastPair = n;
                } else if (words.at(0) == "batch") {
                    lastBatch = n;
                } else if (words.at(0) == "setting") {
                    lastSetting = n;
                }
            }
            QCOMPARE(cat.otherValue("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
            // Pairs are inserted together and changed together, or not at all.
            QCOMPARE(
                cat.otherValue("SELECT count(*) FROM (SELECT substr(URL, 1, length(URL) - 2) AS p, "
                               "count(*) AS c, count(DISTINCT Description) AS d FROM SubjectURLs "
                               "GROUP BY p HAVING c % 2 <> 0 OR d <> 1)")
                    .toInt(),
                0);
            if (lastPair > 0) {
                QCOMPARE(cat.otherValue(
                                QString("SELECT count(*) FROM SubjectURLs WHERE URL IN ('%1w%2-a', "
                                        "'%1w%2-b')")
                                    .arg(prefix)
                                    .arg(lastPair))
                             .toInt(),
                         2);
            }
            if (lastBatch > 0) {
                QCOMPARE(cat.otherValue(
                                QString("SELECT count(*) FROM SubjectURLs WHERE URL LIKE '%1w%2-_' "
                                        "AND Description = 'done %2'")
                                    .arg(prefix)
                                    .arg(lastBatch))
                             .toInt(),
                         2);
            }
            TRegistryStore::instance().setFileName(store);
            TRegistry reg;
            if (lastSetting > 0) {
                QVERIFY(reg.OpenKeyReadOnly("Software\\Quorvel\\Linkarium\\Crash"));
                QVERIFY(reg.ReadInteger("Last").value_or(0) >= lastSetting);
            }
            TRegistryStore::instance().setFileName(env.storeFile());
            reported += lastPair;
            lastPair = lastBatch = lastSetting = 0;
        }
        // The kills came while the writer was at work, not before it began.
        QVERIFY2(reported >= 50, qPrintable(QString::number(reported)));
    }

    // Creation killed at any moment leaves no catalogue or a whole one at each name,
    // and the name can be created again.
    void killedCreationLeavesNoBrokenFile() {
        QTemporaryDir dir;
        QRandomGenerator random(20261209);
        int created = 0;
        for (int round = 0; round < 80; ++round) {
            const QString folder = dir.filePath(QString::number(round));
            QVERIFY(QDir().mkpath(folder));
            QProcess creator;
            creator.start(CRASH_WRITER, {"create", folder});
            QVERIFY(creator.waitForStarted());
            // From before the first file to some dozens in, counted in files made rather
            // than in time, so a loaded machine kills as far in as an idle one; then a few
            // milliseconds more, to land anywhere in the making of the next.
            const int target = static_cast<int>(random.bounded(12));
            QElapsedTimer waited;
            waited.start();
            while (QDir(folder).entryList({"cat-*.db"}, QDir::Files).size() < target &&
                   waited.elapsed() < 20000 && creator.state() == QProcess::Running) {
                QTest::qSleep(1);
            }
            QTest::qSleep(random.bounded(4));
            creator.kill();
            QVERIFY(creator.waitForFinished(10000));
            const QStringList files = QDir(folder).entryList({"cat-*.db"}, QDir::Files);
            for (const QString& name : files) {
                TConnection c;
                c.SetConnectionString("Data Source=" + folder + "/" + name);
                QString error;
                try {
                    c.Open();
                    CheckCatalogue(c);
                } catch (const EError& e) {
                    error = e.message();
                }
                QVERIFY2(error.isEmpty(), qPrintable(name + ": " + error));
            }
            created += static_cast<int>(files.size());
            // The name the kill interrupted is free again.
            const QString next = folder + QString("/cat-%1.db").arg(files.size());
            CreateSqliteCatalogue(next);
            QVERIFY(QFileInfo(next).size() > 0);
            const QStringList hidden =
                QDir(folder).entryList({".*.creating*"}, QDir::Files | QDir::Hidden);
            QVERIFY2(hidden.isEmpty(), qPrintable(hidden.join(", ")));
        }
        QVERIFY2(created >= 80, qPrintable(QString::number(created)));
    }
};

QTEST_GUILESS_MAIN(TestCrash)
#include "tst_crash.moc"
