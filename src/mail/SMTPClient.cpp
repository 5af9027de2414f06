#include "mail/SMTPClient.h"

#include "mail/MailFormat.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSslSocket>
#include <QStringEncoder>

namespace {

// RFC 5321 4.5.3.1.6: a text line is at most 998 octets before CR LF.
constexpr int kMaxDataLine = 998;

// Header values and addresses go out as they are: a line break in one would start a new
// header line or SMTP command, so it is refused.
void checkSingleLine(const QString& text) {
    if (text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'))) {
        throw EError(QStringLiteral("Invalid line break in header"));
    }
}

}  // namespace

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

QString TSMTPClient::command(const QString& text) {
    const QString reply = Transaction(text);
    // No reply at all means the server closed the connection: that is never a success.
    if (reply.isEmpty()) {
        throw EError(SocketErrorText(10054));
    }
    if (ReplyNumber >= 400) {
        throw EServerReply(reply);
    }
    return reply;
}

QString TSMTPClient::readReply() {
    // The time limit holds for the whole reply, however many lines it has.
    const qint64 deadline = deadlineFromNow();
    QString reply = readLine(deadline);
    QString last = reply;
    while (ReplyContinues(last)) {
        last = readLine(deadline);
        reply += last;
    }
    ReplyNumber = ReplyNumberOf(reply);
    return reply;
}

