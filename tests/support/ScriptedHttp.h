#pragma once

#include "urls/LinkCheck.h"

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

// An HTTP/1.1 server on one loopback address with scripted answers by path; each
// connection carries one request and is closed after the answer.
//   /ok 200, /slow 200 after 60 ms, /head405 HEAD 405 and GET 200, /c1 > /c2 > /c3 > /final
//   by 301, /temp 302 to /ok, /loop1 <> /loop2 by 302, /long/N 301 to /long/N+1,
//   /code/NNN that status, /hang never answers, /go/NNN/rest by NNN to /rest, /away/NNN by
//   NNN to another server's /slow (away).
class TScriptedHttp final : public QObject {
public:
    struct TSeen {
        QByteArray method;
        QByteArray path;
        QByteArray userAgent;
    };

    explicit TScriptedHttp(const QHostAddress& address = QHostAddress::LocalHost) {
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this]() {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                s->setParent(this);
                QObject::connect(s, &QTcpSocket::readyRead, this, [this, s]() { read(s); });
            }
        });
        listening = m_server.listen(address, 0);
    }

    QString base() const {
        return QStringLiteral("http://%1:%2")
            .arg(m_server.serverAddress().toString())
            .arg(m_server.serverPort());
    }

    bool listening = false;
    // The server /away/NNN sends its requests to.
    QString away;
    QList<TSeen> seen;
    int active = 0;
    int mostActive = 0;
    // Shared by several servers: the most requests in flight on all of them together.
    int* sharedActive = nullptr;
    int* sharedMost = nullptr;

private:
    void read(QTcpSocket* s) {
        QByteArray& buffer = m_buffers[s];
        buffer += s->readAll();
        const int end = buffer.indexOf("\r\n\r\n");
        if (end < 0 || s->property("answered").toBool()) {
            return;
        }
        s->setProperty("answered", true);
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        const QList<QByteArray> request = lines.value(0).trimmed().split(' ');
        TSeen r{request.value(0), request.value(1), QByteArray()};
        for (const QByteArray& line : lines) {
            if (line.toLower().startsWith("user-agent:")) {
                r.userAgent = line.mid(11).trimmed();
            }
        }
        seen.append(r);
        enter();
        const QByteArray p =
            r.path.left(r.path.indexOf('?') < 0 ? r.path.size() : r.path.indexOf('?'));
        const bool head = r.method == "HEAD";
        if (p == "/hang") {
            return;  // held open, never answered
        }
        if (p == "/slow") {
            QTimer::singleShot(60, s, [this, s]() { answer(s, 200, QByteArray(), false); });
            return;
        }
        if (p == "/ok" || p == "/final") {
            answer(s, 200, QByteArray(), head);
        } else if (p == "/head405") {
            if (head) {
                answer(s, 405, QByteArray(), true);
            } else {
                // More than a check should ever read.
                answer(s, 200, QByteArray(), false, 4 * 1024 * 1024);
            }
        } else if (p == "/c1" || p == "/c2" || p == "/c3") {
            const QByteArray next = p == "/c1" ? "/c2" : p == "/c2" ? "/c3" : "/final";
            answer(s, 301, next, head);
        } else if (p == "/temp") {
            answer(s, 302, "/ok", head);
        } else if (p == "/loop1" || p == "/loop2") {
            answer(s, 302, p == "/loop1" ? "/loop2" : "/loop1", head);
        } else if (p.startsWith("/long/")) {
            answer(s, 301, "/long/" + QByteArray::number(p.mid(6).toInt() + 1), head);
        } else if (p.startsWith("/go/")) {
            answer(s, p.mid(4, 3).toInt(), r.path.mid(7), head);
        } else if (p.startsWith("/away/")) {
            answer(s, p.mid(6, 3).toInt(), away.toLatin1() + "/slow", head);
        } else if (p.startsWith("/code/")) {
            answer(s, p.mid(6).toInt(), QByteArray(), head);
        } else {
            answer(s, 404, QByteArray(), head);
        }
    }

    void enter() {
        mostActive = std::max(mostActive, ++active);
        if (sharedActive) {
            *sharedMost = std::max(*sharedMost, ++*sharedActive);
        }
    }

    void answer(QTcpSocket* s, int code, const QByteArray& location, bool head,
                qint64 bodySize = 5) {
        --active;
        if (sharedActive) {
            --*sharedActive;
        }
        QByteArray reply = "HTTP/1.1 " + QByteArray::number(code) + " Scripted\r\n";
        if (!location.isEmpty()) {
            reply += "Location: " + location + "\r\n";
        }
        reply +=
            "Content-Length: " + QByteArray::number(bodySize) + "\r\nConnection: close\r\n\r\n";
        s->write(reply);
        if (!head) {
            s->write(QByteArray(static_cast<int>(bodySize), 'x'));
        }
        s->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_buffers;
};

// Options for checks against loopback servers: a short time limit and no pause per host.
inline TLinkCheckOptions QuickCheckOptions() {
    TLinkCheckOptions o;
    o.timeoutMs = 400;
    o.hostDelayMs = 0;
    return o;
}
