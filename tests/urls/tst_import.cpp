#include "app/GeneralUnit.h"
#include "platform/db/DataSet.h"
#include "support/CatalogueFixture.h"
#include "support/HostileImports.h"
#include "support/ScriptedDialogs.h"
#include "support/TestCatalogue.h"
#include "support/TestEnvironment.h"
#include "support/TestHelpers.h"
#include "support/ViewParts.h"
#include "urls/ImportPreview.h"
#include "urls/ImportPreviewDlg.h"
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
    bool has(const QString& url) { return categoryOf(url) != QStringLiteral("absent"); }
    // The summary without what the preview made of the folders and tags: which categories
    // those become is the preview's to test; what the readers found is readLink() below.
    static QString withoutCategoriesNote(QString summary) {
        static const QRegularExpression note(" В список категорий добавлено: \\d+\\.");
        return summary.remove(note);
    }
    // The entry the last import read for this address, as the reader gave it to the preview.
    TImportedLink readLink(const QString& url) const {
        for (const TImportedLink& l : readLinks) {
            if (l.URL.trimmed() == url.trimmed()) {
                return l;
            }
        }
        return TImportedLink{"absent", {}, {}, {}, false, {}};
    }
    QString home() const { return env->path("home"); }

    // The preview of each import, accepted with its import button as shown.
    int previews = 0;
    QVector<TImportedLink> readLinks;  // what the last preview was given
    void answerPreview(TScriptedDialogs& dialogs) {
        // No test imports more than twice; an answer left over stays unused.
        for (int i = 0; i < 2; ++i) {
            dialogs.answerDialog([this](QDialog& dialog) {
                ++previews;
                readLinks.clear();
                for (const TPreviewEntry& e :
                     static_cast<TImportPreviewForm&>(dialog).Preview().Entries()) {
                    readLinks << e.link;
                }
                Child<QPushButton>(dialog, "ImportButton")->click();
                return dialog.result();
            });
        }
    }
    // What the message boxes said, the windows left out.
    static QStringList messages(const TScriptedDialogs& dialogs) {
        QStringList texts;
        for (const TScriptedDialogs::TShown& shown : dialogs.shown()) {
            if (shown.kind != "window") {
                texts << shown.text;
            }
        }
        return texts;
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
        previews = 0;
        readLinks.clear();
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
        answerPreview(dialogs);
        v.show();
        for (int run = 1; run <= 2; ++run) {
            dialogs.answer(QMessageBox::Yes);
            ViewAction(v, "actImportFromFavorites")->trigger();
        }
        QCOMPARE(dialogs.unexpected(), 0);
        // The second run finds every link in the catalogue already and adds none.
        const QString skipped =
            "\n\nlong/2049.url: адрес длиннее 2048\n"
            "long/blank.url: нет адреса";
        const QString first = "Добавлено записей: 6. Пропущено: 2." + skipped;
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
        QStringList shown = messages(dialogs);
        QCOMPARE(shown.size(), 4);
        shown[1] = withoutCategoriesNote(shown[1]);
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
        // Each link with the folders that lead to it and its own name.
        QCOMPARE(readLink("http://top/").Folders, QStringList());
        QCOMPARE(readLink("http://top/").ShortcutName, QStringLiteral("top"));
        QCOMPARE(readLink("http://news/").Folders, QStringList{"News"});
        QCOMPARE(readLink("http://news/").ShortcutName, QStringLiteral("a"));
        QCOMPARE(readLink("http://sport/").Folders, (QStringList{"News", "Sport"}));
        QCOMPARE(readLink("http://deep/").Folders,
                 (QStringList{"News", "Sport", "Deep", "Deeper"}));
        QCOMPARE(readLink(aLongest).Folders, QStringList{"long"});
        QCOMPARE(readLink("http://q/?a=\"1\"&b='2'").Folders, QStringList{"Q\"uote's"});
        for (const TImportedLink& l : readLinks) {
            QVERIFY(l.Category.isEmpty());
        }
        for (const char* url : {"http://top/", "http://news/", "http://sport/", "http://deep/",
                                "http://q/?a=\"1\"&b='2'"}) {
            QVERIFY(has(url));
        }
        QVERIFY(has(aLongest));
        QVERIFY(!has(aLongest + "b"));
        QCOMPARE(rows(), 6);
        QCOMPARE(ViewData(v).RecordCount(), 6);
        QCOMPARE(previews, 2);
        QVERIFY(cat->otherValue("SELECT SubjectURLID FROM SubjectURLs LIMIT 1")
                    .toString()
                    .startsWith('{'));
    }

    void declinedAndEmptyFavorites() {
        QDir().mkpath(home() + "/Favorites");
        TScriptedDialogs dialogs;
        TURLViewForm v(*module);
        answerPreview(dialogs);
        v.show();
        cat->addUrl("http://other-program/", QString(), QString());
        dialogs.answer(QMessageBox::No);
        ViewAction(v, "actImportFromFavorites")->trigger();
        QCOMPARE(ViewData(v).RecordCount(), 0);
        dialogs.answer(QMessageBox::Yes);
        ViewAction(v, "actImportFromFavorites")->trigger();
        QCOMPARE(ViewData(v).RecordCount(), 1);  // re-queried all the same
        QCOMPARE(dialogs.shownTexts().last(),
                 QStringLiteral("Добавлено записей: 0. Пропущено: 0."));
    }

    void noFavoritesFolderAsksForOne() {
        const QString chosen = env->path("chosen");
        writeFile(chosen + "/x.url", shortcut("http://chosen/"));
        TScriptedDialogs dialogs;
        TURLViewForm v(*module);
        answerPreview(dialogs);
        v.show();
        dialogs.answer(QMessageBox::Yes);
        dialogs.answerCancel();
        ViewAction(v, "actImportFromFavorites")->trigger();
        QCOMPARE(rows(), 0);
        dialogs.answer(QMessageBox::Yes);
        dialogs.answerInput(chosen);
        ViewAction(v, "actImportFromFavorites")->trigger();
        QVERIFY(has("http://chosen/"));
        QCOMPARE(readLink("http://chosen/").Folders, QStringList());
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
        answerPreview(dialogs);
        v.show();
        dialogs.answer(QMessageBox::Yes);
        ViewAction(v, "actImportFromFavorites")->trigger();
        QCOMPARE(rows(), 0);
        QCOMPARE(ViewData(v).RecordCount(), 0);
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
        answerPreview(dialogs);
        v.show();
        dialogs.answer(QMessageBox::Yes);
        QElapsedTimer t;
        t.start();
        ViewAction(v, "actImportFromFavorites")->trigger();
        QVERIFY2(t.elapsed() < 20000, "the walk took too long");
        QVERIFY(has("http://ok/"));
        QVERIFY(!has("http://huge/"));  // 64 KiB read: zeros
        // Root reads any file; anybody else skips the locked one.
        QCOMPARE(has("http://locked/"), ::geteuid() == 0);
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
        answerPreview(dialogs);
        v.show();
        dialogs.answerFiles({file});
        dialogs.answer(QMessageBox::Yes);
        ViewAction(v, "actImportBookmarkFile")->trigger();
        QCOMPARE(dialogs.unexpected(), 0);
        QCOMPARE(withoutCategoriesNote(dialogs.shownTexts().last()),
                 "Добавлено записей: 4. Пропущено: 1."
                 "\n\njavascript:" +
                     QString(69, 'x') + QChar(0x2026) + ": букмарклет (javascript:)");
        QCOMPARE(readLink("http://top/").Folders, QStringList());
        QCOMPARE(readLink("http://news/?a=1&b=\"2\"").Folders, QStringList{"Новости"});
        QCOMPARE(readLink("http://news/?a=1&b=\"2\"").Tags, (QStringList{"daily", "Новости"}));
        QCOMPARE(readLink("http://sport/").Folders, (QStringList{"Новости", "Sport"}));
        QCOMPARE(readLink("http://after/").Folders, QStringList());
        for (const char* url :
             {"http://top/", "http://news/?a=1&b=\"2\"", "http://sport/", "http://after/"}) {
            QVERIFY(has(url));
        }
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
        answerPreview(dialogs);
        v.show();
        dialogs.answer(QMessageBox::Yes);
        ViewAction(v, "actImportBrowserBookmarks")->trigger();
        QCOMPARE(dialogs.unexpected(), 0);
        QCOMPARE(withoutCategoriesNote(dialogs.shownTexts().last()),
                 QStringLiteral("Добавлено записей: 4. Пропущено: 0."));
        QCOMPARE(readLink("http://chrome-top/").Folders, QStringList());
        QCOMPARE(readLink("http://wiki/").Folders, QStringList{"Work"});
        QCOMPARE(readLink("http://fox/").Folders, QStringList());
        QCOMPARE(readLink("http://fox-deep/").Folders, (QStringList{"Linux", "Qt"}));
        QCOMPARE(readLink("http://fox-deep/").Tags, QStringList());
        QVERIFY(!has("http://tagged/"));
        QCOMPARE(readLink("http://tagged/").URL, QStringLiteral("absent"));
        QCOMPARE(cat->otherValue("SELECT Description FROM SubjectURLs WHERE URL = 'http://wiki/'")
                     .toString(),
                 QStringLiteral("Wiki"));
    }

    // The file import offers the browsers' own files and reads each with its reader; a
    // damaged Chromium file is an error that names it.
    void browserFilesChosenForImport() {
        const QString chromium = env->path("chosen/Bookmarks");
        writeFile(chromium,
                  "{\"roots\": {\"other\": {\"children\": [{\"type\": \"folder\", \"name\": "
                  "\"Tools\", \"children\": [{\"type\": \"url\", \"name\": \"T\", \"url\": "
                  "\"http://tools/\"}]}]}}}");
        const QString places = env->path("profile/places.sqlite");
        QDir().mkpath(env->path("profile"));
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(places).constData(), &db), SQLITE_OK);
        QCOMPARE(
            sqlite3_exec(db,
                         "CREATE TABLE moz_places(id INTEGER PRIMARY KEY, url TEXT);"
                         "CREATE TABLE moz_bookmarks(id INTEGER PRIMARY KEY, type INTEGER, fk "
                         "INTEGER, parent INTEGER, position INTEGER, title TEXT, guid TEXT);"
                         "INSERT INTO moz_places VALUES (1, 'http://fox/');"
                         "INSERT INTO moz_bookmarks VALUES (1, 2, NULL, 0, 0, '', 'root________'),"
                         " (2, 2, NULL, 1, 0, 'menu', 'menu________'), (3, 2, NULL, 1, 1, 'tags', "
                         "'tags________'), (10, 2, NULL, 2, 0, 'Fox folder', 'f1'),"
                         " (20, 1, 1, 10, 0, 'Fox', 'b1'), (30, 2, NULL, 3, 0, 'tagged', 't1'),"
                         " (31, 1, 1, 30, 0, NULL, 'tb1');",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
        sqlite3_close(db);
        TScriptedDialogs dialogs;
        TURLViewForm v(*module);
        answerPreview(dialogs);
        v.show();
        dialogs.answerFiles({chromium});
        dialogs.answer(QMessageBox::Yes);
        ViewAction(v, "actImportBookmarkFile")->trigger();
        const QString filter = dialogs.shown().first().filter;
        QVERIFY2(filter.contains("places.sqlite") && filter.contains("Bookmarks"),
                 qPrintable(filter));
        QCOMPARE(readLink("http://tools/").Folders, QStringList{"Tools"});
        dialogs.answerFiles({places});
        dialogs.answer(QMessageBox::Yes);
        ViewAction(v, "actImportBookmarkFile")->trigger();
        QCOMPARE(readLink("http://fox/").Folders, QStringList{"Fox folder"});
        QCOMPARE(readLink("http://fox/").Tags, QStringList{"tagged"});
        QVERIFY(has("http://tools/"));
        QVERIFY(has("http://fox/"));
        QCOMPARE(dialogs.unexpected(), 0);

        writeFile(chromium, "{\"roots\": {\"other\": {\"children\": [");
        dialogs.clear();
        dialogs.answerFiles({chromium});
        dialogs.answer(QMessageBox::Yes);
        ViewAction(v, "actImportBookmarkFile")->trigger();
        QVERIFY2(
            dialogs.shownTexts().last().startsWith("Файл закладок " + chromium + " повреждён: "),
            qPrintable(dialogs.shownTexts().last()));
        QCOMPARE(previews, 2);  // the damaged file reached no preview
        QCOMPARE(rows(), 2);
    }

    // One profile's damaged file is named among the skipped entries; the other profiles'
    // bookmarks are imported all the same.
    void damagedProfileLeavesTheOthers() {
        const QString damaged = home() + "/.config/chromium/Default/Bookmarks";
        writeFile(damaged, "{\"roots\": {\"other\": {\"children\": [{\"type\": \"url\"");
        writeFile(home() + "/.config/BraveSoftware/Brave-Browser/Profile 1/Bookmarks",
                  "{\"roots\": {\"other\": {\"children\": [{\"type\": \"url\", \"name\": "
                  "\"B\", \"url\": \"http://brave/\"}]}}}");
        TScriptedDialogs dialogs;
        TURLViewForm v(*module);
        answerPreview(dialogs);
        v.show();
        dialogs.answer(QMessageBox::Yes);
        ViewAction(v, "actImportBrowserBookmarks")->trigger();
        const QStringList lines = dialogs.shownTexts().last().split('\n');
        QCOMPARE(withoutCategoriesNote(lines.first()),
                 QStringLiteral("Добавлено записей: 1. Пропущено: 1."));
        QVERIFY2(lines.last().startsWith("Файл закладок " + damaged + " повреждён: "),
                 qPrintable(lines.last()));
        QVERIFY(has("http://brave/"));
    }

    // The writer never cuts categories: a text longer than the catalogue's Category field is
    // skipped whole, with its address and why.
    void categoriesLongerThanTheFieldAreSkipped() {
        TDataSet columns;
        columns.SetConnection(&module->ADOConnection);
        columns.SetCommandText("SELECT Category FROM SubjectURLs WHERE 1 = 0");
        columns.Open();
        const int size = columns.FieldByName("Category").Size;
        QVERIFY(size > 0);
        const QString fits = "Новости; Спорт; " + QString(size - 16, 'x');
        QCOMPARE(fits.size(), size);
        TLinkImporter importer(module->ADOConnection);
        importer.Add({"http://fits/", fits, {}, {}, false, {}});
        importer.Add({"http://longer/", fits + "y", {}, {}, false, {}});
        importer.Finish();
        QCOMPARE(importer.Added, 1);
        QCOMPARE(importer.Skipped, 1);
        QCOMPARE(importer.SkippedNames,
                 QStringList{QString("http://longer/: категории длиннее %1 символов").arg(size)});
        QCOMPARE(categoryOf("http://fits/"), fits);
        QVERIFY(!has("http://longer/"));
    }

    // Names that are not UTF-8 are read through their bytes; a Windows folder name reads
    // as Windows-1251.
    void namesThatAreNotUtf8() {
        const QByteArray fav = QFile::encodeName(home() + "/Favorites");
        const QByteArray news = fav + "/\xcd\xee\xe2\xee\xf1\xf2\xe8";  // "Новости" in 1251
        QVERIFY(QDir().mkpath(QFile::decodeName(fav)));
        QVERIFY(::mkdir(news.constData(), 0700) == 0);
        QVERIFY(::mkdir(QByteArray(news + "/\xff\xfe").constData(), 0700) == 0);
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
        answerPreview(dialogs);
        v.show();
        dialogs.answer(QMessageBox::Yes);
        ViewAction(v, "actImportFromFavorites")->trigger();
        QVERIFY2(dialogs.shownTexts().last().startsWith("Добавлено записей: 6. Пропущено: 0."),
                 qPrintable(dialogs.shownTexts().last()));
        QCOMPARE(readLink("http://raw0/").Folders, QStringList());
        QCOMPARE(readLink("http://raw0/").ShortcutName, QStringLiteral("йtй"));
        QCOMPARE(readLink("http://raw2/").Folders, QStringList{"Новости"});
        QCOMPARE(readLink("http://raw4/").Folders, (QStringList{"Новости", "яю"}));
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
        QVERIFY(has("http://level2000/"));

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
        answerPreview(dialogs);
        v.show();
        dialogs.answer(QMessageBox::Yes);
        ViewAction(v, "actImportFromFavorites")->trigger();
        QStringList lines = dialogs.shownTexts().last().split('\n');
        QCOMPARE(withoutCategoriesNote(lines.first()),
                 QStringLiteral("Добавлено записей: 2. Пропущено: 4."));
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
        QVERIFY(!has("http://foreign/"));
        QCOMPARE(rows(), 2);  // News once, whichever way it was reached; inside once
    }

    // Hostile bookmark files read in time linear in their size.
    void hostileBookmarkFiles_data() {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<int>("links");
        QTest::addColumn<QStringList>("firstFolders");
        QTest::addColumn<QStringList>("firstTags");
        QTest::addColumn<int>("lastNames");
        QTest::newRow("50 links of 20,000 tags")
            << ManyTagsBookmarkHtml(50, 20000) << 50 << QStringList() << QStringList{"tag0", "tag1"}
            << 20000;
        QTest::newRow("3,000 nested folders")
            << DeepFoldersBookmarkHtml(3000) << 3000 << QStringList{"F0"} << QStringList() << 3000;
    }
    void hostileBookmarkFiles() {
        QFETCH(QByteArray, html);
        QFETCH(int, links);
        QFETCH(QStringList, firstFolders);
        QFETCH(QStringList, firstTags);
        QFETCH(int, lastNames);
        const QString text = QString::fromUtf8(html);
        qint64 reports = 0;
        QElapsedTimer t;
        t.start();
        const QVector<TImportedLink> read =
            ReadBookmarkHtml(text, [&reports](qint64, qint64) { ++reports; });
        QVERIFY2(t.elapsed() < 15000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(read.size(), links);
        QCOMPARE(read.first().Folders, firstFolders);
        QCOMPARE(read.first().Tags.mid(0, 2), firstTags);
        QVERIFY(reports >= 1);
        // Nothing cut: the deepest link has every folder, each link every tag.
        QCOMPARE(read.last().Folders.size() + read.last().Tags.size(), lastNames);
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
        answerPreview(dialogs);
        v.SetImportProgressDelayMs(0);
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
            ViewAction(v, "actImportFromFavorites")->trigger();
        } else {
            dialogs.answerFiles({file});
            dialogs.answer(QMessageBox::Yes);
            ViewAction(v, "actImportBookmarkFile")->trigger();
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
        answerPreview(dialogs);
        v.show();
        ViewAction(v, "actImportBrowserBookmarks")->trigger();
        QCOMPARE(
            dialogs.shownTexts(),
            QStringList{
                "Закладки браузеров Firefox, Chromium, Chrome, Brave, Vivaldi и Edge не найдены."});
    }
};

QTEST_MAIN(TestImport)
#include "tst_import.moc"
