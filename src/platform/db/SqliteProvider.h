#pragma once

#include "platform/db/DbProvider.h"

#include <QCoreApplication>

#include <memory>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// The embedded engine: a catalogue file opened, read and written through the engine's C API. The
// file must exist and be a database; it is never created or changed by opening it, except that it
// is switched to WAL.
class TSqliteProvider final : public TDbProvider {
    Q_DECLARE_TR_FUNCTIONS(TSqliteProvider)

public:
    TSqliteProvider() = default;
    ~TSqliteProvider() override;
    TSqliteProvider(const TSqliteProvider&) = delete;
    TSqliteProvider& operator=(const TSqliteProvider&) = delete;

    TSqlDialect dialect() const override { return TSqlDialect::SQLite; }
    void open(const TConnectionString& connection) override;
    void close() override;
    bool isOpen() const override { return m_handle != nullptr; }

    std::unique_ptr<TDbCursor> query(const QString& sql, const QVariantList& params) override;
    qint64 execute(const QString& sql, const QVariantList& params,
                   QVector<QVariantList>* returned) override;

    QStringList primaryKey(const QString& table) override;
    QString rowLocator() const override { return QStringLiteral("rowid"); }
    QString beginSql() const override { return QStringLiteral("BEGIN IMMEDIATE"); }
    QString nullSafeEquals() const override { return QStringLiteral("IS"); }
    QString placeholder(int) const override { return QStringLiteral("?"); }
    std::optional<qint64> changeStamp() override;
    bool forgetFailedCommit() override;

    sqlite3* handle() const { return m_handle; }
    // What opening says when the disk fails to read the file.
    static QString readErrorMessage(const QString& source, const QString& engine);

    // Registers the case-insensitive LIKE and NOCASE of the program on a handle.
    static void RegisterTextRules(sqlite3* db);

private:
    struct THandleCloser {
        void operator()(sqlite3* db) const;
    };
    using THandle = std::unique_ptr<sqlite3, THandleCloser>;
    // An engine handle on an existing catalogue file, or the refusal to open it.
    static THandle openHandle(const QString& source, const QString& fileName);
    [[noreturn]] void fail(const QString& context) const;

    sqlite3* m_handle = nullptr;
    // Prepared statements of recent single-statement texts, newest first.
    static constexpr std::size_t kCachedStatements = 8;
    std::vector<std::pair<QByteArray, sqlite3_stmt*>> m_statements;
    int m_busyTimeout = 0;
};
