#pragma once

#include "mail/SocketClient.h"
#include "platform/Errors.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// The server's own numbered reply refusing a command (RFC 5321 4.2), as it sent it; any
// other EError of the client is the program's own refusal or a failed connection.
class EServerReply final : public EError {
public:
    using EError::EError;
};

// A list of header lines "Name: value".
class TExStringList final : public QStringList {
public:
    // Replaces (or appends) the first line named so, letter case aside; an empty value
    // deletes that line instead.
    void SetHeaderField(const QString& name, const QString& value);
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
// and ".", QUIT at the end (RFC 5321). It composes the message itself (RFC 5322, 2045 to
// 2047, 2231): header values in encoded words, a quoted-printable text part, base64
// attachments in a multipart body, a Date and a Message-ID on every message.
class TSMTPClient final : public TSocketClient {
public:
    QString UserID;
    // With a user name the client signs in (RFC 4954, PLAIN or LOGIN), and only over an
    // encrypted connection; without one and without security it speaks as it always has.
    QString UserName;
    QString Password;
    TPostMessage PostMessage;
    TExStringList FinalHeader;
    bool ClearParams = true;
    TMessageSubType SubType = TMessageSubType::Plain;
    // The text part's character set; one the program cannot encode is sent as UTF-8.
    QString Charset = QStringLiteral("utf-8");
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
    QString Boundary() const { return m_boundary; }
    void Compose();
    static QString AddressOf(const QString& entry);
    static QByteArray Base64Lines(const QByteArray& data);
    // RFC 5321 4.5.2: every line of the data that starts with "." gets one more.
    static QByteArray DotStuffed(const QByteArray& data);
    static QString NewBoundary();
    // True when another line of the same reply follows this one: a blank first, or "-"
    // after the number (RFC 5321 4.2.1).
    static bool ReplyContinues(const QString& line);

protected:
    // Every line up to the last of a multi-line reply (RFC 5321 4.2.1), within one wait.
    QString readReply() override;

private:
    // A transaction whose reply must be there and below 400.
    QString command(const QString& text);
    // EHLO (HELO when refused), STARTTLS when asked for, then AUTH when a user is set.
    void extendedHello();
    void hello(bool extended, QStringList* capabilities);
    void authenticate(const QStringList& capabilities);
    // The body's text in the character set it is declared in (Charset, or UTF-8).
    QByteArray encodedText(QString& charset) const;

    QByteArray m_body;
    QString m_boundary;
};
