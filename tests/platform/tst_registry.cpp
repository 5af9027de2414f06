#include "platform/registry/Registry.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTranslator>
#include <QtTest>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Counts what the store reports about failed writes.
struct TFailureLog {
    QStringList reports;
    TFailureLog() {
        TRegistryStore::instance().setWriteFailureHandler(
            [this](const QString& text) { reports << text; });
    }
    ~TFailureLog() { TRegistryStore::instance().setWriteFailureHandler(nullptr); }
    TFailureLog(const TFailureLog&) = delete;
    TFailureLog& operator=(const TFailureLog&) = delete;
};

QByteArray contents(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeOne(const QString& value) {
    TRegistry reg;
    return reg.OpenKey(QStringLiteral("K"), true) && reg.WriteString(QStringLiteral("v"), value);
}

}  // namespace

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

    void unusableLocationIsReported() {
        TTestEnvironment env;
        TFailureLog log;
        QFile blocker(env.path(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        // A store below a plain file cannot be created.
        TRegistryStore::instance().setFileName(env.path(QStringLiteral("file/settings.db")));
        TRegistry reg;
        QVERIFY(!reg.OpenKey(QStringLiteral("K"), true));
        QVERIFY(!reg.WriteString(QStringLiteral("v"), QStringLiteral("x")));
        QVERIFY(!reg.OpenKeyReadOnly(QStringLiteral("K")));
        QCOMPARE(log.reports.size(), 1);
        QVERIFY(log.reports.first().contains(QStringLiteral("file/settings.db")));
    }

    // Files the store cannot use at start: one notice naming the file and the reason,
    // defaults, the file left as it was, each failed write burst reported once. File
    // modes mean nothing to root, so root runs these as nobody (ordinaryUser below).
    void unusableFileAtStart_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("usable");
        QTest::newRow("mode 000") << "mode000"
                                  << "нет прав доступа" << false;
        QTest::newRow("damaged, read-only folder") << "damagedReadOnly"
                                                   << "копия сохранена как" << false;
        QTest::newRow("damaged, no folder takes a copy") << "damagedNoCopy"
                                                         << "копию сохранить не удалось" << false;
        QTest::newRow("fifo") << "fifo"
                              << "не обычный файл" << true;
        QTest::newRow("dangling link") << "link"
                                       << "ссылка на" << false;
    }
    void unusableFileAtStart() {
        if (::geteuid() == 0) {
            QSKIP("file modes do not bind root: run as nobody by ordinaryUser");
        }
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QFETCH(bool, usable);
        TTestEnvironment env;
        TRegistryStore::instance().close();
        const QString folder = env.path(QStringLiteral("conf"));
        QVERIFY(QDir().mkpath(folder));
        const QString file = folder + QStringLiteral("/settings.db");
        TRegistryStore::instance().setFileName(file);
        const QByteArray garbage(4096, 'g');
        const auto putFile = [&file](const QByteArray& bytes) {
            QFile f(file);
            return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
        };
        if (kind == "mode000") {
            QVERIFY(writeOne(QStringLiteral("kept")));
            TRegistryStore::instance().close();
            QVERIFY(QFile::setPermissions(file, {}));
        } else if (kind.startsWith("damaged")) {
            QVERIFY(putFile(garbage));
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        } else if (kind == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        } else {
            QVERIFY(QFile::link(env.path(QStringLiteral("gone/settings.db")), file));
        }
        const QByteArray tmp = qgetenv("TMPDIR");
        const auto restore = qScopeGuard([&]() {
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
            qputenv("TMPDIR", tmp);
        });
        if (kind == "damagedNoCopy") {
            qputenv("XDG_STATE_HOME", QFile::encodeName(folder + QStringLiteral("/state")));
            qputenv("TMPDIR", QFile::encodeName(folder));
        } else {
            qputenv("XDG_STATE_HOME", QFile::encodeName(env.path(QStringLiteral("state"))));
        }
        TRegistryStore::instance().setFileName(file);

        TRegistry reg;
        QVERIFY(!reg.OpenKeyReadOnly(QStringLiteral("K")) ||
                !reg.ReadString(QStringLiteral("v")).has_value());
        const QString notice = TRegistryStore::instance().takeNotice();
        QVERIFY2(notice.contains(file), qPrintable(notice));
        QVERIFY2(notice.contains(reason), qPrintable(notice));
        QVERIFY(TRegistryStore::instance().takeNotice().isEmpty());

        TFailureLog log;
        QCOMPARE(writeOne(QStringLiteral("a")), usable);
        QCOMPARE(writeOne(QStringLiteral("b")), usable);
        QCOMPARE(log.reports.size(), usable ? 0 : 1);
        if (!usable) {
            QVERIFY(log.reports.first().contains(file));
        }
        if (kind == "damagedReadOnly") {
            // The folder refused the copy; the state folder took it.
            const QDir state(env.path(QStringLiteral("state/Linkarium")));
            const QStringList copies = state.entryList({QStringLiteral("settings.db.broken-*")});
            QCOMPARE(copies.size(), 1);
            QVERIFY(notice.contains(state.filePath(copies.first())));
            QCOMPARE(contents(state.filePath(copies.first())), garbage);
        }
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
        qputenv("TMPDIR", tmp);
        if (kind == "mode000") {
            TRegistryStore::instance().close();
            TRegistryStore::instance().setFileName(file);
            QVERIFY(reg.OpenKeyReadOnly(QStringLiteral("K")));
            QCOMPARE(reg.ReadString(QStringLiteral("v")), std::optional<QString>("kept"));
        } else if (kind.startsWith("damaged")) {
            QCOMPARE(contents(file), garbage);
        } else if (kind == "link") {
            QVERIFY(!QFileInfo::exists(env.path(QStringLiteral("gone"))));
        }
        TRegistryStore::instance().close();
    }

    // The notice is found while the options load, before the language is chosen; it is
    // put into words when taken, so it reads in the language chosen meanwhile.
    void noticeReadsInTheLanguageChosenLater() {
        TTestEnvironment env;
        TRegistryStore::instance().close();
        const QString file = env.path(QStringLiteral("settings.db"));
        QVERIFY(QFile::link(env.path(QStringLiteral("gone/settings.db")), file));
        TRegistryStore::instance().setFileName(file);
        TRegistry reg;
        QVERIFY(!reg.OpenKeyReadOnly(QStringLiteral("K")));

        struct TEnglish final : QTranslator {
            QString translate(const char* context, const char* source, const char*,
                              int) const override {
                if (qstrcmp(context, "TRegistryStore") != 0) {
                    return QString();
                }
                const QString text = QString::fromUtf8(source);
                if (text.startsWith(QStringLiteral("Файл настроек %1 нельзя"))) {
                    return QStringLiteral("Cannot use %1: %2.");
                }
                if (text == QStringLiteral("папка не существует")) {
                    return QStringLiteral("no such folder");
                }
                if (text == QStringLiteral("%1 (ссылка на %2)")) {
                    return QStringLiteral("%1 (a link to %2)");
                }
                return QString();
            }
        } english;
        QCoreApplication::installTranslator(&english);
        const QString notice = TRegistryStore::instance().takeNotice();
        QCoreApplication::removeTranslator(&english);
        QCOMPARE(notice, QStringLiteral("Cannot use %1: no such folder (a link to %2).")
                             .arg(file, env.path(QStringLiteral("gone/settings.db"))));
    }

    void ordinaryUser() {
        if (::geteuid() != 0) {
            QSKIP("already an ordinary user: unusableFileAtStart runs itself");
        }
        if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty()) {
            QSKIP("setpriv is missing: the file-mode cases cannot run as an ordinary user");
        }
        QTemporaryDir home;
        QVERIFY(home.isValid());
        QCOMPARE(::chown(QFile::encodeName(home.path()).constData(), 65534, 65534), 0);
        // A copy nobody can reach, wherever the build lies (a checkout below /root is not).
        const QString self = home.filePath(QStringLiteral("tst_registry"));
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), self));
        QVERIFY(QFile::setPermissions(
            self, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("TMPDIR"), home.path());
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        env.remove(QStringLiteral("XDG_CONFIG_HOME"));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(
            QStringLiteral("setpriv"),
            {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
             QStringLiteral("--clear-groups"), QStringLiteral("--"),
             QCoreApplication::applicationFilePath(), QStringLiteral("unusableFileAtStart")});
        QVERIFY(child.waitForFinished(120000));
        const QByteArray out = child.readAll();
        QVERIFY2(child.exitCode() == 0, out.constData());
        QVERIFY2(out.contains("Totals: 7 passed, 0 failed"), out.constData());
    }

    // Another program holding the file at start: waited for, then retried by the next
    // writes until it lets go.
    void lockHeldAtStart() {
        TTestEnvironment env;
        QVERIFY(writeOne(QStringLiteral("before")));
        TRegistryStore::instance().close();
        QProcess holder;
        holder.start(QStringLiteral(REGISTRY_WRITER), {env.storeFile(), QStringLiteral("hold")});
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readAllStandardOutput().trimmed(), QByteArray("held"));
        TRegistryStore::instance().setFileName(env.storeFile());

        TRegistry reg;
        QVERIFY(!reg.OpenKeyReadOnly(QStringLiteral("K")));
        const QString notice = TRegistryStore::instance().takeNotice();
        QVERIFY2(notice.contains(env.storeFile()), qPrintable(notice));
        QVERIFY2(notice.contains(QStringLiteral("database is locked")), qPrintable(notice));
        TFailureLog log;
        QVERIFY(!writeOne(QStringLiteral("while held")));
        QVERIFY(!writeOne(QStringLiteral("still held")));
        QCOMPARE(log.reports.size(), 1);

        holder.write("go\n");
        QVERIFY(holder.waitForFinished(10000));
        QTRY_VERIFY_WITH_TIMEOUT(writeOne(QStringLiteral("after")), 10000);
        QVERIFY(reg.OpenKeyReadOnly(QStringLiteral("K")));
        QCOMPARE(reg.ReadString(QStringLiteral("v")), std::optional<QString>("after"));
        QCOMPARE(log.reports.size(), 1);
        QVERIFY(TRegistryStore::instance().takeNotice().isEmpty());
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
            QThread::msleep(20);  // as often as the second process writes
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
