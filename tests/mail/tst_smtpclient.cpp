#include "mail/SMTPClient.h"
#include "support/FakeSmtpServer.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSslCertificate>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

class TestSmtpClient final : public QObject {
    Q_OBJECT

    static void setUp(TSMTPClient& c, const TFakeServer& s) {
        c.Host = QStringLiteral("127.0.0.1");
        c.Port = s.port();
        c.UserID = QStringLiteral("host.example");
        c.TimeOut = 3000;
    }
    // The server answers with the script, its greeting first; the client holds one message.
    static void prepareDialogue(TFakeServer& s, QList<QByteArray> script, TSMTPClient& c) {
        s.greeting = script.takeFirst();
        s.replies = script;
        setUp(c, s);
        c.PostMessage.FromAddress = QStringLiteral("me@example.org");
        c.PostMessage.ToAddress = {QStringLiteral("you@example.org")};
        c.PostMessage.Body = {QStringLiteral("hello")};
    }
    // A self-signed certificate for host, made with the openssl tool; its SHA-256 digest.
    static QString makeCertificate(const QString& host, const QString& cert, const QString& key) {
        const QString name =
            host.front().isDigit() ? QString("IP:" + host) : QString("DNS:" + host);
        QProcess openssl;
        openssl.setStandardErrorFile(QProcess::nullDevice());
        openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                                  "-out", cert, "-days", "2", "-subj", "/CN=" + host, "-addext",
                                  "subjectAltName=" + name});
        if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0) {
            return QString();
        }
        return QString::fromLatin1(
            QSslCertificate::fromPath(cert).value(0).digest(QCryptographicHash::Sha256).toHex());
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

    // A server that never greets: the wait ends at the time limit, or at once on cancel.
    void serverThatNeverGreets_data() {
        QTest::addColumn<int>("timeOut");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("error");
        QTest::newRow("time limit") << 300 << false << "Socket readln timed out";
        QTest::newRow("cancel") << 0 << true << "Socket readln aborted";
    }
    void serverThatNeverGreets() {
        QFETCH(int, timeOut);
        QFETCH(bool, cancel);
        QFETCH(QString, error);
        TFakeServer s;
        s.silent = true;
        TSMTPClient c;
        setUp(c, s);
        c.TimeOut = timeOut;
        if (cancel) {
            QTimer::singleShot(200, [&c]() { c.Cancelled = true; });
        }
        QCOMPARE(errorOf([&c]() { c.Connect(); }), error);
        QVERIFY(!c.Connected());
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
        QVERIFY(m.startsWith("From: Me <me@example.org>\r\nTo: you@example.org\r\nDate: "));
        QVERIFY(m.contains("\r\nMessage-ID: <"));
        QVERIFY(m.contains("\r\nMime-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\""));
        QVERIFY(!m.contains("Subject:"));
        QVERIFY(!m.contains("Reply-To:"));
        // The report goes as HTML, quoted-printable; "." lines are encoded, never data ends.
        QVERIFY(
            m.contains("Content-Type: text/html; charset=utf-8\r\n"
                       "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
                       "<html>\r\n=2E\r\n=2E.x\r\n"));
        QVERIFY(m.contains("Content-Disposition: attachment;\r\n filename=\"report.bin\"\r\n"));
        const QByteArray lines = TSMTPClient::Base64Lines(bytes);
        const QList<QByteArray> parts = lines.split('\n');
        QCOMPARE(parts.at(0).size(), 61);                         // 60 characters and CR
        QCOMPARE(parts.at(1), bytes.right(1).toBase64() + "\r");  // four characters, "=="
        QVERIFY(parts.at(1).endsWith("==\r"));
        QVERIFY(m.contains(lines));
        QVERIFY(m.endsWith(QByteArray("--" + c.Boundary().toUtf8() + "--\r\n")));
        c.Disconnect();
    }

    // Against a real SMTP implementation over STARTTLS with AUTH, read back with Python's
    // standard e-mail parser:
    // the subject and names exactly, a Date and a Message-ID, the report as its text/html
    // part, attachments byte for byte under their names (a line break and "." in one
    // included), no defects, and exactly one message.
    void realPeer() {
        // Debian's interpreter, where its python3-aiosmtpd lives.
        const QString python = QStringLiteral("/usr/bin/python3");
        if (QProcess::execute(python, {QStringLiteral("-c"), QStringLiteral("import aiosmtpd")}) !=
            0) {
            QSKIP("python3-aiosmtpd is not installed: the real-peer test does not run");
        }
        QTemporaryDir dir;
        const QString cert = dir.filePath("cert.pem");
        const QString key = dir.filePath("key.pem");
        const QString digest = makeCertificate("127.0.0.1", cert, key);
        QVERIFY(!digest.isEmpty());
        QProcess peer;
        peer.start(python, {QStringLiteral(SMTP_PEER_SCRIPT), dir.path(), "--starttls", cert, key,
                            "--auth", "ivan:пароль"});
        QVERIFY(peer.waitForReadyRead(10000));
        const quint16 port = peer.readLine().trimmed().toUShort();
        QVERIFY(port > 0);
        QByteArray binary;
        for (int i = 0; i < 3 * 256 + 46; ++i) {
            binary += char(i % 256);
        }
        const QString files[] = {dir.filePath("data.bin"),
                                 dir.filePath("отчёт \"1\"\r\n.\r\nMAIL FROM:<evil@x>.txt")};
        const QByteArray contents[] = {binary, QByteArray("x")};
        for (int i = 0; i < 2; ++i) {
            QFile f(files[i]);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(contents[i]);
        }
        TSMTPClient c;
        c.Host = QStringLiteral("127.0.0.1");
        c.Port = port;
        c.UserID = QStringLiteral("host.example");
        c.TimeOut = 10000;
        c.Security = TSecurity::StartTls;
        c.TrustedCertificate = digest;
        c.UserName = QStringLiteral("ivan");
        c.Password = QStringLiteral("пароль");
        c.Connect();
        QVERIFY(c.Encrypted());
        const QString subject =
            QStringLiteral("Отчёт: ссылки & <новости> — очень длинная тема письма, ") +
            QString(40, QChar(0x0436));
        c.PostMessage.FromAddress = QStringLiteral("me@example.org");
        c.PostMessage.FromName = QStringLiteral("Иван Петров");
        c.PostMessage.ToAddress = {QStringLiteral("Смирнов, Пётр <you@example.org>")};
        c.PostMessage.ToCarbonCopy = {QStringLiteral("cc@example.org")};
        c.PostMessage.Subject = subject;
        c.PostMessage.Body = {QStringLiteral("<html>"),
                              QStringLiteral(".лишь точка &amp; &lt;b&gt;"),
                              QString(300, QChar(0x0434)), QStringLiteral("</html>")};
        c.PostMessage.Attachments = {files[0], files[1]};
        c.SubType = TMessageSubType::Html;
        c.SendMail();
        c.Disconnect();
        peer.closeWriteChannel();
        const QString received = dir.filePath("message-1.json");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(received), 10000);
        QVERIFY(peer.waitForFinished(10000));
        QVERIFY(!QFile::exists(dir.filePath("message-2.json")));  // nothing smuggled
        QFile f(received);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QJsonObject m = QJsonDocument::fromJson(f.readAll()).object();
        QCOMPARE(m.value("mail_from").toString(), QStringLiteral("me@example.org"));
        QCOMPARE(m.value("rcpt_tos").toArray().size(), 2);
        QCOMPARE(m.value("defects").toArray().size(), 0);
        const QJsonObject headers = m.value("headers").toObject();
        QCOMPARE(headers.value("Subject").toString(), subject);
        QCOMPARE(headers.value("From").toString(), QStringLiteral("Иван Петров <me@example.org>"));
        QCOMPARE(headers.value("To").toString(),
                 QStringLiteral("\"Смирнов, Пётр\" <you@example.org>"));
        QVERIFY(!headers.value("Date").toString().isEmpty());
        QVERIFY(headers.value("Message-ID").toString().endsWith("@host.example>"));
        const QJsonArray parts = m.value("parts").toArray();
        QCOMPARE(parts.size(), 3);
        QCOMPARE(parts.at(0).toObject().value("type").toString(), QStringLiteral("text/html"));
        QCOMPARE(parts.at(0).toObject().value("charset").toString(), QStringLiteral("utf-8"));
        QCOMPARE(QString::fromUtf8(QByteArray::fromBase64(
                     parts.at(0).toObject().value("data").toString().toLatin1())),
                 c.PostMessage.Body.join("\r\n"));  // the last CR LF is the delimiter's
        for (int i = 0; i < 2; ++i) {
            const QJsonObject part = parts.at(i + 1).toObject();
            QCOMPARE(part.value("filename").toString(), QFileInfo(files[i]).fileName());
            QCOMPARE(QByteArray::fromBase64(part.value("data").toString().toLatin1()), contents[i]);
        }
    }

    // Against the real peer secured as providers secure it: STARTTLS or TLS from the first
    // byte, AUTH over TLS only, with a certificate this test makes and trusts by digest.
    void securedPeer_data() {
        QTest::addColumn<QStringList>("peer");  // options of smtp_peer.py, CERT/KEY replaced
        QTest::addColumn<int>("security");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<QString>("certificateHost");
        QTest::addColumn<QString>("error");  // a regular expression; empty: delivered
        const QStringList starttls = {"--starttls", "CERT", "KEY", "--auth", "u:secret"};
        const QStringList tls = {"--tls", "CERT", "KEY", "--auth", "u:secret"};
        QTest::newRow("STARTTLS and AUTH")
            << starttls << int(TSecurity::StartTls) << "secret" << true << "127.0.0.1"
            << "";
        QTest::newRow("TLS on connect and AUTH")
            << tls << int(TSecurity::Tls) << "secret" << true << "127.0.0.1"
            << "";
        QTest::newRow("wrong password")
            << starttls << int(TSecurity::StartTls) << "wrong" << true << "127.0.0.1"
            << "Authentication failed: 535.*";
        QTest::newRow("no AUTH offered: the name is never sent")
            << QStringList{"--starttls", "CERT", "KEY", "--noauth"} << int(TSecurity::StartTls)
            << "secret" << true << "127.0.0.1"
            << ".*offers no way to sign in.*";
        QTest::newRow("a user name without security is refused")
            << QStringList{} << int(TSecurity::None) << "secret" << true << "127.0.0.1"
            << "Authentication needs a secured connection.*";
        QTest::newRow("certificate of another host")
            << tls << int(TSecurity::Tls) << "secret" << true << "other.example"
            << "TLS negotiation failed with 127.0.0.1: .*host name.*";
        QTest::newRow("certificate nobody vouches for")
            << tls << int(TSecurity::Tls) << "secret" << false << "127.0.0.1"
            << "TLS negotiation failed with 127.0.0.1: .*self.signed.*";
    }
    void securedPeer() {
        QFETCH(QStringList, peer);
        QFETCH(int, security);
        QFETCH(QString, password);
        QFETCH(bool, trusted);
        QFETCH(QString, certificateHost);
        QFETCH(QString, error);
        const QString python = QStringLiteral("/usr/bin/python3");
        if (QProcess::execute(python, {QStringLiteral("-c"), QStringLiteral("import aiosmtpd")}) !=
            0) {
            QSKIP("python3-aiosmtpd is not installed: the secured-peer test does not run");
        }
        if (!QSslSocket::supportsSsl()) {
            QSKIP("no TLS library: the secured-peer test does not run");
        }
        QTemporaryDir dir;
        const QString cert = dir.filePath("cert.pem");
        const QString key = dir.filePath("key.pem");
        const QString digest = makeCertificate(certificateHost, cert, key);
        QVERIFY(!digest.isEmpty());
        peer.replaceInStrings(QRegularExpression("^CERT$"), cert);
        peer.replaceInStrings(QRegularExpression("^KEY$"), key);
        QProcess server;
        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server.start(python, QStringList{QStringLiteral(SMTP_PEER_SCRIPT), dir.path()} + peer);
        QVERIFY(server.waitForReadyRead(10000));
        const quint16 port = server.readLine().trimmed().toUShort();
        QVERIFY(port > 0);
        TSMTPClient c;
        c.Host = QStringLiteral("127.0.0.1");
        c.Port = port;
        c.UserID = QStringLiteral("host.example");
        c.TimeOut = 10000;
        c.Security = TSecurity(security);
        c.UserName = QStringLiteral("u");
        c.Password = password;
        if (trusted) {
            c.TrustedCertificate = digest;
        }
        const QString failure = errorOf([&c]() {
            c.Connect();
            c.PostMessage.FromAddress = QStringLiteral("me@example.org");
            c.PostMessage.ToAddress = {QStringLiteral("you@example.org")};
            c.PostMessage.Subject = QStringLiteral("Защищённое письмо");
            c.PostMessage.Body = {QStringLiteral("hello")};
            c.SendMail();
            c.Disconnect();
        });
        c.Abort();
        server.closeWriteChannel();
        QVERIFY(server.waitForFinished(10000));
        if (error.isEmpty()) {
            QCOMPARE(failure, QString());
            QVERIFY(QFile::exists(dir.filePath("message-1.json")));
        } else {
            QVERIFY2(QRegularExpression("^" + error + "$",
                                        QRegularExpression::DotMatchesEverythingOption |
                                            QRegularExpression::CaseInsensitiveOption)
                         .match(failure)
                         .hasMatch(),
                     qPrintable(failure));
            QVERIFY(!QFile::exists(dir.filePath("message-1.json")));
        }
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
        // Nothing that would end a command or the data reaches the wire.
        for (const QString& from :
             {QStringLiteral("me@x> SIZE=1"), QStringLiteral("me@x\r\nRSET"),
              QStringLiteral("мой@пример.рф"), QStringLiteral("no-at-sign")}) {
            c.PostMessage.FromAddress = from;
            QVERIFY(errorOf([&c]() { c.SendMail(); }).startsWith("Invalid"));
        }
        c.PostMessage.FromAddress = QStringLiteral("me@example.org");
        c.PostMessage.ToAddress = {QStringLiteral("Them <you@example.org>\r\nDATA")};
        QVERIFY(errorOf([&c]() { c.SendMail(); }).startsWith("Invalid"));
        c.PostMessage.ToAddress = {QStringLiteral("Them <you@x.org> <evil@x.org>")};
        c.PostMessage.FromName = QStringLiteral("Me\r\nBcc: all@example.org");
        QVERIFY(errorOf([&c]() { c.SendMail(); }).startsWith("Invalid"));
        QCOMPARE(s.received, QStringList{"HELO host.example"});
        // Lines of any length, in octets: quoted-printable keeps every one within 76.
        c.PostMessage.FromName = QStringLiteral("Отправитель");
        c.PostMessage.ToAddress = {QStringLiteral("you@example.org")};
        c.PostMessage.Body = {QString(999, QLatin1Char('a')), QString(600, QChar(0x0436)),
                              QStringLiteral("."), QStringLiteral(".\r\n.")};
        c.SendMail();
        for (const QByteArray& line : s.message.split('\n')) {
            QVERIFY2(line.size() <= 79, line.constData());
            QVERIFY(line != ".\r");
        }
        QVERIFY(!s.message.contains("Отправитель"));  // an encoded word, ASCII on the wire
        c.Disconnect();
    }

    // Every reply may have several lines (RFC 5321 4.2.1), at every stage: the client reads
    // them all, stays in step, and judges the reply by its number.
    void multiLineRepliesAtEveryStage_data() {
        QTest::addColumn<int>("stage");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("refused");
        const char* const stages[] = {"greeting", "HELO", "RSET", "MAIL",
                                      "RCPT",     "DATA", "end",  "QUIT"};
        const char* const codes[] = {"220", "250", "250", "250", "250", "354", "250", "221"};
        for (int stage = 0; stage < 8; ++stage) {
            const QByteArray c(codes[stage]);
            QTest::addRow("%s", stages[stage])
                << stage << QByteArray(c + "-first\r\n" + c + "-second\r\n" + c + " last\r\n")
                << QString() << 0;
        }
        QTest::newRow("three-line 550 to RCPT is one refusal")
            << 4 << QByteArray("550-no\r\n550-such\r\n550 user\r\n") << QString() << 1;
        QTest::newRow("two-line 554 at the end of data is a failure")
            << 6 << QByteArray("554-rejected\r\n554 spam\r\n")
            << QStringLiteral("554-rejected\r\n554 spam\r\n") << 0;
    }
    void multiLineRepliesAtEveryStage() {
        QFETCH(int, stage);
        QFETCH(QByteArray, reply);
        QFETCH(QString, error);
        QFETCH(int, refused);
        QList<QByteArray> script = {"220 hello\r\n",  "250 hi\r\n", "250 reset\r\n",
                                    "250 from\r\n",   "250 to\r\n", "354 go on\r\n",
                                    "250 queued\r\n", "221 bye\r\n"};
        script[stage] = reply;
        TFakeServer s;
        TSMTPClient c;
        prepareDialogue(s, script, c);
        QStringList notFound;
        c.OnRecipientNotFound = [&notFound](const QString& r) { notFound << r; };
        bool success = false;
        c.OnSuccess = [&success]() { success = true; };
        c.Connect();
        QCOMPARE(errorOf([&c]() { c.SendMail(); }), error);
        QCOMPARE(errorOf([&c]() { c.Disconnect(); }), QString());
        QCOMPARE(success, error.isEmpty());
        QCOMPARE(notFound.size(), refused);
        QCOMPARE(s.received, (QStringList{"HELO host.example", "RSET", "MAIL FROM:<me@example.org>",
                                          "RCPT TO:<you@example.org>", "DATA", ".", "QUIT"}));
    }

    // EHLO refused by a server of the old kind: HELO follows; without STARTTLS on offer a
    // secured send stops there, before any word about the message.
    void ehloFallsBackToHelo() {
        TFakeServer s;
        TSMTPClient c;
        prepareDialogue(s, {"220 old\r\n", "500 what?\r\n", "250 hi\r\n", "221 bye\r\n"}, c);
        c.Security = TSecurity::StartTls;
        QCOMPARE(errorOf([&c]() { c.Connect(); }),
                 QStringLiteral("The server 127.0.0.1 does not offer STARTTLS"));
        QCOMPARE(s.received.mid(0, 2), (QStringList{"EHLO host.example", "HELO host.example"}));
        QVERIFY(!c.Connected());
    }

    // Names are looked up inside the waiting loop: Cancel ends the lookup; an IPv6 address
    // is connected to as it is.
    void lookupAndIPv6() {
        TSMTPClient c;
        c.Host = QStringLiteral("localhost");
        c.Port = 1;
        c.Cancelled = true;
        QCOMPARE(errorOf([&c]() { c.Connect(); }), QStringLiteral("Host Lookup Canceled"));
        TFakeServer s(QHostAddress::LocalHostIPv6);
        if (s.port() == 0) {
            QSKIP("no IPv6 loopback on this machine");
        }
        TSMTPClient six;
        setUp(six, s);
        six.Host = QStringLiteral("[::1]");
        six.Connect();
        QVERIFY(six.Connected());
        six.Disconnect();
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

    // Every stage of the dialogue answered with a temporary or permanent refusal, a 421 and
    // hang-up, or a silent hang-up: the first error names what went wrong, a send counts as
    // delivered only when the end of data was accepted, and the client ends disconnected.
    void faultAtEveryStage_data() {
        QTest::addColumn<int>("stage");
        QTest::addColumn<QByteArray>("fault");
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("delivered");
        const char* const stages[] = {"greeting", "HELO", "RSET", "MAIL",
                                      "RCPT",     "DATA", "end",  "QUIT"};
        const QByteArray faults[] = {"451 try later\r\n", "554 refused\r\n",
                                     "421 closing\r\n|close", "|close"};
        const QString closed = QStringLiteral("10054:Connection reset by peer");
        const char* const faultNames[] = {"4xx", "5xx", "421-close", "silent-close"};
        for (int stage = 0; stage < 8; ++stage) {
            for (int f = 0; f < 4; ++f) {
                const QByteArray& fault = faults[f];
                const QString text = QString::fromLatin1(
                    fault.left(fault.indexOf('|') < 0 ? fault.size() : fault.indexOf('|')));
                QString error = text.isEmpty() ? closed : QRegularExpression::escape(text);
                bool delivered = false;
                if (stage == 0 && text.isEmpty()) {
                    error = QStringLiteral("Connection Failed");
                } else if (stage == 1) {
                    error = text.isEmpty() ? closed : QStringLiteral("Authentication failed");
                } else if (stage == 4) {
                    // A refused recipient is reported and the dialogue goes on to DATA, which
                    // the script refuses; after a hang-up DATA cannot be sent or answered.
                    error = text.isEmpty()             ? closed
                            : fault.endsWith("|close") ? QStringLiteral("Not Connected|") + closed
                                                       : QStringLiteral("554 no recipients\r\n");
                } else if (stage == 7) {
                    delivered = true;
                    error = text.isEmpty() ? QString() : error;
                }
                QTest::addRow("%s %s", stages[stage], faultNames[f])
                    << stage << fault << error << delivered;
            }
        }
    }
    void faultAtEveryStage() {
        QFETCH(int, stage);
        QFETCH(QByteArray, fault);
        QFETCH(QString, error);
        QFETCH(bool, delivered);
        QList<QByteArray> script = {"220 hello\r\n",  "250 hi\r\n", "250 reset\r\n",
                                    "250 from\r\n",   "250 to\r\n", "354 go on\r\n",
                                    "250 queued\r\n", "221 bye\r\n"};
        script[stage] = fault;
        if (stage == 4 && !fault.endsWith("|close")) {
            script[5] = "554 no recipients\r\n";
        }
        TFakeServer s;
        TSMTPClient c;
        prepareDialogue(s, script, c);
        QStringList refused;
        c.OnRecipientNotFound = [&refused](const QString& r) { refused << r; };
        bool success = false;
        c.OnSuccess = [&success]() { success = true; };
        QString first;
        try {
            c.Connect();
            c.SendMail();
        } catch (const EError& e) {
            first = e.message();
        }
        try {
            c.Disconnect();
        } catch (const EError& e) {
            if (first.isEmpty()) {
                first = e.message();
            }
        }
        if (error.isEmpty()) {
            QCOMPARE(first, QString());
        } else {
            QVERIFY2(
                QRegularExpression(QStringLiteral("^(%1)$").arg(error)).match(first).hasMatch(),
                qPrintable(first));
        }
        QCOMPARE(success, delivered);
        QCOMPARE(refused.size(), stage == 4 && !fault.startsWith('|') ? 1 : 0);
        QVERIFY(!c.Connected());
        QVERIFY(!c.Busy);
    }

    // The server takes DATA and then stops reading: the send ends at the time limit, or at
    // once when cancelled, instead of waiting for ever.
    void serverStopsReadingMidData() {
        for (const bool cancel : {false, true}) {
            TFakeServer s;
            s.replies = {"250 hi\r\n", "250 reset\r\n", "250 from\r\n", "250 to\r\n",
                         "354 go on\r\n|deaf"};
            TSMTPClient c;
            setUp(c, s);
            c.TimeOut = cancel ? 0 : 500;
            c.Connect();
            c.PostMessage.FromAddress = QStringLiteral("me@example.org");
            c.PostMessage.ToAddress = {QStringLiteral("you@example.org")};
            for (int i = 0; i < 40000; ++i) {
                c.PostMessage.Body << QString(900, QLatin1Char('x'));
            }
            // Cancelled well into the send: 300 ms after the server stopped reading, so a
            // slow machine still has the client past the reply to DATA.
            QElapsedTimer deafFor;
            QTimer cancelTimer;
            if (cancel) {
                QObject::connect(&cancelTimer, &QTimer::timeout, [&]() {
                    if (!s.deaf()) {
                        return;
                    }
                    if (!deafFor.isValid()) {
                        deafFor.start();
                    } else if (deafFor.elapsed() >= 300) {
                        c.Cancelled = true;
                    }
                });
                cancelTimer.start(10);
            }
            QCOMPARE(errorOf([&c]() { c.SendMail(); }),
                     cancel ? QStringLiteral("Socket send aborted")
                            : QStringLiteral("Socket send timed out"));
            QVERIFY(!c.Busy);
        }
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
