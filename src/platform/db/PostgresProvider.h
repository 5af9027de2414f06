#pragma once

#include "platform/db/ChangeNotices.h"
#include "platform/db/DbProvider.h"

#include <QCoreApplication>
#include <QHash>

struct pg_conn;
struct pg_result;

// A catalogue shared on a PostgreSQL server, through libpq. Every call is sent without
// blocking and waited for through the installed server wait, within a limit ("Command
// Timeout", 30 s unless set; the server is told the same limit). Statements arrive with "?"
// placeholders and are sent with server-side parameters; values go as untyped text, so the server
// reads each one as the type of the column it meets, as Jet's loosely typed parameters do.
class TPostgresProvider final : public TDbProvider {
    Q_DECLARE_TR_FUNCTIONS(TPostgresProvider)

public:
    TPostgresProvider();
    ~TPostgresProvider() override;

    TSqlDialect dialect() const override { return TSqlDialect::PostgreSQL; }
    void open(const TConnectionString& connection) override;
    void close() override;
    bool isOpen() const override { return m_conn != nullptr; }
    bool lost() const override;
    bool busy() const override { return m_waiting > 0; }
    std::optional<TServerLink> serverLink() const override;

    std::unique_ptr<TDbCursor> query(const QString& sql, const QVariantList& params) override;
    qint64 execute(const QString& sql, const QVariantList& params,
                   QVector<QVariantList>* returned) override;

    QStringList primaryKey(const QString& table) override;
    QString rowLocator() const override { return QStringLiteral("ctid"); }
    QString beginSql() const override { return QStringLiteral("BEGIN"); }
    QString nullSafeEquals() const override { return QStringLiteral("IS NOT DISTINCT FROM"); }
    const TSqlNames* sqlNames() override;
    // Counts the changes other sessions announced on the catalogue's channel.
    std::optional<qint64> changeStamp() override;
    void noteChangedRows(const QString& table, const QStringList& keys) override {
        m_announcement.NameRows(table, keys);
    }
    std::optional<QStringList> keysChangedSince(qint64 since, qint64 upTo,
                                                const QString& table) const override {
        return m_heard.KeysSince(since, upTo, table);
    }
    int notificationSocket() const override;
    bool stableOrder() const override { return false; }
    bool mayChange(const QString& table) override;
    void poll() override;

    // The server's backend process, for a test that ends the session from outside.
    int backendPid() const;
    // Rows read from the server since the provider was made, for a test or a benchmark
    // that counts what a refresh reads.
    quint64 rowsRead() const { return m_rowsRead; }

    QString placeholder(int number) const override {
        return QLatin1Char('$') + QString::number(number);
    }

    // What a column of a query is: its table and name there, and its declared type.
    struct TColumnOrigin {
        QString table;
        QString column;
        QString declared;
    };

private:
    friend class TPgCursor;
    [[noreturn]] void fail(pg_result* result);
    pg_result* run(const QString& sql, const QVariantList& params);
    // The next result of what was sent, waited for within the limit; null after the last.
    pg_result* nextResult();
    // Reads and drops whatever is left of what was sent; never throws.
    void discardResults() noexcept;
    // Ends a session whose server did not answer within the limit, or at all after the user
    // gave up: the connection reads as lost from then on.
    [[noreturn]] void abandon(bool gaveUp);
    qint64 executeStatement(const QString& sql, const QVariantList& params,
                            QVector<QVariantList>* returned);
    // Tells the others on the catalogue what the transaction changed, when it commits.
    void announce();
    TColumnOrigin origin(unsigned table, int column);
    void loadRelation(unsigned table);

    pg_conn* m_conn = nullptr;
    // The server as the user named it, for messages.
    QString m_server;
    int m_commandLimitMs = 0;
    // A call that writes (or runs inside a transaction) is under way: ending it without an
    // answer leaves its outcome unknown.
    bool m_writing = false;
    bool m_callInTransaction = false;
    // Waits for the server under way (the windows' events turning meanwhile).
    int m_waiting = 0;
    // Refuses a call started from inside the wait for another.
    void refuseNested() const;
    // The user gave up the call under way, and the server answered the cancel request.
    bool m_gaveUp = false;
    // The TLS mode the connection was asked for, once a root certificate has raised it.
    QString m_tlsMode;
    QString m_characterType;
    TSqlNames m_names;
    bool m_namesStale = true;
    qint64 m_changesElsewhere = 0;
    // What the open transaction will tell the others when it commits.
    TChangeAnnouncement m_announcement;
    // What the others told.
    TChangeLog m_heard;
    quint64 m_rowsRead = 0;
    // Columns of the relations seen in results, by relation id then column number.
    QHash<unsigned, QHash<int, TColumnOrigin>> m_relations;
};
