#include "mail/SocketClient.h"

#include "platform/Errors.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QHostInfo>
#include <QSslCertificate>
#include <QSslSocket>
#include <QThread>

// The line-oriented client under the SMTP dialogue: lookup, connection, TLS, waits that keep
// the GUI responsive, socket errors with their Windows Sockets numbers.

namespace {

// A server that never ends its line cannot make the client hold more than this.
constexpr int kMaxReplyLine = 64 * 1024;
constexpr int kSendPiece = 65536;

struct TWinsockText {
    int code;
    const char* text;
};

// The standard Windows Sockets error texts, so the mail log reads as it always has.
const TWinsockText kWinsockTexts[] = {
    {10004, "Interrupted system call"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on non-socket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10041, "Protocol wrong type for socket"},
    {10042, "Bad protocol option"},
    {10043, "Protocol not supported"},
    {10044, "Socket type not supported"},
    {10045, "Operation not supported on socket"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported by protocol family"},
    {10048, "Address already in use"},
    {10049, "Can't assign requested address"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Net dropped connection or reset"},
    {10053, "Software caused connection abort"},
    {10054, "Connection reset by peer"},
    {10055, "No buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Can't send after socket shutdown"},
    {10059, "Too many references, can't splice"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "File name too long"},
    {10064, "Host is down"},
    {10065, "No Route to Host"},
    {10066, "Directory not empty"},
    {10067, "Too many processes"},
    {10068, "Too many users"},
    {10069, "Disc Quota Exceeded"},
    {10070, "Stale NFS file handle"},
    {10071, "Too many levels of remote in path"},
    {10091, "Network subsystem is unavailable"},
    {10092, "WINSOCK DLL Version out of range"},
    {10093, "Winsock not loaded yet"},
    {11001, "Host not found"},
    {11002, "Non-authoritative 'Host not found' (try again or check DNS setup)"},
    {11003, "Non-recoverable errors: FORMERR, REFUSED, NOTIMP"},
    {11004, "Valid name, no data record (check DNS setup)"},
};

int winsockCodeOf(QAbstractSocket::SocketError e) {
    switch (e) {
        case QAbstractSocket::ConnectionRefusedError:
            return 10061;
        case QAbstractSocket::RemoteHostClosedError:
            return 10054;
        case QAbstractSocket::HostNotFoundError:
            return 11001;
        case QAbstractSocket::SocketAccessError:
            return 10013;
        case QAbstractSocket::SocketResourceError:
            return 10055;
        case QAbstractSocket::SocketTimeoutError:
            return 10060;
        case QAbstractSocket::NetworkError:
            return 10050;
        case QAbstractSocket::AddressInUseError:
            return 10048;
        case QAbstractSocket::UnsupportedSocketOperationError:
            return 10045;
        default:
            return 10022;
    }
}

}  // namespace

QString SocketErrorText(int code) {
    for (const TWinsockText& t : kWinsockTexts) {
        if (t.code == code) {
            return QString::number(code) + QLatin1Char(':') + QLatin1String(t.text);
        }
    }
    return QStringLiteral("Unknown Error No. ") + QString::number(code);
}

TSocketClient::TSocketClient() = default;

TSocketClient::~TSocketClient() = default;

bool TSocketClient::Connected() const {
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

bool TSocketClient::Encrypted() const {
    return Connected() && m_socket->isEncrypted();
}

void TSocketClient::startTls() {
    if (!QSslSocket::supportsSsl()) {
        throw EError(QStringLiteral("TLS is not available on this system"));
    }
    QString host = Host.trimmed();
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'))) {
        host = host.mid(1, host.size() - 2);
    }
    m_socket->setPeerVerifyName(host);
    QStringList problems;
    QObject context;
    QObject::connect(
        m_socket.get(), &QSslSocket::sslErrors, &context,
        [this, &problems](const QList<QSslError>& errors) {
            const QString digest = QString::fromLatin1(
                m_socket->peerCertificate().digest(QCryptographicHash::Sha256).toHex());
            const bool trusted =
                !TrustedCertificate.isEmpty() && QString(TrustedCertificate)
                                                         .remove(QLatin1Char(':'))
                                                         .compare(digest, Qt::CaseInsensitive) == 0;
            QList<QSslError> fatal;
            for (const QSslError& e : errors) {
                // Only who vouches for the certificate is waived, never the host name.
                const bool unvouched = e.error() == QSslError::SelfSignedCertificate ||
                                       e.error() == QSslError::SelfSignedCertificateInChain ||
                                       e.error() == QSslError::UnableToGetLocalIssuerCertificate ||
                                       e.error() == QSslError::UnableToVerifyFirstCertificate ||
                                       e.error() == QSslError::CertificateUntrusted;
                if (!(trusted && unvouched)) {
                    fatal << e;
                    problems << e.errorString();
                }
            }
            if (fatal.isEmpty()) {
                m_socket->ignoreSslErrors(errors);
            }
        });
    m_buffer.clear();
    m_socket->startClientEncryption();
    wait([this]() { return m_socket->isEncrypted() || !Connected(); }, "TLS Negotiation Timed Out",
         "TLS Negotiation Canceled");
    if (!m_socket->isEncrypted()) {
        const QString reason =
            problems.isEmpty() ? m_socket->errorString() : problems.join(QStringLiteral("; "));
        throw EError(QStringLiteral("TLS negotiation failed with %1: %2").arg(host, reason));
    }
}

qint64 TSocketClient::deadlineFromNow() const {
    if (TimeOut <= 0) {
        return 0;
    }
    QElapsedTimer now;
    now.start();
    return now.msecsSinceReference() + TimeOut;
}

template <typename Done>
void TSocketClient::wait(Done done, const char* timedOut, const char* canceled, qint64 deadline) {
    if (deadline == 0) {
        deadline = deadlineFromNow();
    }
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (Cancelled) {
            throw EError(QLatin1String(canceled));
        }
        if (deadline > 0 && timer.msecsSinceReference() + timer.elapsed() > deadline) {
            throw EError(QLatin1String(timedOut));
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        if (m_socket) {
            m_socket->waitForReadyRead(2);
        } else {
            QThread::msleep(2);
        }
    }
}

void TSocketClient::lookUp(QHostAddress& address) {
    QString host = Host.trimmed();
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'))) {
        host = host.mid(1, host.size() - 2);
    }
    if (address.setAddress(host)) {
        return;  // an IPv4 or IPv6 address as it stands
    }
    address.clear();
    // The lookup runs beside the event loop, inside the same wait as every other one, so
    // the time limit and Cancel hold for it too. A lookup given up on finishes on its own
    // into state that outlives this call, received by an object that outlives it too
    // (aborting it, or losing its receiver, would leak the answer's slot object).
    struct TLookup {
        bool done = false;
        QHostInfo info;
    };
    const auto state = std::make_shared<TLookup>();
    if (!m_lookups) {
        m_lookups = std::make_unique<QObject>();
    }
    QHostInfo::lookupHost(host, m_lookups.get(), [state](const QHostInfo& info) {
        state->info = info;
        state->done = true;
    });
    wait([&state]() { return state->done; }, "Host Lookup Timed Out", "Host Lookup Canceled");
    const QHostInfo result = state->info;
    const QList<QHostAddress> found = result.addresses();
    for (const QHostAddress& a : found) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol) {
            address = a;
            return;
        }
    }
    if (!found.isEmpty()) {
        address = found.first();
    }
}

