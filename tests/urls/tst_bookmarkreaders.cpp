// The bookmark readers on their own, without a catalogue: what each makes of the files the
// browsers write, of damaged and hostile ones, and of the layouts the browsers keep.
#include "common/CsvText.h"
#include "platform/Errors.h"
#include "support/HostileImports.h"
#include "urls/BookmarkEncoding.h"
#include "urls/FolderChain.h"
#include "urls/LinkImport.h"

#include <QtTest>

#include <fcntl.h>

#include <sqlite3.h>
#include <unistd.h>

namespace {

void writeFile(const QString& name, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(name).path());
    QFile f(name);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A link as one line: address | folders | tags | description | skip reason | damage.
QString shown(const TImportedLink& l) {
    return QStringList{l.URL,         l.Folders.join('/'), l.Tags.join(','),
                       l.Description, l.SkipReason,        l.Damage}
        .join(" | ");
}

QStringList shown(const QVector<TImportedLink>& links) {
    QStringList out;
    for (const TImportedLink& l : links) {
        out << shown(l);
    }
    return out;
}

const TImportedLink* linkTo(const QVector<TImportedLink>& links, const QString& url) {
    for (const TImportedLink& l : links) {
        if (l.URL == url) {
            return &l;
        }
    }
    return nullptr;
}

// What an import sink is given, kept.
class TCollect final : public TImportSink {
public:
    void Add(const TImportedLink& link) override {
        links << link;
        stepped();
    }
    void Skip(const QString& what) override {
        skipped << what;
        stepped();
    }
    int Entries() const override { return static_cast<int>(links.size() + skipped.size()); }
    QVector<TImportedLink> links;
    QStringList skipped;
};

QByteArray utf8Header() {
    return "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
           "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
           "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n";
}

// The export's rule for a field a spreadsheet would run as a formula.
QString neutralised(const QString& field) {
    static const QRegularExpression formula("^'*[=+\\-@\\t\\r]");
    return formula.match(field).hasMatch() ? "'" + field : field;
}

bool runSql(sqlite3* db, const char* sql) {
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        qWarning("%s", error);
        sqlite3_free(error);
    }
    return rc == SQLITE_OK;
}

// The tables of a Firefox places.sqlite that the reader reads, with all their columns as
// Firefox 115 to 128 creates them, and its six roots.
const char kPlacesSchema[] =
    "CREATE TABLE moz_origins (id INTEGER PRIMARY KEY, prefix TEXT NOT NULL, host TEXT NOT "
    "NULL, frecency INTEGER NOT NULL, recalc_frecency INTEGER NOT NULL DEFAULT 0, alt_frecency "
    "INTEGER, recalc_alt_frecency INTEGER NOT NULL DEFAULT 0, UNIQUE (prefix, host));"
    "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, "
    "rev_host LONGVARCHAR, visit_count INTEGER DEFAULT 0, hidden INTEGER DEFAULT 0 NOT NULL, "
    "typed INTEGER DEFAULT 0 NOT NULL, frecency INTEGER DEFAULT -1 NOT NULL, last_visit_date "
    "INTEGER , guid TEXT, foreign_count INTEGER DEFAULT 0 NOT NULL, url_hash INTEGER DEFAULT 0 "
    "NOT NULL , description TEXT, preview_image_url TEXT, site_name TEXT, origin_id INTEGER "
    "REFERENCES moz_origins(id), recalc_frecency INTEGER NOT NULL DEFAULT 0, alt_frecency "
    "INTEGER, recalc_alt_frecency INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER DEFAULT "
    "NULL, parent INTEGER, position INTEGER, title LONGVARCHAR, keyword_id INTEGER, "
    "folder_type TEXT, dateAdded INTEGER, lastModified INTEGER, guid TEXT, syncStatus INTEGER "
    "NOT NULL DEFAULT 0, syncChangeCounter INTEGER NOT NULL DEFAULT 1);"
    "CREATE UNIQUE INDEX moz_bookmarks_guid_uniqueindex ON moz_bookmarks (guid);"
    "INSERT INTO moz_bookmarks (id, type, fk, parent, position, title, guid) VALUES"
    " (1, 2, NULL, 0, 0, '', 'root________'), (2, 2, NULL, 1, 0, 'menu', 'menu________'),"
    " (3, 2, NULL, 1, 1, 'toolbar', 'toolbar_____'), (4, 2, NULL, 1, 2, 'tags', "
    "'tags________'), (5, 2, NULL, 1, 3, 'unfiled', 'unfiled_____'), (6, 2, NULL, 1, 4, "
    "'mobile', 'mobile______');";

}  // namespace

class TestBookmarkReaders final : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }

