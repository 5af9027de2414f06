#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QHostAddress;
class QSslSocket;

// How the connection to the mail server is secured: not at all, by STARTTLS after the
// greeting (RFC 3207), or by TLS from the first byte (RFC 8314, port 465).
enum class TSecurity { None = 0, StartTls = 1, Tls = 2 };

// The text a Windows Sockets error number stands for, "number:text".
QString SocketErrorText(int code);

// A line-oriented TCP client whose every wait keeps the GUI responsive: the event loop runs
// between polls. Failures are EError with the literal texts the mail log expects.
class TSocketClient {
public:
    TSocketClient();
    virtual ~TSocketClient();

    QString Host;  // a name, an IPv4 or an IPv6 address
    quint16 Port = 25;
    int TimeOut = 0;  // milliseconds a wait may take; 0 waits as long as it takes
    qint16 ReplyNumber = 0;
    bool Cancelled = false;
    TSecurity Security = TSecurity::None;
    // The SHA-256 digest (hex) of a certificate the user trusts although no authority of
    // the system vouches for it; the host name must match all the same.
    QString TrustedCertificate;

    std::function<void()> OnConnect;
    std::function<void()> OnDisconnect;
    std::function<void(bool& handled)> OnInvalidHost;
    std::function<void()> OnConnectionFailed;

    bool Connected() const;
    bool Encrypted() const;
    // Closes the connection at once, without a word to the server.
    void Abort() { close(); }
    // Sends the command and CR LF, reads the whole reply and takes the number of its
    // first line.
    QString Transaction(const QString& command);
    // The number a reply line starts with (0 when none).
    static qint16 ReplyNumberOf(const QString& line);

protected:
    void open();
    void close();
    void send(const QByteArray& data);
    // One reply line with its line end; empty when the server closed the connection.
    // Waits at most until deadline (a QElapsedTimer's msecsSinceReference; 0: TimeOut).
    QString readLine(qint64 deadline = 0);
    // A whole reply; the base reads one line.
    virtual QString readReply() { return readLine(); }
    // When a wait that starts now must end (0: never).
    qint64 deadlineFromNow() const;
    // The TLS handshake on the open connection, the certificate and the host name checked
    // against the system's authorities; a failure says why.
    void startTls();

private:
    template <typename Done>
    void wait(Done done, const char* timedOut, const char* canceled, qint64 deadline = 0);
    void lookUp(QHostAddress& address);

    std::unique_ptr<QSslSocket> m_socket;
    std::unique_ptr<QObject> m_lookups;  // receives the answers of name lookups
    QByteArray m_buffer;
};
