#include "common/CsvText.h"
#include "common/WebAddress.h"
#include "platform/Errors.h"
#include "support/CatalogueFixture.h"
#include "support/TestEnvironment.h"
#include "support/TestHelpers.h"
#include "urls/Categories.h"
#include "urls/ImportPreview.h"
#include "urls/ImportPreviewDlg.h"
#include "urls/LinkExport.h"
#include "urls/LinkImport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDirIterator>
#include <QLabel>
#include <QRandomGenerator>
#include <QSet>
#include <QUrl>
#include <QtTest>

#include <sys/stat.h>

namespace {

TImportedLink entryOf(const QString& url, const QStringList& folders = {}) {
    TImportedLink l;
    l.URL = url;
    l.Folders = folders;
    return l;
}

// An address of the pool as the model compares it: scheme and "www." aside, host in lower
// case, no slash at the end of the path, the part after "#" only when anchors count.
QString modelKey(const QString& url, bool fragmentIsSame) {
    QString s = url.toLower();
    if (s.startsWith("http://")) {
        s = s.mid(7);
    } else if (s.startsWith("https://")) {
        s = s.mid(8);
    } else {
        return "other " + url;
    }
    if (s.startsWith("www.")) {
        s = s.mid(4);
    }
    const int hash = s.indexOf('#');
    const QString fragment = hash >= 0 ? s.mid(hash) : QString();
    if (hash >= 0) {
        s.truncate(hash);
    }
    if (s.endsWith('/')) {
        s.chop(1);
    }
    return fragmentIsSame ? s : s + fragment;
}

QSet<QString> foldedNames(const QString& text) {
    QSet<QString> out;
    for (const QString& n : SplitCategoryNames(text)) {
        out.insert(n.toCaseFolded());
    }
    return out;
}

QStringList filesUnder(const QString& folder) {
    QStringList out;
    QDirIterator it(folder,
                    QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        out << QDir(folder).relativeFilePath(it.next());
    }
    out.sort();
    return out;
}

QByteArray contentOf(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

}  // namespace

class TestImportBreak final : public QObject, TCatalogueFixture {
    Q_OBJECT

    struct TRecord {
        QString url;
        QString category;
    };
    QVector<TRecord> records() {
        const QString order = " FROM SubjectURLs ORDER BY SubjectURLID";
        const QStringList urls = cat->otherColumn("SELECT URL" + order);
        const QStringList categories = cat->otherColumn("SELECT Category" + order);
        QVector<TRecord> out;
        for (int i = 0; i < urls.size(); ++i) {
            out.append({urls.at(i), categories.value(i)});
        }
        return out;
    }
    void fill(TImportPreview& preview, const QVector<TImportedLink>& links,
              const TImportOptions& options) {
        for (const TImportedLink& l : links) {
            preview.Append(l);
        }
        preview.LoadExisting(module->ADOConnection);
        preview.Classify(options);
    }

private Q_SLOTS:
    void initTestCase() {
        LINKARIUM_REQUIRE_ENGINE();
        InitTestApplication();
    }
    // A catalogue made before categories took 4,000 characters: the field's limit is
    // reached with few names.
    void init() {
        openCatalogue();
        useOlderCategorySize();
    }
    void cleanup() { closeCatalogue(); }

