#include "app/GeneralUnit.h"
#include "common/Clock.h"
#include "gridtools/EditDBGridDlg.h"
#include "gridtools/ExDBGrid.h"
#include "platform/db/DataSet.h"
#include "platform/db/Schema.h"
#include "support/CatalogueFixture.h"
#include "support/ScriptedDialogs.h"
#include "support/TestCatalogue.h"
#include "support/TestEnvironment.h"
#include "urls/LinkCheck.h"
#include "urls/LinkCheckDlg.h"
#include "urls/LinkCheckStore.h"
#include "urls/URLViewFrm.h"

#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

#include "support/TestHelpers.h"

namespace {

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

// Runs one checker over the links to its end and returns what it reported.
QList<TLinkCheckResult> checkAll(const QList<TLinkToCheck>& links, TLinkCheckOptions options,
                                 TLinkChecker* checker = nullptr) {
    TLinkChecker own;
    TLinkChecker& c = checker ? *checker : own;
    c.Options = options;
    QList<TLinkCheckResult> results;
    QObject::connect(&c, &TLinkChecker::Checked,
                     [&results](const TLinkCheckResult& r) { results.append(r); });
    QSignalSpy finished(&c, &TLinkChecker::Finished);
    c.Start(links);
    if (finished.isEmpty()) {
        finished.wait(20000);
    }
    return results;
}

TLinkCheckOptions quick() {
    TLinkCheckOptions o;
    o.timeoutMs = 400;
    o.hostDelayMs = 0;
    return o;
}

QDateTime day(double d) {
    return QDateTime(QDate(2026, 3, 1), QTime(9, 0)).addMSecs(static_cast<qint64>(d * 86400000));
}

TLinkCheckResult result(const QString& key, const QString& url, TLinkVerdict verdict, double when,
                        int code = 0) {
    TLinkCheckResult r;
    r.key = key;
    r.url = url;
    r.checkedAt = day(when);
    r.verdict = verdict;
    r.httpCode = code;
    return r;
}

}  // namespace

using TChecks = QList<QPair<QDateTime, QString>>;
Q_DECLARE_METATYPE(TLinkVerdict)

class TestLinkCheck final : public QObject, TCatalogueFixture {
    Q_OBJECT

    QString status(const QString& key) {
        return cat
            ->otherValue("SELECT LinkStatus FROM SubjectURLs WHERE SubjectURLID = '" + key + "'")
            .toString();
    }
    // Checks every record of the view and waits for the summary.
    static void checkEveryRecord(TURLViewForm& v, TScriptedDialogs& dialogs) {
        dialogs.answer(QMessageBox::Yes);  // every record in view
        v.actCheckLinks->trigger();
        QTRY_VERIFY(!v.LinkCheckForm());
        QTRY_VERIFY(dialogs.shownTexts().join("\n").contains("Проверка ссылок"));
    }

    // A check of the record's address as it stands.
    TLinkCheckResult checkOf(const QString& key, TLinkVerdict verdict, double when, int code = 0) {
        const QString url =
            cat->otherValue("SELECT URL FROM SubjectURLs WHERE SubjectURLID = '" + key + "'")
                .toString();
        return result(key, url.isEmpty() ? QStringLiteral("gone.example") : url, verdict, when,
                      code);
    }
    int checks(const QString& key) {
        return cat->otherValue("SELECT COUNT(*) FROM LinkChecks WHERE SubjectURLID = '" + key + "'")
            .toInt();
    }

private Q_SLOTS:
    void initTestCase() {
        InitTestApplication();
        LINKARIUM_REQUIRE_ENGINE();
    }
    void init() { openCatalogue(); }
    void cleanup() {
        SetNowForTesting({});
        closeCatalogue();
    }

