#include "platform/db/DataSet.h"
#include "support/TestCatalogue.h"

#include <QRandomGenerator>
#include <QtTest>

#include <ctime>

namespace {

// A text folded as the search reads it: each character by its case folding, "ё" as "е".
QString folded(const QString& s) {
    QString f;
    for (const char32_t c : s.toUcs4()) {
        const char32_t d = QChar::toCaseFolded(c);
        f += QString::fromUcs4(&d, 1);
    }
    return f.replace(QString("ё"), QString("е"));
}

// What a reading of every row finds in: the texts the fields show (Booleans, shown as a
// mark, left out), folded, a list a row.
std::vector<QStringList> shownRows(const TDataSet& ds, const QList<const TField*>& fields) {
    std::vector<QStringList> shown(static_cast<std::size_t>(ds.RecordCount()));
    for (int r = 0; r < ds.RecordCount(); ++r) {
        for (const TField* f : fields) {
            if (f->FieldClass() != TFieldClass::Boolean) {
                shown[static_cast<std::size_t>(r)] << folded(ds.DisplayTextAt(r, *f));
            }
        }
    }
    return shown;
}

// Pieces of texts the fields show in random rows, up to `longest` characters.
QStringList piecesOf(const TDataSet& ds, const QList<const TField*>& fields, int count, int longest,
                     QRandomGenerator& random) {
    QStringList pieces;
    while (pieces.size() < count) {
        const QString s = ds.DisplayTextAt(random.bounded(ds.RecordCount()),
                                           *fields[random.bounded(int(fields.size()))]);
        if (!s.isEmpty()) {
            pieces << s.mid(random.bounded(s.size()), 1 + random.bounded(longest));
        }
    }
    return pieces;
}

// The row a reading of every row from `from` on, or back from it, finds the needle in.
int firstByReading(const std::vector<QStringList>& shown, const QString& needle, int from,
                   bool forward, bool anywhere) {
    const QString n = folded(needle);
    for (int r = from; r >= 0 && r < int(shown.size()); r += forward ? 1 : -1) {
        for (const QString& cell : shown[static_cast<std::size_t>(r)]) {
            if (anywhere ? cell.contains(n) : cell.startsWith(n)) {
                return r;
            }
        }
    }
    return -1;
}

}  // namespace

