#include "common/Desktop.h"
#include "common/LinkOpener.h"
#include "common/WebAddress.h"
#include "platform/Errors.h"
#include "platform/db/DataSet.h"
#include "support/CatalogueFixture.h"
#include "support/ScriptedDialogs.h"
#include "support/TestHelpers.h"
#include "support/ViewParts.h"
#include "urls/URLViewFrm.h"

#include <QAction>
#include <QDesktopServices>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Every scheme a desktop might hand to a program, caught before it reaches one.
const QStringList kCaughtSchemes = {"http", "https", "ftp",    "mailto",     "file",
                                    "data", "smb",   "magnet", "javascript", "sftp"};

class TAllSchemes final {
public:
    TAllSchemes() {
        for (const QString& scheme : kCaughtSchemes) {
            QDesktopServices::setUrlHandler(scheme, &catcher, "open");
        }
    }
    ~TAllSchemes() {
        for (const QString& scheme : kCaughtSchemes) {
            QDesktopServices::unsetUrlHandler(scheme);
        }
    }
    TAllSchemes(const TAllSchemes&) = delete;
    TAllSchemes& operator=(const TAllSchemes&) = delete;
    TUrlCatcher catcher;
};

void hostileAddresses() {
    QTest::addColumn<QString>("address");
    QTest::newRow("desktop file") << "file:///home/u/Downloads/evil.desktop";
    QTest::newRow("script") << "file:///tmp/script.sh";
    QTest::newRow("network path") << "//tmp/script.sh";
    QTest::newRow("local path") << "/usr/bin/xterm";
    QTest::newRow("share") << "smb://server/share/run.exe";
    QTest::newRow("data page") << "data:text/html,<script>alert(1)</script>";
    QTest::newRow("bookmarklet") << "javascript:alert(document.cookie)";
    QTest::newRow("magnet") << "magnet:?xt=urn:btih:0123456789abcdef";
    QTest::newRow("upper case file") << "FILE:///etc/passwd";
    QTest::newRow("drive") << "C:\\Windows\\system32\\calc.exe";
    QTest::newRow("home") << "~/.bashrc";
    QTest::newRow("line break") << "http://example.org/\n--version";
    QTest::newRow("tab in the scheme") << "java\tscript:alert(1)";
    QTest::newRow("windows share") << "\\\\server\\share\\run.exe";
    QTest::newRow("file with a host") << " file://server/etc/passwd";
    QTest::newRow("second address on a new line") << "https://example.org/\r\nfile:///etc/passwd";
}

// Makes a shell script at path the program's opener, watched for a second; false when the
// script cannot be written.
bool useOpener(const QString& path, const QString& body) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(("#!/bin/sh\n" + body).toUtf8()) < 0) {
        return false;
    }
    f.close();
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    TLinkOpener& o = TLinkOpener::Instance();
    o.SetProgram(path);
    o.SetWatchMs(1000);
    TLinkOpener::Install();
    return true;
}

}  // namespace