    // Random imports against a model of their outcome: every entry is counted once, only
    // ticked entries reach the catalogue, a ticked entry's categories end up in its record
    // unless they would pass the field, no name is cut, no existing category is lost, and a
    // merge keeps an https address.
    void randomImportsAgainstAModel_data() {
        QTest::addColumn<quint32>("seed");
        for (const quint32 seed : {1u, 2u, 3u, 5u, 8u, 13u, 21u, 34u, 55u, 89u}) {
            QTest::newRow(qPrintable(QString("seed %1").arg(seed))) << seed;
        }
        QTest::newRow("random") << QRandomGenerator::global()->generate();
    }
    void randomImportsAgainstAModel() {
        QFETCH(quint32, seed);
        QRandomGenerator random(seed);
        const auto pick = [&random](const QStringList& from) {
            return from.at(random.bounded(static_cast<int>(from.size())));
        };
        const QString full(250, 'X');
        const QVector<TRecord> before = {{"http://h1.example/p", "Старое"},
                                         {"https://www.h2.example/", "Было; Ещё"},
                                         {"http://h3.example", ""},
                                         {"http://h4.example/p", full}};
        for (const TRecord& r : before) {
            cat->addUrl(r.url, "есть", r.category);
        }
        const QStringList folderNames = {"F1", "F2", "Папка", QString(120, 'M'), QString(250, 'L')};
        QSet<QString> knownNames = {"старое", "было", "ещё", full.toCaseFolded(), "импорт"};
        for (const QString& n : folderNames) {
            knownNames.insert(n.toCaseFolded());
        }
        const QStringList schemes = {"http://", "https://", "HTTP://", "https://www."};
        const QStringList paths = {"", "/", "/p", "/p/", "/p#a", "/p#b"};
        const QStringList notWeb = {"file:///tmp/f%1", "smb://s%1/x", "data:text/plain,%1",
                                    "/home/u/f%1"};
        QVector<TImportedLink> links;
        QVector<bool> web;
        QSet<int> bookmarklet;
        const int count = 20 + random.bounded(40);
        for (int i = 0; i < count; ++i) {
            const int kind = random.bounded(20);
            TImportedLink l;
            bool isWeb = false;
            if (kind < 12) {
                l.URL =
                    pick(schemes) + QString("h%1.example").arg(1 + random.bounded(5)) + pick(paths);
                isWeb = true;
            } else if (kind < 14) {
                l.URL = pick(notWeb).arg(random.bounded(3));
            } else if (kind == 14) {
                l.URL = QString("javascript:f(%1)").arg(random.bounded(3));
                bookmarklet.insert(i);
            } else if (kind == 15) {
                l.URL = pick({"", "   ", "no address here"});
            } else if (kind == 16) {
                l.URL = "http://big.example/" + QString(3000, 'b');
            } else if (kind == 17) {
                l.URL = QString("http://h%1.example/").arg(1 + random.bounded(5));
                l.Damage = "bytes not UTF-8";
            } else if (kind == 18) {
                l.SkipReason = "separator";
            } else {
                l.URL = QString("https://h%1.example/p").arg(1 + random.bounded(5));
                isWeb = true;
            }
            for (int f = random.bounded(3); f > 0; --f) {
                l.Folders << pick(folderNames);
            }
            links << l;
            web << isWeb;
        }
        TImportPreview preview;
        TImportOptions options;
        fill(preview, links, options);
        QHash<int, bool> own;
        for (int step = 0; step < 40; ++step) {
            if (random.bounded(3) > 0) {
                const int entry = random.bounded(static_cast<int>(links.size()));
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
        }
        const QString where = QString("seed %1").arg(seed);
        const QVector<TPreviewEntry>& entries = preview.Entries();
        int chosen = 0;
        int verdicts = 0;
        for (int v = 0; v < kImportVerdicts; ++v) {
            verdicts += preview.Count(static_cast<TImportVerdict>(v));
        }
        QCOMPARE(verdicts, int(entries.size()));
        for (int i = 0; i < entries.size(); ++i) {
            const TPreviewEntry& e = entries.at(i);
            const QString at = where + QString(", entry %1 %2").arg(i).arg(e.url.left(60));
            chosen += e.chosen ? 1 : 0;
            QVERIFY2(TImportPreview::Choosable(e) || !e.chosen, qPrintable(at));
            QVERIFY2(e.verdict == TImportVerdict::New || !e.reason.isEmpty(), qPrintable(at));
            if (TImportPreview::Choosable(e) && own.contains(i)) {
                QVERIFY2(e.chosen == own.value(i), qPrintable(at));
            }
            // Doubtful entries are written only when the user ticked them.
            const bool webNow = web.at(i) || (bookmarklet.contains(i) && options.allowJavaScript);
            if ((!webNow || !links.at(i).Damage.isEmpty()) && e.chosen) {
                QVERIFY2(own.value(i), qPrintable(at));
            }
            // The categories as the model makes them: each folder (or the path) once, and
            // the extra category.
            QStringList names;
            const auto add = [&names](const QString& n) {
                if (!n.isEmpty() && !HasCategoryName(names, n)) {
                    names << n;
                }
            };
            if (options.folders == TFolderCategories::FolderPath) {
                add(links.at(i).Folders.join('/'));
            } else {
                for (const QString& f : links.at(i).Folders) {
                    add(f);
                }
            }
            add(options.extraCategory);
            for (const QString& n : names) {
                knownNames.insert(n.toCaseFolded());
            }
            if (TImportPreview::Choosable(e)) {
                QCOMPARE(SplitCategoryNames(e.category), names);
            }
            if (names.join("; ").size() > 255) {
                QVERIFY2(!TImportPreview::Choosable(e), qPrintable(at));
            }
        }
        const bool merge = options.duplicates == TDuplicateAction::Merge;
        const TImportResult result = preview.Write(module->ADOConnection);
        QCOMPARE(result.added + result.merged + result.skipped, int(entries.size()));
        QCOMPARE(int(result.skippedNames.size()),
                 std::min(result.skipped, int(TImportResult::MaxSkippedNames)));
        for (const QString& name : result.skippedNames) {
            QVERIFY2(!name.trimmed().isEmpty() && !name.endsWith(": "), qPrintable(where));
        }
        const QVector<TRecord> after = records();
        QCOMPARE(int(after.size()), int(before.size()) + result.added);
        QSet<QString> allowed;
        for (const TRecord& r : before) {
            allowed.insert(r.url);
        }
        for (const TPreviewEntry& e : entries) {
            if (e.chosen) {
                allowed.insert(e.url);
            }
        }
        QHash<QString, QVector<int>> byKey;  // model key, records after
        for (int r = 0; r < after.size(); ++r) {
            QVERIFY2(allowed.contains(after.at(r).url),
                     qPrintable(where + ": not ticked, yet written: " + after.at(r).url));
            QVERIFY2(after.at(r).category.size() <= 255, qPrintable(where));
            for (const QString& n : foldedNames(after.at(r).category)) {
                QVERIFY2(knownNames.contains(n), qPrintable(where + ": a name was cut: " + n));
            }
            byKey[modelKey(after.at(r).url, options.fragmentIsSame)].append(r);
        }
        // No record loses a category it had.
        for (const TRecord& r : before) {
            const QVector<int> now = byKey.value(modelKey(r.url, options.fragmentIsSame));
            QVERIFY2(!now.isEmpty(), qPrintable(where + ": record gone: " + r.url));
            bool kept = false;
            for (const int k : now) {
                kept = kept || foldedNames(after.at(k).category).contains(foldedNames(r.category));
            }
            QVERIFY2(kept, qPrintable(where + ": categories lost: " + r.url));
        }
        if (!merge) {
            QCOMPARE(result.added, chosen);
            QCOMPARE(result.merged, 0);
            return;
        }
        // A merge: each ticked entry's names are in a record of its address, unless they
        // would not fit beside the record's; a key with a ticked https copy keeps https.
        int refused = 0;
        QSet<QString> httpsKeys;
        for (const TRecord& r : before) {
            if (r.url.startsWith("https:")) {
                httpsKeys.insert(modelKey(r.url, options.fragmentIsSame));
            }
        }
        for (int i = 0; i < entries.size(); ++i) {
            const TPreviewEntry& e = entries.at(i);
            if (!e.chosen) {
                continue;
            }
            const QString key = modelKey(e.url, options.fragmentIsSame);
            const QVector<int> now = byKey.value(key);
            QVERIFY2(!now.isEmpty(), qPrintable(where + ": ticked, nowhere: " + e.url));
            const QSet<QString> mine = foldedNames(e.category);
            bool inRecord = false;
            bool wouldPass = true;
            for (const int k : now) {
                const QSet<QString> theirs = foldedNames(after.at(k).category);
                inRecord = inRecord || theirs.contains(mine);
                QStringList joined = SplitCategoryNames(after.at(k).category);
                for (const QString& n : SplitCategoryNames(e.category)) {
                    if (!HasCategoryName(joined, n)) {
                        joined << n;
                    }
                }
                wouldPass = wouldPass && joined.join("; ").size() > 255;
            }
            if (!inRecord) {
                QVERIFY2(wouldPass, qPrintable(QString("%1: entry %2 %3 (%4) refused though its "
                                                       "categories fit")
                                                   .arg(where)
                                                   .arg(i)
                                                   .arg(e.url, e.category.left(40))));
                ++refused;
            } else if (e.url.startsWith("https:", Qt::CaseInsensitive)) {
                httpsKeys.insert(key);
            }
        }
        QVERIFY2(result.added + result.merged == chosen - refused,
                 qPrintable(QString("%1: %2 written of %3 ticked, %4 refused: %5")
                                .arg(where)
                                .arg(result.added + result.merged)
                                .arg(chosen)
                                .arg(refused)
                                .arg(result.skippedNames.join(" | ").left(600))));
        for (const QString& key : httpsKeys) {
            for (const int k : byKey.value(key)) {
                QVERIFY2(after.at(k).url.startsWith("https:", Qt::CaseInsensitive),
                         qPrintable(where + ": https lost: " + after.at(k).url));
            }
        }
    }

    // A merge keeps the https address even when the http copy is written without "http://",
    // or when the user unticked the copy the preview would have kept.
    void mergeKeepsHttps_data() {
        QTest::addColumn<QString>("existing");
        QTest::addColumn<QStringList>("urls");
        QTest::addColumn<int>("untick");
        QTest::newRow("schemeless in the import")
            << QString() << QStringList{"x.example/", "https://x.example/"} << -1;
        QTest::newRow("schemeless in the catalogue")
            << "x.example/" << QStringList{"https://x.example/"} << -1;
        QTest::newRow("kept copy unticked")
            << QString()
            << QStringList{"http://x.example/", "https://x.example/", "https://x.example"} << 1;
    }
    void mergeKeepsHttps() {
        QFETCH(QString, existing);
        QFETCH(QStringList, urls);
        QFETCH(int, untick);
        if (!existing.isEmpty()) {
            cat->addUrl(existing, "есть", "Было");
        }
        QVector<TImportedLink> links;
        for (const QString& u : urls) {
            links << entryOf(u, {"Новое"});
        }
        TImportOptions options;
        options.duplicates = TDuplicateAction::Merge;
        TImportPreview preview;
        fill(preview, links, options);
        if (untick >= 0) {
            preview.SetChosen(untick, false);
        }
        preview.Write(module->ADOConnection);
        const QStringList stored = cat->otherColumn("SELECT URL FROM SubjectURLs");
        QCOMPARE(stored.size(), 1);
        QVERIFY2(stored.first().startsWith("https://"), qPrintable(stored.first()));
    }

    // Entries merging into one catalogue record are weighed each on its own: one whose
    // categories would pass the field does not take another that fits down with it.
    void mergeRefusesOnlyWhatDoesNotFit() {
        cat->addUrl("http://m.example/", "есть", "Было");
        TImportOptions options;
        options.duplicates = TDuplicateAction::Merge;
        TImportPreview preview;
        fill(preview,
             {entryOf("http://m.example/", {"Маленькая"}),
              entryOf("https://m.example", {QString(250, 'L')})},
             options);
        const TImportResult result = preview.Write(module->ADOConnection);
        QCOMPARE(result.merged, 1);
        QCOMPARE(result.skipped, 1);
        QCOMPARE(cat->otherValue("SELECT Category FROM SubjectURLs").toString(),
                 QString("Было; Маленькая"));
    }

    // Only web and mail addresses are opened, each as what it is.
    void addressesToOpen_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("url");  // empty: refused
        QTest::newRow("mail to digits") << "mailto:1234@example.org"
                                        << "mailto:1234@example.org";
        QTest::newRow("phone") << "tel:5551234" << QString();
        QTest::newRow("text message") << "sms:0123456" << QString();
        QTest::newRow("parent folder, Windows") << "..\\Desktop\\run.bat" << QString();
        QTest::newRow("this folder, Windows") << ".\\run.bat" << QString();
        QTest::newRow("host and port") << "example.org:8080/x"
                                       << "http://example.org:8080/x";
        QTest::newRow("leading dash") << "-x.example"
                                      << "http://-x.example";
    }
    void addressesToOpen() {
        QFETCH(QString, text);
        QFETCH(QString, url);
        QCOMPARE(AddressToOpen(text).url, url);
    }

