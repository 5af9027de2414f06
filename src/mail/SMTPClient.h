#pragma once

#include "common/Errors.h"

#include <QByteArray>
#include <QStringList>

#include <functional>
#include <memory>

class QTcpSocket;

// A list of header lines "Name: value".
class TExStringList final : public QStringList {
public:
    // Replaces (or appends) the first line named so, letter case aside; an empty value
    // deletes that line instead.
    void SetHeaderField(const QString& name, const QString& value);
};

// The text a Windows Sockets error number stands for, "number:text".
QString SocketErrorText(int code);

// A line-oriented TCP client whose every wait keeps the GUI responsive: the event loop runs
// between polls. Failures are EError with the literal texts the mail log expects.
class TSocketClient {
public:
    TSocketClient();
    virtual ~TSocketClient();

    QString Host;
    quint16 Port = 25;
    int TimeOut = 0;  // milliseconds; 0 waits as long as it takes
    qint16 ReplyNumber = 0;
    bool Cancelled = false;

    std::function<void()> OnConnect;
    std::function<void()> OnDisconnect;
    std::function<void(bool& handled)> OnInvalidHost;
    std::function<void()> OnConnectionFailed;

    bool Connected() const;
    // Closes the connection at once, without a word to the server.
    void Abort() { close(); }
    // Sends the command and CR LF, reads one reply line and takes its number.
    QString Transaction(const QString& command);
    // The number a reply line starts with (0 when none).
    static qint16 ReplyNumberOf(const QString& line);

protected:
    void open();
    void close();
    void send(const QByteArray& data);
    // One reply line with its line end; empty when the server closed the connection.
    QString readLine();

private:
    template <typename Done>
    void wait(Done done, const char* timedOut, const char* canceled);

    std::unique_ptr<QTcpSocket> m_socket;
    QByteArray m_buffer;
};

enum class TMessageSubType { Plain, Enriched, Sgml, TabSeparated, Html };

struct TPostMessage {
    QString FromAddress;
    QString FromName;
    QStringList ToAddress;
    QStringList ToCarbonCopy;
    QStringList ToBlindCarbonCopy;
    QStringList Body;
    QStringList Attachments;
    QString Subject;
    QString LocalProgram;
    QString Date;
    QString ReplyTo;
};

// The SMTP client of the mailing: HELO, then per message RSET, MAIL FROM, RCPT TO, DATA
// and ".", QUIT at the end (RFC 821). It composes the message itself: header lines and a
// text body, or a multipart body with base64 attachments (RFC 2045/2046).
class TSMTPClient final : public TSocketClient {
public:
    QString UserID;
    TPostMessage PostMessage;
    TExStringList FinalHeader;
    bool ClearParams = true;
    TMessageSubType SubType = TMessageSubType::Plain;
    QString Charset = QStringLiteral("us-ascii");
    bool Busy = false;

    std::function<void(const QString& recipient)> OnRecipientNotFound;
    std::function<void(bool& handled, int kind)> OnHeaderIncomplete;
    std::function<void()> OnSendStart;
    std::function<void()> OnSuccess;
    std::function<void()> OnFailure;
    std::function<void(bool& handled)> OnAuthenticationFailed;
    std::function<void(const QString& file)> OnEncodeStart;
    std::function<void(const QString& file)> OnEncodeEnd;
    std::function<void(const QString& file)> OnAttachmentNotFound;

    void Connect();
    void SendMail();
    void Disconnect();
    void ClearParameters();

    // The pieces of a message, for tests.
    QByteArray ComposedBody() const { return m_body; }
    QString Boundary() const { return m_boundary; }
    void Compose();
    static QString AddressOf(const QString& entry);
    static QByteArray Base64Lines(const QByteArray& data);
    static QString NewBoundary();
    // True when another line of the same reply follows this one: a blank first, or "-"
    // after the number (RFC 5321 4.2.1).
    static bool ReplyContinues(const QString& line);

private:
    // A transaction whose reply must be there and below 400.
    QString command(const QString& text);
    QString readReply();

    QByteArray m_body;
    QString m_boundary;
};
