#include "mail/MailFormat.h"
#include "platform/Errors.h"

#include <QRegularExpression>
#include <QtTest>

namespace {

// RFC 2045 6.7 read back: soft line breaks dropped, "=XX" decoded.
QByteArray decodeQuotedPrintable(const QByteArray& text) {
    QByteArray out;
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) != '=') {
            out += text.at(i);
        } else if (text.mid(i + 1, 2) == "\r\n") {
            i += 2;
        } else {
            out += char(text.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        }
    }
    return out;
}

// RFC 2047 read back for the B encoding of UTF-8 words.
QString decodeWords(const QString& words) {
    QByteArray bytes;
    static const QRegularExpression word(QStringLiteral("=\\?UTF-8\\?B\\?([^?]*)\\?="));
    auto it = word.globalMatch(words);
    while (it.hasNext()) {
        bytes += QByteArray::fromBase64(it.next().captured(1).toLatin1());
    }
    return QString::fromUtf8(bytes);
}

}  // namespace

class TestMailFormat final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void quotedPrintable_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << "hello\r\n";
        QTest::newRow("Cyrillic, one long line") << QString(600, QChar(0x0436)) + "\r\n";
        QTest::newRow("long ASCII") << QString(999, 'a') + "\r\n";
        QTest::newRow("dots and From") << ".\r\n..x\r\nFrom here\r\n";
        QTest::newRow("trailing blanks and equals") << "a = b  \r\nc\t\r\n=\r\n";
        QTest::newRow("no final line end") << "end";
    }
    void quotedPrintable() {
        QFETCH(QString, text);
        const QByteArray encoded = QuotedPrintable(text.toUtf8());
        QCOMPARE(decodeQuotedPrintable(encoded), text.toUtf8());
        for (const QByteArray& line : encoded.split('\n')) {
            const QByteArray bare = line.endsWith('\r') ? line.chopped(1) : line;
            QVERIFY2(bare.size() <= 76, bare.constData());
            QVERIFY(!bare.startsWith('.'));
            QVERIFY(!bare.startsWith("From "));
            QVERIFY(!bare.endsWith(' ') && !bare.endsWith('\t'));
            for (const char c : bare) {
                QVERIFY(c >= 32 && c < 127);
            }
        }
    }

    void headerLines_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("ASCII") << "Report of the week";
        QTest::newRow("Cyrillic") << "Отчёт: ссылки & <новости>";
        QTest::newRow("long Cyrillic") << QString(200, QChar(0x0436)) + " и ещё";
        QTest::newRow("long ASCII with blanks") << QStringList(30, "word").join(' ');
        QTest::newRow("outside the BMP") << QString::fromUtf8("\xF0\x9F\x98\x80").repeated(30);
    }
    void headerLines() {
        QFETCH(QString, value);
        const QByteArray line = HeaderLine("Subject", value);
        QVERIFY(line.startsWith("Subject: "));
        for (const QByteArray& piece : line.split('\n')) {
            QVERIFY2(piece.size() <= 79, piece.constData());  // 78 and the CR
            for (const char c : piece) {
                QVERIFY(c != '\n' && uchar(c) < 128);
            }
        }
        // Unfolded and decoded, the value is the very text.
        const QString unfolded = QString::fromLatin1(line.mid(9)).replace("\r\n", "");
        QCOMPARE(IsPlainAscii(value) ? unfolded : decodeWords(unfolded), value);
    }

    void lineBreaksInHeadersAreRefused() {
        QVERIFY_THROWS_EXCEPTION(EError, HeaderLine("Subject", "a\r\nBcc: x@y"));
        QVERIFY_THROWS_EXCEPTION(EError, HeaderLine("Subject", "a\nb"));
    }

    void mailboxes_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("mailbox");
        QTest::newRow("none") << ""
                              << "<a@b.c>";
        QTest::newRow("plain") << " Me "
                               << "Me <a@b.c>";
        QTest::newRow("specials quoted") << "Smith, \"J\""
                                         << "\"Smith, \\\"J\\\"\" <a@b.c>";
        QTest::newRow("Cyrillic") << "Иван"
                                  << "=?UTF-8?B?0JjQstCw0L0=?= <a@b.c>";
    }
    void mailboxes() {
        QFETCH(QString, name);
        QFETCH(QString, mailbox);
        QCOMPARE(Mailbox(name, "a@b.c"), mailbox);
    }

    void addresses_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "me@example.org" << true;
        QTest::newRow("plus and dots") << "a.b+c@x.example" << true;
        QTest::newRow("closes the command") << "me@x> SIZE=1" << false;
        QTest::newRow("line break") << "me@x\r\nRSET" << false;
        QTest::newRow("not ASCII") << "я@пример.рф" << false;
        QTest::newRow("no at sign") << "me" << false;
        QTest::newRow("empty domain") << "me@" << false;
    }
    void addresses() {
        QFETCH(QString, address);
        QFETCH(bool, valid);
        QCOMPARE(IsValidMailAddress(address), valid);
    }

    void fileNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("parameter");
        QTest::newRow("plain") << "report.htm" << QByteArray("filename=\"report.htm\"");
        QTest::newRow("Cyrillic") << "отчёт.txt"
                                  << QByteArray(
                                         "filename*=UTF-8''%D0%BE%D1%82%D1%87%D1%91%D1%82.txt");
        QTest::newRow("line break and quote")
            << "a\"\r\n.txt" << QByteArray("filename*=UTF-8''a%22%0D%0A.txt");
    }
    void fileNames() {
        QFETCH(QString, name);
        QFETCH(QByteArray, parameter);
        QCOMPARE(FileNameParameter("filename", name), parameter);
    }

    void dateAndId() {
        const QDateTime when(QDate(2026, 12, 9), QTime(9, 5, 7), QTimeZone(3 * 3600));
        QCOMPARE(MailDate(when), QStringLiteral("Wed, 09 Dec 2026 09:05:07 +0300"));
        const QDateTime west(QDate(2026, 1, 4), QTime(23, 0, 0), QTimeZone(-(5 * 3600 + 1800)));
        QCOMPARE(MailDate(west), QStringLiteral("Sun, 04 Jan 2026 23:00:00 -0530"));
        const QString a = NewMessageId("host.example");
        QVERIFY(a.startsWith('<') && a.endsWith("@host.example>"));
        QVERIFY(a != NewMessageId("host.example"));
        QVERIFY(NewMessageId("бад хост\r\n").endsWith("@localhost>"));
    }
};

QTEST_APPLESS_MAIN(TestMailFormat)
#include "tst_mailformat.moc"
