// Hostile inputs against the bookmark readers, each checked against a simple model of what
// the file holds: every link with its folder path, title and tags, nothing from a comment.
#include "platform/Errors.h"
#include "urls/BookmarkDescription.h"
#include "urls/BookmarkEncoding.h"
#include "urls/BookmarkHtmlReader.h"
#include "urls/ChromiumBookmarks.h"
#include "urls/CsvLinkReader.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

struct TModelLink {
    QString url;
    QStringList folders;
    QStringList tags;
    QString title;
};

// Names that try every way a careless reader goes wrong.
const QStringList& hostilePieces() {
    static const QStringList pieces = {
        "a",     "Zeta",      "\"",    "'",         ">",          "<",    "&",
        "&amp;", "&lt;b&gt;", "&nbsp", "&#",        ";",          "a;b",  "Новости",
        "Ёлка",  "--",        "<!--",  "-->",       "TAGS=\"x\"", "</A>", "<DT>",
        "</H3>", "<DL>",      "=",     "x=y",       "€",          "日本", "\xF0\x9F\x98\x80",
        "/",     "\\",        "<p>",   "<!DOCTYPE", "&#x41;",     "ä",    "]]>",
    };
    return pieces;
}

QString randomName(QRandomGenerator& rng) {
    QString out;
    const int parts = 1 + rng.bounded(4);
    for (int i = 0; i < parts; ++i) {
        if (i > 0 && rng.bounded(3) == 0) {
            out += ' ';
        }
        out += hostilePieces().at(rng.bounded(hostilePieces().size()));
    }
    return out;
}

QString escapedText(const QString& s) {
    QString out = s;
    out.replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;").replace('"', "&quot;");
    return out;
}

// A comment that holds a whole entry and the markup a careless reader stops at.
QString hostileComment(QRandomGenerator& rng) {
    static const QStringList comments = {
        "<!-- <DT><A HREF=\"http://comment.example/1\">in a comment</A> -->",
        "<!--<DT><A HREF=\"http://comment.example/2\">x</A>-- still --!>",
        "<!-- a -- b > <DT><A HREF=\"http://comment.example/3\">y</A> -->",
        "<!----><!-- <DL><p><DT><H3>ghost</H3> -->",
        "<!-- > <DT><A HREF='http://comment.example/4'>z</A> -- > -->",
    };
    return comments.at(rng.bounded(comments.size())) + "\n";
}

struct TTreeWriter {
    QRandomGenerator& rng;
    QString html;
    QVector<TModelLink> links;
    int counter = 0;

    void folder(const QStringList& path, int depth) {
        const int entries = 1 + rng.bounded(5);
        for (int e = 0; e < entries; ++e) {
            if (rng.bounded(4) == 0) {
                html += hostileComment(rng);
            }
            if (depth < 4 && rng.bounded(3) == 0) {
                const QString name = randomName(rng);
                html += "<DT><H3 ADD_DATE=\"1\" TITLE=\"a>b TAGS=no\">" + escapedText(name) +
                        "</H3>\n<DL><p>\n";
                folder(path + QStringList{name}, depth + 1);
                html += "</DL><p>\n";
                continue;
            }
            TModelLink link;
            link.url = QStringLiteral("http://example.com/%1?a=1&b=\"q\">").arg(++counter);
            link.folders = path;
            link.title = randomName(rng).simplified();
            const int tags = rng.bounded(3);
            for (int t = 0; t < tags; ++t) {
                QString tag = randomName(rng).simplified();
                tag.remove(',');
                if (!tag.isEmpty()) {
                    link.tags << tag;
                }
            }
            const bool single = rng.bounded(2) == 0;
            const QString q = single ? "'" : "\"";
            const auto value = [single](const QString& v) {
                QString out = escapedText(v);
                return single ? out.replace('\'', "&#39;") : out;
            };
            html += (rng.bounded(2) ? "<dt><a href=" : "<DT><A HREF=") + q + value(link.url) + q +
                    " ICON_URI=" + q + "data:x TAGS=evil>" + q + " ADD_DATE=" + q + "2" + q;
            if (!link.tags.isEmpty()) {
                html += " TAGS=" + q + value(link.tags.join(',')) + q;
            }
            html += ">" + escapedText(link.title) + (rng.bounded(2) ? "</A>\n" : "</a>\n");
            if (rng.bounded(3) == 0) {
                const QString note = randomName(rng).simplified();
                html += "<DD>" + escapedText(note) + "\n";
                if (note != link.title) {
                    link.title += " - " + note;
                }
            }
            if (rng.bounded(5) == 0) {
                html += "<HR>\n";
            }
            links << link;
        }
    }
};

