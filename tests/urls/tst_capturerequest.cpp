#include "urls/CaptureRequest.h"

#include <QRandomGenerator>
#include <QtTest>

// Links handed over by a browser's "linkarium:" address or by the command line: what is
// taken, what is refused, and that a request survives the trip from a later start to the
// running copy unchanged.
class TestCaptureRequest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void address_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QStringList>("expected");  // URL, title, description, category
        QTest::addColumn<QString>("refusal");       // a part of the refusal, or empty
        const auto take = [](const char* name, const QString& address, const QStringList& e) {
            QTest::newRow(name) << address << e << QString();
        };
        const auto refuse = [](const char* name, const QString& address, const char* why) {
            QTest::newRow(name) << address << QStringList() << QString::fromUtf8(why);
        };
        take("all four",
             "linkarium:add?url=https%3A%2F%2Fexample.org%2Fa%3Fb%3D1%26c%3D2"
             "&title=%D0%9D%D0%BE%D0%B2%D0%BE%D1%81%D1%82%D0%B8&description=d"
             "&category=x%3B%20y",
             {"https://example.org/a?b=1&c=2", "Новости", "d", "x; y"});
        take("plus is a blank", "linkarium:add?url=example.org&title=a+b%2Bc",
             {"example.org", "a b+c", "", ""});
        take("slashes and case", "LINKARIUM://ADD/?URL=http://e.org", {"http://e.org", "", "", ""});
        take("title on one line", "linkarium:add?url=e.org&title=%20a%0A%09b%20",
             {"e.org", "a b", "", ""});
        take("selection keeps its lines", "linkarium:add?url=e.org&description=a%0D%0Ab%0Dc",
             {"e.org", "", "a\nb\nc", ""});
        take("categories as records keep them",
             "linkarium:add?url=e.org&category=%20x%20%3B%3By%0Az", {"e.org", "", "", "x; y; z"});
        take("unknown parameter passed over", "linkarium:add?url=e.org&icon=1&&",
             {"e.org", "", "", ""});
        take("mail address", "linkarium:add?url=mailto%3Aa%40e.org",
             {"mailto:a@e.org", "", "", ""});
        take("8 KB address", "linkarium:add?url=http%3A%2F%2Fe.org%2F" + QString(8192, 'a'),
             {"http://e.org/" + QString(8192, 'a'), "", "", ""});
        // A "%" without two hexadecimal digits stands for itself, as a form's decoder reads it.
        take("stray percent signs", "linkarium:add?url=e.org&description=x%2xy%G1%4%%41%zz%",
             {"e.org", "", "x%2xy%G1%4%A%zz%", ""});
        take("joiners in text kept", "linkarium:add?url=e.org&title=a%E2%80%8Cb%E2%80%8Dc",
             {"e.org", QString::fromUtf8("a\u200Cb\u200Dc"), "", ""});
        refuse("another command", "linkarium:delete?url=e.org", "Неизвестная команда «delete»");
        refuse("zero-width space before a scheme",
               "linkarium:add?url=%E2%80%8Bjavascript%3Aalert(1)", "управляющий символ");
        refuse("direction override in the address",
               "linkarium:add?url=http%3A%2F%2Fx.example%2F%E2%80%AEgpj.exe", "управляющий");
        refuse("direction override in the title", "linkarium:add?url=e.org&title=%E2%80%AEabc",
               "управляющий символ");
        refuse("zero-width no-break space in the selection",
               "linkarium:add?url=e.org&description=a%EF%BB%BFb", "управляющий символ");
        refuse("escape sequence in the command is not echoed", "linkarium:\x1b[31mEVIL?url=e.org",
               "Неизвестная команда «?[31mEVIL»");
        refuse("another scheme", "http://e.org", "не адрес «linkarium:»");
        refuse("no address", "linkarium:add?title=t", "Не указан адрес");
        refuse("blank address", "linkarium:add?url=%20%20", "Не указан адрес");
        refuse("twice", "linkarium:add?url=a.org&url=b.org", "«url» указан дважды");
        refuse("javascript", "linkarium:add?url=javascript%3Aalert(1)", "«javascript:»");
        refuse("file", "linkarium:add?url=file%3A%2F%2F%2Fetc%2Fpasswd", "«file:»");
        refuse("local path", "linkarium:add?url=%2Fetc%2Fpasswd", "путь к локальному файлу");
        refuse("newline in address", "linkarium:add?url=e.org%0Aevil.org", "управляющий символ");
        refuse("NUL in title", "linkarium:add?url=e.org&title=a%00b", "управляющий символ");
        refuse("NUL in selection", "linkarium:add?url=e.org&description=a%00", "управляющий");
        refuse("escape in category", "linkarium:add?url=e.org&category=%1B", "управляющий");
        refuse("not UTF-8", "linkarium:add?url=e.org&title=%C0%AF", "«title» не в кодировке");
        refuse("long address shown shortened",
               "linkarium:add?url=javascript%3A" + QString(5000, 'A'),
               qPrintable("«javascript:" + QString(189, 'A') + QChar(0x2026) + "»"));
        refuse("too long", "linkarium:add?url=e.org&title=" + QString(kMaxCaptureAddress, 'a'),
               "длиннее");
    }
    void address() {
        QFETCH(QString, address);
        QFETCH(QStringList, expected);
        QFETCH(QString, refusal);
        const TCaptureParse parse = ParseCaptureAddress(address);
        if (!refusal.isEmpty()) {
            QVERIFY2(parse.Refusal.contains(refusal), qPrintable(parse.Refusal));
            return;
        }
        QVERIFY2(parse.Ok(), qPrintable(parse.Refusal));
        const TCaptureRequest& r = parse.Request;
        QCOMPARE((QStringList{r.URL, r.Title, r.Description, r.Category}), expected);
    }

    // Any request the parser takes comes back the same from its own address, whatever
    // characters it holds: the running copy sees what the later start was given.
    void roundTrip() {
        QRandomGenerator random(20261211);
        const QStringList alphabet =
            QString::fromUtf8("aZ09 %&=+?#;/:.\"'<>ЖёЯ€\t\n").split(QString(), Qt::SkipEmptyParts)
            << QStringLiteral("𝄞");  // one character of two units
        const auto text = [&](int most) {
            QString s;
            const int n = random.bounded(most + 1);
            for (int i = 0; i < n; ++i) {
                s += alphabet.at(random.bounded(alphabet.size()));
            }
            return s;
        };
        int taken = 0;
        for (int i = 0; i < 2000; ++i) {
            TCaptureRequest r;
            r.URL = QStringLiteral("https://e.org/") +
                    text(20).remove(QLatin1Char('\n')).remove(QLatin1Char('\t'));
            r.Title = text(20);
            r.Description = text(40);
            r.Category = text(20);
            const TCaptureParse first = ParseCaptureAddress(CaptureAddress(r));
            QVERIFY2(first.Ok(), qPrintable(first.Refusal));
            const TCaptureParse second = ParseCaptureAddress(CaptureAddress(first.Request));
            QVERIFY(second.Ok());
            const TCaptureRequest& a = first.Request;
            const TCaptureRequest& b = second.Request;
            QCOMPARE((QStringList{b.URL, b.Title, b.Description, b.Category}),
                     (QStringList{a.URL, a.Title, a.Description, a.Category}));
            QCOMPARE(a.Title, r.Title.simplified());
            ++taken;
        }
        QCOMPARE(taken, 2000);
    }

    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("expected");  // URL, title, description, category
        QTest::addColumn<QString>("error");
        const int run = int(TCommandLine::TKind::Run);
        const int help = int(TCommandLine::TKind::Help);
        const int capture = int(TCommandLine::TKind::Capture);
        const int error = int(TCommandLine::TKind::Error);
        QTest::newRow("nothing") << QStringList() << run << QStringList() << QString();
        QTest::newRow("help") << QStringList{"--help"} << help << QStringList() << QString();
        QTest::newRow("add") << QStringList{"--add", "e.org", "--title", "Т", "--category", "x"}
                             << capture << QStringList{"e.org", "Т", "", "x"} << QString();
        QTest::newRow("order free")
            << QStringList{"--description", "-d", "--add", "https://e.org"} << capture
            << QStringList{"https://e.org", "", "-d", ""} << QString();
        QTest::newRow("desktop hands the link")
            << QStringList{"linkarium:add?url=e.org&title=t"} << capture
            << QStringList{"e.org", "t", "", ""} << QString();
        QTest::newRow("bad link") << QStringList{"linkarium:add?url=file%3A%2F%2F%2Fx"} << error
                                  << QStringList() << "«file:»";
        QTest::newRow("unknown option") << QStringList{"--style", "x"} << error << QStringList()
                                        << "Неизвестный параметр «--style»";
        QTest::newRow("toolkit option not passed on")
            << QStringList{"-platform", "xcb"} << error << QStringList() << "«-platform»";
        QTest::newRow("missing value")
            << QStringList{"--add"} << error << QStringList() << "После «--add» нет значения";
        QTest::newRow("title alone")
            << QStringList{"--title", "t"} << error << QStringList() << "вместе с «--add»";
        QTest::newRow("twice") << QStringList{"--add", "a.org", "--add", "b.org"} << error
                               << QStringList() << "«--add» указан дважды";
        QTest::newRow("javascript") << QStringList{"--add", "javascript:alert(1)"} << error
                                    << QStringList() << "«javascript:»";
        QTest::newRow("help among others")
            << QStringList{"--add", "e.org", "--help"} << error << QStringList() << "«--help»";
    }
    // Arguments of the program's own are kept from the toolkit; the toolkit's own options
    // (a style, a platform) still reach it when none of ours is given.
    void ownCommandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("own");
        QTest::newRow("none") << QStringList() << false;
        QTest::newRow("style") << QStringList{"-style", "fusion"} << false;
        QTest::newRow("title among toolkit's")
            << QStringList{"-style", "fusion", "--add", "e.org", "--title", "t"} << true;
        QTest::newRow("link") << QStringList{"LINKARIUM:add?url=e.org"} << true;
        QTest::newRow("help") << QStringList{"--help"} << true;
    }
    void ownCommandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, own);
        QCOMPARE(IsOwnCommandLine(arguments), own);
    }

    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(int, kind);
        QFETCH(QStringList, expected);
        QFETCH(QString, error);
        const TCommandLine line = ParseCommandLine(arguments);
        QCOMPARE(int(line.Kind), kind);
        if (!error.isEmpty()) {
            QVERIFY2(line.Error.contains(error), qPrintable(line.Error));
        }
        if (line.Kind == TCommandLine::TKind::Capture) {
            const TCaptureRequest& r = line.Request;
            QCOMPARE((QStringList{r.URL, r.Title, r.Description, r.Category}), expected);
        }
    }
};

QTEST_GUILESS_MAIN(TestCaptureRequest)
#include "tst_capturerequest.moc"
