#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QFile>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <memory>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>

// Each copy of the probe is its own program: the rule holds per executable path.
class TestSingleInstance final : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString copyProbe(const QString& folder) {
        QDir().mkpath(dir.filePath(folder));
        const QString target = dir.filePath(folder + "/instance_probe");
        QFile::remove(target);
        if (!QFile::copy(QStringLiteral(INSTANCE_PROBE), target)) {
            qFatal("cannot copy the probe");
        }
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return target;
    }

    // Waits until the process has printed the word (or ended); output read is kept.
    static bool waitForOutput(QProcess& p, const QByteArray& word) {
        QByteArray& seen = output()[&p];
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 10000) {
            seen += p.readAllStandardOutput();
            if (seen.contains(word)) {
                return true;
            }
            if (p.state() == QProcess::NotRunning) {
                return false;
            }
            p.waitForReadyRead(100);
        }
        return false;
    }
    static QHash<QProcess*, QByteArray>& output() {
        static QHash<QProcess*, QByteArray> o;
        return o;
    }
    static void startAndWaitFor(QProcess& p, const QString& exe, const QByteArray& word) {
        output().remove(&p);
        p.start(exe, {"20000"});
        QVERIFY(p.waitForStarted());
        QVERIFY(waitForOutput(p, word));
    }

    // A runtime folder of its own, as a separate login has.
    QString runtimeFolder(const QString& name) {
        const QString folder = dir.filePath(name);
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return folder;
    }
    static QProcessEnvironment withRuntime(const QString& folder) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder);
        return env;
    }
    // The instance the probe at exe makes in that runtime folder, for its file names.
    static std::unique_ptr<TSingleInstance> instanceIn(const QString& folder, const QString& exe) {
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder));
        auto instance = std::make_unique<TSingleInstance>(exe);
        qputenv("XDG_RUNTIME_DIR", saved);
        return instance;
    }
    // A later start in that runtime folder: it must end at once with "second", code 0.
    static void expectSecond(const QString& exe, const QString& folder) {
        QProcess later;
        later.setProcessEnvironment(withRuntime(folder));
        later.start(exe, {"1000"});
        QVERIFY(later.waitForFinished(40000));
        QCOMPARE(later.exitStatus(), QProcess::NormalExit);
        QCOMPARE(later.exitCode(), 0);
        QCOMPARE(later.readAllStandardOutput().trimmed(), QByteArray("second"));
    }
    static int count(const QByteArray& text, const QByteArray& word) {
        return static_cast<int>(text.split('\n').count(word));
    }

