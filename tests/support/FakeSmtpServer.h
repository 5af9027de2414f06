#pragma once

#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

// A scripted SMTP peer on 127.0.0.1: a greeting, then one reply per command received, in
// order; after "DATA" it collects the message up to "." before answering the next reply.
// A reply may end in "|close" (the server hangs up after it; "|close" alone hangs up
// silently) or "|deaf" (the server stops reading after it).
class TFakeServer final : public QObject {
    Q_OBJECT
public:
    QByteArray greeting = "220 fake ready\r\n";
    QList<QByteArray> replies;
    QStringList received;
    QByteArray message;
    bool byteByByte = false;
    bool silent = false;

    explicit TFakeServer(const QHostAddress& address = QHostAddress(QHostAddress::LocalHost)) {
        m_server.listen(address);
        connect(&m_server, &QTcpServer::newConnection, this, [this]() {
            m_peer = m_server.nextPendingConnection();
            connect(m_peer, &QTcpSocket::readyRead, this, &TFakeServer::onRead);
            if (!silent) {
                act(greeting);
            }
        });
    }
    quint16 port() const { return m_server.serverPort(); }
    // The peer has stopped reading ("|deaf" played).
    bool deaf() const { return m_deaf; }

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
    void act(const QByteArray& entry) {
        const int bar = entry.indexOf('|');
        write(entry.left(bar < 0 ? entry.size() : bar));
        const QByteArray then = bar < 0 ? QByteArray() : entry.mid(bar + 1);
        if (then == "close") {
            m_peer->flush();
            m_peer->disconnectFromHost();
        } else if (then == "deaf") {
            disconnect(m_peer, &QTcpSocket::readyRead, this, &TFakeServer::onRead);
            m_peer->setReadBufferSize(1);
            m_deaf = true;
        }
    }
    void onRead() {
        if (m_deaf || m_peer->state() != QAbstractSocket::ConnectedState) {
            return;
        }
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
        act(r);
        return r;
    }

    QTcpServer m_server;
    QTcpSocket* m_peer = nullptr;
    QByteArray m_in;
    bool m_inData = false;
    bool m_deaf = false;
};
