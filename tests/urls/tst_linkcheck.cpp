#include "support/ScriptedHttp.h"
#include "support/TestEnvironment.h"
#include "urls/LinkCheck.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

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

QDateTime day(double d) {
    return QDateTime(QDate(2026, 3, 1), QTime(9, 0)).addMSecs(static_cast<qint64>(d * 86400000));
}

}  // namespace

using TChecks = QList<QPair<QDateTime, QString>>;
Q_DECLARE_METATYPE(TLinkVerdict)

// The checker against scripted servers on loopback: verdicts, the requests a server sees,
// the limits per host and in time, and when a link is called dead.
class TestLinkCheck final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { InitTestApplication(); }

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
        const QList<TLinkCheckResult> results =
            checkAll({{QStringLiteral("{K}"), url}}, QuickCheckOptions());
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
        checkAll({{1, http.base() + "/ok"}, {2, http.base() + "/head405"}}, QuickCheckOptions());
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
                                                         QuickCheckOptions(), &checker);
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
        TLinkCheckOptions o = QuickCheckOptions();
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
        TLinkCheckOptions o = QuickCheckOptions();
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
        TLinkCheckOptions o = QuickCheckOptions();
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
        TLinkCheckOptions o = QuickCheckOptions();
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
        TLinkCheckOptions o = QuickCheckOptions();
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
};

QTEST_MAIN(TestLinkCheck)
#include "tst_linkcheck.moc"