QString header() {
    return "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<!-- This is an automatically generated file."
           " <DT><A HREF=\"http://comment.example/head\">x</A> -->\n"
           "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
           "<TITLE>Bookmarks <A HREF=\"http://title.example/\">t</A></TITLE>\n"
           "<H1>Bookmarks</H1>\n<DL><p>\n";
}

QStringList shownModel(const QVector<TModelLink>& links) {
    QStringList out;
    for (const TModelLink& l : links) {
        out << QStringList{l.url, l.folders.join(" / "), l.tags.join(" , "), l.title}.join(" | ");
    }
    return out;
}

QStringList shownRead(const QVector<TImportedLink>& links) {
    QStringList out;
    for (const TImportedLink& l : links) {
        if (l.SkipReason == SeparatorSkipReason()) {
            continue;
        }
        if (!l.SkipReason.isEmpty()) {
            out << "skipped: " + l.URL + " (" + l.SkipReason + ")";
            continue;
        }
        out << QStringList{l.URL, l.Folders.join(" / "), l.Tags.join(" , "), l.Description}.join(
            " | ");
    }
    return out;
}

// A bookmark file in UTF-8 of links titled as given, with one byte of the second title
// replaced by a byte that is never valid in UTF-8.
QByteArray utf8FileWithOneBadByte(const QStringList& titles, bool declared) {
    QByteArray html = header().toUtf8();
    if (!declared) {
        html.replace("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n",
                     "");
    }
    for (int i = 0; i < titles.size(); ++i) {
        QByteArray title = titles.at(i).toUtf8();
        if (i == 1) {
            title += "\xFF";
        }
        html +=
            "<DT><A HREF=\"http://example.com/" + QByteArray::number(i) + "\">" + title + "</A>\n";
    }
    return html + "</DL><p>\n";
}

}  // namespace

