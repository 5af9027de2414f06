#include "platform/Errors.h"
#include "reports/ReportWriter.h"

#include <QtTest>

class TestReportWriter final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void breakLongLines_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("expected");
        const QString a300(300, QLatin1Char('a'));
        QTest::newRow("short") << "abc" << 127 << "abc";
        QTest::newRow("126 unchanged") << QString(126, 'x') << 127 << QString(126, 'x');
        // A run without a blank ends its lines inside a tag that shows nothing.
        const QString tag = "<span\r\n></span>";
        QTest::newRow("300 characters without a blank")
            << a300 << 127 << a300.left(126) + tag + a300.mid(126, 126) + tag + a300.mid(252);
        QTest::newRow("an entity is never split")
            << QString(124, 'x') + "&amp;y" << 127 << QString(124, 'x') + tag + "&amp;y";
        QTest::newRow("a character of two units is never split")
            << QString(125, 'x') + QString::fromUcs4(U"\U0001F600") + "y" << 127
            << QString(125, 'x') + tag + QString::fromUcs4(U"\U0001F600") + "y";
        QTest::newRow("an address stays whole")
            << QString(120, 'x') + " Text015 https://example.org/" + QString(40, 'p') << 127
            << QString(120, 'x') + "\r\nText015 https://example.org/" + QString(40, 'p');
        QTest::newRow("the last blank of the run becomes the line end")
            << "aaa bbb ccc ddd" << 10 << "aaa bbb\r\nccc ddd";
        QTest::newRow("a long word after a blank")
            << "ab " + QString(20, 'c') + " d" << 10
            << "ab\r\n" + QString(9, 'c') + "<span\r\n></span>" + QString(9, 'c') +
                   "<span\r\n></span>" + QString(2, 'c') + " d";
        QString broken;
        for (int i = 0; i < 6; ++i) {
            broken += QString(50, 'b') + "<br>\r\n";
        }
        QTest::newRow("line break every 50") << broken << 127 << broken;
        QString tags;
        for (int i = 0; i < 60; ++i) {
            tags += "ab <";
        }
        QTest::newRow("< resets the run") << tags << 127 << tags;
        QTest::newRow("Cyrillic counts characters")
            << QString(100, QChar(0x0436)) + " " + QString(30, QChar(0x0436)) << 127
            << QString(100, QChar(0x0436)) + "\r\n" + QString(30, QChar(0x0436));
    }
    void breakLongLines() {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(QString, expected);
        const QString broken = BreakLongLines(text, width);
        QCOMPARE(broken, expected);
        // Only blanks became line ends, and the tags show nothing.
        QCOMPARE(QString(broken).remove("<span\r\n></span>").replace("\r\n", " "),
                 QString(text).replace("\r\n", " "));
        // Every run between line ends and tags is under the width.
        static const QRegularExpression runEnd("[<\r\n]");
        for (const QString& run :
             QString(broken).replace("<span\r\n></span>", "\n").split(runEnd)) {
            QVERIFY2(run.size() < width, qPrintable(run));
        }
    }

    void wordsWrapUnderTheWidth() {
        QString text;
        for (int i = 0; i < 30; ++i) {
            text += QStringLiteral("abcdefghi ");
        }
        const QStringList lines = BreakLongLines(text, 127).split("\r\n");
        QVERIFY(lines.size() >= 3);
        for (const QString& line : lines) {
            QVERIFY(line.size() < 127);
        }
        QCOMPARE(lines.join(' '), text);
    }

    void commaText_data() {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << QStringList{"Category", "Description", "URL"}
                               << "Category,Description,URL";
        QTest::newRow("blank and quote")
            << QStringList{"a b", "say \"hi\"", "c,d"} << "\"a b\",\"say \"\"hi\"\"\",\"c,d\"";
        QTest::newRow("one empty item") << QStringList{""} << "\"\"";
        QTest::newRow("empty list") << QStringList{} << "";
        QTest::newRow("Cyrillic") << QStringList{"Описание"} << "Описание";
    }
    void commaText() {
        QFETCH(QStringList, items);
        QFETCH(QString, text);
        QCOMPARE(CommaText(items), text);
        QCOMPARE(SplitCommaText(text), items);
    }

    void splitCommaTextTolerates_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("blanks around commas")
            << "  URL , Category ,Description" << QStringList{"URL", "Category", "Description"};
        QTest::newRow("unquoted stops at blank") << "ab cd" << QStringList{"ab", "cd"};
        QTest::newRow("unclosed quote") << "\"abc" << QStringList{"abc"};
        QTest::newRow("trailing comma") << "a," << QStringList{"a", ""};
        QTest::newRow("control characters") << "\x01\x02URL" << QStringList{"URL"};
    }
    void splitCommaTextTolerates() {
        QFETCH(QString, text);
        QFETCH(QStringList, items);
        QCOMPARE(SplitCommaText(text), items);
    }

    void producePage_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("produced");
        QTest::newRow("transparent tag") << "<p><#field>x</p>\r\n"
                                         << "<p>x</p>\r\n";
        QTest::newRow("blanks before #") << "a<  #b c>d"
                                         << "ad\r\n";
        QTest::newRow("not transparent") << "a < b # c"
                                         << "a < b # c\r\n";
        QTest::newRow("mixed line ends") << "a\nb\rc\r\n\r\nd"
                                         << "a\r\nb\r\nc\r\n\r\nd\r\n";
        QTest::newRow("unclosed tag kept") << "a<#b"
                                           << "a<#b\r\n";
        QTest::newRow("tag ends the text") << "a<#b>"
                                           << "a\r\n";
        QTest::newRow("line of a tag alone") << "<#x>"
                                             << "\r\n";
        QTest::newRow("tag across lines") << "a<#b\r\nc>d"
                                          << "ad\r\n";
        QTest::newRow("empty") << ""
                               << "";
    }
    void producePage() {
        QFETCH(QString, page);
        QFETCH(QString, produced);
        QCOMPARE(ProducePage(page), produced);
    }

    void producePageRefusesLongLine() {
        const QString ok = "a\r\n" + QString(4095, 'x');
        QCOMPARE(ProducePage(ok).size(), ok.size() + 2);
        try {
            // 2048 two-byte characters are 4096 bytes.
            ProducePage("a\r\nb\r\n" + QString(2048, QChar(0x0436)));
            QFAIL("no error");
        } catch (const EError& e) {
            QCOMPARE(e.message(), QStringLiteral("Строка слишком длинная в строке 3"));
        }
    }

    void detectCharset_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("charset");
        QTest::newRow("report head")
            << "<html>\r\n\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; "
               "charset=utf-8\">\r\n<title>t</title>"
            << "utf-8";
        QTest::newRow("capitals, lower-case type")
            << "<HTML><HEAD><META HTTP-EQUIV=\"content-type\" CONTENT=\"text/html; "
               "CHARSET=koi8-r\"></HEAD>"
            << "koi8-r";
        QTest::newRow("no charset") << "<html><head><title>x</title></head><body>"
                                    << "us-ascii";
        QTest::newRow("after the head is not looked at")
            << "<html><head></head><meta http-equiv=\"Content-Type\" content=\"text/html; "
               "charset=koi8-r\">"
            << "us-ascii";
        QTest::newRow("charset must end the tag")
            << "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=koi8-r\" x>"
            << "us-ascii";
        QTest::newRow("no tags") << "plain text"
                                 << "us-ascii";
    }
    void detectCharset() {
        QFETCH(QString, page);
        QFETCH(QString, charset);
        QCOMPARE(DetectCharset(page, "us-ascii"), charset);
    }

    void splitReportRows_data() {
        QTest::addColumn<int>("rows");
        QTest::newRow("no table") << 0;
        QTest::newRow("one row") << 1;
        QTest::newRow("three rows") << 3;
    }
    void splitReportRows() {
        QFETCH(int, rows);
        const QString head =
            "<html>\r\n<Table>\r\n  <b><TR VAlign=\"top\">\r\n    <TH>h</TH>\r\n  </TR></b>";
        QString body;
        for (int i = 0; i < rows; ++i) {
            body += QString(
                        "\r\n  <TR VAlign=\"top\">\r\n    <TD><font size=\"1\">%1</font></TD>\r\n  "
                        "</TR>")
                        .arg(i);
        }
        const QString tail =
            "\r\n  <TR>\r\n    <TD colspan=\"1\"><hr></TD>\r\n  </TR>\r\n</Table>\r\n</html>";
        const QString page = head + body + tail;
        const TReportParts parts = SplitReportRows(page);
        QCOMPARE(parts.Rows.size(), rows);
        QCOMPARE(parts.Head + parts.Rows.join(QString()) + parts.Tail, page);
        if (rows > 0) {
            QCOMPARE(parts.Head, head);
            QVERIFY(parts.Rows.last().endsWith("</TD>\r\n  </TR>"));
        }
    }

    void htmlSubtype_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("html");
        QTest::newRow("report page") << "<html>\r\n<head>" << true;
        QTest::newRow("capitals and blanks") << "<HTML  >" << true;
        QTest::newRow("with attributes") << "<html lang=\"ru\">" << false;
        QTest::newRow("other first tag") << "<p><html>" << false;
        QTest::newRow("no tag") << "html" << false;
    }
    void htmlSubtype() {
        QFETCH(QString, text);
        QFETCH(bool, html);
        QCOMPARE(IsHtmlMessage(text), html);
    }
};

QTEST_GUILESS_MAIN(TestReportWriter)
#include "tst_reportwriter.moc"
