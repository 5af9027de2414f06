#include "common/CsvText.h"
#include "platform/Errors.h"
#include "platform/db/DataSet.h"
#include "support/CatalogueFixture.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnvironment.h"
#include "support/TestHelpers.h"
#include "support/ViewParts.h"
#include "urls/ExportDlg.h"
#include "urls/ImportPreview.h"
#include "urls/ImportPreviewDlg.h"
#include "urls/LinkExport.h"
#include "urls/LinkImport.h"
#include "urls/URLViewFrm.h"

#include <QAction>
#include <QBuffer>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QtTest>

namespace {

// Records with everything that could go wrong in a file: Cyrillic, quotes, markup
// characters, commas, a long description, several categories, none.
QVector<TExportRecord> hardRecords() {
    return {
        {"https://пример.рф/путь?a=1&b=\"2\"", "Новости & <погода> \"сегодня\"", "Новости; Погода",
         true},
        {"http://example.org/a,b", "comma, inside", "Работа", false},
        {"http://example.org/long", QString(255, QChar(0x0436)), "Работа; Долгое чтение", true},
        {"http://example.org/none", QString(), QString(), false},
        {"mailto:someone@example.org", "Письмо 'в кавычках'", "Q\"uote's", false},
    };
}

QVector<TExportRecord> recordsOf(TConnection& connection) {
    TDataSet ds;
    ds.SetConnection(&connection);
    ds.SetCommandText("SELECT URL, Description, Category, Visited FROM SubjectURLs");
    ds.Open();
    ds.SetSort("URL ASC");
    const TDataSetExportSource source(ds);
    QVector<TExportRecord> out;
    for (int i = 0; i < source.Count(); ++i) {
        out << source.At(i);
    }
    return out;
}

QString show(const QVector<TExportRecord>& records) {
    QStringList lines;
    for (const TExportRecord& r : records) {
        lines << r.URL + " | " + r.Description + " | " + r.Category + " | " +
                     (r.Visited ? "1" : "0");
    }
    return lines.join('\n');
}

QVector<TExportRecord> sortedByUrl(QVector<TExportRecord> records) {
    std::sort(records.begin(), records.end(), [](const TExportRecord& a, const TExportRecord& b) {
        return a.URL.compare(b.URL, Qt::CaseInsensitive) < 0;
    });
    return records;
}

}  // namespace

class TestImportExport final : public QObject, TCatalogueFixture {
    Q_OBJECT

    TImportPreview previewOf(const QVector<TImportedLink>& links,
                             const TImportOptions& options = TImportOptions()) {
        TImportPreview preview;
        for (const TImportedLink& l : links) {
            preview.Append(l);
        }
        preview.LoadExisting(module->ADOConnection);
        preview.Classify(options);
        return preview;
    }
    QVector<TImportedLink> readHtml(const QByteArray& html) {
        return ReadBookmarkHtml(QString::fromUtf8(html));
    }
    int rows() { return cat->otherValue("SELECT count(*) FROM SubjectURLs").toInt(); }

private Q_SLOTS:
    void initTestCase() {
        LINKARIUM_REQUIRE_ENGINE();
        InitTestApplication();
    }
    void init() { openCatalogue(); }
    void cleanup() { closeCatalogue(); }

