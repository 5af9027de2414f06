#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/PostgresProvider.h"
#include "platform/db/ServerWait.h"
#include "support/TestCatalogue.h"

#include <QElapsedTimer>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <string>
#include <thread>

namespace {

// A relay between the program and the server, on a port of its own. Once told to hold,
// a session it opens from then on gets through its opening (the server's greeting and the
// password) and then nothing the program sends reaches the server: a server that lets
// the program in and then stops answering.
class TRelay final {
public:
    TRelay(const QString& host, int port) {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_listener, 8);
        socklen_t size = sizeof a;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&a), &size);
        m_port = ntohs(a.sin_port);
        m_server.sin_family = AF_INET;
        m_server.sin_port = htons(static_cast<uint16_t>(port));
        ::inet_pton(AF_INET, host.toLatin1().constData(), &m_server.sin_addr);
        m_thread = std::thread([this]() { run(); });
    }
    ~TRelay() {
        m_stop = true;
        m_thread.join();
        ::close(m_listener);
    }
    int Port() const { return m_port; }
    void Hold() { m_hold = true; }

private:
    struct TPair {
        int client;
        int server;
        bool hold;
        bool started = false;  // past the untyped opening message
        std::string pending;   // from the client, not yet whole messages
    };

    // Passes on the client's whole messages, up to the first command of a held session.
    static bool passOn(TPair& p) {
        for (;;) {
            const std::size_t header = p.started ? 5 : 4;
            if (p.pending.size() < header) {
                return true;
            }
            uint32_t length = 0;
            std::memcpy(&length, p.pending.data() + header - 4, 4);
            const std::size_t whole = header - 4 + ntohl(length);
            if (p.pending.size() < whole) {
                return true;
            }
            if (p.hold && p.started && p.pending[0] != 'p') {
                return true;  // held here, for good
            }
            if (::send(p.server, p.pending.data(), whole, MSG_NOSIGNAL) < 0) {
                return false;
            }
            p.pending.erase(0, whole);
            p.started = true;
        }
    }

    void run() {
        std::vector<TPair> pairs;
        char buffer[65536];
        while (!m_stop) {
            std::vector<pollfd> fds{{m_listener, POLLIN, 0}};
            for (const TPair& p : pairs) {
                fds.push_back({p.client, POLLIN, 0});
                fds.push_back({p.server, POLLIN, 0});
            }
            if (::poll(fds.data(), fds.size(), 20) <= 0) {
                continue;
            }
            if (fds[0].revents & POLLIN) {
                const int client = ::accept(m_listener, nullptr, nullptr);
                const int server = ::socket(AF_INET, SOCK_STREAM, 0);
                if (::connect(server, reinterpret_cast<sockaddr*>(&m_server), sizeof m_server) ==
                    0) {
                    pairs.push_back({client, server, m_hold.load(), false, {}});
                } else {
                    ::close(client);
                    ::close(server);
                }
                continue;
            }
            for (std::size_t i = 0; i < pairs.size(); ++i) {
                TPair& p = pairs[i];
                bool ended = false;
                if (fds[1 + 2 * i].revents & (POLLIN | POLLHUP | POLLERR)) {
                    const ssize_t n = ::recv(p.client, buffer, sizeof buffer, 0);
                    ended = n <= 0;
                    if (n > 0) {
                        p.pending.append(buffer, static_cast<std::size_t>(n));
                        ended = !passOn(p);
                    }
                }
                if (!ended && (fds[2 + 2 * i].revents & (POLLIN | POLLHUP | POLLERR))) {
                    const ssize_t n = ::recv(p.server, buffer, sizeof buffer, 0);
                    ended = n <= 0 ||
                            ::send(p.client, buffer, static_cast<std::size_t>(n), MSG_NOSIGNAL) < 0;
                }
                if (ended) {
                    ::close(p.client);
                    ::close(p.server);
                    pairs.erase(pairs.begin() + static_cast<std::ptrdiff_t>(i));
                    break;
                }
            }
        }
        for (const TPair& p : pairs) {
            ::close(p.client);
            ::close(p.server);
        }
    }

    int m_listener = -1;
    int m_port = 0;
    sockaddr_in m_server{};
    std::atomic<bool> m_hold{false};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

}  // namespace

