#pragma once

#include <QString>
#include <QVariant>

#include <sqlite3.h>

// A prepared statement of the SQLite C API, finalized when it goes out of scope.
class TSqliteStatement final {
public:
    TSqliteStatement(sqlite3* db, const QString& sql);
    TSqliteStatement(sqlite3* db, const char* sql);
    ~TSqliteStatement() { sqlite3_finalize(m_stmt); }
    TSqliteStatement(const TSqliteStatement&) = delete;
    TSqliteStatement& operator=(const TSqliteStatement&) = delete;

    bool ok() const { return m_stmt != nullptr; }
    sqlite3_stmt* get() const { return m_stmt; }

    void bind(int i, const QString& s);
    void bind(int i, qint64 n) { sqlite3_bind_int64(m_stmt, i, n); }

    int step() { return sqlite3_step(m_stmt); }
    QString text(int col) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, col));
        return QString::fromUtf8(p, sqlite3_column_bytes(m_stmt, col));
    }
    qint64 integer(int col) const { return sqlite3_column_int64(m_stmt, col); }
    int columnType(int col) const { return sqlite3_column_type(m_stmt, col); }
    QVariant value(int col) const { return ColumnValue(m_stmt, col); }
    static QVariant ColumnValue(sqlite3_stmt* stmt, int col);

private:
    sqlite3_stmt* m_stmt = nullptr;
};
