#include "platform/SingleInstance.h"

#include "platform/FileNames.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kActivate = QByteArrayLiteral("activate\n");
// "request <text>\n": come to the front and take the text, UTF-8 on one line.
const QByteArray kRequest = QByteArrayLiteral("request ");
// The longest line a client may send: a request's text is bounded by its sender, and a
// client that says more is cut off before the running copy holds much of it.
constexpr qint64 kMaxLineBytes = 256 * 1024;
const QByteArray kAcknowledge = QByteArrayLiteral("ok\n");
// A client that has not said its word by then is closed: idle connections must not use
// up the running copy's descriptors.
constexpr int kIdleClientMs = 2000;
// Beyond this many open clients the oldest is dropped, for the same reason.
constexpr std::size_t kMaxClients = 64;
// Room left in sockaddr_un::sun_path (108 bytes) for the temporary name the server
// binds before moving the socket into place.
constexpr int kMaxSocketPath = 90;
constexpr qint64 kMaxListBytes = 64 * 1024;
constexpr int kMaxAllowed = 1000;

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
    // There was something in the list's place that is not the program's own list: the
    // copies it named are not known.
    bool damaged = false;
};

// Anything but a small regular file of numbers reads as an empty list: the list is
// rebuilt from the running processes anyway. Opened without following links and
// without blocking, so a FIFO in its place cannot stop the start.
TInstanceList readList(const QString& file) {
    TInstanceList damaged;
    damaged.damaged = true;
    const int fd =
        ::open(QFile::encodeName(file).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        struct stat st {};
        return ::lstat(QFile::encodeName(file).constData(), &st) == 0 ? damaged : TInstanceList();
    }
    struct stat st {};
    QByteArray text;
    const bool regular =
        ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxListBytes;
    if (regular) {
        text.resize(static_cast<int>(st.st_size));
        const ssize_t n = ::read(fd, text.data(), static_cast<size_t>(text.size()));
        text.resize(n < 0 ? 0 : static_cast<int>(n));
    }
    ::close(fd);
    if (!regular) {
        return damaged;
    }
    TInstanceList list;
    bool first = true;
    for (const QByteArray& raw : text.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty()) {
            continue;
        }
        bool ok = false;
        const qint64 n = line.toLongLong(&ok);
        if (!ok || n <= 0 || (first && n > kMaxAllowed)) {
            return damaged;
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
    struct stat st {};
    if (::lstat(QFile::encodeName(file).constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        // A FIFO, link or the like in the list's place: replaced, never written through.
        ::unlink(QFile::encodeName(file).constData());
    }
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

// Tries the lock until the deadline with short, jittered pauses, so that a burst of
// starts is served in a few milliseconds each instead of the growing sleeps of a
// plain timed tryLock.
bool lockWithin(QLockFile& lock, int limitMs) {
    QElapsedTimer t;
    t.start();
    for (;;) {
        if (lock.tryLock(0)) {
            return true;
        }
        if (lock.error() != QLockFile::LockFailedError || t.elapsed() >= limitMs) {
            return false;
        }
        QThread::msleep(5 + QRandomGenerator::global()->bounded(20));
    }
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

void TSingleInstance::SetTimeLimits(int lockMs, int activationMs) {
    m_lockLimitMs = lockMs;
    m_activationLimitMs = activationMs;
}

QString TSingleInstance::LockFileName() const {
    return m_folder + QLatin1Char('/') + m_name + QStringLiteral(".lock");
}

QString TSingleInstance::ListFileName() const {
    return m_folder + QLatin1Char('/') + m_name + QStringLiteral(".pids");
}

QString TSingleInstance::SocketName() const {
    const QString path = m_folder + QLatin1Char('/') + m_name + QStringLiteral(".socket");
    if (QFile::encodeName(path).size() <= kMaxSocketPath) {
        return path;
    }
    // The hash covers the runtime folder too, so other logins still get other names.
    const QByteArray hash =
        QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("/tmp/linkarium-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

TSingleInstance::TStartResult TSingleInstance::Start(int allowed, const QString& request) {
    m_message = kActivate;
    if (!request.isEmpty()) {
        const QByteArray text = request.toUtf8();
        if (text.contains('\n') || text.contains('\r') ||
            text.size() + kRequest.size() + 1 > kMaxLineBytes) {
            m_failure = QStringLiteral("%1: the request is not one line of at most %2 bytes")
                            .arg(m_executable)
                            .arg(kMaxLineBytes - kRequest.size() - 1);
            return TStartResult::Failed;
        }
        m_message = kRequest + text + '\n';
    }
    MakeFolders(m_folder);
    QLockFile lock(LockFileName());
    lock.setStaleLockTime(0);  // only a dead holder makes it stale, never its age
    if (!lockWithin(lock, m_lockLimitMs)) {
        m_failure = QStringLiteral("%1: the lock %2 was not free within %3 s")
                        .arg(m_executable, LockFileName())
                        .arg(m_lockLimitMs / 1000.0);
        return TStartResult::Failed;
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
    // A damaged list says nothing of the copies running, and one naming none may have been
    // emptied or removed under a running copy (or that copy could not write it): one that
    // answers on the socket counts, so its socket is never taken from under it.
    const int unlisted = (list.damaged || list.pids.isEmpty()) && socketAnswers() ? 1 : 0;
    const bool allowedToRun = list.pids.size() + unlisted < list.allowed;
    if (unlisted > 0 && !allowedToRun) {
        // The list is left as it is: written anew it would name no running copy, and the
        // next start would take the socket.
        lock.unlock();
        return notifyFirstCopy() ? TStartResult::Activated : activationFailed();
    }
    list.pids << self;
    writeList(ListFileName(), list);
    m_registered = true;
    if (allowedToRun) {
        if (!listen()) {
            m_failure = QStringLiteral("%1: cannot listen on %2: %3")
                            .arg(m_executable, SocketName(), m_server->errorString());
        }
        m_watchdog = new QTimer(this);
        m_watchdog->setInterval(kIdleClientMs);
        connect(m_watchdog, &QTimer::timeout, this, &TSingleInstance::keepListening);
        m_watchdog->start();
        return TStartResult::Run;
    }
    lock.unlock();
    removeSelf();
    return notifyFirstCopy() ? TStartResult::Activated : activationFailed();
}

TSingleInstance::TStartResult TSingleInstance::activationFailed() {
    m_failure = QStringLiteral("%1: the running copy did not answer on %2 within %3 s")
                    .arg(m_executable, SocketName())
                    .arg(m_activationLimitMs / 1000.0);
    return TStartResult::Failed;
}

// Only the lock holder may take over the socket name from a dead copy.
bool TSingleInstance::listen() {
    QLocalServer::removeServer(SocketName());
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server.get(), &QLocalServer::newConnection, this,
            &TSingleInstance::acceptConnections);
    return m_server->listen(SocketName());
}

// The server stops for good when accepting fails (no descriptors left, for one): it is
// opened again under the lock.
void TSingleInstance::keepListening() {
    if (m_server && m_server->isListening()) {
        return;
    }
    QLockFile lock(LockFileName());
    lock.setStaleLockTime(0);
    if (lockWithin(lock, 200)) {
        listen();
    }
}

void TSingleInstance::acceptConnections() {
    while (QLocalSocket* s = m_server->nextPendingConnection()) {
        // Owned here, so that a server opened again leaves its clients alone.
        s->setParent(this);
        m_clients.push_back(s);
        s->setReadBufferSize(kMaxLineBytes);
        connect(s, &QLocalSocket::readyRead, this, [this, s]() { readClient(s); });
        connect(s, &QLocalSocket::disconnected, this, [this, s]() { forget(s); });
        QTimer::singleShot(kIdleClientMs, s, [this, s]() { drop(s); });
        while (m_clients.size() > kMaxClients) {
            drop(m_clients.front());
        }
    }
    keepListening();
}

void TSingleInstance::readClient(QLocalSocket* s) {
    if (!s->canReadLine()) {
        if (s->bytesAvailable() >= kMaxLineBytes) {
            drop(s);
        }
        return;
    }
    const QByteArray line = s->readLine(kMaxLineBytes);
    if (line == kActivate) {
        Q_EMIT ActivateRequested();
        s->write(kAcknowledge);
    } else if (line.startsWith(kRequest) && line.endsWith('\n')) {
        s->write(kAcknowledge);
        const QString request =
            QString::fromUtf8(line.mid(kRequest.size(), line.size() - kRequest.size() - 1));
        // Told from the event loop, not from inside this socket's signal: the receiver may
        // open a window and wait on it.
        QTimer::singleShot(0, this, [this, request]() {
            Q_EMIT ActivateRequested();
            Q_EMIT RequestReceived(request);
        });
    }
    s->disconnectFromServer();
}

void TSingleInstance::drop(QLocalSocket* socket) {
    disconnect(socket, nullptr, this, nullptr);
    forget(socket);
    socket->abort();
}

void TSingleInstance::forget(QLocalSocket* socket) {
    const auto it = std::find(m_clients.begin(), m_clients.end(), socket);
    if (it != m_clients.end()) {
        m_clients.erase(it);
        socket->deleteLater();
    }
}

bool TSingleInstance::socketAnswers() const {
    QLocalSocket socket;
    socket.connectToServer(SocketName());
    return socket.waitForConnected(500);
}

bool TSingleInstance::notifyFirstCopy() {
    // The first copy may be starting up and not listen or read yet: retry until it
    // answers, within the limit.
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < m_activationLimitMs) {
        QLocalSocket socket;
        socket.connectToServer(SocketName());
        if (socket.waitForConnected(500)) {
            socket.write(m_message);
            socket.waitForBytesWritten(1000);
            QByteArray answer;
            while (!answer.contains('\n') && socket.waitForReadyRead(kIdleClientMs)) {
                answer += socket.readAll();
            }
            answer += socket.readAll();
            if (answer.startsWith(kAcknowledge)) {
                return true;
            }
        }
        QThread::msleep(50 + QRandomGenerator::global()->bounded(100));
    }
    return false;
}

void TSingleInstance::removeSelf() {
    while (!m_clients.empty()) {
        QLocalSocket* s = m_clients.front();
        m_clients.pop_front();
        disconnect(s, nullptr, this, nullptr);
        delete s;
    }
    m_server.reset();
    if (!m_registered) {
        return;
    }
    m_registered = false;
    QLockFile lock(LockFileName());
    lock.setStaleLockTime(0);
    if (!lockWithin(lock, 5000)) {
        return;  // the next start drops this entry once the process has ended
    }
    TInstanceList list = readList(ListFileName());
    list.pids.removeAll(QCoreApplication::applicationPid());
    writeList(ListFileName(), list);
}
