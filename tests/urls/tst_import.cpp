#include "app/GeneralUnit.h"
#include "platform/db/DataSet.h"
#include "support/CatalogueFixture.h"
#include "support/HostileImports.h"
#include "support/ScriptedDialogs.h"
#include "support/TestCatalogue.h"
#include "support/TestEnvironment.h"
#include "urls/ImportPreview.h"
#include "urls/LinkImport.h"
#include "urls/ShortcutReader.h"
#include "urls/URLViewFrm.h"

#include <QAction>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <QtTest>

#include <fcntl.h>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void writeFile(const QString& name, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(name).path());
    QFile f(name);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray shortcut(const QString& url) {
    return ShortcutText(url);
}

QByteArray utf16(const QString& text, bool little) {
    QByteArray out = little ? QByteArray("\xFF\xFE", 2) : QByteArray("\xFE\xFF", 2);
    for (const QChar c : text) {
        const char hi = char(c.unicode() >> 8);
        const char lo = char(c.unicode() & 0xFF);
        out.append(little ? lo : hi).append(little ? hi : lo);
    }
    return out;
}

int openDescriptors() {
    return static_cast<int>(QDir("/proc/self/fd")
                                .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                                .size());
}

}  // namespace

class TestImport final : public QObject, TCatalogueFixture {
    Q_OBJECT

    QByteArray savedHome;

    // Category of the row with this address; "NULL" for none, "absent" when not there.
    QString categoryOf(const QString& url) {
        const QVariant count = cat->otherValue("SELECT count(*) FROM SubjectURLs WHERE URL = '" +
                                               QString(url).replace("'", "''") + "'");
        if (count.toInt() == 0) {
            return "absent";
        }
        const QVariant v = cat->otherValue("SELECT Category FROM SubjectURLs WHERE URL = '" +
                                           QString(url).replace("'", "''") + "'");
        return v.isNull() ? QStringLiteral("NULL") : v.toString();
    }
    int rows() { return cat->otherValue("SELECT count(*) FROM SubjectURLs").toInt(); }
    // The shared category list, sorted without regard to letter case.
    QStringList listedCategories() {
        TDataSet list;
        list.SetConnection(&cat->connection());
        list.SetCommandText("SELECT CategoryName FROM CategoryList");
        list.Open();
        QStringList names;
        for (list.First(); !list.Eof(); list.Next()) {
            names << list.Fields(0).AsString();
        }
        names.sort(Qt::CaseInsensitive);
        return names;
    }
    QString home() const { return env->path("home"); }

    // The preview of each import, answered as a test says; accepted as shown otherwise.
    std::function<bool(TImportPreview&)> previewAnswer;
    int previews = 0;
    void answerPreview(TURLViewForm& v) {
        v.RunImportPreview = [this](TImportPreview& preview, const TImportOptions&) {
            ++previews;
            return previewAnswer ? previewAnswer(preview) : true;
        };
    }

private Q_SLOTS:
    void initTestCase() {
        LINKARIUM_REQUIRE_ENGINE();
        InitTestApplication();
        savedHome = qgetenv("HOME");
    }
    void init() {
        openCatalogue();
        QDir().mkpath(home());
        qputenv("HOME", home().toLocal8Bit());
    }
    void cleanup() {
        previewAnswer = nullptr;
        previews = 0;
        qputenv("HOME", savedHome);
        // Names Qt cannot spell and paths longer than the system takes: rm walks them.
        QProcess::execute("rm", {"-rf", home()});
        closeCatalogue();
    }