private Q_SLOTS:
    void secondCopyActivatesFirstAndExits() {
        const QString exe = copyProbe("a");
        QProcess first;
        startAndWaitFor(first, exe, "first");
        QCOMPARE(first.state(), QProcess::Running);
        QProcess second;
        second.start(exe, {"20000"});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(second.readAllStandardOutput().trimmed(), QByteArray("second"));
        QVERIFY(waitForOutput(first, "activated"));
        first.kill();
        first.waitForFinished();
    }

    // A later start hands its request to the running copy exactly, whatever it holds; one
    // that is not a single line never leaves the later start.
    void laterStartHandsItsRequestOver_data() {
        QTest::addColumn<QString>("request");
        QTest::addColumn<bool>("delivered");
        QTest::newRow("link") << "linkarium:add?url=e.org&title=%D0%96" << true;
        QTest::newRow("any text") << QString::fromUtf8("Жёлтый 𝄞 & <b> \t \"q\"") << true;
        QTest::newRow("200 KB") << QString(200 * 1024, 'a') << true;
        QTest::newRow("line break") << "a\nactivate" << false;
        QTest::newRow("past the limit") << QString(256 * 1024, 'a') << false;
    }
    void laterStartHandsItsRequestOver() {
        QFETCH(QString, request);
        QFETCH(bool, delivered);
        const QString exe = copyProbe("request");
        QProcess first;
        startAndWaitFor(first, exe, "first");
        QProcess later;
        QFile file(dir.filePath("request.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(request.toUtf8());
        file.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LINKARIUM_PROBE_REQUEST", file.fileName());
        later.setProcessEnvironment(env);
        later.start(exe, {"1000"});
        QVERIFY(later.waitForFinished(20000));
        QCOMPARE(later.exitCode(), delivered ? 0 : 1);
        if (delivered) {
            const QByteArray hash =
                QCryptographicHash::hash(request.toUtf8(), QCryptographicHash::Sha256);
            QVERIFY(waitForOutput(first, "request " + hash.toHex() + "\n"));
            QCOMPARE(count(output()[&first], "activated"), 1);
        } else {
            QVERIFY(later.readAllStandardError().contains("not one line"));
            QTest::qWait(200);
            QVERIFY(!output()[&first].contains("request"));
        }
        first.kill();
        first.waitForFinished();
    }

    // A client that sends more than a request may hold without ending its line is cut off;
    // the running copy still answers the next start.
    void endlessClientIsCutOff() {
        const QString exe = copyProbe("endless");
        QProcess first;
        startAndWaitFor(first, exe, "first");
        const TSingleInstance names(exe);  // never started: for its socket's name
        QLocalSocket client;
        client.connectToServer(names.SocketName());
        QVERIFY(client.waitForConnected(2000));
        const QByteArray chunk = "request " + QByteArray(64 * 1024, 'x');
        bool cut = false;
        for (int i = 0; i < 64 && !cut; ++i) {
            client.write(chunk);
            client.waitForBytesWritten(1000);
            cut = client.state() != QLocalSocket::ConnectedState || client.waitForDisconnected(50);
        }
        QVERIFY(cut);
        QVERIFY(!output()[&first].contains("request"));
        QProcess second;
        second.start(exe, {"1000"});
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(waitForOutput(first, "activated"));
        first.kill();
        first.waitForFinished();
    }

    void copyInAnotherFolderRunsOnItsOwn() {
        const QString a = copyProbe("one");
        const QString b = copyProbe("two");
        QProcess first;
        startAndWaitFor(first, a, "first");
        QProcess other;
        startAndWaitFor(other, b, "first");
        QCOMPARE(other.state(), QProcess::Running);
        first.kill();
        other.kill();
        first.waitForFinished();
        other.waitForFinished();
    }

    void killedCopyDoesNotBlock() {
        const QString exe = copyProbe("killed");
        QProcess first;
        startAndWaitFor(first, exe, "first");
        ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
        QVERIFY(first.waitForFinished());
        QProcess next;
        startAndWaitFor(next, exe, "first");
        QCOMPARE(next.state(), QProcess::Running);
        next.kill();
        next.waitForFinished();
    }

    void copyThatEndedNormallyLeavesRoom() {
        const QString exe = copyProbe("ended");
        QProcess first;
        first.start(exe, {"10"});
        QVERIFY(first.waitForFinished(10000));
        QVERIFY(first.readAllStandardOutput().contains("first"));
        QProcess next;
        startAndWaitFor(next, exe, "first");
        QCOMPARE(next.state(), QProcess::Running);
        next.kill();
        next.waitForFinished();
    }

    // A burst of starts: one copy runs, every other exits 0 after its activation arrived.
    void burstOfStartsLeavesOneCopy() {
        const QString exe = copyProbe("burst");
        const QProcessEnvironment env = withRuntime(runtimeFolder("burst-run"));
        const int starts = 100;
        std::vector<std::unique_ptr<QProcess>> procs;
        for (int i = 0; i < starts; ++i) {
            procs.push_back(std::make_unique<QProcess>());
            procs.back()->setProcessEnvironment(env);
            procs.back()->start(exe, {"120000"});
        }
        for (auto& p : procs) {
            QVERIFY(p->waitForStarted());
        }
        // Every start but one ends; the one left is the running copy.
        const auto ended = [&procs]() {
            return static_cast<int>(std::count_if(procs.begin(), procs.end(), [](const auto& p) {
                return p->state() == QProcess::NotRunning;
            }));
        };
        QTRY_COMPARE_WITH_TIMEOUT(ended(), starts - 1, 100000);
        QProcess* primary = nullptr;
        for (auto& p : procs) {
            const QByteArray out = p->readAllStandardOutput();
            if (p->state() == QProcess::Running) {
                QVERIFY(!primary);
                primary = p.get();
                output()[primary] = out;
                QVERIFY(out.startsWith("first\n"));
            } else {
                QCOMPARE(p->exitStatus(), QProcess::NormalExit);
                QCOMPARE(p->exitCode(), 0);
                QCOMPARE(out, QByteArray("second\n"));
            }
        }
        QVERIFY(primary);
        QTRY_COMPARE_WITH_TIMEOUT(
            count(output()[primary] += primary->readAllStandardOutput(), "activated"), starts - 1,
            10000);
        primary->kill();
        primary->waitForFinished();
    }

    // Idle clients neither use up the running copy's descriptors nor stop its server.
    void idleClientsAreClosed() {
        const QString folder = runtimeFolder("idle-run");
        const QString exe = copyProbe("idle");
        QProcess first;
        first.setProcessEnvironment(withRuntime(folder));
        output().remove(&first);
        first.start(exe, {"60000", "128"});
        QVERIFY(waitForOutput(first, "first"));
        const QString socketName = instanceIn(folder, exe)->SocketName();

        QLocalSocket quiet;
        quiet.connectToServer(socketName);
        QVERIFY(quiet.waitForConnected(2000));
        QTRY_COMPARE_WITH_TIMEOUT(quiet.state(), QLocalSocket::UnconnectedState, 5000);

        rlimit limit{};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        const rlim_t wanted = 1200;
        if (limit.rlim_cur < wanted && limit.rlim_max >= wanted) {
            limit.rlim_cur = wanted;
            ::setrlimit(RLIMIT_NOFILE, &limit);
        }
        const int flood = static_cast<int>(qMin<rlim_t>(limit.rlim_cur - 64, 1065));
        std::vector<std::unique_ptr<QLocalSocket>> idle;
        for (int i = 0; i < flood; ++i) {
            idle.push_back(std::make_unique<QLocalSocket>());
            idle.back()->connectToServer(socketName);
            idle.back()->waitForConnected(200);
        }
        expectSecond(exe, folder);
        QVERIFY(waitForOutput(first, "activated"));
        idle.clear();
        // Still listening once the flood is over.
        expectSecond(exe, folder);
        first.kill();
        first.waitForFinished();
    }

    // Lock, list and socket live in the runtime folder: two logins never meet; a folder
    // too long for a socket name still works through the short hashed name.
    void runtimeFoldersAreSeparate_data() {
        QTest::addColumn<QString>("folderName");
        QTest::newRow("short") << "login";
        QTest::newRow("too long for a socket") << QString(96, QLatin1Char('r'));
    }
    void runtimeFoldersAreSeparate() {
        QFETCH(QString, folderName);
        const QString exe = copyProbe("logins-" + QString::number(folderName.size()));
        const QString a = runtimeFolder(folderName + "-a");
        const QString b = runtimeFolder(folderName + "-b");
        QProcess inA;
        inA.setProcessEnvironment(withRuntime(a));
        output().remove(&inA);
        inA.start(exe, {"30000"});
        QVERIFY(waitForOutput(inA, "first"));
        QProcess inB;
        inB.setProcessEnvironment(withRuntime(b));
        output().remove(&inB);
        inB.start(exe, {"30000"});
        QVERIFY(waitForOutput(inB, "first"));
        for (const QString& folder : {a, b}) {
            const auto names = instanceIn(folder, exe);
            QVERIFY(QFileInfo(names->LockFileName()).absolutePath() == folder);
            QVERIFY(QFileInfo::exists(names->ListFileName()));
            if (folderName.size() < 20) {
                QCOMPARE(QFileInfo(names->SocketName()).absolutePath(), folder);
            }
            QVERIFY(QFileInfo::exists(names->SocketName()));
        }
        QVERIFY(instanceIn(a, exe)->SocketName() != instanceIn(b, exe)->SocketName());

        expectSecond(exe, b);
        QVERIFY(waitForOutput(inB, "activated"));
        QVERIFY(!(output()[&inA] += inA.readAllStandardOutput()).contains("activated"));
        QCOMPARE(inA.state(), QProcess::Running);
        inA.kill();
        inB.kill();
        inA.waitForFinished();
        inB.waitForFinished();
    }

    // Whatever lies where the process list should be, the start neither blocks nor
    // believes it: the list is rebuilt.
    void damagedProcessListIsRebuilt_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("garbage") << "garbage";
        QTest::newRow("foreign process") << "foreign";
        QTest::newRow("huge count") << "count";
        QTest::newRow("fifo") << "fifo";
        QTest::newRow("dangling link") << "link";
    }
    void damagedProcessListIsRebuilt() {
        QFETCH(QString, kind);
        const QString folder = runtimeFolder("list-" + kind);
        const QString exe = copyProbe("list-" + kind);
        const QString list = instanceIn(folder, exe)->ListFileName();
        const QByteArray path = QFile::encodeName(list);
        if (kind == "fifo") {
            QCOMPARE(::mkfifo(path.constData(), 0600), 0);
        } else if (kind == "link") {
            QVERIFY(QFile::link(dir.filePath("nowhere/at/all"), list));
        } else {
            QFile f(list);
            QVERIFY(f.open(QIODevice::WriteOnly));
            if (kind == "garbage") {
                f.write(
                    QByteArray("\x01\xff"
                               "1\nnot a pid\n\0\0",
                               17));
            } else if (kind == "foreign") {
                f.write("1\n1\n" + QByteArray::number(QCoreApplication::applicationPid()) + "\n");
            } else {
                f.write("999999\n");
            }
        }
        QProcess first;
        first.setProcessEnvironment(withRuntime(folder));
        output().remove(&first);
        first.start(exe, {"30000"});
        QVERIFY(waitForOutput(first, "first"));
        QFileInfo info(list);
        QVERIFY(info.isFile() && !info.isSymLink());
        QFile f(list);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), "1\n" + QByteArray::number(first.processId()) + "\n");
        expectSecond(exe, folder);
        first.kill();
        first.waitForFinished();
    }

    // The list damaged, emptied or removed while a copy runs: a later start still finds
    // that copy by its socket and activates it, never taking the socket over.
    void listDamagedWhileRunning_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("random bytes") << "garbage";
        QTest::newRow("fifo") << "fifo";
        QTest::newRow("emptied") << "empty";
        QTest::newRow("removed") << "removed";
        QTest::newRow("only the count") << "count only";
    }
    void listDamagedWhileRunning() {
        QFETCH(QString, kind);
        const QString folder = runtimeFolder("running-" + kind);
        const QString exe = copyProbe("running-" + kind);
        const QString list = instanceIn(folder, exe)->ListFileName();
        QProcess first;
        first.setProcessEnvironment(withRuntime(folder));
        output().remove(&first);
        first.start(exe, {"30000"});
        QVERIFY(waitForOutput(first, "first"));
        QVERIFY(QFile::remove(list));
        if (kind == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(list).constData(), 0600), 0);
        } else if (kind == "empty" || kind == "count only") {
            QFile f(list);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(kind == "empty" ? QByteArray() : QByteArray("1\n"));
        } else if (kind == "garbage") {
            QFile f(list);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray("\x8f\x02\xffrandom\n\x00", 12));
        }
        expectSecond(exe, folder);
        QVERIFY(waitForOutput(first, "activated"));
        expectSecond(exe, folder);
        first.kill();
        first.waitForFinished();
    }

    // A runtime folder whose name is not UTF-8: no folder with U+FFFD in its name is made
    // in its place, and copies still find each other.
    void unreadableRuntimeFolder() {
        const QString parent = runtimeFolder("unreadable-runtime");
        const QString exe = copyProbe("unreadable-runtime-probe");
        const bool wasSet = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(parent) + "/run\x80");
        QProcess first;
        output().remove(&first);
        first.start(exe, {"20000"});
        const bool started = waitForOutput(first, "first");
        QProcess later;
        later.start(exe, {"1000"});
        const bool ended = later.waitForFinished(40000);
        if (wasSet) {
            qputenv("XDG_RUNTIME_DIR", saved);
        } else {
            qunsetenv("XDG_RUNTIME_DIR");
        }
        QVERIFY(started);
        QVERIFY(ended);
        QCOMPARE(later.readAllStandardOutput().trimmed(), QByteArray("second"));
        QCOMPARE(QDir(parent).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
        first.kill();
        first.waitForFinished();
    }

    // A lock nobody lets go of ends the start with a message and code 1, never a copy
    // that runs unguarded.
    void heldLockEndsTheStart() {
        const QString folder = runtimeFolder("held");
        const QString exe = copyProbe("held");
        QLockFile lock(instanceIn(folder, exe)->LockFileName());
        QVERIFY(lock.tryLock(0));
        QProcess blocked;
        blocked.setProcessEnvironment(withRuntime(folder));
        blocked.start(exe, {"1000", "1024", "1500"});
        QVERIFY(blocked.waitForFinished(20000));
        QCOMPARE(blocked.exitCode(), 1);
        QCOMPARE(blocked.readAllStandardOutput().trimmed(), QByteArray("failed"));
        QVERIFY(blocked.readAllStandardError().contains(QFile::encodeName(lock.fileName())));
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
