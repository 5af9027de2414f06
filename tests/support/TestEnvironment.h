#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// Points the settings store at a fresh file in a temporary folder for one test case,
// and resets the program options to their initial values.
class TTestEnvironment final {
public:
    TTestEnvironment();
    ~TTestEnvironment();
    TTestEnvironment(const TTestEnvironment&) = delete;
    TTestEnvironment& operator=(const TTestEnvironment&) = delete;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString storeFile() const { return path(QStringLiteral("settings.db")); }

private:
    QTemporaryDir m_dir;
};

// Test mode for the standard paths, so nothing touches a person's real settings.
void InitTestApplication();

// Puts an environment variable back as qgetenv found it: one that was not set is unset again,
// since libpq, for one, reads a variable set to nothing as a value.
inline void RestoreEnvironment(const char* name, const QByteArray& saved) {
    if (saved.isNull()) {
        qunsetenv(name);
    } else {
        qputenv(name, saved);
    }
}