void TSocketClient::open() {
    m_socket.reset();
    m_buffer.clear();
    QHostAddress address;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!Host.trimmed().isEmpty()) {
            lookUp(address);
        }
        if (!address.isNull() || attempt > 0) {
            break;
        }
        bool handled = false;
        if (OnInvalidHost) {
            OnInvalidHost(handled);
        }
        if (!handled) {
            break;
        }
    }
    if (address.isNull()) {
        throw EError(QStringLiteral("Null Remote Address"));
    }
    m_socket = std::make_unique<QSslSocket>();
    // A server that greets and hangs up at once may be unconnected again by the time the
    // wait looks; its greeting is still in the buffer.
    bool reached = false;
    QObject::connect(m_socket.get(), &QSslSocket::connected, [&reached]() { reached = true; });
    m_socket->connectToHost(address, Port);
    try {
        wait(
            [this, &reached]() {
                return reached || m_socket->state() == QAbstractSocket::ConnectedState ||
                       m_socket->state() == QAbstractSocket::UnconnectedState;
            },
            "Connection Timed out", "Connection Canceled");
    } catch (...) {
        if (OnConnectionFailed) {
            OnConnectionFailed();
        }
        m_socket.reset();
        throw;
    }
    m_socket->disconnect();
    if (!reached && m_socket->state() != QAbstractSocket::ConnectedState) {
        if (OnConnectionFailed) {
            OnConnectionFailed();
        }
        m_socket.reset();
        throw EError(QStringLiteral("Connection Failed"));
    }
    if (Security == TSecurity::Tls) {
        try {
            startTls();
        } catch (...) {
            close();
            throw;
        }
    }
}

