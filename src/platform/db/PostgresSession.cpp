// The server session's side of TPostgresProvider: what the server says unasked (other
// sessions' changes, the end of the session) and what the user's role may do.
#include "platform/db/PostgresProvider.h"

#include <libpq-fe.h>
#include <poll.h>

bool TPostgresProvider::mayChange(const QString& table) {
    // Names are matched as the translator matches them, letters of any case.
    PGresult* r =
        run(QStringLiteral("SELECT bool_and(has_table_privilege(c.oid, 'INSERT') AND"
                           " has_table_privilege(c.oid, 'UPDATE') AND"
                           " has_table_privilege(c.oid, 'DELETE'))"
                           " FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace"
                           " WHERE n.nspname = ANY (current_schemas(false))"
                           " AND lower(c.relname) = lower($1)"),
            {table});
    const bool may = PQgetisnull(r, 0, 0) || qstrcmp(PQgetvalue(r, 0, 0), "f") != 0;
    PQclear(r);
    return may;
}

std::optional<qint64> TPostgresProvider::changeStamp() {
    if (!m_conn) {
        return std::nullopt;
    }
    poll();
    return m_changesElsewhere;
}

int TPostgresProvider::notificationSocket() const {
    return m_conn ? PQsocket(m_conn) : -1;
}

void TPostgresProvider::poll() {
    // Inside a wait the call's own reading takes in whatever comes.
    if (!m_conn || m_waiting > 0 || PQstatus(m_conn) != CONNECTION_OK) {
        return;
    }
    // Reading the end of the session (a server shut down, a session ended from outside)
    // leaves the connection's status bad, which lost() reports. The server's farewell
    // message and the end of the stream may take more than one read.
    for (int reads = 0; reads < 8; ++reads) {
        if (!PQconsumeInput(m_conn) || PQstatus(m_conn) != CONNECTION_OK) {
            break;
        }
        pollfd socket{PQsocket(m_conn), POLLIN, 0};
        if (::poll(&socket, 1, 0) <= 0) {
            break;
        }
    }
    if (PQstatus(m_conn) != CONNECTION_OK) {
        return;
    }
    const int own = PQbackendPID(m_conn);
    while (PGnotify* notice = PQnotifies(m_conn)) {
        if (notice->be_pid != own) {
            ++m_changesElsewhere;
            m_heard.Heard(m_changesElsewhere, QString::fromUtf8(notice->extra));
        }
        PQfreemem(notice);
    }
}