    // Whatever the text, what is opened has one of the four schemes, never begins with "-",
    // and a refusal says why.
    void addressToOpenProperty() {
        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        const QStringList pieces = {
            "-",      ":",      "/",     "//",  "\\",     "~",    ".",          "..", "a",
            "Z9",     "http",   "https", "ftp", "mailto", "file", "javascript", " ",  "\t",
            "\u200b", "\u00a0", "8080",  "@",   "#",      "?",    "%2F",        "C:"};
        for (int n = 0; n < 20000; ++n) {
            QString text;
            for (int k = random.bounded(8); k >= 0; --k) {
                text += pieces.at(random.bounded(static_cast<int>(pieces.size())));
            }
            const TAddressToOpen open = AddressToOpen(text);
            const QString at = QString("seed %1: [%2] -> [%3]").arg(seed).arg(text, open.url);
            QVERIFY2(open.url.isEmpty() != open.refusal.isEmpty(), qPrintable(at));
            if (open.url.isEmpty()) {
                continue;
            }
            QVERIFY2(!open.url.startsWith('-'), qPrintable(at));
            const QString scheme = open.url.section(':', 0, 0).toLower();
            QVERIFY2(OpenableSchemes().contains(scheme), qPrintable(at));
            const QString t = text.trimmed();
            QVERIFY2(!t.startsWith('/') && !t.startsWith('\\') && !t.startsWith('~'),
                     qPrintable(at));
        }
    }

