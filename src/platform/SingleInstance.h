#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;

// Allows one running copy per executable path. The running copies keep their process
// identifiers, with the allowed count, in a small file changed only under a lock that
// the kernel releases when its holder dies; entries of processes that no longer run this
// executable are dropped, so a crashed copy never locks the program out. The first copy
// listens on a local socket; a refused start asks it to show its window.
class TSingleInstance final : public QObject {
    Q_OBJECT
public:
    // The name is made from the user and the executable's canonical path.
    explicit TSingleInstance(const QString& executablePath, QObject* parent = nullptr);
    ~TSingleInstance() override;

    // Registers this process. True: it may run (and now listens for later starts).
    // False: another copy runs; it has been asked to show itself.
    bool Start(int allowed = 1);

    QString Name() const { return m_name; }
    QString LockFileName() const;
    QString ListFileName() const;

Q_SIGNALS:
    // A later start of the same executable asked this copy to come to the front.
    void ActivateRequested();

private:
    void removeSelf();
    bool notifyFirstCopy();

    QString m_executable;
    QString m_name;
    QString m_folder;
    std::unique_ptr<QLocalServer> m_server;
    bool m_registered = false;
};