class TestOpenLinks final : public QObject, TCatalogueFixture {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        InitTestApplication();
        LINKARIUM_REQUIRE_ENGINE();
    }
    void init() { openCatalogue(); }
    void cleanup() { closeCatalogue(); }

    // What an address is opened as: a known scheme is kept (never "http://mailto:"), a
    // text without one gets "http://", and whatever is opened begins with a web or mail
    // scheme, so it can never be read as an option.
    void addressToOpen_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("bare host") << "example.com/a"
                                   << "http://example.com/a";
        QTest::newRow("https") << " https://example.com "
                               << "https://example.com";
        QTest::newRow("ftp") << "ftp://example.org/f"
                             << "ftp://example.org/f";
        QTest::newRow("mail keeps its scheme") << "mailto:b@example.org"
                                               << "mailto:b@example.org";
        QTest::newRow("host and port") << "localhost:8080/x"
                                       << "http://localhost:8080/x";
        QTest::newRow("dash then slashes") << "--version//x"
                                           << "http://--version//x";
        QTest::newRow("dash option") << "-x//evil.example/"
                                     << "http://-x//evil.example/";
        QTest::newRow("magnet refused") << "magnet:?xt=urn:btih:abc"
                                        << "";
        QTest::newRow("file refused") << "file:////srv/x"
                                      << "";
        QTest::newRow("network path refused") << "//server/share"
                                              << "";
        QTest::newRow("empty") << "   "
                               << "";
        // A mail program that honours "attach" sends a local file with the letter.
        QTest::newRow("mail with attachment") << "mailto:a@example.org?attach=/etc/passwd"
                                              << "";
        QTest::newRow("mail with attachment, upper case")
            << "MAILTO:a@example.org?subject=hi&Attachment=~/.ssh/id_rsa"
            << "";
        QTest::newRow("mail with encoded attachment")
            << "mailto:a@example.org?body=x&att%61ch=file:///etc/passwd"
            << "";
        QTest::newRow("dash after blanks") << "  -x.example/"
                                           << "http://-x.example/";
        QTest::newRow("encoded slashes") << "%2F%2Fserver/share"
                                         << "http://%2F%2Fserver/share";
        QTest::newRow("upper-case scheme, backslashes") << "HTTP:\\\\evil.example"
                                                        << "HTTP:\\\\evil.example";
        QTest::newRow("mail with a body") << "mailto:a@example.org?subject=a&body=attach%3Dno"
                                          << "mailto:a@example.org?subject=a&body=attach%3Dno";
    }
    void addressToOpen() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(URLToOpen(text), expected);
        const TAddressToOpen open = AddressToOpen(text);
        QCOMPARE(open.refusal.isEmpty(), !expected.isEmpty());
        if (!expected.isEmpty()) {
            const QString scheme = open.url.section(':', 0, 0).toLower();
            QVERIFY2(OpenableSchemes().contains(scheme), qPrintable(open.url));
        }
    }

    // Refused by the function every opening path calls: the error names the address and
    // why, and nothing reaches a handler of any scheme.
    void refusedWhereverOpened_data() { hostileAddresses(); }
    void refusedWhereverOpened() {
        QFETCH(QString, address);
        TAllSchemes all;
        QVERIFY(!OpenURL(address));
        try {
            OpenURLOrThrow(address);
            QFAIL("opened");
        } catch (const EError& e) {
            const QString message = QString::fromUtf8(e.what());
            QVERIFY2(message.startsWith("Адрес не открыт: "), qPrintable(message));
            QVERIFY2(message.contains(address.trimmed().left(12)), qPrintable(message));
            QVERIFY2(message.contains("Причина: "), qPrintable(message));
        }
        QCOMPARE(all.catcher.opened.size(), 0);
    }

    // The records window's "Открыть ссылку" on a hostile record: an error naming it, no
    // program, no visited mark. A web address next to it still opens.
    void recordsWindowRefuses_data() { hostileAddresses(); }
    void recordsWindowRefuses() {
        QFETCH(QString, address);
        cat->addUrl(address, "чужая ссылка", "");
        cat->addUrl("https://example.org/ok", "хорошая", "");
        TScriptedDialogs dialogs;
        TAllSchemes all;
        TURLViewForm v(*module);
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        QVERIFY(ViewData(v).Locate("Description", {"чужая ссылка"}, 0));
        v.findChild<QAction*>("actOpenLink")->trigger();
        QCOMPARE(all.catcher.opened.size(), 0);
        QCOMPARE(dialogs.shownTexts().size(), 1);
        QVERIFY2(dialogs.shownTexts().first().startsWith("Адрес не открыт: "),
                 qPrintable(dialogs.shownTexts().first()));
        QCOMPARE(cat->otherValue("SELECT count(*) FROM SubjectURLs WHERE Visited <> 0").toInt(), 0);
        QVERIFY(ViewData(v).Locate("Description", {"хорошая"}, 0));
        v.findChild<QAction*>("actOpenLink")->trigger();
        QCOMPARE(all.catcher.opened.size(), 1);
        QCOMPARE(all.catcher.opened.first().toString(), QString("https://example.org/ok"));
    }

    // The opener runs without holding the window and is watched: one that fails at once
    // (no browser could be run) is reported with the address, and the visited mark the
    // opening left is taken back; one that works, or is still running when the watch ends
    // (a browser in the foreground), leaves the mark. The opener gets the address alone.
    void openerIsWatched_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("reason");  // empty: no failure
        QTest::newRow("opened") << "exit 0"
                                << "";
        QTest::newRow("no program for it") << "exit 3"
                                           << "не найдена программа";
        QTest::newRow("the browser failed") << "exit 4"
                                            << "не смогли открыть";
        QTest::newRow("another failure") << "exit 1"
                                         << "с кодом 1";
        QTest::newRow("still running after the watch") << "sleep 2"
                                                       << "";
        QTest::newRow("killed") << "kill -9 $$"
                                << "аварийно";
    }
    void openerIsWatched() {
        QFETCH(QString, script);
        QFETCH(QString, reason);
        const QString key = cat->addUrl("https://example.org/a b?x=1&y=-z", "ссылка", "");
        QTemporaryDir dir;
        const QString opener = dir.filePath("opener");
        const QString log = dir.filePath("args");
        QVERIFY(useOpener(opener,
                          QString("for a in \"$@\"; do printf '%s\\n' \"$a\" >> '%1'; done\n%2\n")
                              .arg(log, script)));
        TLinkOpener& o = TLinkOpener::Instance();
        TScriptedDialogs dialogs;
        TURLViewForm v(*module);
        v.show();
        QVERIFY(ViewData(v).Locate("SubjectURLID", {key}, 0));
        QSignalSpy failed(&o, &TLinkOpener::Failed);
        v.findChild<QAction*>("actOpenLink")->trigger();
        // At once, without waiting for the opener.
        QCOMPARE(
            cat->otherValue("SELECT Visited FROM SubjectURLs WHERE SubjectURLID = '" + key + "'")
                .toInt(),
            1);
        QTRY_VERIFY(QFile::exists(log));
        QTest::qWait(1500);  // past the watch
        QFile args(log);
        QVERIFY(args.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(args.readAll()),
                 QStringLiteral("https://example.org/a%20b?x=1&y=-z\n"));
        if (reason.isEmpty()) {
            QCOMPARE(failed.size(), 0);
            QCOMPARE(dialogs.shownTexts().size(), 0);
            QCOMPARE(ViewData(v).FieldByName("Visited").AsBoolean(), true);
        } else {
            QCOMPARE(failed.size(), 1);
            QCOMPARE(dialogs.shownTexts().size(), 1);
            const QString shown = dialogs.shownTexts().first();
            QVERIFY2(shown.contains("https://example.org/a%20b") && shown.contains(reason),
                     qPrintable(shown));
            QCOMPARE(cat->otherValue("SELECT Visited FROM SubjectURLs WHERE SubjectURLID = '" +
                                     key + "'")
                         .toInt(),
                     0);
            QVERIFY(ViewData(v).Locate("SubjectURLID", {key}, 0));
            QCOMPARE(ViewData(v).FieldByName("Visited").AsBoolean(), false);
        }
        for (const QString& scheme : OpenableSchemes()) {
            QDesktopServices::unsetUrlHandler(scheme);
        }
    }

    // An opener that cannot be started is told, and the mark its opening left goes.
    void openerThatCannotStart() {
        const QString key = cat->addUrl("https://example.org/nostart", "ссылка", "");
        QTemporaryDir dir;
        TLinkOpener& o = TLinkOpener::Instance();
        o.SetProgram(dir.filePath("no-such-opener"));
        o.SetWatchMs(1000);
        TLinkOpener::Install();
        TScriptedDialogs dialogs;
        TURLViewForm v(*module);
        v.show();
        QSignalSpy failed(&o, &TLinkOpener::Failed);
        QVERIFY(ViewData(v).Locate("SubjectURLID", {key}, 0));
        v.findChild<QAction*>("actOpenLink")->trigger();
        QTRY_COMPARE(failed.size(), 1);
        QTest::qWait(100);
        for (const QString& scheme : OpenableSchemes()) {
            QDesktopServices::unsetUrlHandler(scheme);
        }
        QCOMPARE(
            cat->otherValue("SELECT Visited FROM SubjectURLs WHERE SubjectURLID = '" + key + "'")
                .toInt(),
            0);
    }

    // The same address opened twice before the watch is over, the first opener failing and
    // the second working: the record opened last by the working opener keeps its mark, the
    // one whose opener failed loses it.
    void secondOpeningOfAnAddressWhileTheFirstFails_data() {
        QTest::addColumn<bool>("twoRecords");
        QTest::newRow("one record opened twice") << false;
        QTest::newRow("two records of one address") << true;
    }
    void secondOpeningOfAnAddressWhileTheFirstFails() {
        QFETCH(bool, twoRecords);
        const QString first = cat->addUrl("https://example.org/twice", "первая", "");
        const QString second =
            twoRecords ? cat->addUrl("https://example.org/twice", "вторая", "") : first;
        QTemporaryDir dir;
        const QString opener = dir.filePath("opener");
        const QString count = dir.filePath("count");
        // The first call fails a little later, the second works.
        QVERIFY(useOpener(
            opener,
            QString("if [ -e '%1' ]; then exit 0; fi\n: > '%1'\nsleep 0.3\nexit 4\n").arg(count)));
        TLinkOpener& o = TLinkOpener::Instance();
        TScriptedDialogs dialogs;
        TURLViewForm v(*module);
        v.show();
        QSignalSpy failed(&o, &TLinkOpener::Failed);
        QVERIFY(ViewData(v).Locate("SubjectURLID", {first}, 0));
        v.findChild<QAction*>("actOpenLink")->trigger();
        QTRY_VERIFY(QFile::exists(count));
        QVERIFY(ViewData(v).Locate("SubjectURLID", {second}, 0));
        v.findChild<QAction*>("actOpenLink")->trigger();
        QTRY_COMPARE(failed.size(), 1);
        QTest::qWait(1500);  // past the watch
        const auto visited = [this](const QString& key) {
            return cat
                ->otherValue("SELECT Visited FROM SubjectURLs WHERE SubjectURLID = '" + key + "'")
                .toInt();
        };
        for (const QString& scheme : OpenableSchemes()) {
            QDesktopServices::unsetUrlHandler(scheme);
        }
        QCOMPARE(visited(second), 1);
        if (twoRecords) {
            QCOMPARE(visited(first), 0);
        }
    }
};

QTEST_MAIN(TestOpenLinks)
#include "tst_openlinks.moc"