    // A folder is one name of the path: two different trees never give one category.
    void folderPathKeepsTheTree_data() {
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QString>("names");  // the categories, or what they must not be
        QTest::addColumn<bool>("equal");
        QTest::newRow("a folder called Links inside another")
            << QStringList{"Bookmarks Toolbar", "Work", "Links"} << "Work/Links" << true;
        QTest::newRow("a folder called Избранное inside another")
            << QStringList{"Other Bookmarks", "Книги", "Избранное"} << "Книги/Избранное" << true;
        QTest::newRow("a slash inside a folder's name")
            << QStringList{"Music", "AC/DC"} << "Music/AC/DC" << false;
    }
    void folderPathKeepsTheTree() {
        QFETCH(QStringList, folders);
        QFETCH(QString, names);
        QFETCH(bool, equal);
        TImportOptions options;
        options.folders = TFolderCategories::FolderPath;
        TImportPreview preview;
        fill(preview, {entryOf("http://t.example/", folders)}, options);
        const QString got = preview.Entries().at(0).category;
        if (equal) {
            QCOMPARE(got, names);
        } else {
            QVERIFY2(got != names, qPrintable(got));
        }
    }

    // Any text a field may hold comes back exactly from our own CSV, guarded or not, with
    // or without a byte order mark.
    void csvRoundTripAnyText_data() {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("longest");
        QTest::newRow("short fields") << QRandomGenerator::global()->generate() << 40;
        QTest::newRow("a title the catalogue could not hold") << 7u << 400;
    }
    void csvRoundTripAnyText() {
        QFETCH(quint32, seed);
        QFETCH(int, longest);
        QRandomGenerator random(seed);
        const QStringList pieces = {"=",  "+",          "-",    "@",      "'",      "\t",
                                    "\r", "\n",         "\"",   ",",      " ",      "a",
                                    "Я",  ";",          "\r\n", "\u00a0", "\ufeff", "\x01",
                                    "|",  "\U0001F600", "ab",   "=1+1",   "''"};
        QVector<TExportRecord> rows;
        for (int n = 0; n < 400; ++n) {
            QString fields[3];
            for (QString& f : fields) {
                const int length = random.bounded(longest);
                while (f.size() < length) {
                    f += pieces.at(random.bounded(static_cast<int>(pieces.size())));
                }
            }
            rows.append({fields[0], fields[1], fields[2], random.bounded(2) == 1});
        }
        for (const bool bom : {false, true}) {
            TExportOptions options;
            options.format = TExportFormat::Csv;
            options.bom = bom;
            const QString file = env->path(QString("any%1.csv").arg(bom));
            ExportLinks(TVectorExportSource(rows), file, options);
            const QVector<TImportedLink> back = ReadCsvLinks(QString::fromUtf8(contentOf(file)));
            QCOMPARE(back.size(), rows.size());
            for (int i = 0; i < rows.size(); ++i) {
                const QString at = QString("seed %1, row %2").arg(seed).arg(i);
                QVERIFY2(back.at(i).URL == rows.at(i).URL, qPrintable(at + " URL"));
                QVERIFY2(back.at(i).Description == rows.at(i).Description,
                         qPrintable(at + QString(" description of %1 characters")
                                             .arg(rows.at(i).Description.size())));
                QVERIFY2(back.at(i).Category == rows.at(i).Category, qPrintable(at + " category"));
                QVERIFY2(back.at(i).Visited == rows.at(i).Visited, qPrintable(at + " visited"));
                QVERIFY2(CsvFormulaUnguarded(CsvFormulaGuarded(rows.at(i).Description)) ==
                             rows.at(i).Description,
                         qPrintable(at));
            }
        }
    }

