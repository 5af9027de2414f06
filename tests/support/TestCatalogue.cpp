#include "support/TestCatalogue.h"

#include "app/GeneralUnit.h"
#include "common/ConstsUnit.h"
#include "common/UtilsUnit.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/RowStore.h"
#include "platform/db/Schema.h"

#include <QCoreApplication>
#include <QFile>
#include <QUuid>
#include <QtTest>

namespace {

QString serverString() {
    return qEnvironmentVariable("LINKARIUM_TEST_PG");
}

// The maintenance connection that makes and drops the test databases. It closes with the
// application, while the SQL driver it uses still exists.
TConnection& admin() {
    static TConnection* connection = nullptr;
    if (!connection) {
        connection = new TConnection;
        qAddPostRoutine([]() {
            delete connection;
            connection = nullptr;
        });
    }
    if (!connection->Connected()) {
        connection->SetConnectionString(serverString());
        connection->Open();
    }
    return *connection;
}

}  // namespace

TTestEngine TestEngine() {
    return qEnvironmentVariable("LINKARIUM_TEST_ENGINE")
                       .compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0
               ? TTestEngine::PostgreSQL
               : TTestEngine::SQLite;
}

QString TestEngineUnavailable() {
    if (TestEngine() == TTestEngine::SQLite) {
        return QString();
    }
    static const QString why = []() -> QString {
        const QString prefix = QStringLiteral("PostgreSQL half skipped: ");
        if (serverString().isEmpty()) {
            return prefix + QStringLiteral("LINKARIUM_TEST_PG names no server");
        }
        try {
            admin();
        } catch (const EError& e) {
            return prefix + QStringLiteral("the server is not reachable: ") + e.message();
        }
        return QString();
    }();
    return why;
}

TTestCatalogue::TTestCatalogue(TLayout layout, const QString& databaseOptions) {
    if (TestEngine() == TTestEngine::SQLite) {
        if (layout == WithTables) {
            CreateSqliteCatalogue(fileName());
        } else {
            QFile(fileName()).open(QIODevice::WriteOnly);  // an empty file is an empty database
        }
        m_connectionString = QStringLiteral("Provider=SQLite;Data Source=") + fileName();
    } else {
        static int made = 0;
        m_database =
            QStringLiteral("lk_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++made);
        admin().Execute(QStringLiteral("CREATE DATABASE %1 %2").arg(m_database, databaseOptions));
        TConnectionString cs(serverString());
        cs.setValue(QStringLiteral("Initial Catalog"), m_database);
        m_connectionString = cs.toString();
    }
    m_connection.SetConnectionString(m_connectionString);
    m_connection.Open();
    if (!m_database.isEmpty() && layout == WithTables) {
        CreateServerCatalogue(m_connection);
    }
    m_other.SetConnectionString(m_connectionString);
    m_other.Open();
}

TTestCatalogue::~TTestCatalogue() {
    m_connection.Close();
    m_other.Close();
    if (!m_database.isEmpty()) {
        try {
            admin().Execute(QStringLiteral("DROP DATABASE %1 WITH (FORCE)").arg(m_database));
        } catch (const EError& e) {
            qWarning("%s", qPrintable(e.message()));
        }
    }
}

void TTestCatalogue::otherExec(const QString& sql) {
    try {
        m_other.Execute(sql);
    } catch (const EError& e) {
        QFAIL(qPrintable(QStringLiteral("SQL failed: %1: %2").arg(sql, e.message())));
    }
}

void TTestCatalogue::otherSchema(const QString& sqlite, const QString& server) {
    const QString& sql = TestEngine() == TTestEngine::SQLite ? sqlite : server;
    try {
        m_other.Provider().execute(sql, {});
    } catch (const EError& e) {
        QFAIL(qPrintable(QStringLiteral("SQL failed: %1: %2").arg(sql, e.message())));
    }
}

QString TTestCatalogue::addUrl(const QString& url, const QString& description,
                               const QString& category, bool visited) {
    const QString key = QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
    const auto orNull = [](const QString& s) { return s.isNull() ? QVariant() : QVariant(s); };
    try {
        m_other.Execute(
            QStringLiteral("INSERT INTO SubjectURLs(SubjectURLID, URL, Description, Category, "
                           "Visited) VALUES(:K, :U, :D, :C, :V)"),
            {{QStringLiteral("K"), key},
             {QStringLiteral("U"), orNull(url)},
             {QStringLiteral("D"), orNull(description)},
             {QStringLiteral("C"), orNull(category)},
             {QStringLiteral("V"), visited}});
    } catch (const EError& e) {
        qWarning("insert failed: %s", qPrintable(e.message()));
    }
    return key;
}

QVariant TTestCatalogue::otherValue(const QString& sql) {
    try {
        TRowStore rows;
        m_other.Provider().query(m_other.Translate(sql).sql, {})->fetchAll(rows);
        return rows.size() > 0 ? rows.cell(0, 0).variant() : QVariant();
    } catch (const EError&) {
        return QVariant();
    }
}

QStringList TTestCatalogue::otherColumn(const QString& sql) {
    QStringList values;
    try {
        TRowStore rows;
        m_other.Provider().query(m_other.Translate(sql).sql, {})->fetchAll(rows);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            values << rows.cell(static_cast<TRowStore::RowId>(r), 0).variant().toString();
        }
    } catch (const EError& e) {
        qWarning("query failed: %s", qPrintable(e.message()));
    }
    return values;
}

QString TTestCatalogue::refuseWrites(const QString& event, const QString& condition,
                                     const QString& message, const QString& table) {
    static int made = 0;
    const QString name = QStringLiteral("refuse_%1").arg(++made);
    QString sql;
    if (TestEngine() == TTestEngine::SQLite) {
        sql = QStringLiteral(
                  "CREATE TRIGGER %1 %2 ON %5 %3 BEGIN "
                  "SELECT RAISE(ABORT, '%4'); END")
                  .arg(name, event,
                       condition.isEmpty() ? QString() : QStringLiteral("WHEN ") + condition,
                       message, table);
    } else {
        const QString when =
            condition.isEmpty() ? QStringLiteral("TRUE") : m_other.Translate(condition).sql;
        sql = QStringLiteral(
                  "CREATE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                  "IF %3 THEN RAISE EXCEPTION '%4'; END IF; RETURN NEW; END $$;"
                  "CREATE TRIGGER %1 %2 ON \"%5\" FOR EACH ROW "
                  "EXECUTE FUNCTION %1()")
                  .arg(name, event, when, message, table);
    }
    try {
        m_other.Provider().execute(sql, {});
    } catch (const EError& e) {
        QTest::qFail(qPrintable(QStringLiteral("SQL failed: %1: %2").arg(sql, e.message())),
                     __FILE__, __LINE__);
    }
    return name;
}

void TTestCatalogue::allowWrites(const QString& trigger, const QString& table) {
    otherExec(TestEngine() == TTestEngine::SQLite
                  ? QStringLiteral("DROP TRIGGER %1").arg(trigger)
                  : QStringLiteral("DROP TRIGGER %1 ON [%2]").arg(trigger, table));
}

std::unique_ptr<TGeneralModule> TTestCatalogue::connectedModule() const {
    WriteRegString(RegRootKey, RegConnectionValue, connectionString());
    auto module = std::make_unique<TGeneralModule>(nullptr, false);
    module->Connect();
    return module;
}
