#include "mail/SMTPClient.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

// A scripted SMTP peer on 127.0.0.1: a greeting, then one reply per command received, in
// order; after "DATA" it collects the message up to "." before answering the next reply.
class TFakeServer final : public QObject {
    Q_OBJECT
public:
    QByteArray greeting = "220 fake ready\r\n";
    QList<QByteArray> replies;
    QStringList received;
    QByteArray message;
    bool byteByByte = false;
    bool silent = false;

    TFakeServer() {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this]() {
            m_peer = m_server.nextPendingConnection();
            connect(m_peer, &QTcpSocket::readyRead, this, &TFakeServer::onRead);
            if (!silent) {
                write(greeting);
            }
        });
    }
    quint16 port() const { return m_server.serverPort(); }

private:
    void write(const QByteArray& data) {
        if (!byteByByte) {
            m_peer->write(data);
            return;
        }
        for (char c : data) {
            m_peer->write(&c, 1);
            m_peer->flush();
        }
    }
    void onRead() {
        m_in += m_peer->readAll();
        while (true) {
            if (m_inData) {
                const int end = m_in.indexOf("\r\n.\r\n");
                if (end < 0) {
                    return;
                }
                message = m_in.left(end + 2);
                m_in.remove(0, end + 5);
                m_inData = false;
                received << QStringLiteral(".");
                reply();
                continue;
            }
            const int end = m_in.indexOf("\r\n");
            if (end < 0) {
                return;
            }
            const QString line = QString::fromUtf8(m_in.left(end));
            m_in.remove(0, end + 2);
            received << line;
            const QByteArray r = reply();
            if (line == QLatin1String("DATA") && r.startsWith("354")) {
                m_inData = true;
            }
        }
    }
    QByteArray reply() {
        const QByteArray r = replies.isEmpty() ? QByteArray("250 ok\r\n") : replies.takeFirst();
        write(r);
        return r;
    }

    QTcpServer m_server;
    QTcpSocket* m_peer = nullptr;
    QByteArray m_in;
    bool m_inData = false;
};

class TestSmtpClient final : public QObject {
    Q_OBJECT

    static void setUp(TSMTPClient& c, const TFakeServer& s) {
        c.Host = QStringLiteral("127.0.0.1");
        c.Port = s.port();
        c.UserID = QStringLiteral("host.example");
        c.TimeOut = 3000;
    }
    static QString errorOf(const std::function<void()>& f) {
        try {
            f();
        } catch (const EError& e) {
            return e.message();
        }
        return QString();
    }

private Q_SLOTS:
    void multiLineGreetingByteByByte() {
        TFakeServer s;
        s.greeting = "220-first line\r\n220 second line\r\n";
        s.byteByByte = true;
        s.replies = {"250-hello\r\n250 more\r\n"};
        TSMTPClient c;
        setUp(c, s);
        bool connected = false;
        c.OnConnect = [&connected]() { connected = true; };
        c.Connect();
        QVERIFY(connected);
        QCOMPARE(s.received, QStringList{"HELO host.example"});
        c.Disconnect();
        QCOMPARE(s.received.last(), QStringLiteral("QUIT"));
        QVERIFY(!c.Connected());
    }

    void refusedHelo() {
        TFakeServer s;
        s.replies = {"500 who are you\r\n", "221 bye\r\n"};
        TSMTPClient c;
        setUp(c, s);
        int asked = 0;
        c.OnAuthenticationFailed = [&asked](bool&) { ++asked; };
        QCOMPARE(errorOf([&c]() { c.Connect(); }), QStringLiteral("Authentication failed"));
        QCOMPARE(asked, 1);
        QTRY_COMPARE(s.received, (QStringList{"HELO host.example", "QUIT"}));
        QVERIFY(!c.Connected());
    }

    void greetingRefused() {
        TFakeServer s;
        s.greeting = "421 too busy\r\n";
        TSMTPClient c;
        setUp(c, s);
        QCOMPARE(errorOf([&c]() { c.Connect(); }), QStringLiteral("421 too busy\r\n"));
    }

    void serverThatNeverGreetsTimesOut() {
        TFakeServer s;
        s.silent = true;
        TSMTPClient c;
        setUp(c, s);
        c.TimeOut = 300;
        QCOMPARE(errorOf([&c]() { c.Connect(); }), QStringLiteral("Socket readln timed out"));
    }

