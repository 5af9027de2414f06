#include "common/CsvText.h"
#include "common/WebAddress.h"
#include "platform/Errors.h"
#include "support/CatalogueFixture.h"
#include "support/TestEnvironment.h"
#include "support/TestHelpers.h"
#include "urls/ImportPreview.h"
#include "urls/ImportPreviewDlg.h"
#include "urls/LinkExport.h"
#include "urls/LinkImport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QtTest>

#include <sys/resource.h>
#include <csignal>

namespace {

TImportedLink link(const QString& url, const QStringList& folders = {},
                   const QString& description = {}) {
    TImportedLink l;
    l.URL = url;
    l.Folders = folders;
    l.Description = description;
    return l;
}

// The size a file may grow to, lowered for a while: writes beyond it fail as on a full disk.
class TFileSizeLimit final {
public:
    explicit TFileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~TFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = SIG_DFL;
};

QStringList filesUnder(const QString& folder) {
    QStringList out;
    QDirIterator it(folder, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        out << QDir(folder).relativeFilePath(it.next());
    }
    out.sort();
    return out;
}

}  // namespace

class TestImportChoices final : public QObject, TCatalogueFixture {
    Q_OBJECT

    void fill(TImportPreview& preview, const QVector<TImportedLink>& links,
              const TImportOptions& options = TImportOptions()) {
        for (const TImportedLink& l : links) {
            preview.Append(l);
        }
        preview.LoadExisting(module->ADOConnection);
        preview.Classify(options);
    }
    int rows() { return cat->otherValue("SELECT count(*) FROM SubjectURLs").toInt(); }
    QString categoryOf(const QString& url) {
        return cat->otherValue("SELECT Category FROM SubjectURLs WHERE URL = '" + url + "'")
            .toString();
    }

private Q_SLOTS:
    void initTestCase() {
        LINKARIUM_REQUIRE_ENGINE();
        InitTestApplication();
    }
    void init() { openCatalogue(); }
    void cleanup() { closeCatalogue(); }

    // Random ticks and option changes against a model of the user's choices: a tick the
    // user set stays through every new classification while the entry can be chosen, and
    // exactly the chosen entries are written.
    void ticksSurviveEveryChange() {
        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        cat->addUrl("http://pool3.example/", "есть", "Старое");
        const QStringList pool = {"http://pool%1.example/",   "https://pool%1.example/",
                                  "http://pool%1.example/#a", "http://pool%1.example/#b",
                                  "file:///tmp/pool%1.sh",    "javascript:pool(%1)",
                                  "not an address %1",        "POOL%1.example",
                                  "data:text/html,%1",        "mailto:pool%1@example.org"};
        QVector<TImportedLink> links;
        for (int i = 0; i < 80; ++i) {
            links << link(pool.at(random.bounded(pool.size())).arg(random.bounded(6)),
                          {QString("Папка %1").arg(random.bounded(4))});
        }
        TImportPreview preview;
        fill(preview, links);
        QHash<int, bool> own;  // the model: what the user said of an entry
        TImportOptions options;
        for (int step = 0; step < 300; ++step) {
            const int what = random.bounded(6);
            if (what < 3) {
                const int entry = random.bounded(links.size());
                const bool on = random.bounded(2) == 1;
                if (TImportPreview::Choosable(preview.Entries().at(entry))) {
                    own[entry] = on;
                }
                preview.SetChosen(entry, on);
            } else {
                options.duplicates = static_cast<TDuplicateAction>(random.bounded(3));
                options.fragmentIsSame = random.bounded(2) == 1;
                options.allowJavaScript = random.bounded(2) == 1;
                options.folders = static_cast<TFolderCategories>(random.bounded(2));
                options.extraCategory = random.bounded(2) == 1 ? QString("Импорт") : QString();
                preview.Classify(options);
            }
            for (int i = 0; i < links.size(); ++i) {
                const TPreviewEntry& e = preview.Entries().at(i);
                if (!TImportPreview::Choosable(e)) {
                    QVERIFY2(!e.chosen,
                             qPrintable(
                                 QString("seed %1, step %2, entry %3").arg(seed).arg(step).arg(i)));
                } else if (own.contains(i)) {
                    QVERIFY2(e.chosen == own.value(i), qPrintable(QString("seed %1, step %2, "
                                                                          "entry %3")
                                                                      .arg(seed)
                                                                      .arg(step)
                                                                      .arg(i)));
                }
            }
        }
        options.duplicates = TDuplicateAction::Import;
        preview.Classify(options);
        QSet<QString> expected = {"http://pool3.example/"};
        int chosen = 0;
        for (const TPreviewEntry& e : preview.Entries()) {
            if (e.chosen) {
                expected.insert(e.url);
                ++chosen;
            }
        }
        const TImportResult result = preview.Write(module->ADOConnection);
        QCOMPARE(result.added, chosen);
        QCOMPARE(result.added + result.merged + result.skipped, int(links.size()));
        const QStringList stored = cat->otherColumn("SELECT URL FROM SubjectURLs");
        QCOMPARE(QSet<QString>(stored.begin(), stored.end()), expected);
    }