    // Each verdict from a small file, with its reason; nothing is written by looking.
    void verdicts() {
        cat->addUrl("https://example.org/a", "есть", "Старое");
        const QByteArray html =
            "<DL><p>\n"
            "<DT><A HREF=\"http://www.EXAMPLE.org/a/\">same after the rules</A>\n"
            "<DT><A HREF=\"http://new.example/\">new</A>\n"
            "<DD>note with <A HREF=\"http://thumb.example/t.png\">a link</A> in it\n"
            "<DT><A HREF=\"https://new.example\">again</A>\n"
            "<HR>\n"
            "<DT><A HREF=\"place:sort=8&amp;maxResults=10\">Recent</A>\n"
            "<DT><A HREF=\"javascript:alert('hi there')\">bookmarklet</A>\n"
            "<DT><A HREF=\"   \">blank</A>\n"
            "<DT><A HREF=\"hello world\">words</A>\n"
            "<DT><A HREF=\"http://x/" +
            QByteArray(2100, 'x') + "\">too long</A>\n</DL>\n";
        TImportPreview preview = previewOf(readHtml(html));
        QStringList got;
        for (const TPreviewEntry& e : preview.Entries()) {
            got << ImportVerdictText(e.verdict) + ": " + e.reason;
        }
        // Of an http and an https copy, the https one is kept.
        QCOMPARE(
            got,
            (QStringList{"дубликат: уже есть в каталоге", "повтор в импорте: повторяет запись 4",
                         "пропущена: ссылка в заметке закладки",
                         "новая: ", "пропущена: разделитель", "пропущена: запрос браузера (place:)",
                         "пропущена: букмарклет (javascript:)", "ошибка: нет адреса",
                         "ошибка: не похоже на адрес", "ошибка: адрес длиннее 2048"}));
        const QVector<int> counts = {1, 1, 1, 3, 4, 0, 0};
        for (int v = 0; v < kImportVerdicts; ++v) {
            QCOMPARE(preview.Count(static_cast<TImportVerdict>(v)), counts[v]);
        }
        QCOMPARE(rows(), 1);
        // Bookmarklets when allowed, with their blanks.
        TImportOptions allow;
        allow.allowJavaScript = true;
        preview.Classify(allow);
        QCOMPARE(preview.Entries().at(6).verdict, TImportVerdict::New);
        QVERIFY(preview.Entries().at(6).chosen);
        QVERIFY(!preview.Entries().at(0).chosen);  // duplicates are skipped unless told
    }

    // The browsers' root folders are no categories; a category for all is added.
    void ignoredFoldersAndExtraCategory() {
        const QByteArray html =
            "<DL><p><DT><H3>Bookmarks Toolbar</H3><DL><p>"
            "<DT><H3>Работа</H3><DL><p>"
            "<DT><A HREF=\"http://w/\" TAGS=\"links,Идеи\">w</A></DL><p>"
            "</DL><p><DT><H3>ПАНЕЛЬ ЗАКЛАДОК</H3><DL><p>"
            "<DT><A HREF=\"http://p/\">p</A></DL><p></DL>";
        TImportOptions options;
        options.extraCategory = TImportOptions::DatedCategory(QDate(2026, 12, 9));
        TImportPreview preview = previewOf(readHtml(html), options);
        // A tag is the user's own even when it shares a root folder's name.
        QCOMPARE(preview.Entries().at(0).category,
                 QStringLiteral("Работа; links; Идеи; Импорт 2026-12-09"));
        QCOMPARE(preview.Entries().at(1).category, QStringLiteral("Импорт 2026-12-09"));
        options.ignoredFolders = {"работа"};
        options.extraCategory.clear();
        preview.Classify(options);
        // Only leading folders are roots: "Работа" under a kept root stays.
        QCOMPARE(preview.Entries().at(0).category,
                 QStringLiteral("Bookmarks Toolbar; Работа; links; Идеи"));
        // Remembered between imports, but not the category of the day.
        options.duplicates = TDuplicateAction::Merge;
        options.extraCategory = "x";
        options.Save();
        const TImportOptions loaded = TImportOptions::Load();
        QCOMPARE(loaded.ignoredFolders, QStringList{"работа"});
        QCOMPARE(loaded.duplicates, TDuplicateAction::Merge);
        QCOMPARE(loaded.extraCategory, QString());
    }

    // What each choice for duplicates writes, on both engines.
    void duplicateActions_data() {
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("added");
        QTest::addColumn<int>("merged");
        QTest::addColumn<QString>("existing");
        QTest::addColumn<QString>("fresh");
        QTest::newRow("skip") << int(TDuplicateAction::Skip) << 1 << 0 << "Старое"
                              << "Новое";
        QTest::newRow("import anyway") << int(TDuplicateAction::Import) << 3 << 0 << "Старое"
                                       << "Новое";
        QTest::newRow("merge") << int(TDuplicateAction::Merge) << 1 << 2 << "Старое; Новое"
                               << "Новое; Ещё";
    }
    void duplicateActions() {
        QFETCH(int, action);
        QFETCH(int, added);
        QFETCH(int, merged);
        QFETCH(QString, existing);
        QFETCH(QString, fresh);
        cat->addUrl("https://example.org/a", "есть", "Старое");
        QVector<TImportedLink> links = {
            {"http://example.org/a/", "Новое", "тот же", {}, true, {}},
            {"http://fresh.example/", "Новое", "свежая", {}, false, {}},
            {"HTTP://FRESH.example", "Ещё; новое", "повтор", {}, false, {}},
        };
        TImportOptions options;
        options.duplicates = static_cast<TDuplicateAction>(action);
        const TImportResult result = previewOf(links, options).Write(module->ADOConnection);
        QCOMPARE(result.added, added);
        QCOMPARE(result.merged, merged);
        QCOMPARE(result.skipped, 3 - added - merged);
        QCOMPARE(rows(), 1 + added);
        QCOMPARE(cat->otherValue("SELECT Category FROM SubjectURLs WHERE URL = "
                                 "'https://example.org/a'")
                     .toString(),
                 existing);
        QCOMPARE(cat->otherValue("SELECT Visited FROM SubjectURLs WHERE URL = "
                                 "'https://example.org/a'")
                     .toBool(),
                 action == int(TDuplicateAction::Merge));
        QCOMPARE(cat->otherValue("SELECT Category FROM SubjectURLs WHERE URL = "
                                 "'http://fresh.example/'")
                     .toString(),
                 fresh);
    }

