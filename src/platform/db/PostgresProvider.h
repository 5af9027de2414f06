#pragma once

#include "platform/db/DbProvider.h"

#include <QCoreApplication>
#include <QHash>

struct pg_conn;
struct pg_result;

// A catalogue shared on a PostgreSQL server: opened through Qt SQL, read and written through
// libpq on the driver's connection. Statements arrive with "?" placeholders and are sent
// with server-side parameters; values go as untyped text, so the server reads each one as
// the type of the column it meets, as Jet's loosely typed parameters do.
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
    int notificationSocket() const override;
    bool stableOrder() const override { return false; }
    bool mayChange(const QString& table) override;
    void poll() override;

    // The server's backend process, for a test that ends the session from outside.
    int backendPid() const;

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
    qint64 executeStatement(const QString& sql, const QVariantList& params,
                            QVector<QVariantList>* returned);
    TColumnOrigin origin(unsigned table, int column);
    void loadRelation(unsigned table);

    QString m_connectionName;
    pg_conn* m_conn = nullptr;
    // The TLS mode the connection was asked for, once a root certificate has raised it.
    QString m_tlsMode;
    QString m_characterType;
    TSqlNames m_names;
    bool m_namesStale = true;
    qint64 m_changesElsewhere = 0;
    // The open transaction has already announced its change.
    bool m_announced = false;
    // Columns of the relations seen in results, by relation id then column number.
    QHash<unsigned, QHash<int, TColumnOrigin>> m_relations;
};
