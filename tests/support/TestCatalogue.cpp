#include "support/TestCatalogue.h"

#include "app/GeneralUnit.h"
#include "common/ConstsUnit.h"
#include "common/UtilsUnit.h"
#include "platform/SqliteStatement.h"
#include "platform/db/Schema.h"
#include "platform/db/SqliteProvider.h"

#include <QFile>
#include <QUuid>
#include <QtTest>

TTestCatalogue::TTestCatalogue() {
    CreateSqliteCatalogue(fileName());
    sqlite3_open_v2(QFile::encodeName(fileName()).constData(), &m_other, SQLITE_OPEN_READWRITE,
                    nullptr);
    TSqliteProvider::RegisterTextRules(m_other);
    sqlite3_busy_timeout(m_other, 5000);
    m_connection.SetConnectionString(connectionString());
    m_connection.Open();
}

TTestCatalogue::~TTestCatalogue() {
    m_connection.Close();
    sqlite3_close_v2(m_other);
}

QString TTestCatalogue::connectionString() const {
    return QStringLiteral("Provider=SQLite;Data Source=") + fileName();
}

void TTestCatalogue::otherExec(const QString& sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(m_other, sql.toUtf8().constData(), nullptr, nullptr, &message);
    const QString text = QString::fromUtf8(message ? message : "");
    sqlite3_free(message);
    if (rc != SQLITE_OK) {
        QFAIL(qPrintable(QStringLiteral("SQL failed: %1: %2").arg(sql, text)));
    }
}

QString TTestCatalogue::addUrl(const QString& url, const QString& description,
                               const QString& category, bool visited) {
    const QString key = QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
    TSqliteStatement st(m_other,
                        "INSERT INTO SubjectURLs(SubjectURLID, URL, Description, Category, Visited)"
                        " VALUES(?1, ?2, ?3, ?4, ?5)");
    st.bind(1, key);
    st.bindVariant(2, url.isNull() ? QVariant() : QVariant(url));
    st.bindVariant(3, description.isNull() ? QVariant() : QVariant(description));
    st.bindVariant(4, category.isNull() ? QVariant() : QVariant(category));
    st.bind(5, qint64(visited ? 1 : 0));
    if (st.step() != SQLITE_DONE) {
        qWarning("insert failed: %s", sqlite3_errmsg(m_other));
    }
    return key;
}

QVariant TTestCatalogue::otherValue(const QString& sql) {
    TSqliteStatement st(m_other, sql);
    if (!st.ok() || st.step() != SQLITE_ROW) {
        return QVariant();
    }
    return st.value(0);
}

std::unique_ptr<TGeneralModule> TTestCatalogue::connectedModule() const {
    WriteRegString(RegRootKey, RegConnectionValue, connectionString());
    auto module = std::make_unique<TGeneralModule>(nullptr, false);
    module->Connect();
    return module;
}