    // Through the window as a person uses it: a check cleared in the list stays cleared when
    // the options change, and the new options are there.
    void windowKeepsTicks() {
        TImportPreview preview;
        fill(preview, {link("http://a.example/p#x"), link("http://a.example/p#y"),
                       link("file:///etc/passwd")});
        TImportPreviewForm form(preview, TImportOptions());
        TImportPreviewModel& model = form.Model();
        QVERIFY(model.setData(model.index(1, 0), Qt::Unchecked, Qt::CheckStateRole));
        form.findChild<QCheckBox*>("FragmentCheckBox")->setChecked(true);
        QCOMPARE(preview.Entries().at(1).verdict, TImportVerdict::InImport);
        QCOMPARE(model.index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        form.findChild<QComboBox*>("DuplicatesComboBox")
            ->setCurrentIndex(int(TDuplicateAction::Import));
        form.findChild<QComboBox*>("FoldersComboBox")->setCurrentIndex(1);
        QCOMPARE(model.index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QCOMPARE(model.index(2, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QVERIFY(form.CountsText().endsWith("Не веб-адресов: 1"));
        QCOMPARE(form.Options().folders, TFolderCategories::FolderPath);
        QVERIFY(form.Options().fragmentIsSame);
    }

    // Merging into an entry the user unticked: the first chosen copy is written in its place,
    // and the summary counts what was written.
    void mergeIntoAnUntickedEntry() {
        TImportPreview preview;
        TImportOptions options;
        options.duplicates = TDuplicateAction::Merge;
        fill(preview,
             {link("http://a.example/", QStringList{"Первая"}),
              link("http://a.example", QStringList{"Вторая"}),
              link("http://A.example/", QStringList{"Третья"})},
             options);
        QCOMPARE(preview.Entries().at(1).verdict, TImportVerdict::InImport);
        preview.SetChosen(0, false);
        const TImportResult result = preview.Write(module->ADOConnection);
        QCOMPARE(result.added, 1);
        QCOMPARE(result.merged, 1);
        QCOMPARE(result.skipped, 1);
        QCOMPARE(result.skippedNames, QStringList{"http://a.example/: не отмечена"});
        QCOMPARE(rows(), 1);
        QCOMPARE(categoryOf("http://a.example"), QString("Вторая; Третья"));
    }

    // Every entry not written says why; a repeat names the line of the file it repeats.
    void reasonsAndLines() {
        const QString csv =
            "URL,Description,Category\r\n"
            "http://one.example/,\"two\r\nlines\",A\r\n"
            "http://two.example/,x,B\r\n"
            "http://one.example,again,C\r\n";
        TImportPreview preview;
        fill(preview, ReadCsvLinks(csv));
        QCOMPARE(preview.Entries().at(2).reason, QString("повторяет строку 2"));
        QCOMPARE(preview.Entries().at(1).link.Source, QString("строка 4"));
        preview.SetChosen(1, false);
        const TImportResult result = preview.Write(module->ADOConnection);
        QCOMPARE(result.skippedNames,
                 (QStringList{"строка 4: не отмечена", "строка 5: повторяет строку 2"}));
    }

    // Anchors into one page are links of their own unless the user says otherwise; an https
    // copy is kept over an http one.
    void duplicatesRules_data() {
        QTest::addColumn<QStringList>("urls");
        QTest::addColumn<bool>("fragmentIsSame");
        QTest::addColumn<QStringList>("verdicts");
        QTest::newRow("anchors differ")
            << QStringList{"http://x.example/p#a", "http://x.example/p#b", "http://x.example/p"}
            << false << QStringList{"новая", "новая", "новая"};
        QTest::newRow("anchors alike")
            << QStringList{"http://x.example/p#a", "http://x.example/p#b", "http://x.example/p"}
            << true << QStringList{"новая", "повтор в импорте", "повтор в импорте"};
        QTest::newRow("https kept")
            << QStringList{"http://y.example/", "https://y.example/", "http://y.example"} << false
            << QStringList{"повтор в импорте", "новая", "повтор в импорте"};
    }
    void duplicatesRules() {
        QFETCH(QStringList, urls);
        QFETCH(bool, fragmentIsSame);
        QFETCH(QStringList, verdicts);
        QVector<TImportedLink> links;
        for (const QString& u : urls) {
            links << link(u);
        }
        TImportOptions options;
        options.fragmentIsSame = fragmentIsSame;
        TImportPreview preview;
        fill(preview, links, options);
        QStringList got;
        for (const TPreviewEntry& e : preview.Entries()) {
            got << ImportVerdictText(e.verdict);
        }
        QCOMPARE(got, verdicts);
        QCOMPARE(TImportOptions().fragmentIsSame, false);
    }

    // Addresses that are no web or mail address are shown and written only when ticked.
    void notWebAddresses_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("web");
        QTest::newRow("file") << "file:///home/u/evil.desktop" << false;
        QTest::newRow("data") << "data:text/html,<script>x</script>" << false;
        QTest::newRow("share") << "smb://server/share" << false;
        QTest::newRow("local path") << "//tmp/script.sh" << false;
        QTest::newRow("absolute path") << "/etc/passwd" << false;
        QTest::newRow("drive") << "C:\\Windows\\x.exe" << false;
        QTest::newRow("magnet") << "magnet:?xt=urn:btih:abc" << false;
        QTest::newRow("https") << "https://example.org/" << true;
        QTest::newRow("ftp") << "ftp://example.org/f" << true;
        QTest::newRow("mail") << "mailto:b@example.org" << true;
        QTest::newRow("no scheme") << "example.org/path" << true;
        QTest::newRow("host and port") << "localhost:8080/x" << true;
    }
    void notWebAddresses() {
        QFETCH(QString, url);
        QFETCH(bool, web);
        QCOMPARE(IsWebAddress(url), web);
        TImportPreview preview;
        fill(preview, {link(url)});
        const TPreviewEntry& e = preview.Entries().at(0);
        QCOMPARE(e.verdict, web ? TImportVerdict::New : TImportVerdict::NotWeb);
        QCOMPARE(e.chosen, web);
        if (!web) {
            QVERIFY2(!e.reason.isEmpty(), qPrintable(e.reason));
            QCOMPARE(preview.Write(module->ADOConnection).added, 0);
            preview.SetChosen(0, true);
            QCOMPARE(preview.Write(module->ADOConnection).added, 1);
        }
    }

    // A shortcut's name is the description when the file gives none, unless switched off;
    // folders and tags become categories as the user chooses, one folder one name.
    void namesFromFoldersAndShortcuts() {
        TImportedLink shortcut = link("http://s.example/");
        shortcut.ShortcutName = "Имя  ярлыка";
        TImportedLink described = link("http://d.example/", {}, "Своё");
        described.ShortcutName = "Имя";
        TImportedLink deep = link("http://deep.example/",
                                  {"Bookmarks Toolbar", "Debian", "deep; deeper", "x\u00a0\ty"});
        deep.Tags = {"тег", "x y"};
        TImportPreview preview;
        fill(preview, {shortcut, described, deep});
        QCOMPARE(preview.Entries().at(0).description, QString("Имя ярлыка"));
        QCOMPARE(preview.Entries().at(1).description, QString("Своё"));
        QCOMPARE(preview.Entries().at(2).category, QString("Debian; deep, deeper; x y; тег"));
        TImportOptions options;
        options.shortcutNameAsDescription = false;
        options.folders = TFolderCategories::FolderPath;
        preview.Classify(options);
        QCOMPARE(preview.Entries().at(0).description, QString());
        QCOMPARE(preview.Entries().at(2).category, QString("Debian/deep, deeper/x y; тег; x y"));
        options.Save();
        const TImportOptions loaded = TImportOptions::Load();
        QCOMPARE(loaded.folders, TFolderCategories::FolderPath);
        QCOMPARE(loaded.shortcutNameAsDescription, false);
        QCOMPARE(loaded.fragmentIsSame, false);
    }

    // A folder path comes back from our own export as nested folders, and the tree survives
    // the round trip.
    void folderTreeRoundTrip() {
        const QVector<TExportRecord> records = {
            {"http://a.example/", "a", "Debian/deep/deeper", false},
            {"http://b.example/", "b", "Debian/deep", false},
            {"http://c.example/", "c", "Other", false},
        };
        TExportOptions options;
        const QString file = env->path("tree.html");
        ExportLinks(TVectorExportSource(records), file, options);
        const QString nesting = python(
            "from html.parser import HTMLParser\nimport sys\n"
            "class P(HTMLParser):\n"
            "  depth=0; path=[]; h3=False; out=[]\n"
            "  def handle_starttag(s,t,a):\n"
            "    if t=='dl': s.depth+=1\n"
            "    if t=='h3': s.h3=True\n"
            "    if t=='a': s.out.append('/'.join(s.path[:s.depth-1])+' '+dict(a)['href'])\n"
            "  def handle_endtag(s,t):\n"
            "    if t=='dl':\n"
            "      s.depth-=1; s.path=s.path[:max(s.depth-1,0)]\n"
            "    if t=='h3': s.h3=False\n"
            "  def handle_data(s,d):\n"
            "    if s.h3: s.path=s.path[:s.depth-1]+[d]\n"
            "p=P(); p.feed(open(sys.argv[1],encoding='utf-8').read()); print('|'.join(p.out))",
            file);
        QCOMPARE(nesting, QString("Debian/deep http://b.example/|Debian/deep/deeper "
                                  "http://a.example/|Other http://c.example/"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        TImportPreview preview;
        TImportOptions path;
        path.folders = TFolderCategories::FolderPath;
        fill(preview, ReadBookmarkHtml(QString::fromUtf8(f.readAll())), path);
        QStringList got;
        for (const TPreviewEntry& e : preview.Entries()) {
            got << e.url + " " + e.category;
        }
        QCOMPARE(got,
                 (QStringList{"http://b.example/ Debian/deep",
                              "http://a.example/ Debian/deep/deeper", "http://c.example/ Other"}));
    }

    // A link in a hundred folders keeps every name; one beyond the field is refused with
    // its reason, and a merge that would pass the field leaves the record as it was.
    void categoriesAreNeverCut() {
        QStringList hundred;
        for (int i = 0; i < 100; ++i) {
            hundred << QString("Папка номер %1").arg(i, 3, 10, QChar('0'));
        }
        QStringList tooMany;
        for (int i = 0; i < 300; ++i) {
            tooMany << QString("Папка номер %1").arg(i, 3, 10, QChar('0'));
        }
        TImportPreview preview;
        fill(preview,
             {link("http://many.example/", hundred), link("http://all.example/", tooMany)});
        QCOMPARE(preview.Entries().at(1).verdict, TImportVerdict::Invalid);
        QVERIFY2(preview.Entries().at(1).reason.startsWith("категории длиннее"),
                 qPrintable(preview.Entries().at(1).reason));
        const TImportResult result = preview.Write(module->ADOConnection);
        QCOMPARE(result.added, 1);
        QCOMPARE(categoryOf("http://many.example/"), hundred.join("; "));
        // A merge into the record that no longer fits is refused, the record unchanged.
        QStringList more;
        for (int i = 100; i < 250; ++i) {
            more << QString("Папка номер %1").arg(i, 3, 10, QChar('0'));
        }
        TImportPreview merge;
        TImportOptions options;
        options.duplicates = TDuplicateAction::Merge;
        fill(merge, {link("http://many.example", more)}, options);
        const TImportResult merged = merge.Write(module->ADOConnection);
        QCOMPARE(merged.merged, 0);
        QCOMPARE(merged.skipped, 1);
        QVERIFY2(merged.skippedNames.value(0).contains("категории длиннее"),
                 qPrintable(merged.skippedNames.join('|')));
        QCOMPARE(categoryOf("http://many.example/"), hundred.join("; "));
    }

    // Fields a spreadsheet would run are guarded with an apostrophe, and our own import
    // gives back every field exactly.
    void csvFormulasGuarded_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("guarded");
        QTest::newRow("formula") << "=HYPERLINK(\"http://evil\")"
                                 << "'=HYPERLINK(\"http://evil\")";
        QTest::newRow("plus") << "+1"
                              << "'+1";
        QTest::newRow("minus") << "-2+3"
                               << "'-2+3";
        QTest::newRow("at") << "@SUM(A1)"
                            << "'@SUM(A1)";
        QTest::newRow("tab") << "\t=1"
                             << "'\t=1";
        QTest::newRow("apostrophe then formula") << "'=x"
                                                 << "''=x";
        QTest::newRow("apostrophes") << "''@y"
                                     << "'''@y";
        QTest::newRow("plain apostrophe") << "'plain"
                                          << "'plain";
        QTest::newRow("plain") << "Новости"
                               << "Новости";
        QTest::newRow("inner sign") << "a=b"
                                    << "a=b";
    }
    void csvFormulasGuarded() {
        QFETCH(QString, text);
        QFETCH(QString, guarded);
        QCOMPARE(CsvFormulaGuarded(text), guarded);
        QCOMPARE(CsvFormulaUnguarded(guarded), text);
        const QVector<TExportRecord> records = {{"http://x.example/", text, text, true}};
        TExportOptions options;
        options.format = TExportFormat::Csv;
        const QString file = env->path("guarded.csv");
        ExportLinks(TVectorExportSource(records), file, options);
        const QString read = python(
            "import csv,sys\n"
            "rows=list(csv.reader(open(sys.argv[1],newline='',encoding='utf-8')))\n"
            "print(repr(rows[1][1]))",
            file);
        QCOMPARE(read, python("import sys; print(repr(sys.argv[1]))", guarded));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QVector<TImportedLink> back = ReadCsvLinks(QString::fromUtf8(f.readAll()));
        QCOMPARE(back.value(0).Description, text);
        QCOMPARE(back.value(0).Category, text);
    }

    // A shortcut folder export stopped by a full disk leaves no half-written shortcut and no
    // folder it made, and keeps the folders that were there.
    void folderExportOnAFullDisk() {
        const QString target = env->path("shortcuts");
        QVERIFY(QDir().mkpath(target + "/Было"));
        const QVector<TExportRecord> records = {
            {"http://ok.example/", "first", "", false},
            {"http://x.example/" + QString(300, 'x'), "second", "Было/Новая/Глубже", false},
        };
        TExportOptions options;
        options.format = TExportFormat::UrlFolder;
        {
            // Room for the first shortcut, not for the second.
            const TFileSizeLimit limit(60);
            QVERIFY_THROWS_EXCEPTION(EError,
                                     ExportLinks(TVectorExportSource(records), target, options));
        }
        QCOMPARE(filesUnder(target), (QStringList{"first.url", "Было"}));
    }
};

QTEST_MAIN(TestImportChoices)
#include "tst_importchoices.moc"