void TSocketClient::close() {
    if (m_socket) {
        m_socket->abort();
        m_socket.reset();
        if (OnDisconnect) {
            OnDisconnect();
        }
    }
}

void TSocketClient::send(const QByteArray& data) {
    if (!Connected()) {
        throw EError(QStringLiteral("Not Connected"));
    }
    for (int at = 0; at < data.size(); at += kSendPiece) {
        const QByteArray piece = data.mid(at, kSendPiece);
        qint64 written = 0;
        while (written < piece.size()) {
            const qint64 n = m_socket->write(piece.constData() + written, piece.size() - written);
            if (n < 0) {
                throw EError(SocketErrorText(winsockCodeOf(m_socket->error())));
            }
            written += n;
        }
        wait(
            [this]() {
                return !Connected() ||
                       (m_socket->bytesToWrite() == 0 && m_socket->encryptedBytesToWrite() == 0);
            },
            "Socket send timed out", "Socket send aborted");
        // A server that answers and hangs up at once is not a send failure: its reply is
        // still to be read.
        if (!Connected() && m_socket->bytesToWrite() > 0) {
            throw EError(SocketErrorText(winsockCodeOf(m_socket->error())));
        }
    }
}

QString TSocketClient::readLine(qint64 deadline) {
    if (!m_socket) {
        return QString();
    }
    wait(
        [this]() {
            m_buffer += m_socket->readAll();
            return m_buffer.contains('\n') || m_buffer.size() > kMaxReplyLine ||
                   m_socket->state() != QAbstractSocket::ConnectedState;
        },
        "Socket readln timed out", "Socket readln aborted", deadline);
    int end = m_buffer.indexOf('\n');
    if (end < 0) {
        if (m_buffer.size() > kMaxReplyLine) {
            m_buffer.clear();
            throw EError(QStringLiteral("Reply line too long"));
        }
        const QByteArray rest = m_buffer;  // closed: what was left, possibly nothing
        m_buffer.clear();
        return QString::fromUtf8(rest);
    }
    const QByteArray line = m_buffer.left(end + 1);
    m_buffer.remove(0, end + 1);
    return QString::fromUtf8(line);
}

qint16 TSocketClient::ReplyNumberOf(const QString& line) {
    int digits = 0;
    while (digits < line.size() && digits < 10 && line.at(digits).isDigit()) {
        ++digits;
    }
    return static_cast<qint16>(line.left(digits).toLongLong());
}

QString TSocketClient::Transaction(const QString& command) {
    ReplyNumber = 0;
    send(command.toUtf8() + "\r\n");
    const QString reply = readReply();
    ReplyNumber = ReplyNumberOf(reply);
    return reply;
}
