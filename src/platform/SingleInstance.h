#pragma once

#include <QObject>
#include <QString>

#include <deque>
#include <memory>

class QLocalServer;
class QLocalSocket;
class QTimer;

// Allows one running copy per executable path. The running copies keep their process
// identifiers, with the allowed count, in a small file changed only under a lock that
// the kernel releases when its holder dies; entries of processes that no longer run this
// executable are dropped, so a crashed copy never locks the program out. The first copy
// listens on a local socket; a refused start asks it to show its window and waits for
// its answer. Lock, list and socket live in the user's runtime folder, so two logins
// with different runtime folders never see each other.
class TSingleInstance final : public QObject {
    Q_OBJECT
public:
    enum class TStartResult {
        Run,        // this copy may run and now listens for later starts
        Activated,  // another copy runs and has been asked to show itself
        Failed      // neither: the lock or the running copy did not answer in time
    };

    // The name is made from the user and the executable's canonical path.
    explicit TSingleInstance(const QString& executablePath, QObject* parent = nullptr);
    ~TSingleInstance() override;

    // request, one line of text (a link handed over), goes to the running copy with the
    // request to show itself when this copy may not run; empty asks only that.
    TStartResult Start(int allowed = 1, const QString& request = QString());
    // Why Start failed, in words for standard error.
    QString FailureText() const { return m_failure; }

    QString Name() const { return m_name; }
    QString LockFileName() const;
    QString ListFileName() const;
    QString SocketName() const;

    // Bounds, shortened by tests.
    void SetTimeLimits(int lockMs, int activationMs);

Q_SIGNALS:
    // A later start of the same executable asked this copy to come to the front.
    void ActivateRequested();
    // ... and handed it this request (after ActivateRequested).
    void RequestReceived(const QString& request);

private:
    void removeSelf();
    // Whether a copy listens on the socket now.
    bool socketAnswers() const;
    bool notifyFirstCopy();
    void readClient(QLocalSocket* socket);
    TStartResult activationFailed();
    bool listen();
    void acceptConnections();
    void forget(QLocalSocket* socket);
    void drop(QLocalSocket* socket);
    void keepListening();

    QString m_executable;
    QString m_name;
    QString m_folder;
    QString m_failure;
    QByteArray m_message;  // what a refused start says to the running copy
    int m_lockLimitMs = 30000;
    int m_activationLimitMs = 30000;
    std::unique_ptr<QLocalServer> m_server;
    std::deque<QLocalSocket*> m_clients;
    QTimer* m_watchdog = nullptr;
    bool m_registered = false;
};
