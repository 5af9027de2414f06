#include "platform/db/PostgresProvider.h"

#include "platform/db/PostgresCursor.h"
#include "platform/db/PostgresOptions.h"
#include "platform/db/RowStore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QRegularExpression>
#include <QScopeGuard>

#include <libpq-fe.h>
#include <poll.h>
#include <sys/socket.h>

#include <cstdlib>
#include <utility>
#include <vector>

namespace {

constexpr int kMinimumServer = 130000;  // gen_random_uuid() and trusted extensions
constexpr int kConnectTimeoutSeconds = 10;
constexpr int kServerFirstMs = 2000;
constexpr int kLockTimeoutMs = 5000;

// A limit in whole seconds from the connection string, fallback when unset; anything but
// a number from 1 to a day is refused rather than quietly replaced.
int secondsSetting(const TConnectionString& connection, const QString& name, int fallback) {
    const QString text = connection.value(name).trimmed();
    if (text.isEmpty()) {
        return fallback;
    }
    bool number = false;
    const int seconds = text.toInt(&number);
    if (!number || seconds < 1 || seconds > 24 * 3600) {
        throw EDatabaseError(
            QCoreApplication::translate("TPostgresProvider",
                                        "Неверное время ожидания «%1» в строке подключения: нужно "
                                        "число секунд от 1 до 86400.")
                .arg(name + QLatin1Char('=') + text));
    }
    return seconds;
}

// The channel every program on the catalogue listens on and announces its writes to.
QString changesChannel() {
    return QStringLiteral("linkarium_changes");
}

}  // namespace

TPostgresProvider::TPostgresProvider() = default;

TPostgresProvider::~TPostgresProvider() {
    close();
}

void TPostgresProvider::open(const TConnectionString& connection) {
    close();
    m_tlsMode = PostgresTlsMode(connection);
    const QString source = connection.value(QStringLiteral("Data Source")).trimmed();
    // A service (the connection string's "Service", else PGSERVICE) may name the server,
    // the database, the user and the password in the service file instead.
    const QString service = connection.value(QStringLiteral("Service")).trimmed();
    const bool serviceNamed = !service.isEmpty() || !qEnvironmentVariableIsEmpty("PGSERVICE");
    if (source.isEmpty() && !serviceNamed) {
        throw EDatabaseError(tr("Не указан сервер базы данных."));
    }
    QString host;
    int port = -1;
    if (!source.isEmpty() && !SplitServerAddress(source, host, port)) {
        throw EDatabaseError(
            tr("Неверный порт сервера: %1").arg(source.section(QLatin1Char(':'), -1)));
    }
    m_server = !source.isEmpty()    ? source
               : !service.isEmpty() ? service
                                    : qEnvironmentVariable("PGSERVICE");
    m_commandLimitMs =
        secondsSetting(connection, QStringLiteral("Command Timeout"), kDefaultCommandTimeout) *
        1000;
    // Keep-alive probes after 10 s of silence, 3 of them 5 s apart, notice a server that
    // has gone from the network while the program only listens; a write the peer never
    // acknowledges ends the session after the command's limit.
    TPgOptions options = {
        {"host", host.toUtf8()},
        {"port", port > 0 ? QByteArray::number(port) : QByteArray()},
        {"dbname", connection.value(QStringLiteral("Initial Catalog")).trimmed().toUtf8()},
        {"user", connection.value(QStringLiteral("User ID")).toUtf8()},
        {"password", connection.value(QStringLiteral("Password")).toUtf8()},
        {"service", service.toUtf8()},
        {"application_name", "Linkarium"},
        {"client_encoding", "UTF8"},
        {"keepalives", "1"},
        {"keepalives_idle", "10"},
        {"keepalives_interval", "5"},
        {"keepalives_count", "3"},
        {"tcp_user_timeout", QByteArray::number(m_commandLimitMs)}};
    AddPostgresTlsOptions(connection, m_tlsMode, options);
    m_conn = ConnectToServer(
        options, m_server,
        secondsSetting(connection, QStringLiteral("Connect Timeout"), kConnectTimeoutSeconds) *
            1000);
    if (PQserverVersion(m_conn) < kMinimumServer) {
        const QString version = QString::number(PQserverVersion(m_conn) / 10000);
        close();
        throw EDatabaseError(
            tr("Сервер PostgreSQL версии %1 не поддерживается: нужна версия 13 или новее.")
                .arg(version));
    }
    // Literals as the translator writes them, text in UTF-8, dates the way they are read; a
    // row another program holds locked is waited for as long as on the embedded engine, then
    // reported, never waited for without end.
    bool customWait = false;
    const int wait = connection.value(QStringLiteral("Busy Timeout")).toInt(&customWait);
    execute(QStringLiteral("SET standard_conforming_strings = on; SET client_encoding = 'UTF8';"
                           " SET DateStyle = 'ISO, YMD'; SET lock_timeout = %1;"
                           " SET statement_timeout = %2")
                .arg(customWait && wait >= 0 ? wait : kLockTimeoutMs)
                .arg(m_commandLimitMs),
            {}, nullptr);
    execute(QStringLiteral("LISTEN ") + changesChannel(), {}, nullptr);
    {
        TRowStore rows(1);
        query(QStringLiteral("SELECT datctype FROM pg_database WHERE datname = current_database()"),
              {})
            ->fetchAll(rows);
        m_characterType = rows.size() > 0 ? rows.cell(0, 0).text() : QString();
    }
    m_namesStale = true;
    m_changesElsewhere = 0;
    m_heard.Clear();
    m_announcement.Clear();
}