    // Random category paths: every shortcut lands inside the target, each record is one
    // file, and files already there keep their bytes.
    void folderExportStaysInside() {
        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        const QStringList parts = {"..",
                                   ".",
                                   " .. ",
                                   "a",
                                   "b",
                                   "",
                                   " ",
                                   "\\",
                                   "..\\..",
                                   "~",
                                   "-rf",
                                   "A",
                                   QString(230, 'p'),
                                   "x.url",
                                   "\u0001",
                                   "%2e%2e"};
        const QString target = env->path("out");
        QVERIFY(QDir().mkpath(target + "/a"));
        {
            QFile old(target + "/a/old.url");
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("mine");
        }
        QVector<TExportRecord> rows;
        for (int n = 0; n < 200; ++n) {
            QString category;
            for (int k = random.bounded(4); k >= 0; --k) {
                category += parts.at(random.bounded(static_cast<int>(parts.size())));
                category += random.bounded(4) == 0 ? "; " : "/";
            }
            rows.append({QString("http://e%1.example/").arg(n),
                         random.bounded(3) == 0 ? QString("old") : QString("t%1").arg(n % 7),
                         category, false});
        }
        TExportOptions options;
        options.format = TExportFormat::UrlFolder;
        ExportLinks(TVectorExportSource(rows), target, options);
        QCOMPARE(contentOf(target + "/a/old.url"), QByteArray("mine"));
        const QString inside = QFileInfo(target).canonicalFilePath() + "/";
        int shortcuts = 0;
        QDirIterator it(env->path(""),
                        QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = QFileInfo(it.next()).canonicalFilePath();
            if (path.endsWith(".url") && QFileInfo(path).isFile()) {
                QVERIFY2(path.startsWith(inside),
                         qPrintable(QString("seed %1: %2").arg(seed).arg(path)));
                ++shortcuts;
            }
        }
        QCOMPARE(shortcuts, int(rows.size()) + 1);
    }