class TestReadersBreak final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A random tree of folders and links with hostile names, comments around its parts and
    // "TAGS=" and '>' inside other attributes: the reader gives exactly the model's links.
    void randomTreeReadsAsModel_data() {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed = 1; seed <= 200; ++seed) {
            QTest::addRow("seed %u", seed) << seed;
        }
    }
    void randomTreeReadsAsModel() {
        QFETCH(quint32, seed);
        QRandomGenerator rng(seed);
        TTreeWriter writer{rng, header(), {}, 0};
        writer.folder(QStringList(), 0);
        writer.html += "</DL><p>\n";
        const QVector<TImportedLink> read = ReadBookmarkHtml(writer.html);
        QCOMPARE(shownRead(read), shownModel(writer.links));
        const QVector<TImportedLink> fromBytes = ReadBookmarkHtmlBytes(writer.html.toUtf8());
        QCOMPARE(shownRead(fromBytes), shownModel(writer.links));
    }

    // Single entries written the ways hand-made and other browsers' files write them.
    void hostileEntries_data() {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QStringList>("expected");
        QTest::addRow("comment inside a title")
            << "<DT><A HREF=\"http://a/\">ti<!-- <A HREF=\"http://c/\">x</A> -->tle</A>"
            << QStringList{"http://a/ |  |  | title"};
        QTest::addRow("single quotes") << "<DT><A HREF='http://a/?q=\"1\"' TAGS='x,y'>t</A>"
                                       << QStringList{"http://a/?q=\"1\" |  | x , y | t"};
        QTest::addRow("unquoted values") << "<DT><A HREF=http://a/?x=1&amp;y=2 TAGS=p,q>t</A>"
                                         << QStringList{"http://a/?x=1&y=2 |  | p , q | t"};
        QTest::addRow("lower case and spaces round '='")
            << "<dt><a href = \"http://a/\" tags = \"k\">t</a>"
            << QStringList{"http://a/ |  | k | t"};
        QTest::addRow("a bare '<' and '>' in a title")
            << "<DT><A HREF=\"http://a/\">a < b > c <3 d</A>"
            << QStringList{"http://a/ |  |  | a < b > c <3 d"};
        QTest::addRow("markup in a title")
            << "<DT><A HREF=\"http://a/\"><B>bold</B> and <I>it</I></A>"
            << QStringList{"http://a/ |  |  | bold and it"};
        QTest::addRow("folder name with markup and a comment")
            << "<DT><H3>Ne<!-- x -->ws <B>&amp; more</B></H3>\n<DL><p>\n"
               "<DT><A HREF=\"http://a/\">t</A>\n</DL><p>"
            << QStringList{"http://a/ | News & more |  | t"};
        QTest::addRow("folder H3 without its end tag")
            << "<DT><H3>F\n<DL><p>\n<DT><A HREF=\"http://a/\">t</A>\n</DL><p>"
            << QStringList{"http://a/ | F\n |  | t"};
        QTest::addRow("a link after a folder's note")
            << "<DT><H3>F</H3>\n<DD>about F\n<DL><p>\n<DT><A HREF=\"http://a/\">t</A>\n"
               "</DL><p>\n<DT><A HREF=\"http://b/\">u</A>"
            << QStringList{"http://a/ | F |  | t", "http://b/ |  |  | u"};
        QTest::addRow("a link's note")
            << "<DT><A HREF=\"http://a/\">t</A>\n<DD>the note\n<DT><A HREF=\"http://b/\">u</A>"
            << QStringList{"http://a/ |  |  | t - the note", "http://b/ |  |  | u"};
        QTest::addRow("a script-like title")
            << "<DT><A HREF=\"http://a/\">&lt;script&gt;x</A>\n<DT><A HREF=\"http://b/\">u</A>"
            << QStringList{"http://a/ |  |  | <script>x", "http://b/ |  |  | u"};
        QTest::addRow("TAGS inside another attribute without quotes between")
            << "<DT><A HREF=\"http://a/\"ICON=\"x TAGS=bad\"TAGS=\"good\">t</A>"
            << QStringList{"http://a/ |  | good | t"};
        QTest::addRow("a comment never closed after the last link")
            << "<DT><A HREF=\"http://a/\">t</A>\n<!-- <DT><A HREF=\"http://c/\">x</A>"
            << QStringList{"http://a/ |  |  | t"};
    }
    void hostileEntries() {
        QFETCH(QString, body);
        QFETCH(QStringList, expected);
        const QString html = header() + body + "\n</DL><p>\n";
        QCOMPARE(shownRead(ReadBookmarkHtml(html)), expected);
    }

    // A UTF-8 file with a few non-ASCII letters and one bad byte: read as UTF-8, only the
    // entry holding the bad byte spoiled, the others' titles as written.
    void oneBadByteKeepsUtf8_data() {
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<bool>("declared");
        for (const bool declared : {true, false}) {
            const char* how = declared ? "declared" : "undeclared";
            QTest::addRow("%s, one Cyrillic word", how)
                << QStringList{"Мир", "News", "Docs"} << declared;
            QTest::addRow("%s, two accented letters", how)
                << QStringList{"Café", "News", "Naïve"} << declared;
            QTest::addRow("%s, an emoji", how)
                << QStringList{"Fun \xF0\x9F\x98\x80", "News", "Docs"} << declared;
            QTest::addRow("%s, a Cyrillic title", how)
                << QStringList{"Почта", "News", "Docs"} << declared;
            QTest::addRow("%s, plenty of Cyrillic", how)
                << QStringList{"Новости", "Почта", "Погода и карты", "Документы"} << declared;
        }
    }
    void oneBadByteKeepsUtf8() {
        QFETCH(QStringList, titles);
        QFETCH(bool, declared);
        const QByteArray html = utf8FileWithOneBadByte(titles, declared);
        QCOMPARE(DecodeBookmarkBytes(html).encoding, QStringLiteral("utf-8"));
        const QVector<TImportedLink> links = ReadBookmarkHtmlBytes(html);
        QCOMPARE(links.size(), titles.size());
        for (int i = 0; i < titles.size(); ++i) {
            QCOMPARE(links[i].URL, QStringLiteral("http://example.com/%1").arg(i));
            QCOMPARE(links[i].Damage.isEmpty(), i != 1);
            if (i != 1) {
                QCOMPARE(links[i].Description, titles.at(i));
            }
        }
    }

    // One bad byte spoils the entry it lies in, and no other.
    void badByteSpoilsOnlyItsEntry_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QList<bool>>("damaged");
        const QByteArray a = "<DT><A HREF=\"http://a/\">Первая</A>\n";
        const QByteArray c = "<DT><A HREF=\"http://c/\">Третья</A>\n";
        QTest::addRow("in an address") << a + "<DT><A HREF=\"http://b/\xC3\">Вторая</A>\n" + c
                                       << QList<bool>{false, true, false};
        QTest::addRow("in tags")
            << a + "<DT><A HREF=\"http://b/\" TAGS=\"x\xE2\x82\">Вторая</A>\n" + c
            << QList<bool>{false, true, false};
        QTest::addRow("in a note")
            << a + "<DD>заметка \xFF\n" + "<DT><A HREF=\"http://b/\">Вторая</A>\n" + c
            << QList<bool>{true, false, false};
        QTest::addRow("in a comment")
            << a + "<!-- \xFF -->\n<DT><A HREF=\"http://b/\">Вторая</A>\n" + c
            << QList<bool>{false, false, false};
        QTest::addRow("in a sibling folder's name")
            << a +
                   "<DT><H3>Папка \x80</H3>\n<DL><p>\n<DT><A HREF=\"http://b/\">Вторая</A>\n"
                   "</DL><p>\n" +
                   c
            << QList<bool>{false, true, false};
        QTest::addRow("in a folder's note")
            << a +
                   "<DT><H3>Папка</H3>\n<DD>о папке \x80\n<DL><p>\n"
                   "<DT><A HREF=\"http://b/\">Вторая</A>\n</DL><p>\n" +
                   c
            << QList<bool>{false, false, false};
    }
    void badByteSpoilsOnlyItsEntry() {
        QFETCH(QByteArray, body);
        QFETCH(QList<bool>, damaged);
        for (const bool declared : {true, false}) {
            QByteArray html = header().toUtf8() + body + "</DL><p>\n";
            if (!declared) {
                html.replace("charset=UTF-8", "");
            }
            QCOMPARE(DecodeBookmarkBytes(html).encoding, QStringLiteral("utf-8"));
            const QVector<TImportedLink> links = ReadBookmarkHtmlBytes(html);
            QList<bool> got;
            for (const TImportedLink& l : links) {
                got << !l.Damage.isEmpty();
            }
            QCOMPARE(got, damaged);
        }
    }

    // A Chromium file whose folders hold something other than entries: said, not dropped.
    void chromiumOddChildrenAreNotDroppedSilently_data() {
        QTest::addColumn<QByteArray>("children");
        QTest::addRow("a string") << QByteArray("[\"http://x/\"]");
        QTest::addRow("children not a list") << QByteArray(
            "[{\"type\":\"folder\",\"name\":\"F\","
            "\"children\":{\"type\":\"url\","
            "\"url\":\"http://y/\"}}]");
    }
    void chromiumOddChildrenAreNotDroppedSilently() {
        QFETCH(QByteArray, children);
        const QByteArray json =
            "{\"roots\":{\"bookmark_bar\":{\"children\":[{\"type\":\"url\","
            "\"url\":\"http://a/\",\"name\":\"a\"}]},\"other\":{\"children\":" +
            children + "}}}";
        QVector<TImportedLink> links;
        try {
            links = ReadChromiumBookmarks(json, "Bookmarks");
        } catch (const EError&) {
            return;  // refused as damaged: said
        }
        QVERIFY2(links.size() >= 2, "the odd entry vanished without a word");
    }

    // The encoding a file is read in: what its byte order mark or live declaration says,
    // never a declaration inside a comment.
    void encodingOfHostileHeads_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("encoding");
        const QByteArray body = "<DL><p><DT><A HREF=\"http://a/\">Новости и погода</A></DL>";
        QTest::addRow("commented-out declaration")
            << "<!-- <META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
               "charset=windows-1251\"> -->\n" +
                   body
            << "utf-8";
        QTest::addRow("charset= in a description's content")
            << "<META NAME=\"description\" CONTENT=\"pages on charset=koi8-r and more\">\n" + body
            << "utf-8";
        QTest::addRow("byte order mark over a declaration")
            << "\xEF\xBB\xBF<META CHARSET=\"windows-1251\">\n" + body << "utf-8";
        QTest::addRow("unknown charset") << "<META CHARSET=\"x-no-such\">\n" + body << "utf-8";
        QTest::addRow("single-quoted charset")
            << "<META HTTP-EQUIV='Content-Type' CONTENT='text/html; charset=\"KOI8-R\"'>\n" + body
            << "koi8-r";
    }
    void encodingOfHostileHeads() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, encoding);
        QCOMPARE(DecodeBookmarkBytes(bytes).encoding, encoding);
    }

    // A UTF-16 file with a lone surrogate in one title: that entry spoiled, no other.
    void utf16LoneSurrogateSpoilsOnlyItsEntry_data() {
        QTest::addColumn<bool>("little");
        QTest::addRow("little endian") << true;
        QTest::addRow("big endian") << false;
    }
    void utf16LoneSurrogateSpoilsOnlyItsEntry() {
        QFETCH(bool, little);
        const QString text =
            "<DL><p><DT><A HREF=\"http://a/\">Первая</A>\n"
            "<DT><A HREF=\"http://b/\">X@</A>\n"
            "<DT><A HREF=\"http://c/\">Третья</A>\n</DL>";
        QByteArray bytes = little ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
        for (const QChar c : text) {
            const char16_t u = c == QLatin1Char('@') ? char16_t(0xD800) : c.unicode();
            const char hi = static_cast<char>(u >> 8);
            const char lo = static_cast<char>(u & 0xFF);
            bytes += little ? lo : hi;
            bytes += little ? hi : lo;
        }
        bytes += '\0';  // and an odd byte at the end
        const QVector<TImportedLink> links = ReadBookmarkHtmlBytes(bytes);
        QCOMPARE(links.size(), 3);
        QCOMPARE(links[0].Description, QStringLiteral("Первая"));
        QVERIFY(links[0].Damage.isEmpty());
        QVERIFY(!links[1].Damage.isEmpty());
        QCOMPARE(links[2].Description, QStringLiteral("Третья"));
        QVERIFY(links[2].Damage.isEmpty());
    }

    // A CSV file whose quote is never closed: the records after it are not swallowed into
    // one description without a word.
    void csvUnclosedQuoteDoesNotSwallowLinks_data() {
        QTest::addColumn<QString>("csv");
        QTest::addRow("in the first record")
            << "URL,Description\nhttp://a/,\"unclosed\nhttp://b/,b\nhttp://c/,c\n";
        QTest::addRow("after a doubled quote")
            << "URL,Description\nhttp://z/,z\nhttp://a/,\"Say \"\"hi\nhttp://b/,b\nhttp://c/,c\n";
    }
    void csvUnclosedQuoteDoesNotSwallowLinks() {
        QFETCH(QString, csv);
        const QVector<TImportedLink> links = ReadCsvLinks(csv);
        bool said = false;
        QStringList urls;
        for (const TImportedLink& l : links) {
            said = said || !l.Damage.isEmpty() || !l.SkipReason.isEmpty();
            urls << l.URL;
        }
        QVERIFY2(said || (urls.contains("http://b/") && urls.contains("http://c/")),
                 qPrintable(urls.join(", ")));
    }

    // A title longer than the catalogue's field is not cut without a mark.
    void longTitleIsNotCutSilently_data() {
        QTest::addColumn<int>("length");
        QTest::addRow("one over") << 255 + 1;
        QTest::addRow("far over") << 255 * 4;
    }
    void longTitleIsNotCutSilently() {
        QFETCH(int, length);
        const QString title = QString(length, QLatin1Char('t'));
        const QString html =
            header() + "<DT><A HREF=\"http://example.com/\">" + title + "</A>\n</DL><p>\n";
        const QVector<TImportedLink> links = ReadBookmarkHtml(html);
        QCOMPARE(links.size(), 1);
        const QString& d = links[0].Description;
        QVERIFY2(d == title || d.endsWith(QChar(0x2026)),
                 qPrintable(
                     QStringLiteral("%1 characters of %2, no ellipsis").arg(d.size()).arg(length)));
    }

    // Damaged Chromium JSON is an error naming the byte, never an empty result.
    void damagedChromiumThrows_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addRow("empty") << QByteArray();
        QTest::addRow("cut short") << QByteArray("{\"roots\":{\"bookmark_bar\":{\"children\":[");
        QTest::addRow("garbage after") << QByteArray("{\"roots\":{}} x");
        QTest::addRow("array") << QByteArray("[]");
        QTest::addRow("nul inside") << QByteArray("{\"roots\":{\0}}", 13);
        QTest::addRow("too deep") << QByteArray(5000, '[') + QByteArray(5000, ']');
    }
    void damagedChromiumThrows() {
        QFETCH(QByteArray, json);
        QVERIFY_THROWS_EXCEPTION(EError, ReadChromiumBookmarks(json, "Bookmarks"));
    }
};

QTEST_MAIN(TestReadersBreak)
#include "tst_readersbreak.moc"
