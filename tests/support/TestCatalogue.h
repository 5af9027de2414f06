#pragma once

#include "platform/db/Connection.h"

#include <QTemporaryDir>

#include <memory>

class TGeneralModule;

// The engine a test program runs against: the embedded one, or the PostgreSQL server named by
// LINKARIUM_TEST_PG when LINKARIUM_TEST_ENGINE is "PostgreSQL". One suite, two engines.
enum class TTestEngine { SQLite, PostgreSQL };
TTestEngine TestEngine();
// Why the chosen engine cannot be used here (no server named or reachable), or empty.
QString TestEngineUnavailable();

// Skips the whole test program, visibly, when its engine cannot be reached.
#define LINKARIUM_REQUIRE_ENGINE()                   \
    do {                                             \
        const QString why = TestEngineUnavailable(); \
        if (!why.isEmpty())                          \
            QSKIP(qPrintable(why));                  \
    } while (false)

// Skips a test case that exercises the embedded engine's own behaviour.
#define LINKARIUM_SQLITE_ONLY()                       \
    do {                                              \
        if (TestEngine() != TTestEngine::SQLite)      \
            QSKIP("checks the embedded engine only"); \
    } while (false)

// A new, empty catalogue (a file in a temporary folder, or a database of its own on the
// server) with a connection of the program opened on it, and a second connection standing
// for "another program" working on the same catalogue.
class TTestCatalogue final {
public:
    enum TLayout { WithTables, Empty };
    // databaseOptions: what CREATE DATABASE is told on the server ("LC_CTYPE 'C' …").
    explicit TTestCatalogue(TLayout layout = WithTables, const QString& databaseOptions = {});
    ~TTestCatalogue();
    TTestCatalogue(const TTestCatalogue&) = delete;
    TTestCatalogue& operator=(const TTestCatalogue&) = delete;

    // The catalogue file; only for the embedded engine.
    QString fileName() const { return m_dir.filePath(QStringLiteral("catalogue.db")); }
    QString connectionString() const { return m_connectionString; }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    TConnection& connection() { return m_connection; }
    TConnection& other() { return m_other; }

    // Runs the program's Jet SQL through the other connection; fails the test on error.
    void otherExec(const QString& sql);
    // Runs one of two texts in the engine's own dialect (names the server should keep in
    // their spelling are quoted there) through the other connection.
    void otherSchema(const QString& sqlite, const QString& server);
    // Adds a row through the other connection and returns its key.
    QString addUrl(const QString& url, const QString& description, const QString& category,
                   bool visited = false);
    // The first value a Jet query gives on the other connection; invalid on error.
    QVariant otherValue(const QString& sql);
    // The first column of every row a Jet query gives on the other connection, as text.
    QStringList otherColumn(const QString& sql);
    // Makes every row write of event ("BEFORE INSERT", "AFTER UPDATE") on SubjectURLs fail
    // with message while the Jet condition holds (always, when empty): a refusal by the engine.
    // Returns the trigger's name, for allowWrites.
    QString refuseWrites(const QString& event, const QString& condition, const QString& message,
                         const QString& table = QStringLiteral("SubjectURLs"));
    void allowWrites(const QString& trigger, const QString& table);
    // A data module connected to this catalogue through the stored connection string, as
    // the program starts.
    std::unique_ptr<TGeneralModule> connectedModule() const;

private:
    QTemporaryDir m_dir;
    QString m_connectionString;
    QString m_database;  // the server database made for this catalogue
    TConnection m_connection;
    TConnection m_other;
};