    // A shortcut export that fails, however it fails, leaves none of the folders it made.
    void folderExportFailureLeavesNoFolders_data() {
        QTest::addColumn<int>("folderBytes");
        QTest::addColumn<int>("title");
        // The folders can be made, the shortcut's path is too long to open.
        QTest::newRow("shortcut cannot be opened") << 4050 << 200;
        // The path gets too long while the folders are made.
        QTest::newRow("folders cannot all be made") << 6000 << 5;
    }
    void folderExportFailureLeavesNoFolders() {
        QFETCH(int, folderBytes);
        QFETCH(int, title);
        const QString target = env->path("deep");
        QVERIFY(QDir().mkpath(target + "/Было"));
        QStringList path = {"Было"};
        int bytes = int(QFile::encodeName(target + "/Было").size());
        for (int i = 0; bytes + 2 < folderBytes; ++i) {
            const int part = std::min(200, folderBytes - bytes - 1);
            path << QString(part, QChar('a' + i % 26));
            bytes += part + 1;
        }
        const QVector<TExportRecord> rows = {
            {"http://ok.example/", "first", "", false},
            {"http://deep.example/", QString(title, 't'), path.join('/'), false}};
        TExportOptions options;
        options.format = TExportFormat::UrlFolder;
        QVERIFY_THROWS_EXCEPTION(EError, ExportLinks(TVectorExportSource(rows), target, options));
        QCOMPARE(filesUnder(target), (QStringList{"first.url", "Было"}));
    }

