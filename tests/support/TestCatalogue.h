#pragma once

#include "platform/db/Connection.h"

#include <QTemporaryDir>

#include <memory>

struct sqlite3;
class TGeneralModule;

// A new catalogue in a temporary folder, with a connection of the program opened on it and
// a second, raw handle standing for "another program" writing to the same file.
class TTestCatalogue final {
public:
    TTestCatalogue();
    ~TTestCatalogue();
    TTestCatalogue(const TTestCatalogue&) = delete;
    TTestCatalogue& operator=(const TTestCatalogue&) = delete;

    QString fileName() const { return m_dir.filePath(QStringLiteral("catalogue.db")); }
    QString connectionString() const;
    QString path(const QString& name) const { return m_dir.filePath(name); }
    TConnection& connection() { return m_connection; }

    // Runs SQL (the engine's own dialect) through the other handle; fails the test on error.
    void otherExec(const QString& sql);
    // Adds a row through the other handle and returns its key.
    QString addUrl(const QString& url, const QString& description, const QString& category,
                   bool visited = false);
    QVariant otherValue(const QString& sql);
    // A data module connected to this catalogue through the stored connection string, as
    // the program starts.
    std::unique_ptr<TGeneralModule> connectedModule() const;

private:
    QTemporaryDir m_dir;
    TConnection m_connection;
    sqlite3* m_other = nullptr;
};