// The session opened again in the background after the server ended it: work the user did
// not ask for, which holds the program's input off while it waits, so it gives up within
// a moment whatever the server does.
class TestBackgroundReopen final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { LINKARIUM_REQUIRE_ENGINE(); }

    // The server lets the reopening session in and then says nothing more.
    void silentAfterLettingIn() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        TConnectionString cs(qEnvironmentVariable("LINKARIUM_TEST_PG"));
        QString host;
        int port = -1;
        QVERIFY(SplitServerAddress(cs.value("Data Source"), host, port));
        TRelay relay(host, port);
        cs.setValue("Data Source", QString("127.0.0.1:%1").arg(relay.Port()));
        cs.setValue("SSL Mode", "disable");
        cs.remove("SSL Root Cert");
        // The server's own limit for a command: the background has a shorter one.
        cs.setValue("Command Timeout", "5");
        TConnection c;
        c.SetConnectionString(cs.toString());
        c.Open();
        QSignalSpy link(&c, &TConnection::LinkChanged);
        // A timer's turns: timers wait while a server call does.
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0;
        qint64 worst = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, [&]() {
            worst = std::max(worst, clock.elapsed() - last);
            last = clock.elapsed();
        });
        tick.start(20);
        relay.Hold();
        const int pid = static_cast<TPostgresProvider&>(c.Provider()).backendPid();
        QCOMPARE(::kill(pid, SIGTERM), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!link.isEmpty(), 10000);
        // The first reopening, given the time to give up.
        QTest::qWait(6000);
        QTest::qWait(100);
        QVERIFY2(worst < 4000,
                 qPrintable(QString("the program waited %1 ms in the background").arg(worst)));
    }

    // The server goes on letting each reopening session in and then saying nothing: the
    // reopenings repeat, further and further apart, and all of them together keep the
    // program's input off for a few seconds at most over half a minute.
    void silentServerRepeatedly() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        TConnectionString cs(qEnvironmentVariable("LINKARIUM_TEST_PG"));
        QString host;
        int port = -1;
        QVERIFY(SplitServerAddress(cs.value("Data Source"), host, port));
        TRelay relay(host, port);
        cs.setValue("Data Source", QString("127.0.0.1:%1").arg(relay.Port()));
        cs.setValue("SSL Mode", "disable");
        cs.remove("SSL Root Cert");
        TConnection c;
        c.SetConnectionString(cs.toString());
        c.Open();
        QSignalSpy link(&c, &TConnection::LinkChanged);
        QElapsedTimer clock;
        qint64 last = 0;
        qint64 held = 0;
        int stalls = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, [&]() {
            const qint64 gap = clock.elapsed() - last;
            last = clock.elapsed();
            if (gap > 200) {
                held += gap;
                ++stalls;
            }
        });
        relay.Hold();
        const int pid = static_cast<TPostgresProvider&>(c.Provider()).backendPid();
        QCOMPARE(::kill(pid, SIGTERM), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!link.isEmpty(), 10000);
        clock.start();
        tick.start(20);
        QTest::qWait(30000);
        QVERIFY2(
            held <= 5000,
            qPrintable(QString("input held %1 ms in %2 stalls over 30 s").arg(held).arg(stalls)));
    }

    // Once the session is open again the views read their rows anew, for the user, who
    // sees that they wait and may give up a read that takes long, as at any other time.
    void readsAfterReopeningShowTheWait() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        TConnection c;
        c.SetConnectionString(qEnvironmentVariable("LINKARIUM_TEST_PG"));
        c.Open();
        // A window that tells whether the installed wait is the one with a window.
        struct TSeen final : public TServerWait {
            bool waited = false;
            bool Waiting(const QString&, qint64) override {
                waited = true;
                return false;
            }
            void Finished() override {}
        } seen;
        SetServerWait(&seen);
        bool read = false;
        connect(&c, &TConnection::ChangedElsewhere, this, [&]() {
            // A view's reading of its rows, long enough to wait.
            c.Value("SELECT pg_sleep(0.3)");
            read = true;
        });
        seen.waited = false;
        const int pid = static_cast<TPostgresProvider&>(c.Provider()).backendPid();
        QCOMPARE(::kill(pid, SIGTERM), 0);
        QTRY_VERIFY_WITH_TIMEOUT(read, 15000);
        SetServerWait(nullptr);
        QVERIFY2(seen.waited, "the view's reading waited without the program's waiting window");
    }
};

QTEST_MAIN(TestBackgroundReopen)
#include "tst_backgroundreopen.moc"
