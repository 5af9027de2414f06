#include "platform/db/PostgresProvider.h"

#include "platform/db/PostgresOptions.h"
#include "platform/db/RowStore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QUuid>

#include <libpq-fe.h>

#include <cstdlib>
#include <vector>

namespace {

// Type ids of the server's built-in types (pg_type.oid); they never change.
enum : Oid {
    kBoolOid = 16,
    kByteaOid = 17,
    kInt8Oid = 20,
    kInt2Oid = 21,
    kInt4Oid = 23,
    kTextOid = 25,
    kOidOid = 26,
    kFloat4Oid = 700,
    kFloat8Oid = 701,
    kVarcharOid = 1043,
    kDateOid = 1082,
    kTimestampOid = 1114,
    kTimestampTzOid = 1184,
    kNumericOid = 1700,
    kUuidOid = 2950,
};

constexpr int kMinimumServer = 130000;  // gen_random_uuid() and trusted extensions
constexpr int kConnectTimeoutSeconds = 10;
constexpr int kLockTimeoutMs = 5000;

// The channel every program on the catalogue listens on and announces its writes to.
QString changesChannel() {
    return QStringLiteral("linkarium_changes");
}

struct TResult {
    PGresult* r;
    explicit TResult(PGresult* result) : r(result) {}
    ~TResult() { PQclear(r); }
    TResult(const TResult&) = delete;
    TResult& operator=(const TResult&) = delete;
};

// Parameter values as the server's text input; a byte array goes as binary bytea.
class TParams final {
public:
    TParams(const QVariantList& params, int count) {
        m_data.reserve(count);
        for (int i = 0; i < count; ++i) {
            const QVariant v = i < params.size() ? params.at(i) : QVariant();
            m_types.push_back(0);
            m_formats.push_back(0);
            if (!v.isValid() || v.isNull()) {
                m_data.emplace_back();
                m_null.push_back(true);
                continue;
            }
            m_null.push_back(false);
            switch (v.typeId()) {
                case QMetaType::Bool:
                    m_data.push_back(v.toBool() ? "1" : "0");
                    break;
                case QMetaType::Double:
                case QMetaType::Float:
                    m_data.push_back(QByteArray::number(v.toDouble(), 'g', 17));
                    break;
                case QMetaType::QDate:
                    m_data.push_back(v.toDate().toString(Qt::ISODate).toLatin1());
                    break;
                case QMetaType::QDateTime:
                    m_data.push_back(v.toDateTime()
                                         .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))
                                         .toLatin1());
                    break;
                case QMetaType::QByteArray:
                    m_data.push_back(v.toByteArray());
                    m_types.back() = kByteaOid;
                    m_formats.back() = 1;
                    break;
                default:
                    m_data.push_back(v.toString().toUtf8());
                    break;
            }
        }
        for (int i = 0; i < count; ++i) {
            m_values.push_back(m_null[i] ? nullptr : m_data[i].constData());
            m_lengths.push_back(static_cast<int>(m_data[i].size()));
        }
    }
    int size() const { return static_cast<int>(m_values.size()); }
    const Oid* types() const { return m_types.data(); }
    const char* const* values() const { return m_values.data(); }
    const int* lengths() const { return m_lengths.data(); }
    const int* formats() const { return m_formats.data(); }

private:
    std::vector<QByteArray> m_data;
    std::vector<bool> m_null;
    std::vector<Oid> m_types;
    std::vector<const char*> m_values;
    std::vector<int> m_lengths;
    std::vector<int> m_formats;
};

QString errorText(const PGresult* result, const PGconn* conn) {
    const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    QString text = QString::fromUtf8(primary ? primary : PQerrorMessage(conn)).trimmed();
    if (const char* detail =
            result ? PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL) : nullptr) {
        text += QLatin1Char('\n') + QString::fromUtf8(detail).trimmed();
    }
    return text;
}

QByteArray decodeBytea(const char* text, int size) {
    if (size >= 2 && text[0] == '\\' && text[1] == 'x') {
        return QByteArray::fromHex(QByteArray::fromRawData(text + 2, size - 2));
    }
    return QByteArray(text, size);
}

}  // namespace