void TPostgresProvider::close() {
    if (!m_conn) {
        return;
    }
    PQfinish(std::exchange(m_conn, nullptr));
    m_relations.clear();
    m_names.columns.clear();
    m_namesStale = true;
}

void TPostgresProvider::fail(PGresult* result) {
    const QString text = PgErrorText(result, m_conn);
    // An unknown table or column may be one somebody made since the names were read.
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    if (state && (qstrcmp(state, "42P01") == 0 || qstrcmp(state, "42703") == 0)) {
        m_namesStale = true;
        m_relations.clear();
    }
    // SQLSTATE 40P01: the server broke a deadlock; 40001: a serialisation failure.
    const bool transient = state && (qstrcmp(state, "40P01") == 0 || qstrcmp(state, "40001") == 0);
    // SQLSTATE 57014: the statement was cancelled, at the user's request or by the limit the
    // server was given; a failed statement leaves nothing of its own behind.
    const bool cancelled = state && qstrcmp(state, "57014") == 0;
    // The state lives in the result: read before it goes.
    PQclear(result);
    if (PQstatus(m_conn) != CONNECTION_OK) {
        throw EUnknownOutcomeError(
            tr("Соединение с сервером базы данных потеряно; выполнена ли команда, неизвестно. "
               "Следующая команда подключится заново.\n%1")
                .arg(text),
            tr("Соединение с сервером базы данных потеряно.\n%1").arg(text));
    }
    if (transient) {
        throw ETransientError(text);
    }
    if (cancelled) {
        throw EDatabaseError(
            m_gaveUp ? tr("Команда отменена.")
                     : tr("Сервер %1 не выполнил команду за %2 с, и она отменена. Если команда "
                          "должна идти дольше, увеличьте время ожидания в настройках "
                          "подключения.")
                           .arg(m_server, QString::number(m_commandLimitMs / 1000)));
    }
    throw EDatabaseError(text);
}

