#pragma once

#include "platform/Errors.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/FieldTypes.h"
#include "platform/db/JetSql.h"

#include <QVariant>
#include <QVector>

#include <memory>
#include <optional>

class TRowStore;

// An error the database engine reported, with its own text.
class EDatabaseError : public EError {
public:
    using EError::EError;
};

// A row that someone else changed or deleted after it was read: the change was not made.
class EConflictError final : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

// The server rolled the whole transaction back to break a deadlock or a serialisation
// conflict: nothing of it was kept, and running it again may succeed.
class ETransientError final : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

// A commit the engine could not confirm: the disk failed while the change was written, or
// the server went away while it ran. The change may be stored or not.
class EUnknownOutcomeError final : public EDatabaseError {
public:
    // cause: the engine's own words, for a message that settles the outcome.
    EUnknownOutcomeError(const QString& message, QString cause)
        : EDatabaseError(message), m_cause(std::move(cause)) {}
    const QString& cause() const { return m_cause; }

private:
    QString m_cause;
};

struct TColumnInfo {
    QString name;
    TFieldType type = TFieldType::Unknown;
    int size = 0;
    QString table;   // the base table the column comes from, when the engine knows it
    QString column;  // its name there
};

// The result of a query, read once into a row store. Column names are known at once; where
// a column comes from and its declared type are complete once fetchAll has run.
class TDbCursor {
public:
    virtual ~TDbCursor() = default;
    const QVector<TColumnInfo>& columns() const { return m_columns; }
    // Resets the store to the result's columns and appends every row.
    virtual void fetchAll(TRowStore& store) = 0;
    // Appends up to rows more rows, the first call resetting the store as fetchAll does;
    // true once the result is exhausted, and only then are the columns complete. An
    // engine that cannot read a result in parts reads it whole at the first call.
    virtual bool fetchSome(TRowStore& store, std::size_t rows) {
        (void)rows;
        fetchAll(store);
        return true;
    }

protected:
    QVector<TColumnInfo> m_columns;
};

// Where a connection to a server leads and how it is protected, as the server and libpq
// report it once connected (a service file may have named them).
struct TServerLink {
    QString host;  // the server, with its port
    QString database;
    bool encrypted = false;     // TLS
    bool verified = false;      // the server's certificate checked against a root certificate
    bool hostVerified = false;  // and its name checked against the certificate's
    // The database's character type (LC_CTYPE): the server folds the case of letters by
    // it, so that one that is not a UTF-8 one folds ASCII letters only.
    QString characterType;
    // Whether the server folds the case of every letter, not only of Latin ones.
    bool foldsEveryLetter() const {
        return characterType.contains(QLatin1String("utf-8"), Qt::CaseInsensitive) ||
               characterType.contains(QLatin1String("utf8"), Qt::CaseInsensitive);
    }
};

// One database engine behind TConnection. Statements arrive already in the engine's
// dialect with its own placeholders (placeholder(n) for the n-th, from 1), one value per
// placeholder; a new engine is one more implementation of this.
class TDbProvider {
public:
    virtual ~TDbProvider() = default;

    virtual TSqlDialect dialect() const = 0;
    virtual void open(const TConnectionString& connection) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Open, but the other end has gone (a server that closed the session).
    virtual bool lost() const { return false; }
    // A call is being waited for, the windows' events turning meanwhile: nothing may start
    // another call on the connection, nor close it.
    virtual bool busy() const { return false; }
    // The server an open connection leads to; none for a file.
    virtual std::optional<TServerLink> serverLink() const { return std::nullopt; }

    virtual std::unique_ptr<TDbCursor> query(const QString& sql, const QVariantList& params) = 0;
    // Runs one statement and returns the number of rows it changed; the rows of a
    // RETURNING clause go to returned when given.
    virtual qint64 execute(const QString& sql, const QVariantList& params,
                           QVector<QVariantList>* returned = nullptr) = 0;

    virtual QStringList primaryKey(const QString& table) = 0;
    // The engine's own row address ("rowid", "ctid"), for tables without a key.
    virtual QString rowLocator() const = 0;
    virtual QString beginSql() const = 0;
    virtual QString nullSafeEquals() const = 0;
    virtual QString placeholder(int number) const = 0;
    // Columns the translator has to know by type; none for engines that compare like Jet.
    virtual const TSqlNames* sqlNames() { return nullptr; }
    // A number that changes whenever another connection commits a change to the catalogue
    // (this connection's own writes leave it); none when the engine cannot tell.
    virtual std::optional<qint64> changeStamp() { return std::nullopt; }
    // The write just run changed these rows of table (their keys as text): the others on
    // the catalogue are told which, where the engine can tell them.
    virtual void noteChangedRows(const QString& table, const QStringList& keys) {
        (void)table;
        (void)keys;
    }
    // The keys of table that other connections said they changed after change stamp since,
    // up to upTo; none when any of them did not say which, or the engine cannot tell.
    virtual std::optional<QStringList> keysChangedSince(qint64 since, qint64 upTo,
                                                        const QString& table) const {
        (void)since;
        (void)upTo;
        (void)table;
        return std::nullopt;
    }
    // Whether this connection's user may add, change and delete rows of the table (false
    // when the server's rights say no; true for a table it does not know).
    virtual bool mayChange(const QString& table) {
        (void)table;
        return true;
    }
    // Whether a query without ORDER BY gives its rows in the same order each time it runs
    // while nothing changes but the rows written (SQLite's rowid order; a server moves an
    // updated row).
    virtual bool stableOrder() const { return true; }
    // A socket that becomes readable when the engine has something to say unasked (another
    // connection's change, the end of the session); -1 for none. Reading it is poll's part.
    virtual int notificationSocket() const { return -1; }
    // Takes in what the engine has sent unasked, without waiting: changes made elsewhere
    // move the change stamp, an ended session shows as lost.
    virtual void poll() {}
    // After a commit that failed was found not stored: makes sure nothing it left behind
    // can come back at a later opening; false when that cannot be made sure of.
    virtual bool forgetFailedCommit() { return true; }
};

// The provider a connection string names; an unknown one is an error.
std::unique_ptr<TDbProvider> CreateProvider(const TConnectionString& connection);