// Reads a result one row at a time, so a million rows never stand twice in memory.
class TPgCursor final : public TDbCursor {
public:
    TPgCursor(TPostgresProvider& provider, const QString& sql, const QVariantList& params)
        : m_provider(provider), m_conn(provider.m_conn) {
        const QByteArray text = sql.toUtf8();
        const TParams p(params, static_cast<int>(params.size()));
        if (!PQsendQueryParams(m_conn, text.constData(), p.size(), p.types(), p.values(),
                               p.lengths(), p.formats(), 0)) {
            provider.fail(nullptr);
        }
        m_sent = true;
        PQsetSingleRowMode(m_conn);
        m_pending = PQgetResult(m_conn);
        const ExecStatusType status = m_pending ? PQresultStatus(m_pending) : PGRES_FATAL_ERROR;
        if (status != PGRES_SINGLE_TUPLE && status != PGRES_TUPLES_OK) {
            PGresult* failed = m_pending;
            m_pending = nullptr;
            drain();
            provider.fail(failed);
        }
        readDescriptors();
    }

    ~TPgCursor() override {
        PQclear(m_pending);
        drain();
    }

    void fetchAll(TRowStore& store) override {
        const int n = m_columns.size();
        store.reset(n);
        TRowBuilder row;
        while (m_pending) {
            PGresult* r = m_pending;
            m_pending = nullptr;
            const TResult owner(r);
            const ExecStatusType status = PQresultStatus(r);
            if (status != PGRES_SINGLE_TUPLE && status != PGRES_TUPLES_OK) {
                drain();
                throw EDatabaseError(errorText(r, m_conn));
            }
            for (int t = 0; t < PQntuples(r); ++t) {
                row.begin(n);
                for (int c = 0; c < n; ++c) {
                    addCell(row, r, t, c);
                }
                store.append(row.record());
            }
            m_pending = PQgetResult(m_conn);
        }
        m_sent = false;
        // Only now is the connection free to look up where the columns come from.
        describe();
    }

private:
    enum class TReadAs { Text, Integer, Real, Bool, DateTime, Blob };

    struct TDescriptor {
        Oid type;
        int modifier;
        Oid table;
        int column;
    };

    void readDescriptors() {
        const PGresult* r = m_pending;
        const int n = PQnfields(r);
        for (int c = 0; c < n; ++c) {
            TColumnInfo info;
            info.name = QString::fromUtf8(PQfname(r, c));
            const Oid type = PQftype(r, c);
            info.type = typeOf(type, PQfmod(r, c), info.size);
            m_columns << info;
            m_descriptors.push_back({type, PQfmod(r, c), PQftable(r, c), PQftablecol(r, c)});
            m_readAs.push_back(readAs(info.type));
        }
    }

    // The table, column and declared type of each result column that comes from a table.
    void describe() {
        for (int c = 0; c < m_columns.size(); ++c) {
            const TDescriptor& d = m_descriptors[static_cast<std::size_t>(c)];
            if (d.table == InvalidOid) {
                continue;
            }
            const TPostgresProvider::TColumnOrigin o = m_provider.origin(d.table, d.column);
            TColumnInfo& info = m_columns[c];
            info.table = o.table;
            info.column = o.column;
            if (!o.declared.isEmpty()) {
                int size = 0;
                const TFieldType declared = FieldTypeFromDeclared(o.declared, &size);
                if (declared != TFieldType::Unknown) {
                    info.type = declared;
                    info.size = size;
                }
            }
        }
    }

    static TFieldType typeOf(Oid type, int modifier, int& size) {
        switch (type) {
            case kBoolOid:
                return TFieldType::Boolean;
            case kInt2Oid:
                return TFieldType::SmallInt;
            case kInt4Oid:
            case kOidOid:
                return TFieldType::Integer;
            case kInt8Oid:
                return TFieldType::LargeInt;
            case kFloat4Oid:
            case kFloat8Oid:
            case kNumericOid:
                return TFieldType::Float;
            case kDateOid:
            case kTimestampOid:
            case kTimestampTzOid:
                return TFieldType::DateTime;
            case kByteaOid:
                return TFieldType::Blob;
            case kUuidOid:
                size = 38;
                return TFieldType::Guid;
            case kVarcharOid:
                if (modifier > 4) {
                    size = modifier - 4;
                    return TFieldType::WideString;
                }
                return TFieldType::Memo;
            default:
                return TFieldType::Memo;
        }
    }

