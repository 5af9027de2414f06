#include "mail/SMTPClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QHostInfo>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QThread>

namespace {

// A server that never ends its line cannot make the client hold more than this.
constexpr int kMaxReplyLine = 64 * 1024;
// RFC 5321 4.5.3.1.6: a text line is at most 998 characters before CR LF.
constexpr int kMaxBodyLine = 998;
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

// Header values and addresses go out as they are: a line break in one would start a new
// header line or SMTP command, so it is refused.
void checkSingleLine(const QString& text) {
    if (text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'))) {
        throw EError(QStringLiteral("Invalid line break in header"));
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

void TExStringList::SetHeaderField(const QString& name, const QString& value) {
    int found = -1;
    for (int i = 0; i < size(); ++i) {
        if (at(i).section(QLatin1Char(':'), 0, 0).compare(name, Qt::CaseInsensitive) == 0) {
            found = i;
            break;
        }
    }
    if (value.isEmpty()) {
        if (found >= 0) {
            removeAt(found);
        }
        return;
    }
    const QString line = name + QStringLiteral(": ") + value;
    if (found >= 0) {
        replace(found, line);
    } else {
        append(line);
    }
}

TSocketClient::TSocketClient() = default;

TSocketClient::~TSocketClient() = default;

bool TSocketClient::Connected() const {
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

template <typename Done>
void TSocketClient::wait(Done done, const char* timedOut, const char* canceled) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (Cancelled) {
            throw EError(QLatin1String(canceled));
        }
        if (TimeOut > 0 && timer.elapsed() > TimeOut) {
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

void TSocketClient::open() {
    m_socket = std::make_unique<QTcpSocket>();
    m_buffer.clear();
    QHostAddress address;
    bool resolved = !Host.isEmpty() && address.setAddress(Host) &&
                    address.protocol() == QAbstractSocket::IPv4Protocol;
    for (int attempt = 0; !resolved && attempt < 2; ++attempt) {
        if (!Host.isEmpty()) {
            const QHostInfo info = QHostInfo::fromName(Host);
            for (const QHostAddress& a : info.addresses()) {
                if (a.protocol() == QAbstractSocket::IPv4Protocol) {
                    address = a;
                    resolved = true;
                    break;
                }
            }
        }
        if (resolved || attempt > 0) {
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
    if (!resolved) {
        throw EError(QStringLiteral("Null Remote Address"));
    }
    // A server that greets and hangs up at once may be unconnected again by the time the
    // wait looks; its greeting is still in the buffer.
    bool reached = false;
    QObject::connect(m_socket.get(), &QTcpSocket::connected, [&reached]() { reached = true; });
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
        wait([this]() { return !Connected() || m_socket->bytesToWrite() == 0; },
             "Socket send timed out", "Socket send aborted");
        // A server that answers and hangs up at once is not a send failure: its reply is
        // still to be read.
        if (!Connected() && m_socket->bytesToWrite() > 0) {
            throw EError(SocketErrorText(winsockCodeOf(m_socket->error())));
        }
    }
}

QString TSocketClient::readLine() {
    if (!m_socket) {
        return QString();
    }
    wait(
        [this]() {
            m_buffer += m_socket->readAll();
            return m_buffer.contains('\n') || m_buffer.size() > kMaxReplyLine ||
                   m_socket->state() != QAbstractSocket::ConnectedState;
        },
        "Socket readln timed out", "Socket readln aborted");
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
    const QString line = readLine();
    ReplyNumber = ReplyNumberOf(line);
    return line;
}

QString TSMTPClient::command(const QString& text) {
    const QString reply = Transaction(text);
    // No reply at all means the server closed the connection: that is never a success.
    if (reply.isEmpty()) {
        throw EError(SocketErrorText(10054));
    }
    if (ReplyNumber >= 400) {
        throw EError(reply);
    }
    return reply;
}

QString TSMTPClient::readReply() {
    QString first = readLine();
    QString last = first;
    while (ReplyContinues(last)) {
        last = readLine();
    }
    ReplyNumber = ReplyNumberOf(first);
    return first;
}

void TSMTPClient::Connect() {
    if (Connected()) {
        throw EError(QStringLiteral("Already connected"));
    }
    Busy = true;
    try {
        open();
        const QString greeting = readReply();
        if (ReplyNumber >= 400 || greeting.isEmpty()) {
            throw EError(greeting.isEmpty() ? QStringLiteral("Connection Failed") : greeting);
        }
        checkSingleLine(UserID);
        bool retried = false;
        while (true) {
            ReplyNumber = 0;
            send(QStringLiteral("HELO %1\r\n").arg(UserID).toUtf8());
            const QString reply = readReply();
            if (reply.isEmpty()) {
                throw EError(SocketErrorText(10054));
            }
            if (ReplyNumber > 0 && ReplyNumber < 300) {
                break;
            }
            bool handled = false;
            if (!retried && OnAuthenticationFailed) {
                OnAuthenticationFailed(handled);
            }
            if (!handled || retried) {
                throw EError(QStringLiteral("Authentication failed"));
            }
            retried = true;
        }
    } catch (...) {
        Busy = false;
        if (Connected()) {
            try {
                Disconnect();
            } catch (...) {
                // The connect's own failure is the one to report.
            }
        }
        close();
        throw;
    }
    Busy = false;
    if (OnConnect) {
        OnConnect();
    }
}

void TSMTPClient::Disconnect() {
    Cancelled = false;
    QString reply;
    try {
        reply = Transaction(QStringLiteral("QUIT"));
    } catch (...) {
        close();
        throw;
    }
    close();
    if (ReplyNumber >= 340) {
        throw EError(reply);
    }
}

void TSMTPClient::ClearParameters() {
    PostMessage.ToAddress.clear();
    PostMessage.ToCarbonCopy.clear();
    PostMessage.ToBlindCarbonCopy.clear();
    PostMessage.Attachments.clear();
}

QString TSMTPClient::AddressOf(const QString& entry) {
    const int lt = entry.indexOf(QLatin1Char('<'));
    if (lt >= 0) {
        int end = entry.size();
        for (int i = lt + 1; i < entry.size(); ++i) {
            if (entry.at(i) == QLatin1Char('>') || entry.at(i) == QLatin1Char('<')) {
                end = i;
                break;
            }
        }
        return entry.mid(lt + 1, end - lt - 1);
    }
    const int colon = entry.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        const int next = entry.indexOf(QLatin1Char(':'), colon + 1);
        return entry.mid(colon + 1, next < 0 ? -1 : next - colon - 1);
    }
    return entry;
}

QByteArray TSMTPClient::Base64Lines(const QByteArray& data) {
    QByteArray out;
    for (int at = 0; at < data.size(); at += 45) {
        out += data.mid(at, 45).toBase64() + "\r\n";
    }
    return out;
}

bool TSMTPClient::ReplyContinues(const QString& line) {
    return !line.isEmpty() &&
           (line.at(0) == QLatin1Char(' ') || (line.size() > 3 && line.at(3) == QLatin1Char('-')));
}

QString TSMTPClient::NewBoundary() {
    QString b = QString(20, QLatin1Char('=')) + QStringLiteral("54535");
    for (int i = 0; i < 6; ++i) {
        b += QChar(u'a' + static_cast<char16_t>(QRandomGenerator::global()->bounded(25)));
    }
    return b + QStringLiteral("====");
}

void TSMTPClient::Compose() {
    const TPostMessage& m = PostMessage;
    for (const QString& text :
         {m.FromAddress, m.FromName, m.Subject, m.LocalProgram, m.Date, m.ReplyTo}) {
        checkSingleLine(text);
    }
    for (const QStringList* list : {&m.ToAddress, &m.ToCarbonCopy, &m.ToBlindCarbonCopy}) {
        for (const QString& entry : *list) {
            checkSingleLine(entry);
        }
    }
    FinalHeader.clear();
    FinalHeader << QStringLiteral("From: ") + m.FromName + QLatin1Char('<') + m.FromAddress +
                       QLatin1Char('>');
    if (!m.ToAddress.isEmpty()) {
        FinalHeader << QStringLiteral("To: ") + m.ToAddress.join(QLatin1Char(','));
    }
    if (!m.ToCarbonCopy.isEmpty()) {
        FinalHeader << QStringLiteral("CC: ") + m.ToCarbonCopy.join(QLatin1Char(','));
    }
    FinalHeader.SetHeaderField(QStringLiteral("Subject"), m.Subject);
    FinalHeader.SetHeaderField(QStringLiteral("X-Mailer"), m.LocalProgram);
    FinalHeader.SetHeaderField(QStringLiteral("Reply-To"), m.ReplyTo);
    FinalHeader.SetHeaderField(QStringLiteral("Date"), m.Date);
    FinalHeader << QStringLiteral("Mime-Version: 1.0");
    static const char* const media[] = {"text/plain", "text/enriched", "text/sgml",
                                        "text/tab-separated-values", "text/html"};
    QByteArray body;
    const auto addBody = [&body, &m]() {
        for (const QString& line : m.Body) {
            if (line.size() > kMaxBodyLine) {
                throw EError(
                    QStringLiteral("Message line longer than %1 characters").arg(kMaxBodyLine));
            }
            // RFC 5321 4.5.2: a line that starts with "." gets one more.
            body += (line.startsWith(QLatin1Char('.')) ? QByteArray(".") : QByteArray()) +
                    line.toUtf8() + "\r\n";
        }
    };
    if (m.Attachments.isEmpty()) {
        FinalHeader << QStringLiteral("Content-Type: %1; charset=%2")
                           .arg(QLatin1String(media[static_cast<int>(SubType)]), Charset);
        addBody();
    } else {
        m_boundary = NewBoundary();
        FinalHeader
            << QStringLiteral("Content-Type: multipart/mixed; boundary=\"%1\"").arg(m_boundary);
        const QByteArray dashes = "--" + m_boundary.toUtf8();
        body += dashes + "\r\nContent-Type: text/plain; charset=" + Charset.toUtf8() + "\r\n\r\n";
        addBody();
        for (const QString& file : m.Attachments) {
            const QString name = QFileInfo(file).fileName();
            body += dashes + "\r\nContent-Type: application/octet-stream; name=\"" + name.toUtf8() +
                    "\"\r\nContent-Transfer-Encoding: base64\r\n" +
                    "Content-Disposition: attachment; filename=\"" + name.toUtf8() + "\"\r\n\r\n";
            if (OnEncodeStart) {
                OnEncodeStart(file);
            }
            QFile f(file);
            if (!f.open(QIODevice::ReadOnly)) {
                if (OnAttachmentNotFound) {
                    OnAttachmentNotFound(file);
                }
                throw EError(f.errorString());
            }
            body += Base64Lines(f.readAll());
            if (OnEncodeEnd) {
                OnEncodeEnd(file);
            }
        }
        body += dashes + "--\r\n";
    }
    m_body = body;
}

void TSMTPClient::SendMail() {
    if (Busy) {
        return;
    }
    Busy = true;
    bool delivered = false;
    try {
        Compose();
        if (!Connected()) {
            throw EError(QStringLiteral("Not Connected"));
        }
        const TPostMessage& m = PostMessage;
        for (int check = 0;; ++check) {
            const bool noSender = m.FromAddress.isEmpty();
            const bool noRecipient =
                m.ToAddress.isEmpty() && m.ToCarbonCopy.isEmpty() && m.ToBlindCarbonCopy.isEmpty();
            if (!noSender && !noRecipient) {
                break;
            }
            bool handled = false;
            if (check == 0 && OnHeaderIncomplete) {
                OnHeaderIncomplete(handled, noSender ? 1 : 2);
            }
            if (!handled) {
                throw EError(QStringLiteral("Incomplete Header"));
            }
        }
        if (OnSendStart) {
            OnSendStart();
        }
        command(QStringLiteral("RSET"));
        command(QStringLiteral("MAIL FROM:<%1>").arg(m.FromAddress));
        for (const QStringList* list : {&m.ToAddress, &m.ToCarbonCopy, &m.ToBlindCarbonCopy}) {
            for (const QString& entry : *list) {
                const QString address = AddressOf(entry);
                if (address.isEmpty()) {
                    continue;
                }
                if (Transaction(QStringLiteral("RCPT TO:<%1>").arg(address)).isEmpty()) {
                    throw EError(SocketErrorText(10054));
                }
                if (ReplyNumber > 300 && OnRecipientNotFound) {
                    OnRecipientNotFound(entry);
                }
            }
        }
        command(QStringLiteral("DATA"));
        send(FinalHeader.join(QStringLiteral("\r\n")).toUtf8() + "\r\n\r\n\r\n");
        send(m_body);
        try {
            command(QStringLiteral("."));
        } catch (...) {
            if (OnFailure) {
                OnFailure();
            }
            throw;
        }
        delivered = true;
        if (ClearParams) {
            ClearParameters();
        }
    } catch (...) {
        Busy = false;
        throw;
    }
    Busy = false;
    if (delivered && OnSuccess) {
        OnSuccess();
    }
}
