#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"
#include "platform/registry/Registry.h"
#include "support/TestCatalogue.h"
#include "support/TestEnvironment.h"

#include <QtTest>

#include <sys/resource.h>
#include <csignal>

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

QTEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"
