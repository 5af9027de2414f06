#include "platform/SqliteStatement.h"

#include <QDateTime>

TSqliteStatement::TSqliteStatement(sqlite3* db, const QString& sql) {
    const QByteArray u = sql.toUtf8();
    if (sqlite3_prepare_v2(db, u.constData(), u.size(), &m_stmt, nullptr) != SQLITE_OK) {
        m_stmt = nullptr;
    }
}

TSqliteStatement::TSqliteStatement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK) {
        m_stmt = nullptr;
    }
}

void TSqliteStatement::bind(int i, const QString& s) {
    const QByteArray u = s.toUtf8();
    sqlite3_bind_text(m_stmt, i, u.constData(), u.size(), SQLITE_TRANSIENT);
}

QVariant TSqliteStatement::ColumnValue(sqlite3_stmt* stmt, int col) {
    switch (sqlite3_column_type(stmt, col)) {
        case SQLITE_INTEGER:
            return QVariant(static_cast<qint64>(sqlite3_column_int64(stmt, col)));
        case SQLITE_FLOAT:
            return QVariant(sqlite3_column_double(stmt, col));
        case SQLITE_TEXT:
            return QVariant(
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, col)),
                                  sqlite3_column_bytes(stmt, col)));
        case SQLITE_BLOB:
            return QVariant(QByteArray(static_cast<const char*>(sqlite3_column_blob(stmt, col)),
                                       sqlite3_column_bytes(stmt, col)));
        default:
            return QVariant();
    }
}
