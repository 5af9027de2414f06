#include "platform/SqliteStatement.h"

#include "platform/db/FieldTypes.h"

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

void TSqliteStatement::BindVariant(sqlite3_stmt* stmt, int i, const QVariant& v) {
    if (!v.isValid() || v.isNull()) {
        sqlite3_bind_null(stmt, i);
        return;
    }
    switch (v.typeId()) {
        case QMetaType::Bool:
            sqlite3_bind_int64(stmt, i, v.toBool() ? 1 : 0);
            return;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Long:
        case QMetaType::ULong:
            sqlite3_bind_int64(stmt, i, v.toLongLong());
            return;
        case QMetaType::Double:
        case QMetaType::Float:
            sqlite3_bind_double(stmt, i, v.toDouble());
            return;
        case QMetaType::QDateTime:
            sqlite3_bind_double(stmt, i, DayNumber(v.toDateTime()));
            return;
        case QMetaType::QDate:
            sqlite3_bind_double(stmt, i, DayNumber(v.toDate()));
            return;
        case QMetaType::QByteArray: {
            const QByteArray b = v.toByteArray();
            sqlite3_bind_blob(stmt, i, b.constData(), b.size(), SQLITE_TRANSIENT);
            return;
        }
        default: {
            const QByteArray u = v.toString().toUtf8();
            sqlite3_bind_text(stmt, i, u.constData(), u.size(), SQLITE_TRANSIENT);
            return;
        }
    }
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