    // Stopped while writing, or refused by the database: nothing stays.
    void writesAllOrNothing() {
        QVector<TImportedLink> links;
        for (int i = 0; i < 300; ++i) {
            links.append({QString("http://n%1.example/").arg(i), {}, {}, {}, false, {}});
        }
        const TImportPreview preview = previewOf(links);
        QVERIFY_THROWS_EXCEPTION(EAbort, preview.Write(module->ADOConnection, [](int done, int) {
            if (done >= 128) {
                throw EAbort();
            }
        }));
        QCOMPARE(rows(), 0);
        cat->refuseWrites("BEFORE INSERT", "(SELECT count(*) FROM SubjectURLs) >= 250", "full");
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, preview.Write(module->ADOConnection));
        QCOMPARE(rows(), 0);
    }

    // The list as a report: CSV that Python's csv module reads back field for field.
    void previewWindowAndReport() {
        const QByteArray html =
            "<DL><p><DT><A HREF=\"http://a/\">a, \"b\"\nc</A>"
            "<DT><A HREF=\"place:x\">q</A><DT><A HREF=\"http://a\">r</A></DL>";
        TImportPreview preview = previewOf(readHtml(html));
        TImportPreviewForm form(preview, TImportOptions());
        QCOMPARE(form.findChild<QLabel*>("CountsLabel")->text(), form.CountsText());
        QVERIFY(form.CountsText().startsWith("Новых: 1   Дубликатов: 0   Повторов в импорте: 1"));
        QCOMPARE(form.Model().rowCount(), 3);
        auto* verdict = form.findChild<QComboBox*>("VerdictComboBox");
        verdict->setCurrentIndex(verdict->findData(int(TImportVerdict::Skipped)));
        QCOMPARE(form.Model().rowCount(), 1);
        QCOMPARE(form.Model().index(0, 3).data().toString(),
                 QStringLiteral("пропущена: запрос браузера (place:)"));
        QCOMPARE(form.Model().flags(form.Model().index(0, 0)) & Qt::ItemIsUserCheckable,
                 Qt::ItemFlags());
        // A name typed in the ignore list changes the categories at once.
        auto* duplicates = form.findChild<QComboBox*>("DuplicatesComboBox");
        duplicates->setCurrentIndex(int(TDuplicateAction::Import));
        QVERIFY(preview.Entries().at(2).chosen);
        const QString file = env->path("report.csv");
        form.SaveReport(file);
        const QString read = python(
            "import csv,sys\n"
            "rows=list(csv.reader(open(sys.argv[1],newline='',encoding='utf-8')))\n"
            "print(len(rows)); print(rows[1][3].replace('\\n','|')); print(rows[2][1])",
            file);
        QCOMPARE(read, QStringLiteral("4\na, \"b\" c\nзапрос браузера (place:)"));
        form.SaveReport(env->path("report.txt"));
        QFile text(env->path("report.txt"));
        QVERIFY(text.open(QIODevice::ReadOnly));
        QCOMPARE(text.readAll().count('\n'), 3);  // one line an entry
    }

    // Export, then import into an empty catalogue: the same records.
    void roundTrip_data() {
        QTest::addColumn<int>("format");
        QTest::newRow("bookmark file") << int(TExportFormat::BookmarkHtml);
        QTest::newRow("csv") << int(TExportFormat::Csv);
        QTest::newRow("shortcut folder") << int(TExportFormat::UrlFolder);
    }
    void roundTrip() {
        QFETCH(int, format);
        const auto f = static_cast<TExportFormat>(format);
        const QVector<TExportRecord> records = hardRecords();
        TExportOptions options;
        options.format = f;
        options.addDate = 1796774400;
        const QString target = env->path(f == TExportFormat::UrlFolder ? "links"
                                         : f == TExportFormat::Csv     ? "links.csv"
                                                                       : "links.html");
        QCOMPARE(ExportLinks(TVectorExportSource(records), target, options), int(records.size()));
        QVector<TImportedLink> links;
        if (f == TExportFormat::UrlFolder) {
            TImportPreview walked;
            TImportCollector collector(walked);
            TFavoritesWalk(collector).Walk(target);
            walked.Classify(TImportOptions());
            for (const TPreviewEntry& e : walked.Entries()) {
                links << e.link;
            }
        } else {
            QFile file(target);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(file.readAll());
            links = f == TExportFormat::Csv ? ReadCsvLinks(text) : ReadBookmarkHtml(text);
        }
        const TImportResult result = previewOf(links).Write(module->ADOConnection);
        QCOMPARE(result.added, int(records.size()));
        QVector<TExportRecord> expected = sortedByUrl(records);
        for (TExportRecord& r : expected) {
            // A folder of shortcuts keeps no mark, and a shortcut's name comes back as the
            // description; a bookmark file keeps no mark.
            if (f == TExportFormat::UrlFolder) {
                const QString base = r.Description.simplified().isEmpty()
                                         ? r.URL.section("//", -1).section('/', 0, 0)
                                         : r.Description.simplified();
                r.Description = SafeFileName(base);
            }
            if (f != TExportFormat::Csv) {
                r.Visited = false;
            }
        }
        QCOMPARE(show(recordsOf(module->ADOConnection)), show(expected));
    }

    // The bookmark file written from a store's bytes is the one written from its texts,
    // whatever the texts hold: blanks to simplify, long titles, entities, blanks and
    // characters beyond the plain path (no-break space, emoji), names with commas.
    void bookmarkBytesAsTexts() {
        const QStringList descriptions = {"  двойные  пробелы\tи табуляция  ",
                                          QString(150, QChar(0x0436)),
                                          "нет\u00A0разрыва",
                                          "смайлик \U0001F600 " + QString(120, 'x'),
                                          "<&\">",
                                          "",
                                          "x"};
        for (int i = 0; i < descriptions.size(); ++i) {
            cat->addUrl(QString("http://e%1.example/?a=1&b=\"%1\"").arg(i), descriptions[i],
                        i % 2 ? "Одна; Вторая, с запятой ; ;Третья" : QString());
        }
        TDataSet ds;
        ds.SetConnection(&module->ADOConnection);
        ds.SetCommandText("SELECT URL, Description, Category, Visited FROM SubjectURLs");
        ds.Open();
        const TDataSetExportSource stored(ds);
        QVector<TExportRecord> texts;
        for (int i = 0; i < stored.Count(); ++i) {
            texts << stored.At(i);
        }
        TExportBytes bytes;
        QVERIFY(stored.BytesAt(0, bytes));
        for (const bool each : {false, true}) {
            TExportOptions options;
            options.eachCategory = each;
            QBuffer a;
            QBuffer b;
            QVERIFY(a.open(QIODevice::WriteOnly) && b.open(QIODevice::WriteOnly));
            WriteBookmarkHtml(a, stored, options);
            WriteBookmarkHtml(b, TVectorExportSource(texts), options);
            QCOMPARE(QString::fromUtf8(a.data()), QString::fromUtf8(b.data()));
        }
    }

    // What other programs read in our files: Python's HTML parser finds every address and
    // title, its csv module every field.
    void filesOtherProgramsRead() {
        const QVector<TExportRecord> records = hardRecords();
        TExportOptions options;
        options.eachCategory = true;
        const QString html = env->path("b.html");
        ExportLinks(TVectorExportSource(records), html, options);
        const QString hrefs = python(
            "import sys\nfrom html.parser import HTMLParser\n"
            "class P(HTMLParser):\n"
            "  def __init__(s): super().__init__(); s.n=0; s.h=[]\n"
            "  def handle_starttag(s,t,a):\n"
            "    if t=='a': s.h.append(dict(a)['href'])\n"
            "p=P(); p.feed(open(sys.argv[1],encoding='utf-8').read())\n"
            "print(len(p.h)); print(p.h[-1]); print(sorted(set(p.h))[0])",
            html);
        // In the folder of each category: 2 + 1 + 2 + 1 + 1 links.
        QCOMPARE(hrefs, QStringLiteral("7\nhttp://example.org/long\nhttp://example.org/a,b"));
        options.format = TExportFormat::Csv;
        options.bom = true;
        const QString csv = env->path("b.csv");
        ExportLinks(TVectorExportSource(records), csv, options);
        const QString fields = python(
            "import csv,sys\n"
            "rows=list(csv.reader(open(sys.argv[1],newline='',encoding='utf-8-sig')))\n"
            "print(rows[0]); print(rows[1][0]); print(rows[1][1]); print(rows[5][2])",
            csv);
        QCOMPARE(fields, QStringLiteral("['URL', 'Description', 'Category', 'Visited']\n"
                                        "https://пример.рф/путь?a=1&b=\"2\"\n"
                                        "Новости & <погода> \"сегодня\"\nQ\"uote's"));
    }

    // Shortcut names made safe and unique; files already there are never overwritten; a
    // line break in an address cannot add a key to the file.
    void shortcutFolder() {
        const QString target = env->path("out");
        QDir().mkpath(target + "/A");
        QFile existing(target + "/A/same.url");
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("mine");
        existing.close();
        const QVector<TExportRecord> records = {
            {"http://1/", "same", "A", false},
            {"http://2/", "same", "A", false},
            {"http://3/\r\nIconFile=evil", "a/b\\c", "../up", false},
            {"http://4/", QString(), QString(), false},
        };
        TExportOptions options;
        options.format = TExportFormat::UrlFolder;
        ExportLinks(TVectorExportSource(records), target, options);
        QFile mine(target + "/A/same.url");
        QVERIFY(mine.open(QIODevice::ReadOnly));
        QCOMPARE(mine.readAll(), QByteArray("mine"));
        QVERIFY(QFile::exists(target + "/A/same (2).url"));
        QVERIFY(QFile::exists(target + "/A/same (3).url"));
        // "../up" is the folder "up" inside "_": a part ".." never leads out of the target.
        QFile evil(target + "/_/up/a_b_c.url");
        QVERIFY(evil.open(QIODevice::ReadOnly));
        QCOMPARE(evil.readAll(),
                 QByteArray("[InternetShortcut]\r\nURL=http://3/%0D%0AIconFile=evil\r\n"));
        QVERIFY(QFile::exists(target + "/4.url"));
        // A target that cannot be written is named in the error.
        options.format = TExportFormat::BookmarkHtml;
        try {
            ExportLinks(TVectorExportSource(records), target + "/A/same.url/x.html", options);
            QFAIL("no error");
        } catch (const EError& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains("same.url/x.html"), e.what());
        }
    }

    // "Экспорт..." from the view: the records in view, with its filter and order.
    void exportFromTheView() {
        cat->addUrl("http://b.example/", "B", "Одна");
        cat->addUrl("http://a.example/", "A", "Другая");
        cat->addUrl("http://c.example/", "C", "Одна");
        TScriptedDialogs dialogs;
        TURLViewForm v(*module);
        v.show();
        v.SetFilterText("(Category = \"Одна\")");
        ViewAction(v, "actApplyFilter")->trigger();
        ViewData(v).SetSort("URL DESC");
        const QString file = env->path("view.csv");
        dialogs.answerDialog([&file](QDialog& dialog) {
            auto& form = static_cast<TExportForm&>(dialog);
            form.SetFormat(TExportFormat::Csv);
            form.SetTarget(file);
            form.OkButtonClick();
            return dialog.result();
        });
        ViewAction(v, "actExport")->trigger();
        QCOMPARE(dialogs.shownTexts().last(), "Записей экспортировано: 2 в " + file + ".");
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("URL,Description,Category,Visited\r\n"
                                         "http://c.example/,C,Одна,0\r\n"
                                         "http://b.example/,B,Одна,0\r\n"));
    }
};

QTEST_MAIN(TestImportExport)
#include "tst_importexport.moc"
