#include "platform/db/PostgresWait.h"

#include "platform/db/DbProvider.h"
#include "platform/db/ServerWait.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <libpq-fe.h>
#include <poll.h>

#include <thread>
#include <utility>

namespace {

// How often a waiting call lets the window paint: a turn of the event loop at least every
// 20 ms keeps it answering well within what a user notices.
constexpr int kSliceMs = 20;
// How long a server has to answer a cancel request before the session is given up.
constexpr int kCancelGraceMs = 3000;

// Tells the installed wait that a call it was told of has ended, on every path out.
class TWaitTurns final {
public:
    explicit TWaitTurns(QString server) : m_wait(ServerWait()), m_server(std::move(server)) {
        m_clock.start();
    }
    ~TWaitTurns() {
        if (m_told) {
            m_wait->Finished();
        }
    }
    TWaitTurns(const TWaitTurns&) = delete;
    TWaitTurns& operator=(const TWaitTurns&) = delete;

    qint64 elapsed() const { return m_clock.elapsed(); }
    // How long the server has to answer a cancel request before the call is given up.
    int cancelGraceMs() const { return m_wait && m_wait->Background() ? 0 : kCancelGraceMs; }
    // One more turn of the window; true once the user has given up.
    bool gaveUp() {
        if (!m_wait) {
            return false;
        }
        m_told = true;
        return m_wait->Waiting(m_server, m_clock.elapsed());
    }

private:
    TServerWait* m_wait;
    QString m_server;
    QElapsedTimer m_clock;
    bool m_told = false;
};

// Waits up to one slice for the socket to become ready for events.
void pollSocket(int socket, short events) {
    pollfd s{socket, events, 0};
    ::poll(&s, 1, kSliceMs);
}

// libpq's cancel request opens a connection of its own and waits for the server to close
// it, which a server that has stopped never does: it is sent from a thread of its own that
// owns everything it touches, so the window never waits for it.
void sendCancel(PGconn* conn) {
    PGcancel* cancel = PQgetCancel(conn);
    if (!cancel) {
        return;
    }
    std::thread([cancel]() {
        char error[256];
        PQcancel(cancel, error, sizeof error);
        PQfreeCancel(cancel);
    }).detach();
}

// Closes a connection that never got opened, on every path out.
struct TUnopened {
    PGconn* conn;
    ~TUnopened() {
        if (conn) {
            PQfinish(conn);
        }
    }
};

}  // namespace

PGconn* ConnectToServer(const TPgOptions& options, const QString& server, int limitMs) {
    std::vector<const char*> keywords;
    std::vector<const char*> values;
    for (const auto& option : options) {
        keywords.push_back(option.first.constData());
        values.push_back(option.second.constData());
    }
    keywords.push_back(nullptr);
    values.push_back(nullptr);
    TUnopened conn{PQconnectStartParams(keywords.data(), values.data(), 0)};
    const auto failed = [&server](const QString& reason) {
        return EDatabaseError(QCoreApplication::translate(
                                  "TPostgresProvider", "Не удалось подключиться к серверу %1.\n%2")
                                  .arg(server, reason.trimmed()));
    };
    if (!conn.conn) {
        throw failed(QCoreApplication::translate("TPostgresProvider", "Недостаточно памяти."));
    }
    TWaitTurns turns(server);
    // PQconnectPoll is called first as though the socket were ready for writing, then each
    // time it is ready for what the last call asked (libpq's non-blocking connection).
    PostgresPollingStatusType status = PGRES_POLLING_WRITING;
    bool ready = true;
    for (;;) {
        if (PQstatus(conn.conn) == CONNECTION_BAD) {
            throw failed(QString::fromUtf8(PQerrorMessage(conn.conn)));
        }
        if (ready) {
            status = PQconnectPoll(conn.conn);
        }
        if (status == PGRES_POLLING_OK) {
            return std::exchange(conn.conn, nullptr);
        }
        if (status == PGRES_POLLING_FAILED) {
            throw failed(QString::fromUtf8(PQerrorMessage(conn.conn)));
        }
        pollfd s{PQsocket(conn.conn),
                 static_cast<short>(status == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
        ready = ::poll(&s, 1, kSliceMs) > 0;
        if (turns.gaveUp()) {
            throw EDatabaseError(QCoreApplication::translate("TPostgresProvider",
                                                             "Подключение к серверу %1 отменено.")
                                     .arg(server));
        }
        if (limitMs > 0 && turns.elapsed() >= limitMs) {
            throw failed(
                QCoreApplication::translate("TPostgresProvider", "Сервер не ответил за %1 с.")
                    .arg((limitMs + 999) / 1000));
        }
    }
}

TPgWaitEnd AwaitServer(PGconn* conn, const QString& server, int limitMs) {
    // What is already read is looked at first: reading the socket moves the unread rest of
    // libpq's buffer each time, which row by row would cost the square of a large result.
    if (!PQisBusy(conn) || !PQconsumeInput(conn) || !PQisBusy(conn)) {
        return TPgWaitEnd::Answered;
    }
    TWaitTurns turns(server);
    qint64 cancelledAt = -1;
    bool gaveUp = false;
    for (;;) {
        pollSocket(PQsocket(conn), POLLIN);
        // A session that ended reads as bad, and its error result is ready at once.
        if (!PQconsumeInput(conn) || !PQisBusy(conn)) {
            return gaveUp ? TPgWaitEnd::AnsweredGivenUp : TPgWaitEnd::Answered;
        }
        if (turns.gaveUp() && cancelledAt < 0) {
            gaveUp = true;
            sendCancel(conn);
            cancelledAt = turns.elapsed();
        }
        const qint64 elapsed = turns.elapsed();
        if (limitMs > 0 && elapsed >= limitMs && cancelledAt < 0) {
            sendCancel(conn);
            cancelledAt = elapsed;
        }
        if (cancelledAt >= 0 && elapsed - cancelledAt >= turns.cancelGraceMs()) {
            return gaveUp ? TPgWaitEnd::GaveUp : TPgWaitEnd::TimedOut;
        }
    }
}