    // At the window's own size every option shows its whole text, in both languages'
    // lengths of the list's entries.
    void optionsFitTheWindow() {
        TImportPreview preview;
        TImportedLink damaged = entryOf("http://d.example/");
        damaged.Damage = "bytes";
        QVector<TImportedLink> links = {entryOf("http://a.example/p#x", {"Папка"}),
                                        entryOf("file:///etc/passwd"),
                                        entryOf("javascript:alert(1)"),
                                        entryOf("http://" + QString(300, 'w') + ".example/"),
                                        damaged,
                                        entryOf("")};
        // Counts of five digits.
        for (int i = 0; i < 10000; ++i) {
            links << entryOf(QString("http://n%1.example/").arg(i));
        }
        fill(preview, links, TImportOptions());
        TImportPreviewForm form(preview, TImportOptions());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        for (const char* name :
             {"FoldersComboBox", "FragmentCheckBox", "ShortcutNameCheckBox",
              "AllowJavaScriptCheckBox", "DuplicatesComboBox", "ExtraCategoryCheckBox"}) {
            const QWidget* w = form.findChild<QWidget*>(name);
            QVERIFY2(w, name);
            QVERIFY2(w->isVisible(), name);
            QVERIFY2(w->width() >= w->sizeHint().width(),
                     qPrintable(QString("%1: %2 of %3 pixels")
                                    .arg(name)
                                    .arg(w->width())
                                    .arg(w->sizeHint().width())));
            QVERIFY2(form.rect().contains(QRect(w->mapTo(&form, QPoint(0, 0)), w->size())), name);
        }
        const auto* counts = form.findChild<QLabel*>("CountsLabel");
        QVERIFY2(counts->width() >= counts->sizeHint().width(), qPrintable(counts->text()));
        // Narrow enough for a screen 1024 pixels wide, with the frame.
        QVERIFY2(form.minimumSizeHint().width() <= 1000,
                 qPrintable(QString::number(form.minimumSizeHint().width())));
    }

    // The verdict column says the verdict once.
    void verdictSaidOnce() {
        TImportPreview preview;
        fill(preview, {entryOf("http://a.example/"), entryOf("file:///etc/passwd")},
             TImportOptions());
        TImportPreviewForm form(preview, TImportOptions());
        const QString verdict = form.Model().index(1, 3).data().toString();
        QVERIFY2(
            verdict.startsWith("не веб-адрес: ") && !verdict.mid(14).startsWith("не веб-адрес"),
            qPrintable(verdict));
    }

    // A file export to something that is no plain file refuses and leaves it as it was.
    void exportTargetThatIsNoFile_data() {
        QTest::addColumn<int>("format");
        QTest::newRow("bookmark file") << int(TExportFormat::BookmarkHtml);
        QTest::newRow("CSV") << int(TExportFormat::Csv);
    }
    void exportTargetThatIsNoFile() {
        QFETCH(int, format);
        const QString fifo = env->path("pipe");
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QVector<TExportRecord> rows = {{"http://a.example/", "a", "x", false}};
        TExportOptions options;
        options.format = static_cast<TExportFormat>(format);
        try {
            ExportLinks(TVectorExportSource(rows), fifo, options);
        } catch (const EError&) {
        }
        struct stat st {};
        QCOMPARE(stat(QFile::encodeName(fifo).constData(), &st), 0);
        QVERIFY2(S_ISFIFO(st.st_mode), "the pipe was replaced by a file");
        // A folder export into a plain file refuses without touching it.
        const QString file = env->path("plain");
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("keep");
        }
        options.format = TExportFormat::UrlFolder;
        QVERIFY_THROWS_EXCEPTION(EError, ExportLinks(TVectorExportSource(rows), file, options));
        QCOMPARE(contentOf(file), QByteArray("keep"));
    }
};

QTEST_MAIN(TestImportBreak)
#include "tst_importbreak.moc"
