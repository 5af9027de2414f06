#include "platform/HtmlEntityTable.h"
#include "platform/Text.h"

#include <QStringDecoder>
#include <QtTest>

class TestText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void utf8_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("first");  // the length of the sequence the bytes begin with
        const auto row = [](const char* name, const char* hex, bool valid, int first) {
            QTest::newRow(name) << QByteArray::fromHex(hex) << valid << first;
        };
        row("ASCII past eight bytes", "616263646566676869", true, 1);
        row("Cyrillic", "d09dd0bed0b2", true, 2);
        row("three bytes", "e282ac", true, 3);
        row("four bytes", "f09f9880", true, 4);
        row("last code point", "f48fbfbf", true, 4);
        row("last before the surrogates", "ed9fbf", true, 3);
        row("noncharacter", "efbfbf", true, 3);
        row("byte order mark", "efbbbf41", true, 3);
        row("past U+10FFFF", "f4908080", false, 0);
        row("lead past F4", "f5808080", false, 0);
        row("overlong two bytes C0", "c0af", false, 0);
        row("overlong two bytes C1", "c1bf", false, 0);
        row("overlong three bytes", "e09fbf", false, 0);
        row("overlong four bytes", "f08fbfbf", false, 0);
        row("high surrogate", "eda080", false, 0);
        row("low surrogate", "edbfbf", false, 0);
        row("cut off three", "e282", false, 0);
        row("cut off four", "f09f98", false, 0);
        row("cut off two", "d0", false, 0);
        row("three bytes, last no continuation", "e28241", false, 0);
        row("four bytes, last no continuation", "f09f9841", false, 0);
        row("four bytes, second no continuation", "f0419880", false, 0);
        row("cut off after ASCII run", "6162636465666768e282", false, 1);
        row("stray continuation", "80", false, 0);
        row("lead before ASCII", "c341", false, 0);
        row("bad byte after ASCII run", "6162636465666768ff", false, 1);
        row("FF", "ff", false, 0);
    }
    void utf8() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QFETCH(int, first);
        QCOMPARE(IsUtf8(bytes), valid);
        // Qt's decoder finds fault with exactly the others: the report writer copies the bytes
        // of a cell only when valid, and gives the others to Qt.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                      QStringDecoder::Flag::ConvertInitialBom);
        const QString decoded = utf8(bytes);
        QCOMPARE(!utf8.hasError(), valid);
        if (valid) {
            QCOMPARE(decoded.toUtf8(), bytes);
        }
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
        QCOMPARE(Utf8SequenceLength(p, p + bytes.size()), first);
    }

    void htmlEscaping_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("html");      // HtmlEscaped
        QTest::addColumn<QByteArray>("bytes");  // AppendHtmlEscaped
        QTest::newRow("plain") << "Новости дня"
                               << "Новости дня" << QByteArray("Новости дня");
        QTest::newRow("markup shown as text")
            << "Новости 'дня' & <b>HTML</b> \"q\""
            << "Новости 'дня' &amp; &lt;b&gt;HTML&lt;/b&gt; &quot;q&quot;"
            << QByteArray("Новости 'дня' &amp; &lt;b&gt;HTML&lt;/b&gt; &quot;q&quot;");
        QTest::newRow("each alone") << "&<>\"'"
                                    << "&amp;&lt;&gt;&quot;'" << QByteArray("&amp;&lt;&gt;&quot;'");
        QTest::newRow("entity escaped again") << "&amp;"
                                              << "&amp;amp;" << QByteArray("&amp;amp;");
        QTest::newRow("line breaks and tab") << "a\r\nb\tc"
                                             << "a\r\nb\tc" << QByteArray("a&#13;&#10;b&#9;c");
        QTest::newRow("empty") << ""
                               << "" << QByteArray();
    }
    void htmlEscaping() {
        QFETCH(QString, text);
        QFETCH(QString, html);
        QFETCH(QByteArray, bytes);
        QCOMPARE(HtmlEscaped(text), html);
        if (text == html) {
            QCOMPARE(HtmlEscaped(text).constData(), text.constData());
        }
        QByteArray out("<A>");
        AppendHtmlEscaped(out, text.toUtf8());
        QCOMPARE(out, "<A>" + bytes);
    }

    void entities_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("decoded");
        QTest::newRow("none") << "Новости дня"
                              << "Новости дня";
        QTest::newRow("markup") << "&amp;&lt;&gt;&quot;&apos;"
                                << "&<>\"'";
        QTest::newRow("letter case") << "&AMP; &Amp;"
                                     << "& &Amp;";
        QTest::newRow("of HTML 4") << "&laquo;&nbsp;&mdash;&euro;&Ouml;"
                                   << "«\u00A0—€Ö";
        QTest::newRow("beyond HTML 4") << "&hookrightarrow;&bigstar;&Zcaron;"
                                       << "\u21AA\u2605\u017D";
        QTest::newRow("angle brackets as HTML reads them") << "&lang;x&rang;"
                                                           << "\u27E8x\u27E9";
        QTest::newRow("past the first plane") << "&Afr;&zopf;"
                                              << "\U0001D504\U0001D56B";
        QTest::newRow("two characters") << "&NotEqualTilde;&nvlt;"
                                        << "\u2242\u0338<\u20D2";
        QTest::newRow("longest name") << "&CounterClockwiseContourIntegral;"
                                      << "\u2233";
        QTest::newRow("name too long") << "&CounterClockwiseContourIntegralX;"
                                       << "&CounterClockwiseContourIntegralX;";
        QTest::newRow("unknown name") << "&unknown; AT&T &"
                                      << "&unknown; AT&T &";
        QTest::newRow("name without semicolon") << "&amp &copy 2020 ?a=1&copy=2"
                                                << "&amp &copy 2020 ?a=1&copy=2";
        QTest::newRow("ampersand before one") << "&&amp;"
                                              << "&&";
        QTest::newRow("decimal") << "&#8212;&#38;"
                                 << "—&";
        QTest::newRow("hex") << "&#x2014;&#X2014;&#x1F600;"
                             << "——\U0001F600";
        QTest::newRow("numeric without semicolon") << "&#169 &#x41B"
                                                   << "© Л";
        QTest::newRow("zero") << "&#0;"
                              << "\uFFFD";
        QTest::newRow("surrogate") << "&#xD800;&#57343;"
                                   << "\uFFFD\uFFFD";
        QTest::newRow("past U+10FFFF") << "&#x110000;&#99999999999999999999;"
                                       << "\uFFFD\uFFFD";
        QTest::newRow("Windows-1252 codes") << "&#150;&#x80;"
                                            << "\u2013€";
        QTest::newRow("C1 code without one") << "&#129;"
                                             << "\u0081";
        QTest::newRow("no digits") << "&#; &#x; &#a;"
                                   << "&#; &#x; &#a;";
    }
    void entities() {
        QFETCH(QString, text);
        QFETCH(QString, decoded);
        QCOMPARE(DecodeHtmlEntities(text), decoded);
    }

    // Every name of the list is found: the lookup relies on the table's order.
    void everyNamedReference() {
        const QStringList entries = QString::fromLatin1(kHtmlNamedReferences).split(' ');
        QVERIFY(entries.size() > 2000);
        int checked = 0;
        for (const QString& entry : entries) {
            if (entry.isEmpty()) {
                continue;
            }
            const QString name = entry.section(':', 0, 0);
            QString expected;
            for (const QString& hex : entry.section(':', 1).split('+')) {
                const char32_t code = hex.toUInt(nullptr, 16);
                expected += QString::fromUcs4(&code, 1);
            }
            QCOMPARE(DecodeHtmlEntities(QStringLiteral("x&%1;y").arg(name)),
                     QStringLiteral("x%1y").arg(expected));
            ++checked;
        }
        QCOMPARE(checked, 2125);
    }
};

QTEST_GUILESS_MAIN(TestText)
#include "tst_text.moc"
