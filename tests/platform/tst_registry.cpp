#include "platform/registry/Registry.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

#include <sqlite3.h>
#include <sys/stat.h>

class TestRegistry final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { InitTestApplication(); }

    void valueNamesRoundTrip_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << "Connection"
                               << "Provider=SQLite;Data Source=/tmp/a.db";
        QTest::newRow("slash") << "a/b"
                               << "x";
        QTest::newRow("backslash") << "a\\b\\c"
                                   << "y";
        QTest::newRow("equals") << "k=v"
                                << "=";
        QTest::newRow("cyrillic") << "Мой фильтр"
                                  << "URL LIKE \"%новости%\"";
        QTest::newRow("spaces") << "  spaced name  "
                                << "  spaced value  ";
        QTest::newRow("empty name") << ""
                                    << "default value";
        QTest::newRow("empty text") << "Empty"
                                    << "";
        QTest::newRow("quotes") << "\"quoted\""
                                << "'single' \"double\"";
    }
    void valueNamesRoundTrip() {
        QFETCH(QString, name);
        QFETCH(QString, text);
        TTestEnvironment env;
        {
            TRegistry reg;
            QVERIFY(reg.OpenKey(QStringLiteral("Software\\Test"), true));
            QVERIFY(reg.WriteString(name, text));
        }
        TRegistryStore::instance().close();  // read back from the file, not a cache
        TRegistry reg;
        QVERIFY(reg.OpenKeyReadOnly(QStringLiteral("Software\\Test")));
        QCOMPARE(reg.GetValueNames(), QStringList{name});
        QCOMPARE(reg.ReadString(name), std::optional<QString>(text));
    }

    void integersKeepTheirType_data() {
        QTest::addColumn<qint32>("value");
        QTest::newRow("zero") << 0;
        QTest::newRow("negative") << -1;
        QTest::newRow("min") << std::numeric_limits<qint32>::min();
        QTest::newRow("max") << std::numeric_limits<qint32>::max();
    }
    void integersKeepTheirType() {
        QFETCH(qint32, value);
        TTestEnvironment env;
        TRegistry reg;
        QVERIFY(reg.OpenKey(QStringLiteral("K"), true));
        QVERIFY(reg.WriteInteger(QStringLiteral("N"), value));
        QCOMPARE(reg.ReadInteger(QStringLiteral("N")), std::optional<qint32>(value));
        // The other type reads as absent.
        QCOMPARE(reg.ReadString(QStringLiteral("N")), std::optional<QString>());
        QVERIFY(reg.WriteString(QStringLiteral("S"), QString::number(value)));
        QCOMPARE(reg.ReadInteger(QStringLiteral("S")), std::optional<qint32>());
        QCOMPARE(reg.GetDataType(QStringLiteral("S")), std::optional(TRegValue::Type::String));
    }

    void valuesEnumerateInCreationOrder() {
        TTestEnvironment env;
        TRegistry reg;
        QVERIFY(reg.OpenKey(QStringLiteral("Software\\Order"), true));
        const QStringList names = {"zeta", "Alpha", "middle", "Бета", "1"};
        for (const QString& n : names) {
            QVERIFY(reg.WriteString(n, n));
        }
        QCOMPARE(reg.GetValueNames(), names);
        // Rewriting a value, even with another type, keeps its place.
        QVERIFY(reg.WriteInteger(QStringLiteral("Alpha"), 7));
        QCOMPARE(reg.GetValueNames(), names);
        QVERIFY(reg.DeleteValue(QStringLiteral("middle")));
        QVERIFY(reg.WriteString(QStringLiteral("middle"), QString()));
        QCOMPARE(reg.GetValueNames(), (QStringList{"zeta", "Alpha", "Бета", "1", "middle"}));
    }

    void keysAndNamesIgnoreCase() {
        TTestEnvironment env;
        TRegistry reg;
        QVERIFY(reg.OpenKey(QStringLiteral("Software\\Quorvel\\Linkarium"), true));
        QVERIFY(reg.WriteString(QStringLiteral("Connection"), QStringLiteral("x")));
        TRegistry other;
        QVERIFY(other.OpenKeyReadOnly(QStringLiteral("\\SOFTWARE\\quorvel\\\\LINKARIUM\\")));
        QCOMPARE(other.ReadString(QStringLiteral("CONNECTION")), std::optional<QString>("x"));
        QVERIFY(other.OpenKeyReadOnly(QStringLiteral("Фильтры")) == false);
        QVERIFY(reg.OpenKey(QStringLiteral("Фильтры"), true));
        QVERIFY(other.OpenKeyReadOnly(QStringLiteral("ФИЛЬТРЫ")));
    }

    void deleteKeyTakesValuesAndSubkeys() {
        TTestEnvironment env;
        TRegistry reg;
        QVERIFY(reg.OpenKey(QStringLiteral("A\\B\\C"), true));
        QVERIFY(reg.WriteString(QStringLiteral("v"), QStringLiteral("1")));
        QVERIFY(reg.OpenKey(QStringLiteral("A\\B"), true));
        QVERIFY(reg.WriteString(QStringLiteral("v"), QStringLiteral("2")));
        QVERIFY(reg.OpenKey(QStringLiteral("A\\BB"), true));  // a sibling with the same prefix
        QVERIFY(reg.WriteString(QStringLiteral("v"), QStringLiteral("3")));
        QCOMPARE(reg.OpenKey(QStringLiteral("A"), false), true);
        QCOMPARE(reg.GetKeyNames(), (QStringList{"B", "BB"}));

        QVERIFY(reg.DeleteKey(QStringLiteral("a\\b")));
        QVERIFY(!reg.KeyExists(QStringLiteral("A\\B")));
        QVERIFY(!reg.KeyExists(QStringLiteral("A\\B\\C")));
        QVERIFY(reg.KeyExists(QStringLiteral("A\\BB")));
        QVERIFY(reg.OpenKey(QStringLiteral("A\\B\\C"), true));
        QVERIFY(reg.GetValueNames().isEmpty());
        QVERIFY(reg.OpenKeyReadOnly(QStringLiteral("A\\BB")));
        QCOMPARE(reg.ReadString(QStringLiteral("v")), std::optional<QString>("3"));
        QVERIFY(!reg.DeleteKey(QStringLiteral("Missing")));
    }

    void readOnlyKeyRefusesWrites() {
        TTestEnvironment env;
        TRegistry reg;
        QVERIFY(!reg.OpenKeyReadOnly(QStringLiteral("Nothing")));
        QVERIFY(!reg.WriteString(QStringLiteral("x"), QStringLiteral("y")));
        QVERIFY(reg.OpenKey(QStringLiteral("Exists"), true));
        QVERIFY(reg.OpenKeyReadOnly(QStringLiteral("Exists")));
        QVERIFY(!reg.WriteString(QStringLiteral("x"), QStringLiteral("y")));
        QVERIFY(!reg.ValueExists(QStringLiteral("x")));
        // Opening without creation does not create.
        QVERIFY(!reg.OpenKey(QStringLiteral("Other"), false));
        QVERIFY(!reg.KeyExists(QStringLiteral("Other")));
    }

    void storeFileIsPrivate() {
        TTestEnvironment env;
        TRegistry reg;
        QVERIFY(reg.OpenKey(QStringLiteral("K"), true));
        QVERIFY(reg.WriteString(QStringLiteral("Connection"), QStringLiteral("Password=secret")));
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(env.storeFile()).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0600u);
        const QString wal = env.storeFile() + QStringLiteral("-wal");
        if (QFileInfo::exists(wal)) {
            QCOMPARE(::stat(QFile::encodeName(wal).constData(), &st), 0);
            QCOMPARE(st.st_mode & 0777, 0600u);
        }
    }

    // A zero-length file holds nothing to lose: it becomes the store, without a notice.
    void zeroLengthFileBecomesTheStore() {
        TTestEnvironment env;
        TRegistryStore::instance().close();
        {
            QFile f(env.storeFile());
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        {
            TRegistry reg;
            QVERIFY(reg.OpenKey(QStringLiteral("K"), true));
            QVERIFY(reg.WriteString(QStringLiteral("v"), QStringLiteral("kept")));
        }
        QVERIFY(TRegistryStore::instance().takeNotice().isEmpty());
        TRegistryStore::instance().close();
        TRegistry reg;
        QVERIFY(reg.OpenKeyReadOnly(QStringLiteral("K")));
        QCOMPARE(reg.ReadString(QStringLiteral("v")).value_or(QString()), QStringLiteral("kept"));
        QVERIFY(QFileInfo(env.storeFile()).size() > 0);
    }

    void damagedFileIsKeptAside_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("garbage") << "garbage";
        QTest::newRow("foreign database") << "foreign";
        QTest::newRow("directory") << "directory";
    }
    void damagedFileIsKeptAside() {
        QFETCH(QString, kind);
        TTestEnvironment env;
        TRegistryStore::instance().close();
        const QString file = env.storeFile();
        QByteArray original;
        if (kind == QLatin1String("garbage")) {
            original = QByteArray(8192, 'x');
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(original);
        } else if (kind == QLatin1String("foreign")) {
            sqlite3* db = nullptr;
            QCOMPARE(sqlite3_open(QFile::encodeName(file).constData(), &db), SQLITE_OK);
            QCOMPARE(sqlite3_exec(db, "CREATE TABLE mine(x); INSERT INTO mine VALUES(42)", nullptr,
                                  nullptr, nullptr),
                     SQLITE_OK);
            sqlite3_close(db);
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadOnly));
            original = f.readAll();
        } else {
            QVERIFY(QDir().mkpath(file + QStringLiteral("/inner")));
        }

        TRegistry reg;
        QVERIFY(reg.OpenKey(QStringLiteral("K"), true));
        QVERIFY(reg.WriteString(QStringLiteral("v"), QStringLiteral("fresh")));
        const QString notice = TRegistryStore::instance().takeNotice();
        QVERIFY(notice.contains(file));
        QVERIFY(TRegistryStore::instance().takeNotice().isEmpty());  // said once

        const QStringList aside = QDir(QFileInfo(file).absolutePath())
                                      .entryList({QStringLiteral("settings.db.broken-*")},
                                                 QDir::AllEntries | QDir::NoDotAndDotDot);
        QCOMPARE(aside.size(), 1);
        const QString kept = QFileInfo(file).absolutePath() + QLatin1Char('/') + aside.first();
        if (kind == QLatin1String("directory")) {
            QVERIFY(QFileInfo(kept + QStringLiteral("/inner")).isDir());
        } else {
            QFile f(kept);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), original);
        }
    }

    void unusableLocationFailsQuietly() {
        TTestEnvironment env;
        QFile blocker(env.path(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        // A store below a plain file cannot be created.
        TRegistryStore::instance().setFileName(env.path(QStringLiteral("file/settings.db")));
        TRegistry reg;
        QVERIFY(!reg.OpenKey(QStringLiteral("K"), true));
        QVERIFY(!reg.WriteString(QStringLiteral("v"), QStringLiteral("x")));
        QVERIFY(!reg.OpenKeyReadOnly(QStringLiteral("K")));
    }

    void twoProcessesShareTheStore() {
        TTestEnvironment env;
        const int count = 200;
        QProcess child;
        child.start(QStringLiteral(REGISTRY_WRITER),
                    {env.storeFile(), QStringLiteral("Shared"), QString::number(count),
                     QStringLiteral("child")});
        QVERIFY(child.waitForStarted());
        int failures = 0;
        for (int i = 0; i < count; ++i) {
            TRegistry reg;
            if (!reg.OpenKey(QStringLiteral("Shared"), true) ||
                !reg.WriteInteger(QStringLiteral("parent") + QString::number(i), i)) {
                ++failures;
            }
        }
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(failures, 0);
        TRegistry reg;
        QVERIFY(reg.OpenKeyReadOnly(QStringLiteral("Shared")));
        QCOMPARE(reg.GetValueNames().size(), 2 * count);
        QCOMPARE(reg.ReadInteger(QStringLiteral("child199")), std::optional<qint32>(199));
    }
};

QTEST_GUILESS_MAIN(TestRegistry)
#include "tst_registry.moc"