    void readShortcut_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("url");
        const QString cyr = QStringLiteral("http://пример.рф/путь");
        QTest::newRow("UTF-8") << shortcut(cyr) << cyr;
        QTest::newRow("UTF-8 with BOM") << "\xEF\xBB\xBF" + shortcut(cyr) << cyr;
        QTest::newRow("UTF-16 LE")
            << utf16("[InternetShortcut]\r\nURL=" + cyr + "\r\n", true) << cyr;
        QTest::newRow("UTF-16 BE") << utf16("[InternetShortcut]\nURL=" + cyr + "\n", false) << cyr;
        QTest::newRow("Windows-1251")
            << QByteArray(
                   "[InternetShortcut]\r\nURL=http://\xEF\xF0\xE8\xEC\xE5\xF0.\xF0\xF4/\xA8\r\n")
            << QStringLiteral("http://пример.рф/Ё");
        QTest::newRow("LF and CR line ends")
            << QByteArray("[Other]\rURL=wrong\r[InternetShortcut]\nURL=http://a/\n") << "http://a/";
        QTest::newRow("names in any case")
            << QByteArray("[internetshortcut]\r\nurl=http://b/\r\n") << "http://b/";
        QTest::newRow("key in another section")
            << QByteArray("[DEFAULT]\r\nBASEURL=x\r\nURL=http://c/\r\n") << "";
        QTest::newRow("no key") << QByteArray("[InternetShortcut]\r\nIconIndex=0\r\n") << "";
        QTest::newRow("binary") << QByteArray("[InternetShortcut]\r\nURL=http://d/\r\n\0\0\0", 37)
                                << "";
    }
    void readShortcut() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, url);
        const QString file = env->path("x.url");
        writeFile(file, bytes);
        QCOMPARE(ReadShortcutURL(file), url);
    }

    // The tree with every rule at once: top level without category, nested categories,
    // capitals in the extension, the length limit, blanks, quotes in names and addresses.
    void favoritesTree() {
        const QString fav = home() + "/Favorites";
        const QString aLongest = "http://x/" + QString(2039, 'a');  // the field's 2,048
        writeFile(fav + "/top.url", shortcut("http://top/"));
        writeFile(fav + "/News/a.URL", shortcut("http://news/"));
        writeFile(fav + "/News/Sport/b.url", shortcut("  http://sport/  "));
        writeFile(fav + "/News/Sport/Deep/Deeper/c.url", shortcut("http://deep/"));
        writeFile(fav + "/long/2048.url", shortcut(aLongest));
        writeFile(fav + "/long/2049.url", shortcut(aLongest + "b"));
        writeFile(fav + "/long/blank.url", shortcut("   "));
        writeFile(fav + "/Q\"uote's/q.url", shortcut("http://q/?a=\"1\"&b='2'"));
        writeFile(fav + "/notes.txt", shortcut("http://not-a-shortcut/"));
        QDir().mkpath(fav + "/Empty");
        TScriptedDialogs dialogs;
        TURLViewForm v(*module);
        answerPreview(v);
        v.show();
        for (int run = 1; run <= 2; ++run) {
            dialogs.answer(QMessageBox::Yes);
            v.actImportFromFavorites->trigger();
        }
        QCOMPARE(dialogs.unexpected(), 0);
        // The second run finds every link in the catalogue already and adds none.
        const QString skipped =
            "\n\nlong/2049.url: адрес длиннее 2048\n"
            "long/blank.url: нет адреса";
        const QString first =
            "Добавлено записей: 6. Пропущено: 2. В список категорий добавлено: 6." + skipped;
        const QString second =
            "Добавлено записей: 0. Пропущено: 8.\n\n"
            "News/Sport/Deep/Deeper/c.url: уже есть в каталоге\n"
            "News/Sport/b.url: уже есть в каталоге\n"
            "News/a.URL: уже есть в каталоге\n"
            "Q\"uote's/q.url: уже есть в каталоге\n"
            "long/2048.url: уже есть в каталоге\n"
            "long/2049.url: адрес длиннее 2048\n"
            "long/blank.url: нет адреса\n"
            "top.url: уже есть в каталоге";
        QStringList shown = dialogs.shownTexts();
        QCOMPARE(shown.size(), 4);
        // The order of a folder's entries is the file system's.
        for (int i : {1, 3}) {
            QStringList lines = shown[i].split('\n');
            std::sort(lines.begin() + 2, lines.end());
            shown[i] = lines.join('\n');
        }
        QCOMPARE(
            shown,
            (QStringList{"Вы действительно хотите импортировать все URL из Избранного?", first,
                         "Вы действительно хотите импортировать все URL из Избранного?", second}));
        QCOMPARE(listedCategories(),
                 (QStringList{"Deep", "Deeper", "long", "News", "Q\"uote's", "Sport"}));
        QCOMPARE(categoryOf("http://top/"), QStringLiteral("NULL"));
        QCOMPARE(categoryOf("http://news/"), QStringLiteral("News"));
        QCOMPARE(categoryOf("http://sport/"), QStringLiteral("News; Sport"));
        QCOMPARE(categoryOf("http://deep/"), QStringLiteral("News; Sport; Deep; Deeper"));
        QCOMPARE(categoryOf(aLongest), QStringLiteral("long"));
        QCOMPARE(categoryOf(aLongest + "b"), QStringLiteral("absent"));
        QCOMPARE(categoryOf("http://q/?a=\"1\"&b='2'"), QStringLiteral("Q\"uote's"));
        QCOMPARE(rows(), 6);
        QCOMPARE(v.adsCommon->RecordCount(), 6);
        QCOMPARE(previews, 2);
        QVERIFY(cat->otherValue("SELECT SubjectURLID FROM SubjectURLs LIMIT 1")
                    .toString()
                    .startsWith('{'));
    }

    void declinedAndEmptyFavorites() {
        QDir().mkpath(home() + "/Favorites");
        TScriptedDialogs dialogs;
        TURLViewForm v(*module);
        answerPreview(v);
        v.show();
        cat->addUrl("http://other-program/", QString(), QString());
        dialogs.answer(QMessageBox::No);
        v.actImportFromFavorites->trigger();
        QCOMPARE(v.adsCommon->RecordCount(), 0);
        dialogs.answer(QMessageBox::Yes);
        v.actImportFromFavorites->trigger();
        QCOMPARE(v.adsCommon->RecordCount(), 1);  // re-queried all the same
        QCOMPARE(dialogs.shownTexts().last(),
                 QStringLiteral("Добавлено записей: 0. Пропущено: 0."));
    }

    void noFavoritesFolderAsksForOne() {
        const QString chosen = env->path("chosen");
        writeFile(chosen + "/x.url", shortcut("http://chosen/"));
        TScriptedDialogs dialogs;
        TURLViewForm v(*module);
        answerPreview(v);
        v.show();
        dialogs.answer(QMessageBox::Yes);
        dialogs.answerCancel();
        v.actImportFromFavorites->trigger();
        QCOMPARE(rows(), 0);
        dialogs.answer(QMessageBox::Yes);
        dialogs.answerInput(chosen);
        v.actImportFromFavorites->trigger();
        QCOMPARE(categoryOf("http://chosen/"), QStringLiteral("NULL"));
        QCOMPARE(dialogs.unexpected(), 0);
    }

    // A refused row ends the import, which writes all or nothing: none stays, the view is
    // not re-queried and the error is shown.
    void databaseErrorWritesNothing() {
        const QString fav = home() + "/Favorites";
        for (int i = 0; i < 5; ++i) {
            writeFile(fav + QString("/%1.url").arg(i), shortcut(QString("http://n%1/").arg(i)));
        }
        cat->refuseWrites("BEFORE INSERT", "(SELECT count(*) FROM SubjectURLs) >= 2",
                          "disk says no");
        TScriptedDialogs dialogs;
        TURLViewForm v(*module);
        answerPreview(v);
        v.show();
        dialogs.answer(QMessageBox::Yes);
        v.actImportFromFavorites->trigger();
        QCOMPARE(rows(), 0);
        QCOMPARE(v.adsCommon->RecordCount(), 0);
        QVERIFY(dialogs.shownTexts().last().contains("disk says no"));
    }

    // Nothing in a hostile tree can stop the walk: a huge sparse file, a FIFO, a link loop,
    // an unreadable file.
    void hostileTree() {
        const QString fav = home() + "/Favorites";
        writeFile(fav + "/ok.url", shortcut("http://ok/"));
        {
            QFile huge(fav + "/huge.url");
            QVERIFY(huge.open(QIODevice::WriteOnly));
            huge.write(shortcut("http://huge/"));
            QVERIFY(huge.resize(8LL * 1024 * 1024 * 1024));
        }
        QVERIFY(::mkfifo(QFile::encodeName(fav + "/fifo.url").constData(), 0600) == 0);
        QVERIFY(QFile::link(fav, fav + "/loop"));
        writeFile(fav + "/locked.url", shortcut("http://locked/"));
        QFile::setPermissions(fav + "/locked.url", QFileDevice::Permissions());
        TScriptedDialogs dialogs;
        TURLViewForm v(*module);
        answerPreview(v);
        v.show();
        dialogs.answer(QMessageBox::Yes);
        QElapsedTimer t;
        t.start();
        v.actImportFromFavorites->trigger();
        QVERIFY2(t.elapsed() < 20000, "the walk took too long");
        QCOMPARE(categoryOf("http://ok/"), QStringLiteral("NULL"));
        QCOMPARE(categoryOf("http://huge/"), QStringLiteral("absent"));  // 64 KiB read: zeros
        // Root reads any file; anybody else skips the locked one.
        QCOMPARE(categoryOf("http://locked/"), QString(::geteuid() == 0 ? "NULL" : "absent"));
        QCOMPARE(rows(), ::geteuid() == 0 ? 2 : 1);
    }

    void bookmarkFile() {
        const QString file = env->path("bookmarks.html");
        writeFile(file,
                  "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<META HTTP-EQUIV=\"Content-Type\" "
                  "CONTENT=\"text/html; "
                  "charset=UTF-8\">\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n"
                  "    <DT><A HREF=\"http://top/\" ADD_DATE=\"1700000000\">Top &amp; co</A>\n"
                  "    <DT><H3 ADD_DATE=\"1\">Новости</H3>\n    <DD>folder note\n    <DL><p>\n"
                  "        <DT><A HREF=\"http://news/?a=1&amp;b=&quot;2&quot;\" "
                  "TAGS=\"daily,Новости\">News</A>\n"
                  "        <DD>Every &lt;day&gt;\n"
                  "        <DT><H3>Sport</H3>\n        <DL><p>\n"
                  "            <DT><A HREF='http://sport/'>Спорт</A>\n        </DL><p>\n"
                  "        <DT><A HREF=\"javascript:" +
                      QByteArray(2100, 'x') +  // beyond the 2,048 of the field
                      "\">too long</A>\n    </DL><p>\n"
                      "    <DT><A HREF=\"http://after/\">After</A>\n</DL>\n");
        TScriptedDialogs dialogs;
        TURLViewForm v(*module);
        answerPreview(v);
        v.show();
        dialogs.answerFiles({file});
        dialogs.answer(QMessageBox::Yes);
        v.actImportBookmarkFile->trigger();
        QCOMPARE(dialogs.unexpected(), 0);
        QCOMPARE(dialogs.shownTexts().last(),
                 "Добавлено записей: 4. Пропущено: 1. В список категорий добавлено: 3."
                 "\n\njavascript:" +
                     QString(69, 'x') + QChar(0x2026) + ": букмарклет (javascript:)");
        QCOMPARE(categoryOf("http://top/"), QStringLiteral("NULL"));
        QCOMPARE(categoryOf("http://news/?a=1&b=\"2\""), QStringLiteral("Новости; daily"));
        QCOMPARE(categoryOf("http://sport/"), QStringLiteral("Новости; Sport"));
        QCOMPARE(categoryOf("http://after/"), QStringLiteral("NULL"));
        QCOMPARE(listedCategories(), (QStringList{"daily", "Sport", "Новости"}));
        QCOMPARE(cat->otherValue("SELECT Description FROM SubjectURLs WHERE URL = 'http://top/'")
                     .toString(),
                 QStringLiteral("Top & co"));
        QCOMPARE(
            cat->otherValue("SELECT Description FROM SubjectURLs WHERE URL LIKE 'http://news/%'")
                .toString(),
            QStringLiteral("News - Every <day>"));
    }

    // Firefox and Chromium profiles of the user, written as those browsers keep them.
    void browserBookmarks() {
        const QString chromium = home() + "/.config/chromium/Default/Bookmarks";
        writeFile(chromium,
                  "{\"roots\": {\"bookmark_bar\": {\"type\": \"folder\", \"name\": \"Bookmarks "
                  "bar\", \"children\": ["
                  "{\"type\": \"url\", \"name\": \"Chrome top\", \"url\": \"http://chrome-top/\"},"
                  "{\"type\": \"folder\", \"name\": \"Work\", \"children\": ["
                  "{\"type\": \"url\", \"name\": \"Wiki\", \"url\": \"http://wiki/\"}]}]},"
                  "\"other\": {\"type\": \"folder\", \"name\": \"Other\", \"children\": []}}, "
                  "\"version\": 1}");
        const QString profile = home() + "/.mozilla/firefox/abc.default";
        QDir().mkpath(profile);
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(profile + "/places.sqlite").constData(), &db),
                 SQLITE_OK);
        const char* sql =
            "CREATE TABLE moz_places(id INTEGER PRIMARY KEY, url TEXT);"
            "CREATE TABLE moz_bookmarks(id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER, parent "
            "INTEGER,"
            " position INTEGER, title TEXT, guid TEXT);"
            "INSERT INTO moz_places VALUES (1, 'http://fox/'), (2, 'http://fox-deep/'), (3, "
            "'http://tagged/');"
            "INSERT INTO moz_bookmarks VALUES (1, 2, NULL, 0, 0, '', 'root________'),"
            " (2, 2, NULL, 1, 0, 'menu', 'menu________'), (3, 2, NULL, 1, 1, 'toolbar', "
            "'toolbar_____'),"
            " (4, 2, NULL, 1, 2, 'tags', 'tags________'), (10, 2, NULL, 2, 0, 'Linux', 'f1'),"
            " (11, 2, NULL, 10, 0, 'Qt', 'f2'), (20, 1, 1, 3, 0, 'Fox', 'b1'), (21, 1, 2, 11, 0, "
            "'Deep', 'b2'),"
            " (30, 2, NULL, 4, 0, 'mytag', 't1'), (31, 1, 3, 30, 0, NULL, 'b3');";
        QCOMPARE(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        QCOMPARE(BrowserBookmarkFiles(home()).size(), 2);
        TScriptedDialogs dialogs;
        TURLViewForm v(*module);
        answerPreview(v);
        v.show();
        dialogs.answer(QMessageBox::Yes);
        v.actImportBrowserBookmarks->trigger();
        QCOMPARE(dialogs.unexpected(), 0);
        QCOMPARE(
            dialogs.shownTexts().last(),
            QStringLiteral("Добавлено записей: 4. Пропущено: 0. В список категорий добавлено: 3."));
        QCOMPARE(listedCategories(), (QStringList{"Linux", "Qt", "Work"}));
        QCOMPARE(categoryOf("http://chrome-top/"), QStringLiteral("NULL"));
        QCOMPARE(categoryOf("http://wiki/"), QStringLiteral("Work"));
        QCOMPARE(categoryOf("http://fox/"), QStringLiteral("NULL"));
        QCOMPARE(categoryOf("http://fox-deep/"), QStringLiteral("Linux; Qt"));
        QCOMPARE(categoryOf("http://tagged/"), QStringLiteral("absent"));
        QCOMPARE(cat->otherValue("SELECT Description FROM SubjectURLs WHERE URL = 'http://wiki/'")
                     .toString(),
                 QStringLiteral("Wiki"));
    }

    // Names that are not UTF-8 are read through their bytes; a Windows folder name reads
    // as Windows-1251.
    void namesThatAreNotUtf8() {
        const QByteArray fav = QFile::encodeName(home() + "/Favorites");
        const QByteArray news = fav + "/\xcd\xee\xe2\xee\xf1\xf2\xe8";  // "Новости" in 1251
        QVERIFY(QDir().mkpath(QFile::decodeName(fav)));
        QVERIFY(::mkdir(news.constData(), 0700) == 0);
        QVERIFY(::mkdir((news + "/\xff\xfe").constData(), 0700) == 0);
        const QList<QByteArray> files = {fav + "/\xe9t\xe9.url",   fav + "/\x80.url",
                                         news + "/a\xff.url",      news + "/\xc0\xc1.URL",
                                         news + "/\xff\xfe/b.url", news + "/\xff\xfe/\xfe.url"};
        for (int i = 0; i < files.size(); ++i) {
            const int fd = ::open(files[i].constData(), O_WRONLY | O_CREAT, 0600);
            QVERIFY(fd >= 0);
            const QByteArray text = shortcut(QString("http://raw%1/").arg(i));
            QVERIFY(::write(fd, text.constData(), text.size()) == text.size());
            ::close(fd);
        }
        TScriptedDialogs dialogs;
        TURLViewForm v(*module);
        answerPreview(v);
        v.show();
        dialogs.answer(QMessageBox::Yes);
        v.actImportFromFavorites->trigger();
        QVERIFY2(dialogs.shownTexts().last().startsWith(
                     "Добавлено записей: 6. Пропущено: 0. В список категорий добавлено: "),
                 qPrintable(dialogs.shownTexts().last()));
        QCOMPARE(categoryOf("http://raw0/"), QStringLiteral("NULL"));
        QCOMPARE(categoryOf("http://raw2/"), QStringLiteral("Новости"));
        QCOMPARE(categoryOf("http://raw4/"), QStringLiteral("Новости; яю"));
    }

    // Thousands of levels: every folder seen and reported, in time linear in their number;
    // a stop at any folder closes everything the walk opened.
    void deepChainWalk() {
        const QString fav = home() + "/Favorites";
        const int depth = 2040;
        QVERIFY(MakeFolderChain(fav, depth));
        TLinkImporter importer(module->ADOConnection);
        int calls = 0;
        importer.OnProgress = [&calls](int) { ++calls; };
        QElapsedTimer t;
        t.start();
        TFavoritesWalk(importer).Walk(fav);
        importer.Finish();
        QVERIFY2(t.elapsed() < 20000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(importer.Added, depth / 100);
        QCOMPARE(importer.Skipped, 0);
        QVERIFY(calls >= depth + 1);
        QVERIFY(categoryOf("http://level2000/").startsWith("d"));
        QVERIFY(categoryOf("http://level2000/").size() <= 255);

        const int before = openDescriptors();
        TLinkImporter stopped(module->ADOConnection);
        int folders = 0;
        stopped.OnProgress = [&folders](int) {
            if (++folders == 1500) {
                throw EAbort();
            }
        };
        QVERIFY_THROWS_EXCEPTION(EAbort, TFavoritesWalk(stopped).Walk(fav));
        stopped.Finish();
        QCOMPARE(stopped.Added, 14);
        QCOMPARE(openDescriptors(), before);
    }

    // Links are followed only while they stay inside the chosen folder.
    void linksLeavingTheFolderAreNotFollowed() {
        const QString fav = home() + "/Favorites";
        const QString outside = env->path("elsewhere");
        writeFile(outside + "/foreign.url", shortcut("http://foreign/"));
        writeFile(fav + "/News/n.url", shortcut("http://news/"));
        writeFile(fav + "/inside.url", shortcut("http://inside/"));
        QVERIFY(QFile::link("/", fav + "/root"));
        QVERIFY(QFile::link(outside, fav + "/away"));
        QVERIFY(QFile::link(outside + "/foreign.url", fav + "/foreign.url"));
        QVERIFY(QFile::link(fav + "/News", fav + "/alias"));
        QVERIFY(QFile::link(fav + "/inside.url", fav + "/News/again.url"));
        TScriptedDialogs dialogs;
        TURLViewForm v(*module);
        answerPreview(v);
        v.show();
        dialogs.answer(QMessageBox::Yes);
        v.actImportFromFavorites->trigger();
        QStringList lines = dialogs.shownTexts().last().split('\n');
        QCOMPARE(lines.first(), QStringLiteral("Добавлено записей: 2. Пропущено: 4. В список "
                                               "категорий добавлено: 1."));
        lines = lines.mid(2);
        lines.sort();
        // inside.url and News/again.url (a link to it): whichever the walk meets second
        // repeats the first.
        const QRegularExpression repeat("^(News/again|inside)\\.url: повторяет запись \\d+$");
        QCOMPARE(lines.filter(repeat).size(), 1);
        lines.removeIf([&repeat](const QString& l) { return repeat.match(l).hasMatch(); });
        QCOMPARE(lines, (QStringList{"away: ссылка ведёт за пределы папки",
                                     "foreign.url: ссылка ведёт за пределы папки",
                                     "root: ссылка ведёт за пределы папки"}));
        QCOMPARE(categoryOf("http://foreign/"), QStringLiteral("absent"));
        QCOMPARE(rows(), 2);  // News once, whichever way it was reached; inside once
    }

    // Hostile bookmark files read in time linear in their size.
    void hostileBookmarkFiles_data() {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<int>("links");
        QTest::addColumn<QString>("firstCategories");
        QTest::newRow("50 links of 20,000 tags")
            << ManyTagsBookmarkHtml(50, 20000) << 50 << "tag0; tag1";
        QTest::newRow("3,000 nested folders") << DeepFoldersBookmarkHtml(3000) << 3000 << "F0";
    }
    void hostileBookmarkFiles() {
        QFETCH(QByteArray, html);
        QFETCH(int, links);
        QFETCH(QString, firstCategories);
        const QString text = QString::fromUtf8(html);
        qint64 reports = 0;
        QElapsedTimer t;
        t.start();
        const QVector<TImportedLink> read =
            ReadBookmarkHtml(text, [&reports](qint64, qint64) { ++reports; });
        QVERIFY2(t.elapsed() < 15000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(read.size(), links);
        QVERIFY(read.first().Category.startsWith(firstCategories));
        QVERIFY(reports >= 1);
        for (const TImportedLink& l : read) {
            QVERIFY(LimitCategories(l.Category, 255).size() <= 255);
        }
        QCOMPARE(read.last().Category.isEmpty(), false);
    }

    // The progress window shows while the walk, the read or the writing runs, and its
    // Cancel stops them: nothing is written, whenever it comes.
    void progressWindowCancels_data() {
        QTest::addColumn<bool>("walk");
        QTest::addColumn<bool>("writing");
        QTest::newRow("walk") << true << false;
        QTest::newRow("read") << false << false;
        QTest::newRow("writing") << false << true;
    }
    void progressWindowCancels() {
        QFETCH(bool, walk);
        QFETCH(bool, writing);
        const QString fav = home() + "/Favorites";
        const QString file = env->path("big.html");
        const int total = walk ? 2000 : writing ? 20000 : 200000;
        if (walk) {
            for (int i = 0; i < total; ++i) {
                writeFile(fav + QString("/f%1/%2.url").arg(i / 10).arg(i),
                          shortcut(QString("http://w%1/").arg(i)));
            }
        } else {
            QByteArray html = "<DL><p>\n";
            for (int i = 0; i < total; ++i) {
                html += "<DT><A HREF=\"http://r" + QByteArray::number(i) + "/\">R</A>\n";
            }
            writeFile(file, html + "</DL>\n");
        }
        TScriptedDialogs dialogs;
        TURLViewForm v(*module);
        answerPreview(v);
        v.ImportProgressDelayMs = 0;
        v.show();
        QString label;
        bool visible = false;
        QTimer clicker;
        clicker.setInterval(0);
        connect(&clicker, &QTimer::timeout, this, [&]() {
            auto* progress = v.findChild<QProgressDialog*>("ImportProgress");
            if (!progress || (writing && !progress->labelText().startsWith("Импорт..."))) {
                return;
            }
            visible = progress->isVisible();
            label = progress->labelText();
            QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
            clicker.stop();
        });
        clicker.start();
        if (walk) {
            dialogs.answer(QMessageBox::Yes);
            v.actImportFromFavorites->trigger();
        } else {
            dialogs.answerFiles({file});
            dialogs.answer(QMessageBox::Yes);
            v.actImportBookmarkFile->trigger();
        }
        QVERIFY(visible);
        QVERIFY2(label.startsWith(walk      ? "Чтение..."
                                  : writing ? "Импорт..."
                                            : "Чтение файла..."),
                 qPrintable(label));
        QCOMPARE(rows(), 0);
        QCOMPARE(previews, writing ? 1 : 0);  // stopped before the preview, or after it
        if (writing) {
            QCOMPARE(dialogs.shownTexts().last(),
                     QStringLiteral("Импорт прерван, ничего не записано."));
        }
        QVERIFY(!v.findChild<QProgressDialog*>("ImportProgress"));
    }

    void noBrowsers() {
        TScriptedDialogs dialogs;
        TURLViewForm v(*module);
        answerPreview(v);
        v.show();
        v.actImportBrowserBookmarks->trigger();
        QCOMPARE(dialogs.shownTexts(),
                 QStringList{"Закладки браузеров Firefox, Chromium и Chrome не найдены."});
    }
};

QTEST_MAIN(TestImport)
#include "tst_import.moc"
