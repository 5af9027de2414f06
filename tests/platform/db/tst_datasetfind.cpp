#include "platform/db/DataSet.h"
#include "support/TestCatalogue.h"

#include <QtTest>

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
};

QTEST_GUILESS_MAIN(TestDataSetFind)
#include "tst_datasetfind.moc"
