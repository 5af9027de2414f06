#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>

#include <unistd.h>

namespace {

constexpr int kLockWaitMs = 5000;
const QByteArray kActivate = QByteArrayLiteral("activate\n");

QString userName() {
    const QByteArray u = qgetenv("USER");
    return u.isEmpty() ? QString::number(::getuid()) : QString::fromLocal8Bit(u);
}

QString canonical(const QString& path) {
    const QString c = QFileInfo(path).canonicalFilePath();
    return c.isEmpty() ? QFileInfo(path).absoluteFilePath() : c;
}

// Whether the process runs the given executable (a recycled PID running anything else
// does not count).
bool runs(qint64 pid, const QString& executable) {
    const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid));
    if (exe.isEmpty()) {
        return false;
    }
    // A replaced file shows as "path (deleted)".
    QString path = exe;
    path.remove(QStringLiteral(" (deleted)"));
    return path == executable;
}

struct TInstanceList {
    int allowed = 0;
    QList<qint64> pids;
};

TInstanceList readList(const QString& file) {
    TInstanceList list;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        return list;
    }
    const QList<QByteArray> lines = f.readAll().split('\n');
    bool first = true;
    for (const QByteArray& line : lines) {
        bool ok = false;
        const qint64 n = line.trimmed().toLongLong(&ok);
        if (!ok) {
            continue;
        }
        if (first) {
            list.allowed = static_cast<int>(n);
            first = false;
        } else {
            list.pids << n;
        }
    }
    return list;
}

bool writeList(const QString& file, const TInstanceList& list) {
    QSaveFile f(file);
    if (!f.open(QIODevice::WriteOnly)) {
        return false;
    }
    QByteArray text = QByteArray::number(list.allowed) + '\n';
    for (qint64 pid : list.pids) {
        text += QByteArray::number(pid) + '\n';
    }
    f.write(text);
    return f.commit();
}

}  // namespace

TSingleInstance::TSingleInstance(const QString& executablePath, QObject* parent)
    : QObject(parent), m_executable(canonical(executablePath)) {
    const QByteArray hash =
        QCryptographicHash::hash(m_executable.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    m_name = QStringLiteral("linkarium-%1-%2").arg(userName(), QString::fromLatin1(hash));
    m_folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (m_folder.isEmpty()) {
        m_folder = QDir::tempPath();
    }
}

TSingleInstance::~TSingleInstance() {
    removeSelf();
}

QString TSingleInstance::LockFileName() const {
    return m_folder + QLatin1Char('/') + m_name + QStringLiteral(".lock");
}

QString TSingleInstance::ListFileName() const {
    return m_folder + QLatin1Char('/') + m_name + QStringLiteral(".pids");
}

bool TSingleInstance::Start(int allowed) {
    QDir().mkpath(m_folder);
    QLockFile lock(LockFileName());
    lock.setStaleLockTime(0);  // only a dead holder makes it stale, never its age
    if (!lock.tryLock(kLockWaitMs)) {
        // Somebody holds the lock for long: run rather than refuse to start at all.
        return true;
    }
    TInstanceList list = readList(ListFileName());
    QList<qint64> alive;
    const qint64 self = QCoreApplication::applicationPid();
    for (qint64 pid : list.pids) {
        if (pid != self && runs(pid, m_executable)) {
            alive << pid;
        }
    }
    list.pids = alive;
    if (list.allowed <= 0) {
        list.allowed = allowed;  // the first copy sets it; later ones leave it alone
    }
    const bool allowedToRun = list.pids.size() < list.allowed;
    list.pids << self;
    writeList(ListFileName(), list);
    m_registered = true;
    if (allowedToRun) {
        // Only the lock holder may take over the socket name from a dead copy.
        QLocalServer::removeServer(m_name);
        m_server = std::make_unique<QLocalServer>();
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        m_server->listen(m_name);
        connect(m_server.get(), &QLocalServer::newConnection, this, [this]() {
            while (QLocalSocket* s = m_server->nextPendingConnection()) {
                connect(s, &QLocalSocket::readyRead, this, [this, s]() {
                    if (s->readAll().contains(kActivate.trimmed())) {
                        Q_EMIT ActivateRequested();
                    }
                    s->disconnectFromServer();
                });
                connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            }
        });
        return true;
    }
    lock.unlock();
    removeSelf();
    notifyFirstCopy();
    return false;
}

bool TSingleInstance::notifyFirstCopy() {
    // The first copy may be starting up and not listen yet: retry for a short while.
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 3000) {
        QLocalSocket socket;
        socket.connectToServer(m_name);
        if (socket.waitForConnected(500)) {
            socket.write(kActivate);
            socket.waitForBytesWritten(1000);
            socket.waitForDisconnected(1000);
            return true;
        }
        QThread::msleep(100);
    }
    return false;
}

void TSingleInstance::removeSelf() {
    m_server.reset();
    if (!m_registered) {
        return;
    }
    m_registered = false;
    QLockFile lock(LockFileName());
    lock.setStaleLockTime(0);
    if (!lock.tryLock(kLockWaitMs)) {
        return;  // the next start drops this entry once the process has ended
    }
    TInstanceList list = readList(ListFileName());
    list.pids.removeAll(QCoreApplication::applicationPid());
    writeList(ListFileName(), list);
}