class TestDataSetFind final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { LINKARIUM_REQUIRE_ENGINE(); }

    // A search anywhere in several columns reads a record's cells as one run of bytes: a
    // match must lie inside one searched cell, never across two nor in a column left out;
    // and a whole view read by several cores gives the first match all the same.
    void findTextInSeveralColumns_data() {
        QTest::addColumn<QString>("needle");
        QTest::newRow("cyrillic, by its sign") << "ключ-Слово";
        QTest::newRow("latin, by its sign") << "Key-word";
        QTest::newRow("one cyrillic letter") << "щ";
    }
    void findTextInSeveralColumns() {
        LINKARIUM_SQLITE_ONLY();  // the search reads the rows in memory, whatever the engine
        auto cat = std::make_unique<TTestCatalogue>();
        QFETCH(QString, needle);
        const int rows = 40000;
        const QString lower = needle.toLower();
        const int half = static_cast<int>(lower.size()) / 2;
        cat->other().BeginTrans();
        for (int i = 0; i < rows; ++i) {
            const QString number = QString("%1").arg(i, 5, 10, QChar('0'));
            QString url = "u" + number + ".example";
            QString description = "d" + number + " новости дня news of the day ";
            QString category = "Разное";
            if (i == 5000) {
                url += "/" + lower;
            } else if (i == 20000) {
                // Two cells side by side, each with a part of the needle.
                description += lower.left(half);
                url = lower.mid(half) + "." + url;
            } else if (i == 30000) {
                category = "Разное; " + needle.toUpper();
            } else if (i == 39000) {
                description += "про " + needle;
            }
            cat->addUrl(url, description, category);
        }
        cat->other().CommitTrans();
        auto ds = std::make_unique<TDataSet>();
        ds->SetConnection(&cat->connection());
        ds->SetCommandText("SELECT * FROM SubjectURLs");
        ds->Open();
        ds->SetSort("Description ASC");
        QCOMPARE(ds->RecordCount(), rows);
        // The address lies between these two, and is left out.
        const QList<const TField*> apart = {&ds->FieldByName("Description"),
                                            &ds->FieldByName("Visited"),
                                            &ds->FieldByName("Category")};
        QCOMPARE(ds->FindText(apart, needle, 0, true, true), 30000);
        QCOMPARE(ds->FindText(apart, needle, 30001, true, true), 39000);
        QCOMPARE(ds->FindText(apart, needle, 39001, true, true), -1);
        QCOMPARE(ds->FindText(apart, needle, rows - 1, false, true), 39000);
        QCOMPARE(ds->FindText(apart, needle, 29999, false, true), -1);
        QCOMPARE(ds->FindText(apart, needle, -1, true, true), -1);
        QCOMPARE(ds->FindText(apart, needle, rows, false, true), -1);
        // The address follows the description.
        const QList<const TField*> adjacent = {&ds->FieldByName("Description"),
                                               &ds->FieldByName("URL")};
        QCOMPARE(ds->FindText(adjacent, needle, 0, true, true), 5000);
        QCOMPARE(ds->FindText(adjacent, needle, 5001, true, true), half > 0 ? 39000 : 20000);
        QCOMPARE(ds->FindText(adjacent, needle, 38999, false, true), half > 0 ? 5000 : 20000);
    }

    // "ё" and "е" are one letter to the search as to the sort, in either case, in text
    // columns by their stored text and in others by the text shown, at the beginning or
    // anywhere; on both engines, as each hands back its own text.
    void yoAndYeAreOneLetter_data() {
        QTest::addColumn<QString>("needle");
        QTest::addColumn<bool>("anywhere");
        QTest::addColumn<QStringList>("found");  // the descriptions, in sort order
        const QStringList trees{"Ёлка", "елка", "ЕЛКА", "ёЛКА"};
        QTest::newRow("ye finds both") << "елк" << false << trees;
        QTest::newRow("yo finds both") << "ЁЛК" << false << trees;
        QTest::newRow("anywhere") << "лка" << true << trees;
        QTest::newRow("yo inside a word")
            << "зелёный" << true << QStringList{"Зелёный лес", "ЗЕЛЕНЫЙ ЛУГ"};
        QTest::newRow("one letter anywhere")
            << "Ё" << true
            << QStringList{"ЕЛКА", "Ёлка", "ёЛКА", "елка", "Зелёный лес", "ЗЕЛЕНЫЙ ЛУГ", "ЕЛь"};
        QTest::newRow("other letters stay apart") << "эл" << false << QStringList{"Эль"};
    }
    void yoAndYeAreOneLetter() {
        QFETCH(QString, needle);
        QFETCH(bool, anywhere);
        QFETCH(QStringList, found);
        auto cat = std::make_unique<TTestCatalogue>();
        for (const char* d :
             {"Ёлка", "елка", "ЕЛКА", "ёЛКА", "Зелёный лес", "ЗЕЛЕНЫЙ ЛУГ", "Эль", "ЕЛь"}) {
            cat->addUrl("x.example", QString::fromUtf8(d), QString());
        }
        auto ds = std::make_unique<TDataSet>();
        ds->SetConnection(&cat->connection());
        ds->SetCommandText("SELECT * FROM SubjectURLs");
        ds->Open();
        ds->SetSort("SubjectURLID ASC");
        const TField& description = ds->FieldByName("Description");
        QStringList got;
        for (int at = ds->FindText({&description}, needle, 0, true, anywhere); at >= 0;
             at = ds->FindText({&description}, needle, at + 1, true, anywhere)) {
            ds->SetRecNo(at + 1);
            got << description.AsString();
        }
        got.sort();
        found.sort();
        QCOMPARE(got, found);
    }

    // Numbers and check times are found by the text the grid shows, made here without
    // asking for it row by row: the first match from random places, either way, in either
    // mode, is the one a reading of every shown text gives, in locales whose dates hold
    // month names, dots or AM/PM; the view is long enough to be read in storage order.
    void shownTextsOfOtherColumns_data() {
        QTest::addColumn<QString>("locale");
        QTest::newRow("C") << "C";
        QTest::newRow("ru_RU") << "ru_RU";
        QTest::newRow("en_US") << "en_US";
    }
    void shownTextsOfOtherColumns() {
        QFETCH(QString, locale);
        const QLocale before;
        QLocale::setDefault(QLocale(locale));
        const auto restore = qScopeGuard([&before]() { QLocale::setDefault(before); });
        auto cat = std::make_unique<TTestCatalogue>();
        QRandomGenerator random(20261211);
        const QDateTime first(QDate(1999, 1, 1), QTime(0, 0));
        const int rows = 6000;
        cat->other().BeginTrans();
        for (int i = 0; i < rows; ++i) {
            const QString key = cat->addUrl("x.example", "d", QString());
            const QVariant codes[] = {QVariant(), 200, 301, 404, 503, -1, 1234567};
            QVariant when;
            switch (random.bounded(4)) {
                case 0:
                    break;  // never checked
                case 1:     // at midnight
                    when = first.addDays(random.bounded(12000));
                    break;
                case 2:  // within the first second
                    when = first.addDays(random.bounded(12000)).addMSecs(random.bounded(1000));
                    break;
                default:
                    when = first.addDays(random.bounded(12000)).addSecs(random.bounded(86400));
            }
            cat->other().Execute(
                "UPDATE SubjectURLs SET LinkCode = :c, LinkChecked = :t "
                "WHERE SubjectURLID = :k",
                {{"C", codes[random.bounded(7)]}, {"T", when}, {"K", key}});
        }
        cat->other().CommitTrans();
        auto ds = std::make_unique<TDataSet>();
        ds->SetConnection(&cat->connection());
        ds->SetCommandText("SELECT * FROM SubjectURLs");
        ds->Open();
        ds->SetSort("LinkChecked DESC");
        const QList<const TField*> fields = {&ds->FieldByName("LinkCode"),
                                             &ds->FieldByName("LinkChecked")};
        const std::vector<QStringList> shown = shownRows(*ds, fields);
        // Needles: pieces of shown texts, and of no text at all.
        QStringList needles{"zz", "13:", " 0", "99", "-1", ".20", "pm", "jan", "дек", "0"};
        needles << piecesOf(*ds, fields, 40, 6, random);
        for (const QString& needle : needles) {
            for (const bool anywhere : {true, false}) {
                for (const bool forward : {true, false}) {
                    const int from = random.bounded(rows);
                    QVERIFY2(ds->FindText(fields, needle, from, forward, anywhere) ==
                                 firstByReading(shown, needle, from, forward, anywhere),
                             qPrintable(QString("%1 from %2 %3 %4")
                                            .arg(needle)
                                            .arg(from)
                                            .arg(forward ? "forward" : "back")
                                            .arg(anywhere ? "anywhere" : "beginning")));
                }
            }
        }
    }
    // Check times are found by the text the grid shows in any locale and on days whose
    // clock jumps, whatever the zone: the first match from every start, either way, is the
    // one a reading of every shown text gives, for dates of odd years as well.
    void shownDatesInZonesAndLocales_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QByteArray>("zone");
        const char* zones[] = {"Europe/London", "America/Sao_Paulo"};
        for (const char* locale : {"ru_RU", "en_US", "de_DE", "ar_EG", "ja_JP", "C"}) {
            for (const char* zone : zones) {
                QTest::newRow(qPrintable(QString("%1 %2").arg(locale, zone)))
                    << QString(locale) << QByteArray(zone);
            }
        }
    }
    void shownDatesInZonesAndLocales() {
        QFETCH(QString, locale);
        QFETCH(QByteArray, zone);
        const QByteArray zoneBefore = qgetenv("TZ");
        qputenv("TZ", zone);
        tzset();
        const QLocale before;
        QLocale::setDefault(QLocale(locale));
        const auto restore = qScopeGuard([&]() {
            QLocale::setDefault(before);
            if (zoneBefore.isNull()) {
                qunsetenv("TZ");
            } else {
                qputenv("TZ", zoneBefore);
            }
            tzset();
        });
        auto cat = std::make_unique<TTestCatalogue>();
        QRandomGenerator random(20261213);
        // Days the clock jumps in either zone, and their neighbours; odd years.
        const QDate days[] = {QDate(2021, 3, 28), QDate(2021, 10, 31), QDate(2018, 11, 4),
                              QDate(2019, 2, 16), QDate(2019, 2, 17),  QDate(2018, 11, 3),
                              QDate(2021, 3, 27), QDate(2021, 10, 30), QDate(2024, 2, 29),
                              QDate(5, 6, 7),     QDate(999, 12, 31),  QDate(12345, 1, 2),
                              QDate(-50, 3, 1)};
        // The server's writer takes no year before the first.
        const int dayCount =
            static_cast<int>(std::size(days)) - (TestEngine() == TTestEngine::PostgreSQL ? 1 : 0);
        const int rows = 600;
        cat->other().BeginTrans();
        for (int i = 0; i < rows; ++i) {
            const QString key = cat->addUrl("x.example", "d", QString());
            const QDate day = days[random.bounded(dayCount)];
            QDateTime when(day, QTime(0, 0));
            if (!when.isValid()) {
                when = QDateTime(day, QTime(12, 0));  // a midnight the clock skips
            }
            switch (random.bounded(3)) {
                case 0:
                    break;
                case 1:
                    when = when.addSecs(random.bounded(86400));
                    break;
                default:
                    when = when.addMSecs(random.bounded(4 * 3600 * 1000));
            }
            cat->other().Execute("UPDATE SubjectURLs SET LinkChecked = :t WHERE SubjectURLID = :k",
                                 {{"T", when}, {"K", key}});
        }
        cat->other().CommitTrans();
        auto ds = std::make_unique<TDataSet>();
        ds->SetConnection(&cat->connection());
        ds->SetCommandText("SELECT * FROM SubjectURLs");
        ds->Open();
        const TField& checked = ds->FieldByName("LinkChecked");
        const std::vector<QStringList> shown = shownRows(*ds, {&checked});
        QStringList needles{"-", "0", ":", " 0", "0 ", "12", "00:00"};
        needles << piecesOf(*ds, {&checked}, 60, 5, random);
        for (const QString& needle : needles) {
            for (const bool anywhere : {true, false}) {
                const int expected = firstByReading(shown, needle, 0, true, anywhere);
                const int got = ds->FindText({&checked}, needle, 0, true, anywhere);
                QVERIFY2(
                    got == expected,
                    qPrintable(QString("'%1' %2: found %3 (%4), expected %5 (%6)")
                                   .arg(needle, anywhere ? "anywhere" : "beginning")
                                   .arg(got)
                                   .arg(got >= 0 ? shown[got].join('|') : QString())
                                   .arg(expected)
                                   .arg(expected >= 0 ? shown[expected].join('|') : QString())));
            }
        }
    }
    // A long view, sorted, with rows changed and deleted since it was read, searched in
    // several columns given in any order: the first match from random places, either way,
    // is the one a reading of every shown text gives, whether the rows are read in the
    // view's order or all of them in storage order.
    void longViewAfterChanges() {
        auto cat = std::make_unique<TTestCatalogue>();
        QRandomGenerator random(20261214);
        const QStringList words{"Ёлка",       "елка", "news", "NEWS", "ключ",    "K", "\u212A",
                                "\u017F",     "st",   "ſt",   "é",    "E\u0301", "ß", "ẞ",
                                "ΣΊΣΥΦΟΣ",    "ς",    "σ",    " ",    "/",       ".", "ok",
                                "\U0001F600", "𐐀",    "𐐨",    "a",    "щ"};
        const int rows = 9000;
        cat->other().BeginTrans();
        for (int i = 0; i < rows; ++i) {
            QString parts[3];
            for (QString& p : parts) {
                const int n = random.bounded(5);
                for (int k = 0; k < n; ++k) {
                    p += words[random.bounded(words.size())];
                }
            }
            cat->addUrl(parts[0], parts[1], parts[2], random.bounded(2) == 1);
        }
        cat->other().CommitTrans();
        auto ds = std::make_unique<TDataSet>();
        ds->SetConnection(&cat->connection());
        ds->SetCommandText("SELECT * FROM SubjectURLs");
        ds->Open();
        ds->SetSort("Description DESC,URL");
        // Changes: some rows edited, some deleted.
        for (int i = 0; i < 40; ++i) {
            ds->SetRecNo(1 + random.bounded(ds->RecordCount()));
            if (i % 3 == 0) {
                ds->Delete();
            } else {
                ds->Edit();
                ds->FieldByName("Description")
                    .SetAsString(words[random.bounded(words.size())] + "ключ" +
                                 words[random.bounded(6)]);
                ds->Post();
            }
        }
        // Rare texts far from either end, where the whole store is read.
        const QStringList rare{"Ёжик/Kот", "ёЖИК/kот", "ЁЖИſт"};
        for (int i = 0; i < 6; ++i) {
            ds->SetRecNo(5500 + random.bounded(1000));
            ds->Edit();
            ds->FieldByName("Category").SetAsString(rare[i % rare.size()]);
            ds->Post();
        }
        const int count = ds->RecordCount();
        QCOMPARE(count, rows - 14);
        int foundSome = 0;
        const QList<const TField*> fields = {&ds->FieldByName("Category"),
                                             &ds->FieldByName("Visited"), &ds->FieldByName("URL"),
                                             &ds->FieldByName("Description")};
        const std::vector<QStringList> shown = shownRows(*ds, fields);
        QStringList needles{"ключ", "елк",  "k",    "s",   "st",  "ſt", "σ",    "ς",  "ß",
                            "ss",   "true", "𐐨",    "😀",   "é",   "e",  "/",    "sk", "кл",
                            "ежик", "/кот", "ик/к", "ЖИS", "жиſ", "/k", "ёжик/"};
        for (int i = 0; i < 20; ++i) {
            needles << words[random.bounded(words.size())] + words[random.bounded(words.size())];
        }
        for (const QString& needle : needles) {
            for (const bool anywhere : {true, false}) {
                for (const bool forward : {true, false}) {
                    const int from =
                        forward ? random.bounded(count / 8) : count - 1 - random.bounded(count / 8);
                    const int expected = firstByReading(shown, needle, from, forward, anywhere);
                    const int got = ds->FindText(fields, needle, from, forward, anywhere);
                    foundSome += expected >= 0 && std::abs(expected - from) > 4096;
                    QVERIFY2(got == expected,
                             qPrintable(QString("'%1' from %2 %3 %4: %5, expected %6")
                                            .arg(needle)
                                            .arg(from)
                                            .arg(forward ? "forward" : "back",
                                                 anywhere ? "anywhere" : "beginning")
                                            .arg(got)
                                            .arg(expected)));
                }
            }
        }
        QVERIFY(foundSome > 0);  // some matches lie beyond the rows read in the view's order
    }
};

QTEST_GUILESS_MAIN(TestDataSetFind)
#include "tst_datasetfind.moc"