private Q_SLOTS:
    void cleanup() {
        // Names Qt cannot spell and paths longer than the system takes: rm walks them.
        for (const QString& name :
             QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
            QProcess::execute("rm", {"-rf", path(name)});
        }
    }

    // 1. A file that says it is UTF-8 is read as UTF-8: one bad byte spoils the one entry it
    // lies in, which says so; the rest reads exactly.
    void utf8FileWithOneBadByte() {
        const QByteArray title = QString("Пример").toUtf8();
        const QByteArray spoiled = title.left(4) + "\xFF" + title.mid(4);
        const QByteArray html =
            utf8Header() + "<DL><p>\n<DT><H3>Новости</H3>\n<DL><p>\n" +
            "<DT><A HREF=\"http://one/\">Первая ссылка</A>\n<DD>Заметка «один»\n" +
            "<DT><A HREF=\"http://bad/\">" + spoiled + "</A>\n" +
            "<DT><A HREF=\"http://two/\" TAGS=\"метка,ёж\">Вторая</A>\n</DL><p>\n"
            "<DT><A HREF=\"http://three/\">Третья — последняя</A>\n</DL>\n";
        const QVector<TImportedLink> links = ReadBookmarkHtmlBytes(html);
        QCOMPARE(shown(links),
                 (QStringList{
                     "http://one/ | Новости |  | Первая ссылка - Заметка «один» |  | ",
                     "http://bad/ | Новости |  | Пр\uFFFDимер |  | неверные байты UTF-8",
                     "http://two/ | Новости | метка,ёж | Вторая |  | ",
                     "http://three/ |  |  | Третья — последняя |  | ",
                 }));
    }

    // The encoding a file declares, or else the one its bytes show.
    void fileEncodings_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("damaged");
        const QByteArray cyr = QString("Ёжик").toUtf8();
        const QByteArray cp1251 = "\xa8\xe6\xe8\xea";
        QTest::newRow("UTF-8 undeclared") << cyr << "utf-8"
                                          << "Ёжик" << 0;
        QTest::newRow("Windows-1251 undeclared") << cp1251 << "windows-1251"
                                                 << "Ёжик" << 0;
        QTest::newRow("a bad byte among much UTF-8, undeclared")
            << cyr + cyr + "\xff" + cyr << "utf-8"
            << "ЁжикЁжик\uFFFDЁжик" << 1;
        QTest::newRow("UTF-8 with BOM, a sequence cut short") << "\xEF\xBB\xBF" + cyr + "\xD0"
                                                              << "utf-8"
                                                              << "Ёжик\uFFFD" << 1;
        QTest::newRow("overlong and surrogate sequences")
            << QByteArray("<meta charset=utf-8>\xC0\xAF|\xED\xA0\x80|\xF4\x90\x80\x80") << "utf-8"
            << "<meta charset=utf-8>\uFFFD\uFFFD|\uFFFD\uFFFD\uFFFD|\uFFFD\uFFFD\uFFFD\uFFFD" << 9;
        QTest::newRow("a U+FFFD the file spells is no damage")
            << QByteArray("<meta charset=\"UTF-8\">\xEF\xBF\xBD") << "utf-8"
            << "<meta charset=\"UTF-8\">\uFFFD" << 0;
        QTest::newRow("declared Windows-1251 though valid UTF-8")
            << "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1251\">" +
                   QByteArray("\xd0\x81")
            << "windows-1251"
            << "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1251\">РЃ"
            << 0;
        QTest::newRow("declared Windows-1251, the byte it lacks")
            << QByteArray("<meta charset='cp1251'>\x98") << "windows-1251"
            << "<meta charset='cp1251'>\uFFFD" << 1;
        QTest::newRow("declared in a comment only: not declared")
            << "<!-- <meta charset=windows-1251> -->" + cyr << "utf-8"
            << "<!-- <meta charset=windows-1251> -->Ёжик" << 0;
        QTest::newRow("UTF-16 LE with BOM, a lone surrogate")
            << QByteArray("\xFF\xFE\x01\x04\x00\xD8\x41\x00", 8) << "utf-16le"
            << "Ё\uFFFDA" << 1;
        QTest::newRow("UTF-16 BE with BOM, an odd byte")
            << QByteArray("\xFE\xFF\x04\x01\x00", 5) << "utf-16be"
            << "Ё\uFFFD" << 1;
    }
    void fileEncodings() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, encoding);
        QFETCH(QString, text);
        QFETCH(int, damaged);
        const TDecodedText decoded = DecodeBookmarkBytes(bytes);
        QCOMPARE(decoded.encoding, encoding);
        QCOMPARE(decoded.text, text);
        QCOMPARE(static_cast<int>(decoded.damage.size()), damaged);
    }

    // Bad bytes in a folder's name spoil the links below it, and only them.
    void damagedFolderName() {
        const QByteArray html = utf8Header() +
                                "<DL><p><DT><H3>Па\xFFпка</H3><DL><p>"
                                "<DT><A HREF=\"http://in/\">В папке</A>"
                                "<DT><H3>Ниже</H3><DL><p><DT><A HREF=\"http://below/\">x</A></DL>"
                                "</DL><DT><A HREF=\"http://out/\">Вне</A></DL>";
        const QVector<TImportedLink> links = ReadBookmarkHtmlBytes(html);
        QCOMPARE(links.size(), 3);
        QCOMPARE(links[0].Folders, QStringList{"Па\uFFFDпка"});
        QCOMPARE(links[0].Damage, QStringLiteral("неверные байты UTF-8 в имени папки"));
        QCOMPARE(links[1].Folders, (QStringList{"Па\uFFFDпка", "Ниже"}));
        QCOMPARE(links[1].Damage, QStringLiteral("неверные байты UTF-8 в имени папки"));
        QCOMPARE(shown(links[2]), QStringLiteral("http://out/ |  |  | Вне |  | "));
    }

    // 3. The bookmark file as HTML reads it.
    void bookmarkHtmlShapes_data() {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QStringList>("links");
        const QString separator = "разделитель";
        const QString inNote = "ссылка в заметке закладки";
        QTest::newRow("a tab before HREF") << "<DL><p><DT><A\tHREF=\"http://tab/\">Tab</A></DL>"
                                           << QStringList{"http://tab/ |  |  | Tab |  | "};
        QTest::newRow("line breaks before and between attributes")
            << "<DL><p><DT><A\nHREF=\"http://lf/\"\r\nADD_DATE=\"1\"\r\nTAGS=\"t\">LF</A>\r\n"
               "<DT><A\r\n  HREF='http://crlf/'>CRLF</A></DL>"
            << QStringList{"http://lf/ |  | t | LF |  | ", "http://crlf/ |  |  | CRLF |  | "};
        QTest::newRow("names in any case")
            << "<dl><p><dt><h3>f</h3><dL><dt><a hReF=\"http://l/\" tags=\"x\">l</A></Dl></dl>"
            << QStringList{"http://l/ | f | x | l |  | "};
        QTest::newRow("unquoted and single-quoted values")
            << "<DL><DT><A HREF=http://u/?a=1 TAGS='a b,c'>U</A></DL>"
            << QStringList{"http://u/?a=1 |  | a b,c | U |  | "};
        QTest::newRow("a link inside a comment")
            << "<DL><p><!-- <DT><A HREF=\"http://hidden/\">Hidden</A> -->\n"
               "<!-- a -- b <DT><A HREF=\"http://hidden2/\">H</A> --!>"
               "<DT><A HREF=\"http://shown/\">Shown</A></DL>"
            << QStringList{"http://shown/ |  |  | Shown |  | "};
        QTest::newRow("a comment never closed")
            << "<DL><DT><A HREF=\"http://before/\">Before</A><!-- <DT><A HREF=\"http://in/\">In</A>"
            << QStringList{"http://before/ |  |  | Before |  | "};
        QTest::newRow("'>' inside quoted values")
            << "<DL><DT><A HREF=\"http://x/?a=1>2\" ICON='data:>' LAST_CHARSET=\">\">Gt</A></DL>"
            << QStringList{"http://x/?a=1>2 |  |  | Gt |  | "};
        QTest::newRow("TAGS= inside another attribute's value")
            << "<DL><DT><A HREF=\"http://t/?q= TAGS=evil\" ICON_URI=\"x TAGS=bad\" "
               "SHORTCUTURL=' TAGS=\"no\"'>T</A><DT><A HREF=\"http://u/\" DATA=\"TAGS=x\" "
               "TAGS=\"real,one\">U</A></DL>"
            << QStringList{"http://t/?q= TAGS=evil |  |  | T |  | ",
                           "http://u/ |  | real,one | U |  | "};
        QTest::newRow("named references")
            << "<DL><DT><H3>A&nbsp;B&mdash;C</H3><DL><DT><A HREF=\"http://e/\">"
               "&laquo;x&raquo; &hellip; &copy;&euro;&trade;&Ouml;&lt;&gt;&amp;&quot;&apos;</A>"
               "</DL></DL>"
            << QStringList{"http://e/ | A\u00A0B—C |  | «x» … ©€™Ö<>&\"' |  | "};
        QTest::newRow("numeric references")
            << "<DL><DT><A HREF=\"http://n/?a=1&amp;b=2&#38;c=&#x26;d\">&#8212;&#x2014;&#X2014;"
               "&#169 &#0;&#x110000;&#xD800;&#150;</A></DL>"
            << QStringList{"http://n/?a=1&b=2&c=&d |  |  | ———© \uFFFD\uFFFD\uFFFD– |  | "};
        QTest::newRow("what is no reference stays")
            << "<DL><DT><A HREF=\"http://q/?x=1&copy=2&lt=3\">AT&T &unknown; &amp &#; &#x;</A></DL>"
            << QStringList{"http://q/?x=1&copy=2&lt=3 |  |  | AT&T &unknown; &amp &#; &#x; |  | "};
        QTest::newRow("folder names as written, titles simplified")
            << "<DL><DT><H3> Two  spaces; semi </H3><DL><DT><A HREF=\"http://s/\">  a \n b "
               "</A></DL></DL>"
            << QStringList{"http://s/ |  Two  spaces; semi  |  | a b |  | "};
        QTest::newRow("tags as written, empty ones left out")
            << "<DL><DT><A HREF=\"http://g/\" TAGS=\"a;b,, c ,Ё\">G</A></DL>"
            << QStringList{"http://g/ |  | a;b, c ,Ё | G |  | "};
        QTest::newRow("markup inside a title")
            << "<DL><DT><H3>Bold <B>folder</B></H3><DL><DT><A HREF=\"http://b/\">a <i>b</i> "
               "c</A></DL></DL>"
            << QStringList{"http://b/ | Bold folder |  | a b c |  | "};
        QTest::newRow("the first of two HREFs")
            << "<DL><DT><A HREF=\"http://1/\" href=\"http://2/\">One</A></DL>"
            << QStringList{"http://1/ |  |  | One |  | "};
        QTest::newRow("separators")
            << "<DL><DT><A HREF=\"http://a/\">A</A><HR><DT><hr/><DT><A HREF=\"http://b/\">B</A>"
               "</DL>"
            << QStringList{"http://a/ |  |  | A |  | ", " |  |  |  | " + separator + " | ",
                           " |  |  |  | " + separator + " | ", "http://b/ |  |  | B |  | "};
        QTest::newRow("notes, and a link inside one")
            << "<DL><DT><A HREF=\"http://a/\">Title</A>\n<DD>The note\n"
               "<DT><A HREF=\"http://b/\">B</A><DD>see <A HREF=\"http://in-note/\">here</A> too\n"
               "<DT><H3>F</H3><DD>folder note<DL><DT><A HREF=\"http://c/\">C</A></DL></DL>"
            << QStringList{"http://a/ |  |  | Title - The note |  | ",
                           "http://b/ |  |  | B - see |  | ",
                           "http://in-note/ |  |  | here | " + inNote + " | ",
                           "http://c/ | F |  | C |  | "};
        QTest::newRow("a cut title and the whole text in the note")
            << "<DL><DT><A HREF=\"http://long/\">Long te\u2026</A><DD>Long text indeed</DL>"
            << QStringList{"http://long/ |  |  | Long text indeed |  | "};
        QTest::newRow("a title element holds no link")
            << "<TITLE><A HREF=\"http://no/\">x</A></TITLE><SCRIPT>\"<A HREF='http://no2/'>\""
               "</script ><DL><DT><A HREF=\"http://yes/\">Yes</A></DL>"
            << QStringList{"http://yes/ |  |  | Yes |  | "};
        QTest::newRow("a tag cut off by the end")
            << "<DL><DT><A HREF=\"http://a/\">A</A><DT><A HREF=\"http://cut"
            << QStringList{"http://a/ |  |  | A |  | "};
        // "</" and a space start a malformed comment, which a '>' ends.
        QTest::newRow("'<' that starts no tag")
            << "<DL><DT><A HREF=\"http://lt/\">1 < 2 <3 </ </A></DL>"
            << QStringList{"http://lt/ |  |  | 1 < 2 <3 |  | "};
        QTest::newRow("nested folders and ones without a name")
            << "<DL><DT><H3>A</H3><DL><DL><DT><H3>B</H3><DL><DT><A HREF=\"http://ab/\">x</A>"
               "</DL></DL><DT><A HREF=\"http://a/\">y</A></DL><DT><A HREF=\"http://top/\">z</A>"
               "</DL>"
            << QStringList{"http://ab/ | A/B |  | x |  | ", "http://a/ | A |  | y |  | ",
                           "http://top/ |  |  | z |  | "};
    }
    void bookmarkHtmlShapes() {
        QFETCH(QString, html);
        QFETCH(QStringList, links);
        const QVector<TImportedLink> read = ReadBookmarkHtml(html);
        QCOMPARE(shown(read), links);
        for (const TImportedLink& l : read) {
            QVERIFY(l.Category.isEmpty());
        }
    }

    // The reading reports its progress, which may stop it.
    void bookmarkHtmlProgressStops() {
        QByteArray html = "<DL><p>\n";
        for (int i = 0; i < 5000; ++i) {
            html += "<DT><A HREF=\"http://r" + QByteArray::number(i) + "/\">R</A>\n";
        }
        html += "</DL>";
        QVector<qint64> reports;
        ReadBookmarkHtmlBytes(html, [&reports](qint64 done, qint64 total) {
            QVERIFY(done <= total);
            reports << done;
        });
        QVERIFY(reports.size() > 2);
        QCOMPARE(reports.last(), qint64(html.size()));
        int calls = 0;
        QVERIFY_THROWS_EXCEPTION(EAbort, ReadBookmarkHtmlBytes(html, [&calls](qint64, qint64) {
                                     ++calls;
                                     throw EAbort();
                                 }));
        QCOMPARE(calls, 1);
    }

    // Links in one folder share one list of its folders.
    void linksOfAFolderShareItsFolders() {
        const QVector<TImportedLink> links = ReadBookmarkHtml(
            "<DL><DT><H3>F</H3><DL><DT><A HREF=\"http://1/\">1</A><DT><A HREF=\"http://2/\">2</A>"
            "</DL></DL>");
        QCOMPARE(links.size(), 2);
        QCOMPARE(links[0].Folders, QStringList{"F"});
        QVERIFY(links[0].Folders.constData() == links[1].Folders.constData());
    }

    // Names are counted only when a new list is made; past the budget a link gets none, and
    // the reader refuses it with why instead of cutting its folders.
    void folderChainBudget() {
        TFolderChain chain(5);
        QStringList names;
        chain.Push("a");
        chain.Push("b");
        QVERIFY(chain.Folders(names));
        QCOMPARE(names, (QStringList{"a", "b"}));
        chain.Push(QString(), false);  // a list without a folder shares the one above
        QVERIFY(chain.Folders(names));
        QCOMPARE(names, (QStringList{"a", "b"}));
        chain.Push("c");
        QVERIFY(chain.Folders(names));
        QCOMPARE(names, (QStringList{"a", "b", "c"}));
        QCOMPARE(chain.Path(), QStringLiteral("a/b/c"));
        chain.Pop();
        chain.Push("d");
        QVERIFY(!chain.Folders(names));
        QCOMPARE(names, QStringList());
        QCOMPARE(chain.OverBudgetReason(), QStringLiteral("папки вложены слишком глубоко (4)"));
        chain.Pop();
        chain.Pop();
        QVERIFY(chain.Folders(names));
        QCOMPARE(names, (QStringList{"a", "b"}));
    }

    // 2. A Chromium "Bookmarks" file that is no such JSON is said to be damaged, with the
    // parser's reason and where it stopped.
    void damagedChromiumFiles_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("message");
        const QByteArray start =
            "{\"roots\": {\"bookmark_bar\": {\"type\": \"folder\", \"name\": \"Bar\", "
            "\"children\": [{\"type\": \"url\", \"name\": \"A\", \"url\": \"http://a/\"}";
        QTest::newRow("cut short")
            << start << "unterminated array (байт " + QString::number(start.size()) + ").";
        QTest::newRow("not JSON") << QByteArray("<html>") << "illegal value (байт 1).";
        QByteArray deep = "{\"roots\": {\"other\": ";
        for (int i = 0; i < 2000; ++i) {
            deep += "{\"type\": \"folder\", \"name\": \"n\", \"children\": [";
        }
        QTest::newRow("nested too deep") << deep << "too deeply nested document";
        QTest::newRow("no roots") << QByteArray("{\"version\": 1}")
                                  << "нет корневых папок (roots) (байт 0).";
        QTest::newRow("an array") << QByteArray("[1, 2]") << "нет корневых папок (roots) (байт 0).";
    }
    void damagedChromiumFiles() {
        QFETCH(QByteArray, json);
        QFETCH(QString, message);
        try {
            ReadChromiumBookmarks(json, "/home/u/.config/chromium/Default/Bookmarks");
            QFAIL("no error");
        } catch (const EError& e) {
            QVERIFY2(e.message().startsWith("Файл закладок /home/u/.config/chromium/Default/"
                                            "Bookmarks повреждён: "),
                     qPrintable(e.message()));
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        }
    }

    // Folders nested as deep as JSON may go are walked without the program's stack.
    void deepChromiumFolders() {
        const int depth = 500;
        QByteArray json = "{\"roots\": {\"other\": {\"type\": \"folder\", \"children\": [";
        for (int i = 0; i < depth; ++i) {
            json += "{\"type\": \"folder\", \"name\": \"n" + QByteArray::number(i) +
                    "\", \"children\": [";
        }
        json += "{\"type\": \"url\", \"name\": \"Deep\", \"url\": \"http://deep/\"}";
        for (int i = 0; i <= depth; ++i) {
            json += "]}";
        }
        json += "}}";
        const QVector<TImportedLink> links = ReadChromiumBookmarks(json);
        QCOMPARE(links.size(), 1);
        QCOMPARE(links[0].Folders.size(), depth);
        QCOMPARE(links[0].Folders.first(), QStringLiteral("n0"));
        QCOMPARE(links[0].Folders.last(), QStringLiteral("n499"));
        QCOMPARE(links[0].Description, QStringLiteral("Deep"));
    }

    void chromiumFolders() {
        const QVector<TImportedLink> links = ReadChromiumBookmarks(
            "{\"roots\": {\"bookmark_bar\": {\"type\": \"folder\", \"name\": \"Bookmarks bar\", "
            "\"children\": [{\"type\": \"url\", \"name\": \"Top\", \"url\": \"http://top/\"},"
            "{\"type\": \"folder\", \"name\": \"Work; home\", \"children\": [{\"type\": \"folder\","
            " \"name\": \"Wiki\", \"children\": [{\"type\": \"url\", \"name\": \"W\", \"url\": "
            "\"http://w/\"}]}, {\"type\": \"url\", \"name\": \"S\", \"url\": \"http://s/\"}]}]},"
            "\"other\": {\"type\": \"folder\", \"name\": \"Other\", \"children\": []},"
            "\"synced\": {\"type\": \"folder\", \"name\": \"Mobile\", \"children\": [{\"type\": "
            "\"url\", \"name\": \"M\", \"url\": \"http://m/\"}]}}, \"version\": 1}");
        QCOMPARE(shown(links),
                 (QStringList{"http://top/ |  |  | Top |  | ",
                              "http://w/ | Work; home/Wiki |  | W |  | ",
                              "http://s/ | Work; home |  | S |  | ", "http://m/ |  |  | M |  | "}));
    }

    // 4. A chain of folders thousands deep: each link has all the folders that lead to it,
    // and its own name.
    void deepFavoritesChain() {
        const QString fav = path("Favorites");
        const int depth = 2000;
        QVERIFY(MakeFolderChain(fav, depth));
        writeFile(fav + "/d/Top link.URL", ShortcutText("http://top/"));
        writeFile(fav + "/d/second.url", ShortcutText("http://second/"));
        TCollect sink;
        int folders = 0;
        sink.OnProgress = [&folders](int) { ++folders; };
        TFavoritesWalk(sink).Walk(fav);
        QCOMPARE(sink.skipped, QStringList());
        QCOMPARE(sink.links.size(), depth / 100 + 2);
        QVERIFY(folders >= depth + 1);
        const TImportedLink* deepest = linkTo(sink.links, "http://level2000/");
        QVERIFY(deepest);
        QCOMPARE(deepest->Folders, QStringList(depth, "d"));
        QCOMPARE(deepest->ShortcutName, QStringLiteral("x"));
        QCOMPARE(deepest->Source, QStringList(depth, "d").join('/') + "/x.url");
        QCOMPARE(linkTo(sink.links, "http://level100/")->Folders, QStringList(100, "d"));
        const TImportedLink* top = linkTo(sink.links, "http://top/");
        const TImportedLink* second = linkTo(sink.links, "http://second/");
        QCOMPARE(top->Folders, QStringList{"d"});
        QCOMPARE(top->ShortcutName, QStringLiteral("Top link"));
        QCOMPARE(top->Source, QStringLiteral("d/Top link.URL"));
        QVERIFY(top->Folders.constData() == second->Folders.constData());
    }

    // A shortcut's name, and its folders', read byte for byte.
    void favoritesNames() {
        const QString fav = path("Favorites");
        writeFile(fav + "/root.url", ShortcutText("http://root/"));
        writeFile(fav + "/Новости/Спорт/Матч; итоги.url", ShortcutText("http://match/"));
        const QByteArray cp1251 = QFile::encodeName(fav) + "/\xcd\xee\xe2\xee\xf1\xf2\xe8.url";
        const int fd = ::open(cp1251.constData(), O_WRONLY | O_CREAT, 0600);
        QVERIFY(fd >= 0);
        const QByteArray text = ShortcutText("http://cp1251/");
        QVERIFY(::write(fd, text.constData(), text.size()) == text.size());
        ::close(fd);
        TCollect sink;
        TFavoritesWalk(sink).Walk(fav);
        QCOMPARE(sink.links.size(), 3);
        QCOMPARE(linkTo(sink.links, "http://root/")->Folders, QStringList());
        QCOMPARE(linkTo(sink.links, "http://root/")->ShortcutName, QStringLiteral("root"));
        QCOMPARE(linkTo(sink.links, "http://match/")->Folders, (QStringList{"Новости", "Спорт"}));
        QCOMPARE(linkTo(sink.links, "http://match/")->ShortcutName, QStringLiteral("Матч; итоги"));
        QCOMPARE(linkTo(sink.links, "http://cp1251/")->ShortcutName, QStringLiteral("Новости"));
        for (const TImportedLink& l : sink.links) {
            QVERIFY(l.Category.isEmpty());
            QVERIFY(l.Description.isEmpty());
        }
    }

    // 5. The profiles of every browser in each place it keeps them.
    void browserProfiles() {
        const QString home = path("home");
        const QString empty = "{\"roots\": {}}";
        QStringList expected;
        const auto places = [&](const QString& profile) {
            writeFile(home + "/" + profile + "/places.sqlite", "x");
            expected << home + "/" + profile + "/places.sqlite";
        };
        const auto bookmarks = [&](const QString& profile) {
            writeFile(home + "/" + profile + "/Bookmarks", empty.toUtf8());
            expected << home + "/" + profile + "/Bookmarks";
        };
        // profiles.ini first, in its order (a relative and an absolute path), then any other
        // folder holding a places.sqlite; a folder without one is no profile.
        writeFile(home + "/.mozilla/firefox/profiles.ini",
                  "[General]\nStartWithLastProfile=1\n\n[Profile1]\nName=b\nIsRelative=1\n"
                  "Path=zz.b\n\n[Profile0]\nName=a\nIsRelative=0\nPath=" +
                      QFile::encodeName(home) + "/elsewhere/yy.a\n");
        places(".mozilla/firefox/zz.b");
        places("elsewhere/yy.a");
        places(".mozilla/firefox/aa.default-esr");
        QDir().mkpath(home + "/.mozilla/firefox/Crash Reports");
        places(".config/mozilla/firefox/x1.default");
        places(".var/app/org.mozilla.firefox/.mozilla/firefox/f1.default");
        places("snap/firefox/common/.mozilla/firefox/s1.default");
        bookmarks(".config/chromium/Default");
        bookmarks(".config/chromium/Profile 1");
        QDir().mkpath(home + "/.config/chromium/System Profile");
        bookmarks(".var/app/org.chromium.Chromium/config/chromium/Default");
        bookmarks(".config/google-chrome/Default");
        bookmarks(".var/app/com.google.Chrome/config/google-chrome/Profile 2");
        bookmarks(".config/BraveSoftware/Brave-Browser/Default");
        bookmarks(".var/app/com.brave.Browser/config/BraveSoftware/Brave-Browser/Default");
        bookmarks(".config/vivaldi/Default");
        bookmarks(".var/app/com.vivaldi.Vivaldi/config/vivaldi/Default");
        bookmarks(".config/microsoft-edge/Default");
        bookmarks(".var/app/com.microsoft.Edge/config/microsoft-edge/Default");
        // profiles.ini lists the first profile again; the order is profiles.ini's and then
        // the folders' by name.
        std::swap(expected[0], expected[1]);
        QCOMPARE(BrowserBookmarkFiles(home), expected);
        // A profile reached through a link is listed once.
        QVERIFY(QFile::link(home + "/.mozilla/firefox/zz.b", home + "/.mozilla/firefox/zz.link"));
        QCOMPARE(BrowserBookmarkFiles(home), expected);
        QCOMPARE(BrowserBookmarkFiles(path("nobody")), QStringList());
    }

    // The reader a chosen file's name calls for.
    void bookmarkFileByName() {
        writeFile(path("b/Bookmarks"),
                  "{\"roots\": {\"other\": {\"children\": [{\"type\": \"folder\", \"name\": "
                  "\"F\", \"children\": [{\"type\": \"url\", \"name\": \"C\", \"url\": "
                  "\"http://chromium/\"}]}]}}}");
        writeFile(path("b/links.CSV"), "URL,Category\r\nhttp://csv/,A; B\r\n");
        writeFile(path("b/bookmarks.htm"), "<DL><DT><A HREF=\"http://html/\">H</A></DL>");
        QCOMPARE(shown(ReadBookmarkFile(path("b/Bookmarks"))),
                 QStringList{"http://chromium/ | F |  | C |  | "});
        const QVector<TImportedLink> csv = ReadBookmarkFile(path("b/links.CSV"));
        QCOMPARE(csv.size(), 1);
        QCOMPARE(csv[0].Category, QStringLiteral("A; B"));
        QCOMPARE(shown(ReadBookmarkFile(path("b/bookmarks.htm"))),
                 QStringList{"http://html/ |  |  | H |  | "});
        QVERIFY_THROWS_EXCEPTION(EError, ReadBookmarkFile(path("b/missing.html")));
    }

    // 6. Firefox keeps a bookmark's tags as bookmarks of its address in folders below the
    // tags root, each named after its tag.
    void firefoxTags() {
        const QString file = path("profile/places.sqlite");
        QDir().mkpath(path("profile"));
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(file).constData(), &db), SQLITE_OK);
        QVERIFY(runSql(db, kPlacesSchema));
        QVERIFY(runSql(
            db,
            "INSERT INTO moz_places (id, url, title, guid) VALUES (1, 'http://fox/', 'Fox', 'p1'),"
            " (2, 'http://qt/', 'Qt', 'p2'), (3, 'http://only-tagged/', 'T', 'p3'),"
            " (4, 'http://twice/', 'Twice', 'p4');"
            "INSERT INTO moz_bookmarks (id, type, fk, parent, position, title, guid) VALUES"
            " (10, 2, NULL, 2, 0, 'Linux', 'f1'), (11, 2, NULL, 10, 0, 'Qt; C++', 'f2'),"
            " (20, 1, 1, 3, 0, 'Fox', 'b1'), (21, 1, 2, 11, 0, 'Qt site', 'b2'),"
            " (22, 1, 4, 5, 0, 'Twice 1', 'b3'), (23, 1, 4, 10, 1, 'Twice 2', 'b4'),"
            " (24, 3, NULL, 3, 1, NULL, 's1'),"
            // Tags: "qt" on 2 and 4, "Linux, desktop" on 2, "orphan" on 3 (no bookmark).
            " (30, 2, NULL, 4, 0, 'qt', 't1'), (31, 1, 2, 30, 0, NULL, 'tb1'),"
            " (32, 1, 4, 30, 1, NULL, 'tb2'), (33, 2, NULL, 4, 1, 'Linux, desktop', 't2'),"
            " (34, 1, 2, 33, 0, NULL, 'tb3'), (35, 2, NULL, 4, 2, 'orphan', 't3'),"
            " (36, 1, 3, 35, 0, NULL, 'tb4');"));
        sqlite3_close(db);
        const QVector<TImportedLink> links = ReadFirefoxPlaces(file);
        QStringList lines = shown(links);
        lines.sort();
        QCOMPARE(lines,
                 (QStringList{" |  |  |  | разделитель | ", "http://fox/ |  |  | Fox |  | ",
                              "http://qt/ | Linux/Qt; C++ | Linux, desktop,qt | Qt site |  | ",
                              "http://twice/ |  | qt | Twice 1 |  | ",
                              "http://twice/ | Linux | qt | Twice 2 |  | "}));
    }

    // A places.sqlite that Firefox ESR wrote itself, when the test machine has one
    // (LINKARIUM_TEST_FIREFOX_PLACES names it): its tags reach the links.
    void realFirefoxPlaces() {
        const QString file = qEnvironmentVariable("LINKARIUM_TEST_FIREFOX_PLACES");
        if (file.isEmpty()) {
            QSKIP("no places.sqlite of a real Firefox (LINKARIUM_TEST_FIREFOX_PLACES)");
        }
        const QVector<TImportedLink> links = ReadFirefoxPlaces(file);
        const TImportedLink* tagged = linkTo(links, "https://tagged.example/");
        QVERIFY(tagged);
        QCOMPARE(tagged->Tags, (QStringList{"alpha", "beta"}));
        QCOMPARE(tagged->Folders, QStringList{"Linkarium"});
    }

    // 7. A field the CSV export kept from being run as a formula reads back as it was.
    void csvNeutralisedFields_data() {
        QTest::addColumn<QString>("field");
        int row = 0;
        for (const char* f : {"=1+1", "'=x", "''@y", "'plain", "-5", "+", "@", "plain", "\tTab",
                              "\rCR", "'", "''", "'''-", "", "a=b", "http://x/?a=-1"}) {
            QTest::addRow("%d", row++) << QString::fromUtf8(f);
        }
    }
    void csvNeutralisedFields() {
        QFETCH(QString, field);
        QCOMPARE(CsvFormulaUnguarded(neutralised(field)), field);
        const QString text = CsvText(
            {{"URL", "Description", "Category", "Visited"},
             {neutralised("http://x/" + field), neutralised(field), neutralised(field), "1"}});
        const QVector<TImportedLink> links = ReadCsvLinks(text);
        QCOMPARE(links.size(), 1);
        QCOMPARE(links[0].URL, "http://x/" + field);
        QCOMPARE(links[0].Description, field);
        QCOMPARE(links[0].Category, field);
        QVERIFY(links[0].Folders.isEmpty());
        QVERIFY(links[0].Tags.isEmpty());
    }
    void csvFieldsNotNeutralised_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("read");
        QTest::newRow("one apostrophe, text") << "'plain"
                                              << "'plain";
        QTest::newRow("one apostrophe, formula") << "'=1"
                                                 << "=1";
        QTest::newRow("two apostrophes, formula") << "''+1"
                                                  << "'+1";
        QTest::newRow("apostrophes only") << "''"
                                          << "''";
        QTest::newRow("a formula no export wrote") << "=1"
                                                   << "=1";
        QTest::newRow("apostrophe later") << "a'=1"
                                          << "a'=1";
    }
    void csvFieldsNotNeutralised() {
        QFETCH(QString, field);
        QFETCH(QString, read);
        QCOMPARE(CsvFormulaUnguarded(field), read);
    }
};

QTEST_MAIN(TestBookmarkReaders)
#include "tst_bookmarkreaders.moc"