    // How a value of the server's own type is read, from the field type that type gives.
    static TReadAs readAs(TFieldType type) {
        switch (type) {
            case TFieldType::Boolean:
                return TReadAs::Bool;
            case TFieldType::SmallInt:
            case TFieldType::Integer:
            case TFieldType::LargeInt:
                return TReadAs::Integer;
            case TFieldType::Float:
                return TReadAs::Real;
            case TFieldType::DateTime:
                return TReadAs::DateTime;
            case TFieldType::Blob:
                return TReadAs::Blob;
            default:
                return TReadAs::Text;
        }
    }

    void addCell(TRowBuilder& row, const PGresult* r, int t, int c) const {
        if (PQgetisnull(r, t, c)) {
            row.addNull();
            return;
        }
        const char* v = PQgetvalue(r, t, c);
        const int size = PQgetlength(r, t, c);
        switch (m_readAs[static_cast<std::size_t>(c)]) {
            case TReadAs::Bool:
                row.addInteger(v[0] == 't' ? 1 : 0);
                break;
            case TReadAs::Integer:
                row.addInteger(std::strtoll(v, nullptr, 10));
                break;
            case TReadAs::Real:
                row.addReal(std::strtod(v, nullptr));
                break;
            case TReadAs::DateTime: {
                // Stored like the embedded engine's dates: day numbers.
                QString iso = QString::fromLatin1(v, size);
                iso.replace(QLatin1Char(' '), QLatin1Char('T'));
                QDateTime when = QDateTime::fromString(iso, Qt::ISODateWithMs);
                if (!when.isValid()) {
                    when = QDateTime(QDate::fromString(iso, Qt::ISODate), QTime(0, 0));
                }
                if (when.timeSpec() != Qt::LocalTime) {
                    when = when.toLocalTime();
                }
                if (when.isValid()) {
                    row.addReal(DayNumber(when));
                } else {
                    row.addText(v, static_cast<std::uint32_t>(size));  // infinity and the like
                }
                break;
            }
            case TReadAs::Blob: {
                const QByteArray b = decodeBytea(v, size);
                row.addBlob(b.constData(), static_cast<std::uint32_t>(b.size()));
                break;
            }
            case TReadAs::Text:
                row.addText(v, static_cast<std::uint32_t>(size));
                break;
        }
    }

    // Reads whatever the server still sends for this query, so the connection is free.
    void drain() {
        if (!m_sent) {
            return;
        }
        while (PGresult* r = PQgetResult(m_conn)) {
            PQclear(r);
        }
        m_sent = false;
    }

    TPostgresProvider& m_provider;
    PGconn* m_conn;
    PGresult* m_pending = nullptr;
    bool m_sent = false;
    std::vector<TDescriptor> m_descriptors;
    std::vector<TReadAs> m_readAs;
};

TPostgresProvider::TPostgresProvider()
    : m_connectionName(QStringLiteral("linkarium-pgsql-") +
                       QUuid::createUuid().toString(QUuid::WithoutBraces)) {}

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
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        throw EDatabaseError(tr("Драйвер PostgreSQL для Qt не установлен."));
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
        db.setHostName(host);
        db.setPort(port);
        db.setDatabaseName(connection.value(QStringLiteral("Initial Catalog")).trimmed());
        db.setUserName(connection.value(QStringLiteral("User ID")));
        db.setPassword(connection.value(QStringLiteral("Password")));
        db.setConnectOptions(QStringLiteral("connect_timeout=%1;application_name=Linkarium")
                                 .arg(kConnectTimeoutSeconds) +
                             PostgresServiceOption(service) +
                             PostgresTlsOptions(connection, m_tlsMode));
        if (!db.open()) {
            const QString error = db.lastError().text();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_connectionName);
            const QString server = !source.isEmpty()    ? source
                                   : !service.isEmpty() ? service
                                                        : qEnvironmentVariable("PGSERVICE");
            throw EDatabaseError(
                tr("Не удалось подключиться к серверу %1.\n%2").arg(server, error.trimmed()));
        }
        const QVariant h = db.driver()->handle();
        // The driver names the handle after libpq's struct.
        if (!h.isValid() ||
            (qstrcmp(h.typeName(), "PGconn*") != 0 && qstrcmp(h.typeName(), "pg_conn*") != 0)) {
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_connectionName);
            throw EDatabaseError(tr("Драйвер PostgreSQL для Qt не установлен."));
        }
        m_conn = *static_cast<PGconn* const*>(h.constData());
    }
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
                           " SET DateStyle = 'ISO, YMD'; SET lock_timeout = %1")
                .arg(customWait && wait >= 0 ? wait : kLockTimeoutMs),
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
    m_announced = false;
}