PGresult* TPostgresProvider::run(const QString& sql, const QVariantList& params) {
    refuseNested();
    if (!m_conn) {
        throw EDatabaseError(tr("Нет соединения с базой данных."));
    }
    if (PQstatus(m_conn) != CONNECTION_OK) {
        fail(nullptr);
    }
    const QByteArray text = sql.toUtf8();
    m_callInTransaction = PQtransactionStatus(m_conn) != PQTRANS_IDLE;
    // Without parameters a text may hold several statements (a schema, a setting list).
    int sent = 0;
    if (params.isEmpty()) {
        sent = PQsendQuery(m_conn, text.constData());
    } else {
        const TPgParams p(params, static_cast<int>(params.size()));
        sent = PQsendQueryParams(m_conn, text.constData(), p.size(), p.types(), p.values(),
                                 p.lengths(), p.formats(), 0);
    }
    if (!sent) {
        fail(nullptr);
    }
    m_gaveUp = false;
    // The last statement's result stands for the text, as PQexec's does; the server runs
    // nothing after one that failed.
    PGresult* r = nullptr;
    try {
        while (PGresult* next = nextResult()) {
            PQclear(r);
            r = next;
        }
    } catch (...) {
        PQclear(r);
        throw;
    }
    const ExecStatusType status = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        fail(r);
    }
    return r;
}

void TPostgresProvider::refuseNested() const {
    // libpq has one call in flight on a connection; what the windows started while the
    // program waited for the server is refused, never mixed into it.
    if (m_waiting > 0) {
        throw EDatabaseError(tr("Сервер %1 ещё выполняет другую команду программы; повторите, "
                                "когда она закончится.")
                                 .arg(m_server));
    }
}

PGresult* TPostgresProvider::nextResult() {
    // The server is given the limit itself (statement_timeout) and a little longer to say
    // so, which ends the statement cleanly, before the program gives it up.
    ++m_waiting;
    const auto waited = qScopeGuard([this]() { --m_waiting; });
    const TPgWaitEnd end = AwaitServer(m_conn, m_server, m_commandLimitMs + kServerFirstMs);
    if (end == TPgWaitEnd::GaveUp || end == TPgWaitEnd::TimedOut) {
        abandon(end == TPgWaitEnd::GaveUp);
    }
    if (end == TPgWaitEnd::AnsweredGivenUp) {
        m_gaveUp = true;
    }
    return PQgetResult(m_conn);
}

void TPostgresProvider::discardResults() noexcept {
    try {
        while (PGresult* r = nextResult()) {
            PQclear(r);
        }
    } catch (...) {
        // Given up: the session is ended and nothing is left to read.
    }
}

void TPostgresProvider::abandon(bool gaveUp) {
    // Inside a transaction, what was written before may be kept or not as well.
    const bool unknown = m_writing || m_callInTransaction;
    // The session cannot be used again with an answer still owed: its socket is shut, so
    // that libpq and the program's listener both see it end, and the next command (or the
    // background) opens a new one.
    ::shutdown(PQsocket(m_conn), SHUT_RDWR);
    PQconsumeInput(m_conn);
    const QString seconds = QString::number((m_commandLimitMs + kServerFirstMs + 999) / 1000);
    if (gaveUp && unknown) {
        throw EUnknownOutcomeError(
            tr("Команда отменена, но сервер %1 не ответил; выполнена ли команда, неизвестно. "
               "Проверьте, прежде чем повторять.")
                .arg(m_server),
            tr("Сервер %1 не ответил.").arg(m_server));
    }
    if (gaveUp) {
        throw EDatabaseError(tr("Чтение отменено: сервер %1 не отвечает.").arg(m_server));
    }
    if (unknown) {
        throw EUnknownOutcomeError(
            tr("Сервер %1 не ответил за %2 с; выполнена ли команда, неизвестно. Проверьте, "
               "прежде чем повторять.")
                .arg(m_server, seconds),
            tr("Сервер %1 не ответил за %2 с.").arg(m_server, seconds));
    }
    throw EDatabaseError(
        tr("Сервер %1 не ответил за %2 с: чтение прервано.").arg(m_server, seconds));
}