void TSMTPClient::Connect() {
    if (Connected()) {
        throw EError(QStringLiteral("Already connected"));
    }
    Busy = true;
    try {
        open();
        const QString greeting = readReply();
        if (greeting.isEmpty()) {
            throw EError(QStringLiteral("Connection Failed"));
        }
        if (ReplyNumber >= 400) {
            throw EServerReply(greeting);
        }
        checkSingleLine(UserID);
        if (Security != TSecurity::None || !UserName.isEmpty()) {
            extendedHello();
        } else {
            hello(false, nullptr);
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

void TSMTPClient::hello(bool extended, QStringList* capabilities) {
    bool retried = false;
    while (true) {
        ReplyNumber = 0;
        send(QStringLiteral("%1 %2\r\n")
                 .arg(extended ? QStringLiteral("EHLO") : QStringLiteral("HELO"), UserID)
                 .toUtf8());
        const QString reply = readReply();
        if (reply.isEmpty()) {
            throw EError(SocketErrorText(10054));
        }
        if (ReplyNumber > 0 && ReplyNumber < 300) {
            if (capabilities) {
                // RFC 5321 4.1.1.1: every line after the first names an extension.
                capabilities->clear();
                const QStringList lines = reply.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
                for (int i = 1; i < lines.size(); ++i) {
                    *capabilities << lines.at(i).mid(4).trimmed().toUpper();
                }
            }
            return;
        }
        if (extended && ReplyNumber >= 500) {
            hello(false, capabilities);  // a server of the old kind
            if (capabilities) {
                capabilities->clear();
            }
            return;
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
}

void TSMTPClient::extendedHello() {
    QStringList capabilities;
    hello(true, &capabilities);
    if (Security == TSecurity::StartTls) {
        if (!capabilities.contains(QStringLiteral("STARTTLS"))) {
            throw EError(QStringLiteral("The server %1 does not offer STARTTLS").arg(Host));
        }
        command(QStringLiteral("STARTTLS"));
        startTls();
        hello(true, &capabilities);  // RFC 3207 4.2: what was said before TLS is forgotten
    }
    if (!UserName.isEmpty()) {
        authenticate(capabilities);
    }
}

void TSMTPClient::authenticate(const QStringList& capabilities) {
    // The password never crosses the network in clear.
    if (!Encrypted()) {
        throw EError(QStringLiteral(
            "Authentication needs a secured connection: choose STARTTLS or SSL/TLS"));
    }
    QStringList methods;
    for (const QString& c : capabilities) {
        if (c.startsWith(QLatin1String("AUTH ")) || c.startsWith(QLatin1String("AUTH="))) {
            methods << c.mid(5).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        }
    }
    const auto refused = [this](const QString& reply) {
        bool handled = false;
        if (OnAuthenticationFailed) {
            OnAuthenticationFailed(handled);
        }
        return EServerReply(QStringLiteral("Authentication failed: ") + reply.trimmed());
    };
    if (methods.contains(QStringLiteral("PLAIN"))) {
        // RFC 4616: authorization identity (none), user, password.
        const QByteArray token =
            QByteArray('\0' + UserName.toUtf8() + '\0' + Password.toUtf8()).toBase64();
        const QString reply =
            Transaction(QStringLiteral("AUTH PLAIN ") + QString::fromLatin1(token));
        if (ReplyNumber != 235) {
            throw refused(reply);
        }
        return;
    }
    if (methods.contains(QStringLiteral("LOGIN"))) {
        QString reply = Transaction(QStringLiteral("AUTH LOGIN"));
        for (const QString& answer : {UserName, Password}) {
            if (ReplyNumber != 334) {
                throw refused(reply);
            }
            reply = Transaction(QString::fromLatin1(answer.toUtf8().toBase64()));
        }
        if (ReplyNumber != 235) {
            throw refused(reply);
        }
        return;
    }
    throw EError(
        QStringLiteral("The server %1 offers no way to sign in (AUTH PLAIN or LOGIN)").arg(Host));
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
        throw EServerReply(reply);
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

QByteArray TSMTPClient::DotStuffed(const QByteArray& data) {
    QByteArray out;
    out.reserve(data.size() + 16);
    bool lineStart = true;
    for (const char c : data) {
        if (lineStart && c == '.') {
            out += '.';
        }
        out += c;
        lineStart = c == '\n';
    }
    return out;
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

namespace {

// A recipient entry as a header mailbox: "Name <address>" with its name encoded where it
// needs to be, or the bare address.
QString mailboxOf(const QString& entry) {
    const QString address = TSMTPClient::AddressOf(entry);
    const int lt = entry.indexOf(QLatin1Char('<'));
    return lt < 0 ? address : Mailbox(entry.left(lt), address);
}

void checkAddress(const QString& address, const char* what) {
    if (!IsValidMailAddress(address)) {
        throw EError(QStringLiteral("Invalid %1 address: %2")
                         .arg(QLatin1String(what), address.simplified().left(100)));
    }
}

}  // namespace

QByteArray TSMTPClient::encodedText(QString& charset) const {
    QString text;
    for (const QString& line : PostMessage.Body) {
        text += line + QStringLiteral("\r\n");
    }
    charset = Charset.trimmed();
    QStringEncoder encoder(charset.toLatin1().constData());
    if (encoder.isValid()) {
        const QByteArray bytes = encoder.encode(text);
        if (!encoder.hasError()) {
            return bytes;
        }
    }
    // A set the program cannot encode, or a text it cannot hold: UTF-8, labelled so.
    charset = QStringLiteral("utf-8");
    return text.toUtf8();
}

void TSMTPClient::Compose() {
    const TPostMessage& m = PostMessage;
    for (const QString& text :
         {m.FromAddress, m.FromName, m.Subject, m.LocalProgram, m.Date, m.ReplyTo}) {
        checkSingleLine(text);
    }
    if (!m.FromAddress.isEmpty()) {
        checkAddress(m.FromAddress, "sender");
    }
    for (const QStringList* list : {&m.ToAddress, &m.ToCarbonCopy, &m.ToBlindCarbonCopy}) {
        for (const QString& entry : *list) {
            checkSingleLine(entry);
            const QString address = AddressOf(entry);
            if (!address.isEmpty()) {
                checkAddress(address, "recipient");
            }
        }
    }
    FinalHeader.clear();
    FinalHeader << QStringLiteral("From: ") + Mailbox(m.FromName, m.FromAddress);
    const auto mailboxes = [](const QStringList& entries) {
        QStringList out;
        for (const QString& e : entries) {
            out << mailboxOf(e);
        }
        return out.join(QLatin1Char(','));
    };
    if (!m.ToAddress.isEmpty()) {
        FinalHeader << QStringLiteral("To: ") + mailboxes(m.ToAddress);
    }
    if (!m.ToCarbonCopy.isEmpty()) {
        FinalHeader << QStringLiteral("CC: ") + mailboxes(m.ToCarbonCopy);
    }
    // Texts stay as they are here; the header line puts them in encoded words (HeaderLine).
    FinalHeader.SetHeaderField(QStringLiteral("Subject"), m.Subject);
    FinalHeader.SetHeaderField(QStringLiteral("X-Mailer"), m.LocalProgram);
    FinalHeader.SetHeaderField(QStringLiteral("Reply-To"),
                               m.ReplyTo.isEmpty() ? QString() : mailboxOf(m.ReplyTo));
    // RFC 5322 3.6: every message has its date and, as it should, an id of its own.
    FinalHeader.SetHeaderField(QStringLiteral("Date"),
                               m.Date.isEmpty() ? MailDate(QDateTime::currentDateTime()) : m.Date);
    FinalHeader.SetHeaderField(QStringLiteral("Message-ID"), NewMessageId(UserID));
    FinalHeader << QStringLiteral("Mime-Version: 1.0");
    static const char* const media[] = {"text/plain", "text/enriched", "text/sgml",
                                        "text/tab-separated-values", "text/html"};
    QString charset;
    const QByteArray text = QuotedPrintable(encodedText(charset));
    const QString textType = QStringLiteral("%1; charset=%2")
                                 .arg(QLatin1String(media[static_cast<int>(SubType)]), charset);
    QByteArray body;
    if (m.Attachments.isEmpty()) {
        FinalHeader << QStringLiteral("Content-Type: ") + textType;
        FinalHeader << QStringLiteral("Content-Transfer-Encoding: quoted-printable");
        body = text;
    } else {
        m_boundary = NewBoundary();
        FinalHeader
            << QStringLiteral("Content-Type: multipart/mixed; boundary=\"%1\"").arg(m_boundary);
        const QByteArray dashes = "--" + m_boundary.toUtf8();
        body += dashes + "\r\nContent-Type: " + textType.toUtf8() +
                "\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n" + text;
        for (const QString& file : m.Attachments) {
            const QString name = QFileInfo(file).fileName();
            body += dashes + "\r\nContent-Type: application/octet-stream;\r\n " +
                    FileNameParameter(QStringLiteral("name"), name) +
                    "\r\nContent-Transfer-Encoding: base64\r\n" +
                    "Content-Disposition: attachment;\r\n " +
                    FileNameParameter(QStringLiteral("filename"), name) + "\r\n\r\n";
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
        QByteArray header;
        for (const QString& line : FinalHeader) {
            const int colon = line.indexOf(QLatin1Char(':'));
            header += HeaderLine(line.left(colon), line.mid(colon + 1).trimmed()) + "\r\n";
        }
        // One blank line ends the header; nothing the message holds can end the data.
        const QByteArray data = DotStuffed(header + "\r\n" + m_body);
        for (const QByteArray& line : data.split('\n')) {
            if (line.size() > kMaxDataLine + 1) {
                throw EError(
                    QStringLiteral("Message line longer than %1 octets").arg(kMaxDataLine));
            }
        }
        command(QStringLiteral("DATA"));
        send(data);
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
