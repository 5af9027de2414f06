#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <optional>
#include <vector>

struct sqlite3;

// A typed registry value: the store keeps strings and 32-bit integers apart, so a
// value written as one type never reads back as the other.
struct TRegValue {
    enum class Type { String = 1, Integer = 4 };
    Type type = Type::String;
    QString text;
    qint32 number = 0;

    static TRegValue fromString(const QString& s) { return {Type::String, s, 0}; }
    static TRegValue fromInteger(qint32 n) { return {Type::Integer, QString(), n}; }
    bool operator==(const TRegValue& o) const {
        return type == o.type && (type == Type::String ? text == o.text : number == o.number);
    }
};

struct TRegNamedValue {
    QString name;
    TRegValue value;
};

// The settings store of the process: one SQLite file standing in for the registry root.
// Keys are backslash paths compared without regard to case (as the registry does);
// values enumerate in the order they were first created. Every write is one SQLite
// transaction, so a crash never leaves half a write, and a second process may use the
// same file at once (WAL with a busy timeout).
class TRegistryStore final {
public:
    static TRegistryStore& instance();

    // The file lives in the per-user configuration directory unless a test points
    // the store elsewhere; changing the name closes the open file.
    static QString defaultFileName();
    void setFileName(const QString& fileName);
    QString fileName() const { return m_fileName; }

    // A one-time message about a settings file that could not be used as it was at
    // open (kept aside, copied, locked, unreadable); empty when there is nothing to
    // tell. Reading it clears it.
    QString takeNotice();

    // Told once when a write fails, then again only after a write has succeeded, so a
    // failing store costs the user one message, not one per value. Without a handler
    // the failure goes to the warning log.
    using TFailureHandler = std::function<void(const QString&)>;
    void setWriteFailureHandler(TFailureHandler handler) { m_onWriteFailure = std::move(handler); }

    bool keyExists(const QString& key);
    bool createKey(const QString& key);
    bool deleteKey(const QString& key);
    QStringList subKeyNames(const QString& key);

    std::optional<TRegValue> readValue(const QString& key, const QString& name);
    bool writeValue(const QString& key, const QString& name, const TRegValue& value);
    bool deleteValue(const QString& key, const QString& name);
    QVector<TRegNamedValue> values(const QString& key);

    void close();

    // "Software\\A\\\\B\\" and "software\\a\\b" name the same key.
    static QString normalizeKey(const QString& key);

    ~TRegistryStore();

private:
    TRegistryStore();
    TRegistryStore(const TRegistryStore&) = delete;
    TRegistryStore& operator=(const TRegistryStore&) = delete;

    // A message kept in its parts and put into words when shown: a notice found before
    // the language was chosen still reads in the user's language.
    struct TText {
        const char* source = nullptr;  // translated in the store's context
        int errnoCode = 0;
        QString plain;  // file names, the engine's own words
        std::vector<TText> args;
        QString shown() const;
    };
    static TText fixed(const char* source, std::vector<TText> args = {});
    static TText plain(const QString& text);
    static TText fromErrno(int code);
    static TText fromEngine(sqlite3* db);
    bool ensureOpen();
    bool ensureWritable();
    bool openFile(int busyMs);
    enum class SchemaState { Ready, Unavailable, Damaged };
    SchemaState initialiseSchema(QString& damage);
    bool keepAside(const TText& reason);
    QString copyAside(const QString& stamp, TText& why) const;
    void setNotice(TText text);
    void unusable(const TText& reason);
    bool written(bool ok);
    bool createKeyChain(const QString& normalized);

    QString m_fileName;
    std::optional<TText> m_notice;
    TText m_lastError;
    TFailureHandler m_onWriteFailure;
    sqlite3* m_db = nullptr;
    bool m_failed = false;
    bool m_noticeGiven = false;
    bool m_failureReported = false;
    qint64 m_lastAttempt = 0;
};
