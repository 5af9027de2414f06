#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

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
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