    void nobodyListening() {
        quint16 port = 0;
        {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost);
            port = probe.serverPort();
        }
        TSMTPClient c;
        c.Host = QStringLiteral("127.0.0.1");
        c.Port = port;
        bool failed = false;
        c.OnConnectionFailed = [&failed]() { failed = true; };
        QCOMPARE(errorOf([&c]() { c.Connect(); }), QStringLiteral("Connection Failed"));
        QVERIFY(failed);
        TSMTPClient empty;
        QCOMPARE(errorOf([&empty]() { empty.Connect(); }), QStringLiteral("Null Remote Address"));
    }

    void refusedRecipientThenRefusedData() {
        TFakeServer s;
        s.replies = {"250 hi\r\n",           "250 reset\r\n", "250 from ok\r\n",
                     "550 no such user\r\n", "250 ok\r\n",    "554 no data for you\r\n"};
        TSMTPClient c;
        setUp(c, s);
        c.Connect();
        c.PostMessage.FromAddress = QStringLiteral("me@example.org");
        c.PostMessage.ToAddress = {QStringLiteral("Nobody <nobody@example.org>"),
                                   QStringLiteral("ok@example.org")};
        c.PostMessage.Body = {QStringLiteral("hi")};
        QStringList refused;
        c.OnRecipientNotFound = [&refused](const QString& r) { refused << r; };
        QCOMPARE(errorOf([&c]() { c.SendMail(); }), QStringLiteral("554 no data for you\r\n"));
        QCOMPARE(refused, QStringList{"Nobody <nobody@example.org>"});
        QCOMPARE(s.received.mid(1),
                 (QStringList{"RSET", "MAIL FROM:<me@example.org>", "RCPT TO:<nobody@example.org>",
                              "RCPT TO:<ok@example.org>", "DATA"}));
        QVERIFY(!c.Busy);
        QVERIFY(c.FinalHeader.contains("To: Nobody <nobody@example.org>,ok@example.org"));
    }

    void messageWithAttachment() {
        QTemporaryDir dir;
        const QString file = dir.filePath("report.bin");
        QByteArray bytes;
        for (int i = 0; i < 46; ++i) {
            bytes += char(i * 7);
        }
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        TFakeServer s;
        s.replies = {"250 hi\r\n", "250 reset\r\n",    "250 from\r\n",
                     "250 to\r\n", "354 go ahead\r\n", "250 queued\r\n"};
        TSMTPClient c;
        setUp(c, s);
        c.Connect();
        c.PostMessage.FromAddress = QStringLiteral("me@example.org");
        c.PostMessage.FromName = QStringLiteral("Me ");
        c.PostMessage.ToAddress = {QStringLiteral("you@example.org")};
        c.PostMessage.Body = {QStringLiteral("<html>"), QStringLiteral("."), QStringLiteral("..x")};
        c.PostMessage.Attachments = {file};
        c.SubType = TMessageSubType::Html;
        bool success = false;
        c.OnSuccess = [&success]() { success = true; };
        c.SendMail();
        QVERIFY(success);
        QVERIFY(c.PostMessage.ToAddress.isEmpty());  // cleared after a send
        QCOMPARE(c.Boundary().size(), 35);
        QVERIFY(!c.Boundary().contains('z'));
        const QByteArray m = s.message;
        QVERIFY(
            m.startsWith("From: Me <me@example.org>\r\nTo: you@example.org\r\n"
                         "Mime-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\""));
        QVERIFY(!m.contains("Subject:"));
        QVERIFY(!m.contains("Reply-To:"));
        QVERIFY(m.contains("\r\n..\r\n...x\r\n"));  // dot-stuffing (RFC 5321 4.5.2)
        QVERIFY(m.contains("Content-Type: text/plain; charset=us-ascii\r\n\r\n<html>"));
        const QByteArray lines = TSMTPClient::Base64Lines(bytes);
        const QList<QByteArray> parts = lines.split('\n');
        QCOMPARE(parts.at(0).size(), 61);                         // 60 characters and CR
        QCOMPARE(parts.at(1), bytes.right(1).toBase64() + "\r");  // four characters, "=="
        QVERIFY(parts.at(1).endsWith("==\r"));
        QVERIFY(m.contains(lines));
        QVERIFY(m.endsWith("--" + c.Boundary().toUtf8() + "--\r\n"));
        c.Disconnect();
    }

    void headerInjectionIsRefused() {
        TFakeServer s;
        TSMTPClient c;
        setUp(c, s);
        c.Connect();
        c.PostMessage.FromAddress = QStringLiteral("me@example.org");
        c.PostMessage.ToAddress = {QStringLiteral("you@example.org")};
        c.PostMessage.Subject = QStringLiteral("hi\r\nBcc: all@example.org");
        QCOMPARE(errorOf([&c]() { c.SendMail(); }), QStringLiteral("Invalid line break in header"));
        c.PostMessage.Subject.clear();
        c.PostMessage.Body = {QString(999, QLatin1Char('a'))};
        QVERIFY(errorOf([&c]() { c.SendMail(); }).contains("998"));
        c.Disconnect();
    }

    void incompleteHeaderAndNotConnected() {
        TSMTPClient c;
        c.PostMessage.ToAddress = {QStringLiteral("you@example.org")};
        QCOMPARE(errorOf([&c]() { c.SendMail(); }), QStringLiteral("Not Connected"));
        TFakeServer s;
        setUp(c, s);
        c.Connect();
        int kind = 0;
        c.OnHeaderIncomplete = [&kind](bool&, int k) { kind = k; };
        QCOMPARE(errorOf([&c]() { c.SendMail(); }), QStringLiteral("Incomplete Header"));
        QCOMPARE(kind, 1);
        c.Disconnect();
    }

    void pieces_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("address");
        QTest::newRow("angle brackets") << "Name <a@b.c>"
                                        << "a@b.c";
        QTest::newRow("unclosed") << "Name <a@b.c"
                                  << "a@b.c";
        QTest::newRow("colon") << "SMTP:a@b.c:x"
                               << "a@b.c";
        QTest::newRow("plain") << "a@b.c"
                               << "a@b.c";
    }
    void pieces() {
        QFETCH(QString, entry);
        QFETCH(QString, address);
        QCOMPARE(TSMTPClient::AddressOf(entry), address);
        QCOMPARE(SocketErrorText(10061), QStringLiteral("10061:Connection refused"));
        QCOMPARE(SocketErrorText(11001), QStringLiteral("11001:Host not found"));
        QCOMPARE(SocketErrorText(4), QStringLiteral("Unknown Error No. 4"));
        TExStringList h;
        h.SetHeaderField("Subject", "a");
        h.SetHeaderField("subject", "b");
        QCOMPARE(h, QStringList{"subject: b"});
        h.SetHeaderField("SUBJECT", "");
        QVERIFY(h.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSmtpClient)
#include "tst_smtpclient.moc"