std::unique_ptr<TDbCursor> TPostgresProvider::query(const QString& sql,
                                                    const QVariantList& params) {
    refuseNested();
    if (!m_conn) {
        throw EDatabaseError(tr("Нет соединения с базой данных."));
    }
    if (PQstatus(m_conn) != CONNECTION_OK) {
        fail(nullptr);
    }
    return OpenPgCursor(*this, sql, params);
}

qint64 TPostgresProvider::execute(const QString& sql, const QVariantList& params,
                                  QVector<QVariantList>* returned) {
    // A write is announced on the catalogue's channel inside its own transaction, just
    // before it commits, so that the other programs hear of it exactly when, and only if,
    // it is committed, with the rows it changed where the writer named them.
    static const QRegularExpression write(QStringLiteral("^\\s*(INSERT|UPDATE|DELETE)\\b"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression commit(QStringLiteral("^\\s*(COMMIT|END)\\s*;?\\s*$"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression rollback(QStringLiteral("^\\s*(ROLLBACK|ABORT)\\s*;?\\s*$"),
                                             QRegularExpression::CaseInsensitiveOption);
    if (!m_conn) {
        return executeStatement(sql, params, returned);
    }
    const bool idle = PQtransactionStatus(m_conn) == PQTRANS_IDLE;
    if (idle) {
        m_announcement.Clear();
    }
    if (!write.match(sql).hasMatch()) {
        const bool ends = commit.match(sql).hasMatch();
        // A transaction an error has spoilt commits nothing (the server rolls it back), and
        // takes no more statements.
        if (ends && m_announcement.Pending() && PQtransactionStatus(m_conn) == PQTRANS_INTRANS) {
            announce();
        }
        const qint64 rows = executeStatement(sql, params, returned);
        if (ends || rollback.match(sql).hasMatch()) {
            m_announcement.Clear();
        }
        return rows;
    }
    if (!idle) {
        const qint64 rows = executeStatement(sql, params, returned);
        m_announcement.Wrote();
        return rows;
    }
    executeStatement(QStringLiteral("BEGIN"), {}, nullptr);
    try {
        const qint64 rows = executeStatement(sql, params, returned);
        m_announcement.Wrote();
        announce();
        executeStatement(QStringLiteral("COMMIT"), {}, nullptr);
        m_announcement.Clear();
        return rows;
    } catch (...) {
        m_announcement.Clear();
        if (m_conn && PQstatus(m_conn) == CONNECTION_OK &&
            PQtransactionStatus(m_conn) != PQTRANS_IDLE) {
            try {
                executeStatement(QStringLiteral("ROLLBACK"), {}, nullptr);
            } catch (const EDatabaseError&) {
                // The first error is the one to report.
            }
        }
        throw;
    }
}

void TPostgresProvider::announce() {
    executeStatement(QStringLiteral("SELECT pg_notify($1, $2)"),
                     {changesChannel(), m_announcement.Payload()}, nullptr);
}

qint64 TPostgresProvider::executeStatement(const QString& sql, const QVariantList& params,
                                           QVector<QVariantList>* returned) {
    struct TWriting {
        bool& flag;
        ~TWriting() { flag = false; }
    };
    m_writing = true;
    const TWriting writing{m_writing};
    const TPgResult r(run(sql, params));
    static const QRegularExpression ddl(QStringLiteral("^\\s*(CREATE|DROP|ALTER)\\b"),
                                        QRegularExpression::CaseInsensitiveOption);
    if (ddl.match(sql).hasMatch()) {
        m_namesStale = true;
        m_relations.clear();
    }
    // The server answers COMMIT of a transaction an error has spoilt with a rollback.
    if (qstrcmp(PQcmdStatus(r.r), "ROLLBACK") == 0 &&
        sql.trimmed().compare(QLatin1String("COMMIT"), Qt::CaseInsensitive) == 0) {
        throw EDatabaseError(
            tr("Сервер отменил транзакцию после ошибки в ней: изменения не "
               "сохранены."));
    }
    if (returned) {
        for (int t = 0; t < PQntuples(r.r); ++t) {
            QVariantList row;
            for (int c = 0; c < PQnfields(r.r); ++c) {
                row << (PQgetisnull(r.r, t, c)
                            ? QVariant()
                            : QVariant(QString::fromUtf8(PQgetvalue(r.r, t, c),
                                                         PQgetlength(r.r, t, c))));
            }
            returned->append(row);
        }
    }
    return std::strtoll(PQcmdTuples(r.r), nullptr, 10);
}

QStringList TPostgresProvider::primaryKey(const QString& table) {
    QStringList key;
    if (!m_conn) {
        return key;
    }
    const TPgResult r(
        run(QStringLiteral("SELECT a.attname FROM pg_index i JOIN pg_attribute a"
                           " ON a.attrelid = i.indrelid AND a.attnum = ANY (i.indkey)"
                           " WHERE i.indrelid = to_regclass(quote_ident($1)) AND i.indisprimary"
                           " ORDER BY array_position(i.indkey::int2[], a.attnum)"),
            {table}));
    for (int t = 0; t < PQntuples(r.r); ++t) {
        key << QString::fromUtf8(PQgetvalue(r.r, t, 0));
    }
    return key;
}

const TSqlNames* TPostgresProvider::sqlNames() {
    // An ended session keeps the names it had: the connection opened again reads them anew
    // and its translations are made again.
    if (!m_conn || !m_namesStale) {
        return &m_names;
    }
    poll();
    if (lost()) {
        return &m_names;
    }
    m_names.columns.clear();
    m_names.spelling.clear();
    const QString visible = QStringLiteral(
        " FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace"
        " WHERE n.nspname = ANY (current_schemas(false)) AND c.relkind IN ('r','v','m','p','f')");
    {
        const TPgResult r(run(
            QStringLiteral("SELECT a.attname, format_type(COALESCE(NULLIF(t.typbasetype, 0),"
                           " t.oid), NULL) FROM pg_attribute a JOIN pg_type t ON t.oid = a.atttypid"
                           " JOIN (SELECT c.oid") +
                visible +
                QStringLiteral(") c ON c.oid = a.attrelid WHERE a.attnum > 0 AND NOT a.attisdropped"
                               " UNION SELECT c.relname, NULL") +
                visible,
            {}));
        for (int t = 0; t < PQntuples(r.r); ++t) {
            const QString name = QString::fromUtf8(PQgetvalue(r.r, t, 0));
            const QString folded = name.toCaseFolded();
            if (name != name.toLower()) {
                m_names.spelling.insert(folded, name);
            }
            const char* type = PQgetvalue(r.r, t, 1);
            if (qstrcmp(type, "boolean") == 0) {
                m_names.columns.insert(folded, TSqlNames::Boolean);
            } else if (qstrcmp(type, "date") == 0 || qstrncmp(type, "timestamp", 9) == 0) {
                m_names.columns.insert(folded, TSqlNames::DateTime);
            }
        }
    }
    m_namesStale = false;
    ++m_names.generation;
    return &m_names;
}

bool TPostgresProvider::lost() const {
    return m_conn && PQstatus(m_conn) != CONNECTION_OK;
}

std::optional<TServerLink> TPostgresProvider::serverLink() const {
    if (!m_conn) {
        return std::nullopt;
    }
    TServerLink link;
    const QString host = QString::fromUtf8(PQhost(m_conn));
    const QString port = QString::fromUtf8(PQport(m_conn));
    // A socket folder is shown as it is; a name or address with its port.
    link.host = host.startsWith(QLatin1Char('/')) || port.isEmpty()
                    ? host
                    : (host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']')
                                                       : host) +
                          QLatin1Char(':') + port;
    link.database = QString::fromUtf8(PQdb(m_conn));
    link.encrypted = PQsslInUse(m_conn) == 1;
    link.verified = link.encrypted && (m_tlsMode == QLatin1String("verify-ca") ||
                                       m_tlsMode == QLatin1String("verify-full"));
    link.hostVerified = link.verified && m_tlsMode == QLatin1String("verify-full");
    link.characterType = m_characterType;
    return link;
}

int TPostgresProvider::backendPid() const {
    return m_conn ? PQbackendPID(m_conn) : 0;
}

void TPostgresProvider::loadRelation(unsigned table) {
    // Kept only once complete: a failed look-up is tried again next time.
    QHash<int, TColumnOrigin> columns;
    // A text column's length lives in its CHECK constraint; citext has no length of its own.
    const TPgResult r(run(
        QStringLiteral(
            "SELECT c.relname, c.relkind, a.attnum, a.attname, format_type(a.atttypid, "
            "a.atttypmod),"
            " (SELECT substring(pg_get_constraintdef(k.oid) from '<= (\\d+)') FROM pg_constraint k"
            "  WHERE k.conrelid = c.oid AND k.contype = 'c' AND k.conkey = ARRAY[a.attnum] LIMIT 1)"
            " FROM pg_class c JOIN pg_attribute a ON a.attrelid = c.oid"
            " WHERE c.oid = $1::oid AND a.attnum > 0 AND NOT a.attisdropped"),
        {QString::number(table)}));
    const bool view = PQntuples(r.r) > 0 && qstrcmp(PQgetvalue(r.r, 0, 1), "v") == 0;
    for (int t = 0; t < PQntuples(r.r); ++t) {
        TColumnOrigin o;
        o.table = QString::fromUtf8(PQgetvalue(r.r, t, 0));
        o.column = QString::fromUtf8(PQgetvalue(r.r, t, 3));
        o.declared = QString::fromUtf8(PQgetvalue(r.r, t, 4));
        if (!PQgetisnull(r.r, t, 5) &&
            (o.declared == QLatin1String("citext") || o.declared == QLatin1String("text"))) {
            o.declared = QStringLiteral("TEXT(%1)").arg(QString::fromUtf8(PQgetvalue(r.r, t, 5)));
        }
        columns.insert(std::atoi(PQgetvalue(r.r, t, 2)), o);
    }
    if (!view) {
        m_relations.insert(table, columns);
        return;
    }
    // A view over one table writes to that table, column by column of the same name, as
    // the server's own updatable views do.
    const TPgResult base(
        run(QStringLiteral("SELECT DISTINCT d.refobjid FROM pg_rewrite w"
                           " JOIN pg_depend d ON d.objid = w.oid"
                           " AND d.classid = 'pg_rewrite'::regclass"
                           " AND d.refclassid = 'pg_class'::regclass"
                           " WHERE w.ev_class = $1::oid AND d.refobjid <> $2::oid"),
            {QString::number(table), QString::number(table)}));
    QHash<int, TColumnOrigin> baseColumns;
    if (PQntuples(base.r) == 1) {
        const unsigned baseTable =
            static_cast<unsigned>(std::strtoul(PQgetvalue(base.r, 0, 0), nullptr, 10));
        if (!m_relations.contains(baseTable)) {
            loadRelation(baseTable);
        }
        baseColumns = m_relations.value(baseTable);
    }
    for (TColumnOrigin& o : columns) {
        bool found = false;
        for (const TColumnOrigin& b : baseColumns) {
            if (b.column == o.column) {
                o = b;
                found = true;
                break;
            }
        }
        if (!found) {
            o.table.clear();
            o.column.clear();
        }
    }
    m_relations.insert(table, columns);
}

TPostgresProvider::TColumnOrigin TPostgresProvider::origin(unsigned table, int column) {
    if (!m_relations.contains(table)) {
        loadRelation(table);
    }
    return m_relations.value(table).value(column);
}

// What the server says unasked (other sessions' changes, the end of the session) and what
// the user's role may do.
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