void TPostgresProvider::close() {
    if (!m_conn && !QSqlDatabase::contains(m_connectionName)) {
        return;
    }
    m_conn = nullptr;
    m_relations.clear();
    m_names.columns.clear();
    m_namesStale = true;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isValid()) {
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

void TPostgresProvider::fail(PGresult* result) {
    const QString text = errorText(result, m_conn);
    // An unknown table or column may be one somebody made since the names were read.
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    if (state && (qstrcmp(state, "42P01") == 0 || qstrcmp(state, "42703") == 0)) {
        m_namesStale = true;
        m_relations.clear();
    }
    // SQLSTATE 40P01: the server broke a deadlock; 40001: a serialisation failure.
    const bool transient = state && (qstrcmp(state, "40P01") == 0 || qstrcmp(state, "40001") == 0);
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
    throw EDatabaseError(text);
}

PGresult* TPostgresProvider::run(const QString& sql, const QVariantList& params) {
    if (!m_conn) {
        throw EDatabaseError(tr("Нет соединения с базой данных."));
    }
    if (PQstatus(m_conn) != CONNECTION_OK) {
        fail(nullptr);
    }
    const QByteArray text = sql.toUtf8();
    // Without parameters a text may hold several statements (a schema, a setting list).
    PGresult* r = nullptr;
    if (params.isEmpty()) {
        r = PQexec(m_conn, text.constData());
    } else {
        const TParams p(params, static_cast<int>(params.size()));
        r = PQexecParams(m_conn, text.constData(), p.size(), p.types(), p.values(), p.lengths(),
                         p.formats(), 0);
    }
    const ExecStatusType status = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        fail(r);
    }
    return r;
}

std::unique_ptr<TDbCursor> TPostgresProvider::query(const QString& sql,
                                                    const QVariantList& params) {
    if (!m_conn) {
        throw EDatabaseError(tr("Нет соединения с базой данных."));
    }
    if (PQstatus(m_conn) != CONNECTION_OK) {
        fail(nullptr);
    }
    return std::make_unique<TPgCursor>(*this, sql, params);
}

qint64 TPostgresProvider::execute(const QString& sql, const QVariantList& params,
                                  QVector<QVariantList>* returned) {
    // A write announces itself on the catalogue's channel inside its own transaction, so
    // that the other programs hear of it exactly when, and only if, it is committed.
    static const QRegularExpression write(QStringLiteral("^\\s*(INSERT|UPDATE|DELETE)\\b"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression backToSavepoint(QStringLiteral("^\\s*ROLLBACK\\s+TO\\b"),
                                                    QRegularExpression::CaseInsensitiveOption);
    const bool idle = m_conn && PQtransactionStatus(m_conn) == PQTRANS_IDLE;
    if (idle) {
        m_announced = false;
    }
    const QString notify = QStringLiteral("NOTIFY ") + changesChannel();
    if (!m_conn || !write.match(sql).hasMatch()) {
        const qint64 rows = executeStatement(sql, params, returned);
        // The announcement may have gone with the savepoint's work.
        if (backToSavepoint.match(sql).hasMatch()) {
            m_announced = false;
        }
        return rows;
    }
    if (!idle) {
        const qint64 rows = executeStatement(sql, params, returned);
        if (!m_announced) {
            executeStatement(notify, {}, nullptr);
            m_announced = true;
        }
        return rows;
    }
    executeStatement(QStringLiteral("BEGIN"), {}, nullptr);
    try {
        const qint64 rows = executeStatement(sql, params, returned);
        executeStatement(notify, {}, nullptr);
        executeStatement(QStringLiteral("COMMIT"), {}, nullptr);
        return rows;
    } catch (...) {
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

qint64 TPostgresProvider::executeStatement(const QString& sql, const QVariantList& params,
                                           QVector<QVariantList>* returned) {
    const TResult r(run(sql, params));
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
    const TResult r(
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
        const TResult r(run(
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
    const TResult r(run(
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
    const TResult base(run(QStringLiteral("SELECT DISTINCT d.refobjid FROM pg_rewrite w"
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
