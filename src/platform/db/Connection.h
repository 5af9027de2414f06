#pragma once

#include "platform/db/DbProvider.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QSocketNotifier;
class TDataSet;

// The one database connection of the program: an OLE DB style connection string, the
// engine it names, transactions (nested ones as savepoints) and command execution.
// Closing it closes every dataset on it.
class TConnection final : public QObject {
    Q_OBJECT
public:
    explicit TConnection(QObject* parent = nullptr);
    ~TConnection() override;

    QString ConnectionString() const { return m_connectionString; }
    // Only while closed; an open connection is closed first.
    void SetConnectionString(const QString& text);

    void Open();
    void Close();
    // Before a command: a session the server has ended (a restart) is opened again, once,
    // when no transaction was under way; the datasets keep the rows they hold. A failure
    // to reach the server is reported to the command.
    void ReconnectIfLost();
    bool Connected() const { return m_provider && m_provider->isOpen(); }
    // Connected, but the server has ended the session: only opening again helps.
    bool Lost() const { return Connected() && m_provider->lost(); }
    // A call or an opening is being waited for, the windows' events turning meanwhile.
    bool Busy() const { return m_opening || (m_provider && m_provider->busy()); }

    // Called after every successful opening; an error thrown here goes to Open's caller,
    // and the connection stays open.
    std::function<void(TConnection&)> AfterConnect;

    int BeginTrans();
    // A commit the engine cannot confirm is settled: the catalogue is opened afresh and the
    // transaction's witness asked whether the change is stored. Stored: the commit returns
    // and StoredDespiteError is signalled; not stored: an EDatabaseError says so; no witness
    // or no fresh opening: EUnknownOutcomeError.
    void CommitTrans();
    void RollbackTrans();
    bool InTransaction() const { return m_level > 0; }
    // How a writer tells whether the transaction under way is stored, once a fresh opening
    // reads the file. A transaction is stored whole or not at all, yet a later write of the
    // same transaction can make an earlier witness wrong (the row it saw inserted is
    // deleted again), and a savepoint undone takes its witnesses with it: every witness
    // kept is asked, and only when all agree is the answer known. Outside a transaction
    // it is not kept.
    void SetWitness(std::function<bool()> stored);

    // Runs Jet SQL with named parameters; returns the rows changed.
    qint64 Execute(const QString& jetSql, const QVariantMap& params = {});
    // The first value of the first row a Jet SQL query gives; null for no rows.
    QVariant Value(const QString& jetSql, const QVariantMap& params = {});

    TDbProvider& Provider() const;
    // The engine for a statement that writes: datasets still reading a result read it to
    // the end first, so that no reading overlaps a change and each answer stays whole.
    TDbProvider& Writer();
    TSqlDialect Dialect() const { return Provider().dialect(); }
    TTranslatedSql Translate(const QString& jetSql) const;
    // Counts the openings, so a translation made for an earlier engine is not reused.
    quint64 Epoch() const { return m_epoch; }

    void RegisterDataSet(TDataSet* dataSet);
    void UnregisterDataSet(TDataSet* dataSet);

    // The shortest time between two ChangedElsewhere signals.
    static constexpr int kChangeNoticeMs = 1000;
    // The server ended the session while the program sat idle, and it has not been opened
    // again yet: what the windows show may be out of date.
    bool LinkDown() const { return m_linkDown; }

Q_SIGNALS:
    // Another program has committed a change to the catalogue (on an engine that tells
    // without being asked); a burst of changes gives one signal, at most one a second.
    void ChangedElsewhere();
    // The disk (or the server) reported an error at a commit, and a fresh opening found the
    // change stored all the same: worth telling, since the disk may be failing.
    void StoredDespiteError(const QString& message);
    // The server's session ended (down) or was opened again (up); an ended session is
    // opened again in the background, waiting longer after each failure.
    void LinkChanged(bool down);

private:
    void watchNotifications();
    void dropLostSession();
    void notificationsArrived();
    void relink();
    void setLinkDown(bool down);
    void settleCommit(const EUnknownOutcomeError& error);
    static QVariantList valuesFor(const TTranslatedSql& t, const QVariantMap& params);

    QSocketNotifier* m_notifier = nullptr;
    QTimer m_notice;
    QElapsedTimer m_lastNotice;
    std::optional<qint64> m_seenStamp;
    // The server ended the session and opening it again has not succeeded yet.
    bool m_reconnect = false;
    bool m_linkDown = false;
    // The session is being opened again in the background, not at the user's command.
    bool m_background = false;
    bool m_opening = false;
    // Refuses to start anything on the connection from inside a wait on it.
    void refuseWhileBusy() const;
    QTimer m_relink;
    int m_relinkDelayMs = 0;
    QString m_connectionString;
    std::unique_ptr<TDbProvider> m_provider;
    QList<TDataSet*> m_dataSets;
    int m_level = 0;
    quint64 m_epoch = 0;
    // The transaction's witnesses, each with the level it was given at.
    std::vector<std::pair<int, std::function<bool()>>> m_witnesses;
};

// One statement's translation, made once and kept while the connection's engine and its
// name dictionary stay the same, so a statement run again is not lexed again.
class TTranslationCache final {
public:
    // The translation for the connection (SQLite's, for the parameter names alone, while
    // there is no open connection).
    const TTranslatedSql& For(const TConnection* connection, const QString& jetSql);
    void Reset() { m_valid = false; }

private:
    TTranslatedSql m_sql;
    bool m_valid = false;
    quint64 m_epoch = 0;
    quint64 m_generation = 0;
    const TSqlNames* m_names = nullptr;
};

// How many times in all a transaction the server rolled back as transient is run.
constexpr int kTransactionAttempts = 3;

// Runs work in a transaction of its own and commits it; when the server rolled it back to
// break a deadlock or a serialisation conflict, it runs again, attempts times at most in
// all, and then the error is reported. Inside a transaction already under way it runs once
// (the outer one is lost with it). Returns the number of runs. Work that is run again must
// start from what it had before: nothing it did in the rolled-back run stays.
int RunTransaction(TConnection& connection, const std::function<void()>& work,
                   int attempts = kTransactionAttempts);

// A transaction for one scope: rolled back on every path out of it unless committed.
class TTransaction final {
public:
    explicit TTransaction(TConnection& connection);
    ~TTransaction();
    TTransaction(const TTransaction&) = delete;
    TTransaction& operator=(const TTransaction&) = delete;
    void Commit();

private:
    TConnection& m_connection;
    bool m_open = false;
};