    void verdicts_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<TLinkVerdict>("verdict");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("finalPath");
        QTest::addColumn<QString>("error");
        const auto row = [](const char* name, const char* address, TLinkVerdict v, int code,
                            const char* finalPath = "", const char* error = "") {
            QTest::newRow(name) << address << v << code << finalPath << error;
        };
        row("200", "%1/ok", TLinkVerdict::Alive, 200);
        row("HEAD refused, GET answers", "%1/head405", TLinkVerdict::Alive, 200);
        row("301 chain of three", "%1/c1", TLinkVerdict::Moved, 301, "/final");
        row("temporary redirect", "%1/temp", TLinkVerdict::Alive, 200, "/ok");
        row("redirect loop", "%1/loop1", TLinkVerdict::Unreachable, 302, "/loop2", "по кругу");
        row("eleven redirects", "%1/long/0", TLinkVerdict::Unreachable, 301, "/long/10",
            "Больше 10");
        row("404", "%1/code/404", TLinkVerdict::ClientError, 404);
        row("410", "%1/code/410", TLinkVerdict::ClientError, 410);
        row("401", "%1/code/401", TLinkVerdict::Restricted, 401);
        row("403", "%1/code/403", TLinkVerdict::Restricted, 403);
        row("429", "%1/code/429", TLinkVerdict::Restricted, 429);
        row("500", "%1/code/500", TLinkVerdict::ServerError, 500);
        row("503", "%1/code/503", TLinkVerdict::ServerError, 503);
        row("never answers", "%1/hang", TLinkVerdict::Unreachable, 0, "", "не ответил");
        row("refused port", "http://127.0.0.1:%2/ok", TLinkVerdict::Unreachable, 0, "", "отказал");
        row("name that never resolves", "http://links.invalid/ok", TLinkVerdict::Unreachable, 0, "",
            "links.invalid");
        row("without a scheme", "%3/ok", TLinkVerdict::Alive, 200);
        row("without a scheme, an address in the query", "%3/ok?next=http://x.example/",
            TLinkVerdict::Alive, 200);
        // Moved only when every hop is permanent and the end answers.
        row("301 then 302 to a session address", "%1/go/301/go/302/ok?session=1",
            TLinkVerdict::Alive, 200, "/ok?session=1");
        row("302 then 301", "%1/go/302/go/301/ok", TLinkVerdict::Alive, 200, "/ok");
        row("301 then 307", "%1/go/301/go/307/final", TLinkVerdict::Alive, 200, "/final");
        row("301 then 308", "%1/go/301/go/308/final", TLinkVerdict::Moved, 301, "/final");
        // The final answer decides the code, and the chain is said.
        row("301 to a 404", "%1/go/301/code/404", TLinkVerdict::ClientError, 404, "/code/404",
            "301 → 404");
        row("308 to a 503", "%1/go/308/code/503", TLinkVerdict::ServerError, 503, "/code/503",
            "308 → 503");
        row("302 then 301 to a 410", "%1/go/302/go/301/code/410", TLinkVerdict::ClientError, 410,
            "/code/410", "302 → 301 → 410");
        // Where a Location header may point.
        row("redirect to ftp", "%1/go/301ftp://example.org/", TLinkVerdict::Unreachable, 301,
            "/go/301ftp://example.org/", "не проверяется");
        row("redirect without a place to go", "%1/go/301", TLinkVerdict::ClientError, 301);
        row("Location without a scheme", "%1/go/308//%3/ok", TLinkVerdict::Moved, 308, "/ok");
    }

    void verdicts() {
        QFETCH(QString, address);
        QFETCH(TLinkVerdict, verdict);
        QFETCH(int, code);
        QFETCH(QString, finalPath);
        QFETCH(QString, error);
        TScriptedHttp http;
        QVERIFY(http.listening);
        int refusedPort = 0;
        {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
            refusedPort = closed.serverPort();
        }
        QString url = address;
        url.replace("%1", http.base())
            .replace("%2", QString::number(refusedPort))
            .replace("%3", http.base().mid(7));
        const QList<TLinkCheckResult> results = checkAll({{QStringLiteral("{K}"), url}}, quick());
        QCOMPARE(results.size(), 1);
        const TLinkCheckResult& r = results.first();
        QCOMPARE(r.key.toString(), QStringLiteral("{K}"));
        QCOMPARE(r.url, url);
        QCOMPARE(r.verdict, verdict);
        QCOMPARE(r.httpCode, code);
        QCOMPARE(r.finalUrl, finalPath.isEmpty() ? QString() : http.base() + finalPath);
        QVERIFY2(r.error.contains(error), qPrintable(r.error));
    }

    // HEAD first, GET only after a refusal, each with the program's name.
    void requestsTheServerSees() {
        TScriptedHttp http;
        checkAll({{1, http.base() + "/ok"}, {2, http.base() + "/head405"}}, quick());
        QCOMPARE(http.seen.size(), 3);
        QStringList asked;
        for (const auto& s : http.seen) {
            asked << QString::fromLatin1(s.method + ' ' + s.path);
            QVERIFY2(s.userAgent.startsWith("Linkarium/"), s.userAgent.constData());
        }
        asked.sort();
        QCOMPARE(asked, (QStringList{"GET /head405", "HEAD /head405", "HEAD /ok"}));
    }

    void addressesThatAreNotChecked() {
        TLinkChecker checker;
        const QList<TLinkCheckResult> results = checkAll({{1, "mailto:a@example.org"},
                                                          {2, "file:///etc/hosts"},
                                                          {3, "ftp://example.org/"},
                                                          {4, "   "},
                                                          {5, "javascript:void(0)"}},
                                                         quick(), &checker);
        QVERIFY(results.isEmpty());
        QCOMPARE(checker.Skipped(), 5);
        QCOMPARE(checker.Done(), 5);
        QVERIFY(!checker.Running());
    }

    // Eight requests at once at most, two to one host, whatever the queue holds.
    void limits() {
        int active = 0;
        int most = 0;
        std::vector<std::unique_ptr<TScriptedHttp>> servers;
        QList<TLinkToCheck> links;
        for (int h = 1; h <= 6; ++h) {
            servers.push_back(
                std::make_unique<TScriptedHttp>(QHostAddress(QStringLiteral("127.0.0.%1").arg(h))));
            TScriptedHttp& s = *servers.back();
            if (!s.listening) {
                QSKIP("no loopback address 127.0.0.2 and above here");
            }
            s.sharedActive = &active;
            s.sharedMost = &most;
            for (int i = 0; i < 8; ++i) {
                links.append({h * 100 + i, s.base() + "/slow"});
            }
        }
        TLinkCheckOptions o = quick();
        o.timeoutMs = 5000;
        const QList<TLinkCheckResult> results = checkAll(links, o);
        QCOMPARE(results.size(), links.size());
        for (const auto& r : results) {
            QCOMPARE(r.verdict, TLinkVerdict::Alive);
        }
        for (const auto& s : servers) {
            QVERIFY2(s->mostActive <= 2, qPrintable(QString::number(s->mostActive)));
        }
        QVERIFY2(most <= 8 && most >= 3, qPrintable(QString::number(most)));
    }

    // The limits per host hold for every request: six hosts that all send their links on to
    // one seventh by a redirect make no more than two requests to it at once.
    void limitsFollowRedirects() {
        TScriptedHttp target(QHostAddress(QStringLiteral("127.0.0.7")));
        if (!target.listening) {
            QSKIP("no loopback address 127.0.0.7 here");
        }
        std::vector<std::unique_ptr<TScriptedHttp>> servers;
        QList<TLinkToCheck> links;
        for (int h = 1; h <= 6; ++h) {
            servers.push_back(
                std::make_unique<TScriptedHttp>(QHostAddress(QStringLiteral("127.0.0.%1").arg(h))));
            servers.back()->away = target.base();
            for (int i = 0; i < 3; ++i) {
                links.append({h * 100 + i, servers.back()->base() + "/away/30" +
                                               QString::number(h % 2 ? 1 : 2)});
            }
        }
        TLinkCheckOptions o = quick();
        o.timeoutMs = 5000;
        const QList<TLinkCheckResult> results = checkAll(links, o);
        QCOMPARE(results.size(), links.size());
        for (const auto& r : results) {
            QVERIFY(r.verdict == TLinkVerdict::Alive || r.verdict == TLinkVerdict::Moved);
        }
        QCOMPARE(target.seen.size(), links.size());
        QVERIFY2(target.mostActive <= 2, qPrintable(QString::number(target.mostActive)));
    }

    // A cancel from a slot of the checker's own signals ends the check there and then: one
    // Finished, nothing checked after it, whether the links wait for their host or not.
    void cancelFromTheCheckersSignals_data() {
        QTest::addColumn<bool>("onChecking");
        QTest::addColumn<int>("hostDelayMs");
        QTest::newRow("on Checking") << true << 0;
        QTest::newRow("on Checking, links waiting for the host") << true << 200;
        QTest::newRow("on Checked") << false << 0;
        QTest::newRow("on Checked, links waiting for the host") << false << 200;
    }
    void cancelFromTheCheckersSignals() {
        QFETCH(bool, onChecking);
        QFETCH(int, hostDelayMs);
        TScriptedHttp http;
        TLinkCheckOptions o = quick();
        o.hostDelayMs = hostDelayMs;
        TLinkChecker checker;
        checker.Options = o;
        QList<bool> finished;
        int checkedAfterCancel = 0;
        bool cancelled = false;
        connect(&checker, &TLinkChecker::Finished, this,
                [&finished](bool c) { finished.append(c); });
        connect(&checker, &TLinkChecker::Checked, this, [&](const TLinkCheckResult&) {
            if (cancelled) {
                ++checkedAfterCancel;
            }
            if (!onChecking && !cancelled) {
                cancelled = true;
                checker.Cancel();
            }
        });
        connect(&checker, &TLinkChecker::Checking, this, [&](const QString&) {
            if (onChecking && !cancelled) {
                cancelled = true;
                checker.Cancel();
            }
        });
        checker.Start({{1, http.base() + "/go/301/ok"},
                       {2, http.base() + "/ok"},
                       {3, "http://links.invalid/"},
                       {4, http.base() + "/slow"}});
        QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), 5000);
        QTest::qWait(300);
        QCOMPARE(finished, QList<bool>{true});
        QCOMPARE(checkedAfterCancel, 0);
        QVERIFY(!checker.Running());
    }

    // Many links to one host, some sent on to the same host on another port: all are
    // checked, and the host never has more than its limit at once.
    void manyLinksToOneHost() {
        TScriptedHttp http;
        TScriptedHttp other;
        http.away = other.base();
        QList<TLinkToCheck> links;
        for (int i = 0; i < 300; ++i) {
            links.append({i, http.base() + (i % 3 ? "/ok?" : "/away/301?") + QString::number(i)});
        }
        TLinkCheckOptions o = quick();
        o.timeoutMs = 10000;
        const QList<TLinkCheckResult> results = checkAll(links, o);
        QCOMPARE(results.size(), links.size());
        QSet<QString> keys;
        for (const auto& r : results) {
            QVERIFY2(r.verdict == TLinkVerdict::Alive || r.verdict == TLinkVerdict::Moved,
                     qPrintable(r.error));
            keys.insert(r.key.toString());
        }
        QCOMPARE(keys.size(), links.size());
        QVERIFY2(http.mostActive <= 2, qPrintable(QString::number(http.mostActive)));
        QVERIFY2(other.mostActive <= 2, qPrintable(QString::number(other.mostActive)));
    }

    // A server that answers neither HEAD nor GET has the time limit once in all, which is
    // what the message says.
    void timeLimitIsForTheWholeCheck() {
        TScriptedHttp http;
        TLinkCheckOptions o = quick();
        o.timeoutMs = 2000;
        QElapsedTimer clock;
        clock.start();
        const QList<TLinkCheckResult> results = checkAll({{1, http.base() + "/hang"}}, o);
        const qint64 took = clock.elapsed();
        QCOMPARE(results.size(), 1);
        QVERIFY2(results.first().error.contains("не ответил за 2 с"),
                 qPrintable(results.first().error));
        // Twice the limit was the fault; anything near once is right.
        QVERIFY2(took < 3500, qPrintable(QString::number(took)));
        QCOMPARE(http.seen.size(), 2);  // HEAD, then GET in the time left
    }

    void calledDead_data() {
        QTest::addColumn<TChecks>("earlier");
        QTest::addColumn<double>("now");
        QTest::addColumn<bool>("dead");
        using L = TChecks;
        QTest::newRow("first failure") << L{} << 0.0 << false;
        QTest::newRow("second failure the same day") << L{{day(0), "server error"}} << 0.9 << false;
        QTest::newRow("second failure a day later") << L{{day(0), "unreachable"}} << 1.0 << true;
        QTest::newRow("an answer between")
            << L{{day(0), "client error"}, {day(1), "alive"}} << 2.0 << false;
        QTest::newRow("restricted is an answer")
            << L{{day(0), "client error"}, {day(1), "restricted"}} << 2.0 << false;
        QTest::newRow("a run of failures back to a day")
            << L{{day(1.5), "server error"}, {day(0.2), "unreachable"}, {day(1), "client error"}}
            << 1.6 << true;
        QTest::newRow("a long run stays dead")
            << L{{day(0), "unreachable"}, {day(1.2), "unreachable"}} << 1.3 << true;
        QTest::newRow("a later check is not an earlier one")
            << L{{day(5), "unreachable"}} << 1.0 << false;
    }

    void calledDead() {
        QFETCH(TChecks, earlier);
        QFETCH(double, now);
        QFETCH(bool, dead);
        QCOMPARE(CalledDead(earlier, day(now)), dead);
    }

    // Each check a row; the record shows the last, and "dead" only after two failures a
    // day apart with no answer between.
    void storedChecks() {
        const QString a = cat->addUrl("a.example", "A", QString());
        const QString gone = cat->addUrl("gone.example", "B", QString());
        TLinkCheckStore store(module->ADOConnection);
        QCOMPARE(store.Save({checkOf(a, TLinkVerdict::ServerError, 0, 500)}), QVariantList{a});
        QCOMPARE(status(a), QStringLiteral("server error"));
        store.Save({checkOf(a, TLinkVerdict::Unreachable, 0.5)});
        QCOMPARE(status(a), QStringLiteral("unreachable"));
        store.Save({checkOf(a, TLinkVerdict::ClientError, 1.2, 404)});
        QCOMPARE(status(a), QStringLiteral("dead"));
        QCOMPARE(
            cat->otherValue("SELECT LinkCode FROM SubjectURLs WHERE SubjectURLID = '" + a + "'")
                .toInt(),
            404);
        store.Save({checkOf(a, TLinkVerdict::Alive, 2, 200)});
        QCOMPARE(status(a), QStringLiteral("alive"));
        store.Save({checkOf(a, TLinkVerdict::ServerError, 3.5, 500)});
        QCOMPARE(status(a), QStringLiteral("server error"));
        QCOMPARE(checks(a), 5);
        // The history keeps what each check found, not the record's conclusion.
        QCOMPARE(
            cat->otherColumn("SELECT Status FROM LinkChecks WHERE SubjectURLID = '" + a +
                             "' ORDER BY CheckedAt"),
            (QStringList{"server error", "unreachable", "client error", "alive", "server error"}));
        TDataSet record;
        record.SetConnection(&module->ADOConnection);
        record.SetCommandText("SELECT LinkChecked FROM SubjectURLs WHERE SubjectURLID = '" + a +
                              "'");
        record.Open();
        QCOMPARE(record.FieldByName("LinkChecked").Value().toDateTime(), day(3.5));
        // A record deleted while its check ran gets no orphan check.
        cat->otherExec("DELETE FROM SubjectURLs WHERE SubjectURLID = '" + gone + "'");
        QCOMPARE(store.Save({checkOf(gone, TLinkVerdict::Alive, 1, 200),
                             checkOf(a, TLinkVerdict::Alive, 4, 200)}),
                 QVariantList{a});
        QCOMPARE(checks(gone), 0);
        QCOMPARE(checks(a), 6);
        // Only the newest checks stay, as many as the option says.
        store.History = 4;
        store.Save({checkOf(a, TLinkVerdict::Alive, 5, 200)});
        QCOMPARE(cat->otherColumn("SELECT Status FROM LinkChecks WHERE SubjectURLID = '" + a +
                                  "' ORDER BY CheckedAt"),
                 (QStringList{"alive", "server error", "alive", "alive"}));
    }

    // A check belongs to the address it checked: a record given another address, by this
    // program or another, starts with no status and no history, and a check of the old
    // address that comes in afterwards is not written to it.
    void checksBelongToTheirAddress_data() {
        QTest::addColumn<bool>("byTheView");
        QTest::newRow("changed elsewhere") << false;
        QTest::newRow("changed by the program") << true;
    }
    void checksBelongToTheirAddress() {
        QFETCH(bool, byTheView);
        const QString a = cat->addUrl("http://old.example/", "A", QString());
        const QString b = cat->addUrl("http://same.example/", "B", QString());
        TLinkCheckStore store(module->ADOConnection);
        const TLinkCheckResult late = checkOf(a, TLinkVerdict::ServerError, 0.5, 500);
        store.Save(
            {checkOf(a, TLinkVerdict::Moved, 0, 301), checkOf(b, TLinkVerdict::Alive, 0, 200)});
        QCOMPARE(status(a), QStringLiteral("moved"));
        if (byTheView) {
            TDataSet ds;
            ds.SetConnection(&module->ADOConnection);
            ds.SetCommandText("SELECT * FROM SubjectURLs");
            ds.Open();
            QVERIFY(ds.Locate("SubjectURLID", {a}, 0));
            ds.Edit();
            ds.FieldByName("URL").SetValue("http://corrected.example/");
            ds.Post();
        } else {
            cat->otherExec(
                "UPDATE SubjectURLs SET URL = 'http://corrected.example/' WHERE SubjectURLID = '" +
                a + "'");
        }
        QVERIFY(status(a).isEmpty());
        QCOMPARE(checks(a), 0);
        QVERIFY(cat->otherValue("SELECT LinkCode FROM SubjectURLs WHERE SubjectURLID = '" + a + "'")
                    .isNull());
        QCOMPARE(store.MovedLinks({a}).size(), 0);
        QCOMPARE(store.Save({late}), QVariantList());
        QVERIFY(status(a).isEmpty());
        QCOMPARE(checks(a), 0);
        // Other columns of a record leave its checks alone.
        cat->otherExec("UPDATE SubjectURLs SET Description = 'X' WHERE SubjectURLID = '" + b + "'");
        QCOMPARE(status(b), QStringLiteral("alive"));
        QCOMPARE(checks(b), 1);
    }

    // An address changed in letter case alone is another address to the check: what was found
    // for the old spelling is not written over the new one.
    void checksKeepTheLetterCaseOfTheirAddress_data() {
        QTest::addColumn<QString>("checked");
        QTest::addColumn<QString>("changed");
        QTest::newRow("path") << "http://old.example/Page"
                              << "http://old.example/page";
        QTest::newRow("query") << "http://old.example/?id=AbC"
                               << "http://old.example/?id=abc";
    }
    void checksKeepTheLetterCaseOfTheirAddress() {
        QFETCH(QString, checked);
        QFETCH(QString, changed);
        const QString a = cat->addUrl(checked, "A", QString());
        TLinkCheckStore store(module->ADOConnection);
        TLinkCheckResult late = checkOf(a, TLinkVerdict::ServerError, 0.5, 500);
        late.url = checked;
        cat->otherExec("UPDATE SubjectURLs SET URL = '" + changed + "' WHERE SubjectURLID = '" + a +
                       "'");
        QCOMPARE(store.Save({late}), QVariantList());
        QVERIFY(status(a).isEmpty());
        QCOMPARE(checks(a), 0);
    }

    // Checks at one moment, in one batch or one after another: the history keeps the last
    // written, and the record says the last.
    void historyCapWithEqualTimes_data() {
        QTest::addColumn<bool>("oneBatch");
        QTest::newRow("one batch") << true;
        QTest::newRow("one after another") << false;
    }
    void historyCapWithEqualTimes() {
        QFETCH(bool, oneBatch);
        const QString a = cat->addUrl("http://same-time.example/", "A", QString());
        TLinkCheckStore store(module->ADOConnection);
        store.History = 2;
        const QList<TLinkCheckResult> batch{checkOf(a, TLinkVerdict::Alive, 1, 200),
                                            checkOf(a, TLinkVerdict::ServerError, 1, 500),
                                            checkOf(a, TLinkVerdict::ClientError, 1, 404)};
        if (oneBatch) {
            store.Save(batch);
        } else {
            for (const auto& r : batch) {
                store.Save({r});
            }
        }
        QCOMPARE(checks(a), 2);
        QCOMPARE(cat->otherValue("SELECT COUNT(*) FROM LinkChecks WHERE SubjectURLID = '" + a +
                                 "' AND Status = 'alive'")
                     .toInt(),
                 0);
        QCOMPARE(status(a), QStringLiteral("client error"));
    }

    // A batch the catalogue refuses leaves nothing of itself behind.
    void batchIsAllOrNothing() {
        const QString a = cat->addUrl("a.example", "A", QString());
        const QString b = cat->addUrl("b.example", "B", QString());
        const QString trigger =
            cat->refuseWrites("BEFORE INSERT", QString(), "refused", "LinkChecks");
        TLinkCheckStore store(module->ADOConnection);
        QVERIFY_THROWS_EXCEPTION(EDatabaseError,
                                 store.Save({checkOf(a, TLinkVerdict::Alive, 0, 200),
                                             checkOf(b, TLinkVerdict::Alive, 0, 200)}));
        cat->allowWrites(trigger, "LinkChecks");
        QVERIFY(
            cat->otherValue("SELECT LinkStatus FROM SubjectURLs WHERE SubjectURLID = '" + a + "'")
                .isNull());
        QCOMPARE(checks(a) + checks(b), 0);
    }

    // Deleting a record, by the program or by another, takes its checks; a duplicate
    // starts with none.
    void checksFollowTheirRecord() {
        const QString a = cat->addUrl("a.example", "A", QString());
        const QString b = cat->addUrl("b.example", "B", QString());
        TLinkCheckStore store(module->ADOConnection);
        store.Save(
            {checkOf(a, TLinkVerdict::Alive, 0, 200), checkOf(b, TLinkVerdict::Alive, 0, 200)});
        TURLViewForm v(*module);
        v.show();
        QVERIFY(v.adsCommon->Locate("SubjectURLID", {a}, 0));
        v.actDuplicateRecordExecute();
        const QString copy = v.CurrentKey().toString();
        QVERIFY(copy != a);
        QVERIFY(cat->otherValue("SELECT LinkStatus FROM SubjectURLs WHERE SubjectURLID = '" + copy +
                                "'")
                    .isNull());
        QCOMPARE(checks(copy), 0);
        TScriptedDialogs dialogs;
        dialogs.answer(QMessageBox::Yes);
        QVERIFY(v.adsCommon->Locate("SubjectURLID", {a}, 0));
        v.actDataSetDelete->trigger();
        QCOMPARE(dialogs.unexpected(), 0);
        QCOMPARE(checks(a), 0);
        cat->otherExec("DELETE FROM SubjectURLs WHERE SubjectURLID = '" + b + "'");
        QCOMPARE(checks(b), 0);
    }

    // A catalogue made before link checks gets them when the program opens it.
    void olderCatalogueIsUpgraded() {
        TConnection& c = cat->connection();
        cat->otherSchema(
            "DROP TRIGGER SubjectURLs_delete_checks; DROP TRIGGER SubjectURLs_address_checks;"
            " DROP TABLE LinkChecks;"
            " ALTER TABLE SubjectURLs DROP COLUMN LinkStatus;"
            " ALTER TABLE SubjectURLs DROP COLUMN LinkCode;"
            " ALTER TABLE SubjectURLs DROP COLUMN LinkChecked",
            "DROP TRIGGER \"SubjectURLs_address_checks\" ON \"SubjectURLs\";"
            " DROP TABLE \"LinkChecks\"; ALTER TABLE \"SubjectURLs\" DROP COLUMN"
            " \"LinkStatus\", DROP COLUMN \"LinkCode\", DROP COLUMN \"LinkChecked\"");
        QVERIFY(!cat->otherValue("SELECT COUNT(*) FROM LinkChecks").isValid());
        UpgradeCatalogue(c);
        UpgradeCatalogue(c);  // once is enough; again changes nothing
        QCOMPARE(cat->otherValue("SELECT COUNT(*) FROM LinkChecks").toInt(), 0);
        const QString a = cat->addUrl("a.example", "A", QString());
        TLinkCheckStore(c).Save({checkOf(a, TLinkVerdict::Alive, 0, 200)});
        QCOMPARE(status(a), QStringLiteral("alive"));
        cat->otherExec("DELETE FROM SubjectURLs WHERE SubjectURLID = '" + a + "'");
        QCOMPARE(checks(a), 0);
    }

    // The command on every record in view; the grid shows the status column once asked.
    void checkTheView() {
        TScriptedHttp http;
        const QString ok = cat->addUrl(http.base() + "/ok", "A", QString());
        const QString missing = cat->addUrl(http.base() + "/code/404", "B", QString());
        const QString mail = cat->addUrl("mailto:x@example.org", "C", QString());
        SetNowForTesting([]() { return day(10); });
        TURLViewForm v(*module);
        v.show();
        v.LinkCheckOptions = quick();
        // The status columns start hidden and the column setup offers them.
        TEditDBGridForm columns;
        columns.LoadColumns(*v.CommonExDBGrid);
        auto* list = columns.findChild<QListWidget*>("ColumnsCheckListBox");
        QStringList offered;
        for (int i = 0; i < list->count(); ++i) {
            offered << list->item(i)->text() +
                           (list->item(i)->checkState() == Qt::Checked ? "+" : "-");
        }
        QCOMPARE(offered, (QStringList{"ID-", "URL+", "Категории+", "Описание+", "Посещена-",
                                       "Состояние ссылки-", "Код ответа-", "Проверена-"}));
        list->item(5)->setCheckState(Qt::Checked);
        columns.ApplyColumns(*v.CommonExDBGrid);
        QVERIFY(v.CommonExDBGrid->ColumnVisible(v.adsCommon->FieldByName("LinkStatus").Index()));
        QVERIFY(v.MainMenu1->findChild<QMenu*>("mnuRecords")->actions().contains(v.actCheckLinks));
        QVERIFY(v.CommonPopupMenu->actions().contains(v.actCheckLinks));
        TScriptedDialogs dialogs;
        dialogs.answer(QMessageBox::Yes);  // every record in view
        v.actCheckLinks->trigger();
        QVERIFY(v.LinkCheckForm());
        QVERIFY(v.LinkCheckForm()->isVisible());
        QTRY_VERIFY(!v.LinkCheckForm());
        QTRY_VERIFY(dialogs.shownTexts().join("\n").contains("Проверка ссылок"));
        QVERIFY2(dialogs.unexpected() == 0, qPrintable(dialogs.shownTexts().join("\n")));
        const QString summary = dialogs.shown().last().text;
        QVERIFY2(summary.contains("Проверено ссылок: 2 из 3") && summary.contains("file:, mailto:"),
                 qPrintable(summary));
        QCOMPARE(status(ok), QStringLiteral("alive"));
        QCOMPARE(status(missing), QStringLiteral("client error"));
        QVERIFY(cat->otherValue("SELECT LinkStatus FROM SubjectURLs WHERE SubjectURLID = '" + mail +
                                "'")
                    .isNull());
        // The view shows the new statuses without a refresh.
        QVERIFY(v.adsCommon->Locate("SubjectURLID", {missing}, 0));
        QCOMPARE(v.adsCommon->FieldByName("LinkStatus").AsString(), QStringLiteral("client error"));
        QCOMPARE(v.adsCommon->FieldByName("LinkCode").AsInteger(), 404);
        QCOMPARE(v.adsCommon->FieldByName("LinkChecked").Value().toDateTime(), day(10));
    }

    // Cancel in the middle keeps every check done, and writes nothing for the rest.
    void cancelKeepsWhatWasChecked() {
        TScriptedHttp http;
        QStringList answered;
        QStringList hanging;
        for (int i = 0; i < 3; ++i) {
            answered << cat->addUrl(http.base() + "/ok?" + QString::number(i), "A", QString());
            hanging << cat->addUrl(http.base() + "/hang?" + QString::number(i), "H", QString());
        }
        TURLViewForm v(*module);
        v.show();
        v.LinkCheckOptions = quick();
        v.LinkCheckOptions.timeoutMs = 60000;
        v.LinkCheckOptions.maxPerHost = 8;
        TScriptedDialogs dialogs;
        dialogs.answer(QMessageBox::Yes);
        v.actCheckLinks->trigger();
        QVERIFY(v.LinkCheckForm());
        QTRY_VERIFY2(!v.LinkCheckForm() || v.LinkCheckForm()->Checker.Done() == 3,
                     qPrintable(dialogs.shownTexts().join("\n")));
        QVERIFY2(v.LinkCheckForm(), qPrintable(dialogs.shownTexts().join("\n")));
        v.LinkCheckForm()->findChild<QPushButton*>("CancelButton")->click();
        QTRY_VERIFY(!v.LinkCheckForm());
        QTRY_VERIFY(dialogs.shownTexts().join("\n").contains("Проверка ссылок"));
        QVERIFY(dialogs.shown().last().text.contains("прервана"));
        for (const QString& k : answered) {
            QCOMPARE(status(k), QStringLiteral("alive"));
            QCOMPARE(checks(k), 1);
        }
        for (const QString& k : hanging) {
            QCOMPARE(checks(k), 0);
        }
    }

    // A view closed while its check runs keeps the checks that were done.
    void closingTheViewKeepsWhatWasChecked() {
        TScriptedHttp http;
        QStringList answered;
        for (int i = 0; i < 3; ++i) {
            answered << cat->addUrl(http.base() + "/ok?" + QString::number(i), "A", QString());
            cat->addUrl(http.base() + "/hang?" + QString::number(i), "H", QString());
        }
        TScriptedDialogs dialogs;
        {
            TURLViewForm v(*module);
            v.show();
            v.LinkCheckOptions = quick();
            v.LinkCheckOptions.timeoutMs = 60000;
            v.LinkCheckOptions.maxPerHost = 8;
            dialogs.answer(QMessageBox::Yes);
            v.actCheckLinks->trigger();
            QVERIFY(v.LinkCheckForm());
            QTRY_VERIFY(v.LinkCheckForm()->Checker.Done() == 3);
        }
        for (const QString& k : answered) {
            QCOMPARE(checks(k), 1);
        }
    }

    void acceptNewAddresses() {
        TScriptedHttp http;
        const QString moved = cat->addUrl(http.base() + "/c1", "A", QString());
        const QString other = cat->addUrl(http.base() + "/ok", "B", QString());
        TURLViewForm v(*module);
        v.show();
        v.LinkCheckOptions = quick();
        TScriptedDialogs dialogs;
        checkEveryRecord(v, dialogs);
        QCOMPARE(status(moved), QStringLiteral("moved"));
        dialogs.clear();
        dialogs.answer(QMessageBox::Yes);  // all in view
        dialogs.answer(QMessageBox::Yes);  // replace
        v.actAcceptNewAddressesExecute();
        QCOMPARE(dialogs.unexpected(), 0);
        const QString confirmation = dialogs.shown().last().text;
        QVERIFY2(confirmation.contains(http.base() + "/c1") &&
                     confirmation.contains(http.base() + "/final") &&
                     !confirmation.contains(http.base() + "/ok"),
                 qPrintable(confirmation));
        QCOMPARE(cat->otherValue("SELECT URL FROM SubjectURLs WHERE SubjectURLID = '" + moved + "'")
                     .toString(),
                 http.base() + "/final");
        QVERIFY(status(moved).isEmpty());
        QCOMPARE(cat->otherValue("SELECT URL FROM SubjectURLs WHERE SubjectURLID = '" + other + "'")
                     .toString(),
                 http.base() + "/ok");
        QVERIFY(v.adsCommon->Locate("SubjectURLID", {moved}, 0));
        QCOMPARE(v.adsCommon->FieldByName("URL").AsString(), http.base() + "/final");
    }

    // A record whose address changed after its check, or which is gone, keeps what it has;
    // the summary names it.
    void acceptLeavesChangedRecordsAlone() {
        TScriptedHttp http;
        const QString kept = cat->addUrl(http.base() + "/c1", "A", QString());
        const QString edited = cat->addUrl(http.base() + "/c2", "B", QString());
        const QString deleted = cat->addUrl(http.base() + "/c3", "C", QString());
        TURLViewForm v(*module);
        v.show();
        v.LinkCheckOptions = quick();
        TScriptedDialogs dialogs;
        checkEveryRecord(v, dialogs);
        for (const QString& k : {kept, edited, deleted}) {
            QCOMPARE(status(k), QStringLiteral("moved"));
        }
        // Between the search and the replacing another user corrects one and deletes one.
        TLinkCheckStore store(module->ADOConnection);
        const QList<TMovedLink> moved = store.MovedLinks({kept, edited, deleted});
        QCOMPARE(moved.size(), 3);
        cat->otherExec(
            "UPDATE SubjectURLs SET URL = 'https://mine.example/' WHERE "
            "SubjectURLID = '" +
            edited + "'");
        cat->otherExec("DELETE FROM SubjectURLs WHERE SubjectURLID = '" + deleted + "'");
        const QList<TMovedLink> leftAlone = store.AcceptNewAddresses(moved);
        QStringList names;
        for (const TMovedLink& m : leftAlone) {
            names << m.url;
        }
        QCOMPARE(names, (QStringList{http.base() + "/c2", http.base() + "/c3"}));
        QCOMPARE(cat->otherValue("SELECT URL FROM SubjectURLs WHERE SubjectURLID = '" + kept + "'")
                     .toString(),
                 http.base() + "/final");
        QCOMPARE(
            cat->otherValue("SELECT URL FROM SubjectURLs WHERE SubjectURLID = '" + edited + "'")
                .toString(),
            QStringLiteral("https://mine.example/"));
    }

    // A write the catalogue refuses stops nothing: it is said once, the check goes on, its
    // results wait, and the next check writes them; the commands stay usable.
    void refusedWriteKeepsTheChecker() {
        TScriptedHttp http;
        const QString a = cat->addUrl(http.base() + "/ok?a", "A", QString());
        const QString b = cat->addUrl(http.base() + "/c1", "B", QString());
        const QString trigger =
            cat->refuseWrites("BEFORE INSERT", QString(), "refused", "LinkChecks");
        TURLViewForm v(*module);
        v.show();
        v.LinkCheckOptions = quick();
        TScriptedDialogs dialogs;
        checkEveryRecord(v, dialogs);
        const QString summary = dialogs.shown().last().text;
        QVERIFY2(summary.contains("Не записаны в каталог результаты проверки: 2") &&
                     summary.contains("refused"),
                 qPrintable(summary));
        QCOMPARE(checks(a) + checks(b), 0);
        cat->allowWrites(trigger, "LinkChecks");
        // The next check of one record writes the two waiting as well.
        dialogs.clear();
        QVERIFY(v.adsCommon->Locate("SubjectURLID", {a}, 0));
        dialogs.answer(QMessageBox::No);  // the current record only
        v.actCheckLinks->trigger();
        QVERIFY(v.LinkCheckForm());
        QTRY_VERIFY(!v.LinkCheckForm());
        QTRY_VERIFY(dialogs.shownTexts().join("\n").contains("Проверка ссылок"));
        QVERIFY2(!dialogs.shown().last().text.contains("Не записаны"),
                 qPrintable(dialogs.shown().last().text));
        QCOMPARE(checks(a), 2);
        QCOMPARE(checks(b), 1);
        QCOMPARE(status(b), QStringLiteral("moved"));
        QTRY_VERIFY(v.actAcceptNewAddresses->isEnabled());
    }

    // Checks a refused write left waiting are written when the window closes, should the
    // catalogue take them by then, rather than dropped with the window.
    void closingTheViewWritesTheWaitingChecks() {
        TScriptedHttp http;
        const QString a = cat->addUrl(http.base() + "/ok?a", "A", QString());
        const QString b = cat->addUrl(http.base() + "/c1", "B", QString());
        const QString trigger =
            cat->refuseWrites("BEFORE INSERT", QString(), "refused", "LinkChecks");
        TScriptedDialogs dialogs;
        {
            TURLViewForm v(*module);
            v.show();
            v.LinkCheckOptions = quick();
            checkEveryRecord(v, dialogs);
            QVERIFY(dialogs.shown().last().text.contains("Не записаны в каталог"));
            QCOMPARE(checks(a) + checks(b), 0);
            cat->allowWrites(trigger, "LinkChecks");
        }
        QCOMPARE(checks(a), 1);
        QCOMPARE(checks(b), 1);
        QCOMPARE(status(b), QStringLiteral("moved"));
    }
};

QTEST_MAIN(TestLinkCheck)
#include "tst_linkcheck.moc"
