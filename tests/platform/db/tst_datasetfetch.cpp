#include "platform/db/DataSet.h"
#include "platform/db/DataSetModel.h"
#include "support/TestCatalogue.h"
#include "support/TestHelpers.h"

#include <QAbstractItemModelTester>
#include <QtTest>

// A result read in slices from the event loop: every answer is the one a whole reading
// gives, whatever command comes while the rest is still to be read.
class TestDataSetFetch final : public QObject {
    Q_OBJECT

    static constexpr int kRows = 5000;
    std::unique_ptr<TTestCatalogue> cat;

    static QString urlOf(int i) {
        return QStringLiteral("site%1.example").arg(i, 4, 10, QLatin1Char('0'));
    }

    std::unique_ptr<TDataSet> open(bool slices, const QString& sql = QStringLiteral(
                                                    "SELECT * FROM SubjectURLs ORDER BY URL")) {
        auto ds = std::make_unique<TDataSet>();
        ds->SetConnection(&cat->connection());
        ds->SetCommandText(sql);
        ds->SetFetchInSlices(slices);
        ds->Open();
        return ds;
    }
    // What the rows and the cursor of a dataset say, for comparing two of them.
    static QStringList state(const TDataSet& ds) {
        return RecordTexts(ds) << QString::number(ds.RecNo()) << QString::number(ds.Eof());
    }
    static bool slicesRead() { return TestEngine() == TTestEngine::SQLite; }

private Q_SLOTS:
    void initTestCase() {
        LINKARIUM_REQUIRE_ENGINE();
        cat = std::make_unique<TTestCatalogue>();
        cat->other().BeginTrans();
        for (int i = 0; i < kRows; ++i) {
            cat->addUrl(urlOf(i), i % 3 ? QStringLiteral("Запись %1").arg(i % 97) : QString(),
                        QStringLiteral("Раздел %1").arg(i % 7), i % 5 == 0);
        }
        cat->other().CommitTrans();
    }
    void cleanupTestCase() { cat.reset(); }

    void commandsWhileReadingAnswerAsAfterIt_data() {
        QTest::addColumn<QString>("command");
        for (const char* c :
             {"nothing", "record count", "sort", "last", "next past the rows held",
              "record number past them", "locate among them", "locate past them", "locate nothing",
              "edit and post", "delete", "a statement of the program", "close"}) {
            QTest::newRow(c) << QString::fromLatin1(c);
        }
    }
    void commandsWhileReadingAnswerAsAfterIt() {
        QFETCH(QString, command);
        std::unique_ptr<TDataSet> ds = open(true);
        std::unique_ptr<TDataSet> whole = open(false);
        QVERIFY(!whole->Fetching());
        const int rows = whole->LoadedCount();
        if (slicesRead()) {
            QVERIFY(ds->Fetching());
            QVERIFY(ds->LoadedCount() > 0);
            QVERIFY(ds->LoadedCount() < rows);
        }
        const int held = ds->LoadedCount();
        const auto both = [&](const std::function<void(TDataSet&)>& f) {
            f(*ds);
            f(*whole);
        };
        bool written = false;
        if (command == "record count") {
            QCOMPARE(ds->RecordCount(), rows);
        } else if (command == "sort") {
            both([](TDataSet& d) { d.SetSort("Category DESC, URL ASC"); });
        } else if (command == "last") {
            both([](TDataSet& d) { d.Last(); });
        } else if (command == "next past the rows held") {
            both([held](TDataSet& d) {
                d.SetRecNo(held);
                d.Next();
                d.Next();
            });
        } else if (command == "record number past them") {
            both([rows](TDataSet& d) { d.SetRecNo(rows - 3); });
        } else if (command == "locate among them") {
            both([](TDataSet& d) { QVERIFY(d.Locate("URL", {urlOf(7)}, 0)); });
            if (slicesRead()) {
                QVERIFY(ds->Fetching());  // found without reading further
            }
        } else if (command == "locate past them") {
            both([](TDataSet& d) { QVERIFY(d.Locate("URL", {urlOf(kRows - 2)}, 0)); });
        } else if (command == "locate nothing") {
            both([](TDataSet& d) { QVERIFY(!d.Locate("URL", {"нет.example"}, loPartialKey)); });
        } else if (command == "edit and post") {
            ds->SetRecNo(3);
            ds->Edit();
            ds->FieldByName("Description").SetAsString("Исправлено");
            ds->Post();
            written = true;
        } else if (command == "delete") {
            ds->SetRecNo(held);
            ds->Delete();
            written = true;
        } else if (command == "a statement of the program") {
            // The reading ends before the change: the rows are the catalogue before it.
            cat->connection().Execute("UPDATE SubjectURLs SET Description = 'Позже'");
            QVERIFY(!ds->Fetching());
            QCOMPARE(state(*ds), state(*whole));
            whole = open(false);
            QVERIFY(!RecordTexts(*whole).contains(RecordTexts(*ds).first()));
            return;
        } else if (command == "close") {
            ds->Close();
            QVERIFY(!ds->Fetching());
            ds->Open();
        }
        if (written) {
            whole = open(false);
            whole->SetRecNo(ds->RecNo());
        }
        QTRY_VERIFY(!ds->Fetching());
        QCOMPARE(state(*ds), state(*whole));
    }

    void gridGrowsAsRowsArrive() {
        const int rows = cat->otherValue("SELECT count(*) FROM SubjectURLs").toInt();
        const QString last = cat->otherValue("SELECT max(URL) FROM SubjectURLs").toString();
        auto ds = std::make_unique<TDataSet>();
        ds->SetConnection(&cat->connection());
        ds->SetCommandText("SELECT * FROM SubjectURLs ORDER BY URL");
        ds->SetFetchInSlices(true);
        TDataSetModel model(ds.get());
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        int opened = 0;
        int fetched = 0;
        int countAtFetch = -1;
        ds->AfterOpen = [&](TDataSet&) { ++opened; };
        ds->AfterFetch = [&](TDataSet& d) {
            ++fetched;
            countAtFetch = d.LoadedCount();
        };
        ds->Open();
        QCOMPARE(opened, 1);
        QCOMPARE(model.rowCount(), ds->LoadedCount());
        if (slicesRead()) {
            QCOMPARE(fetched, 0);
            QVERIFY(model.rowCount() < rows);
        }
        QTRY_COMPARE(model.rowCount(), rows);
        QCOMPARE(fetched, 1);
        QCOMPARE(countAtFetch, rows);
        QCOMPARE(model.data(model.index(rows - 1, ds->FieldByName("URL").Index())).toString(),
                 last);
        // A sorted opening has no first rows before the last one is read.
        ds->Close();
        ds->SetSort("URL DESC");
        ds->Open();
        QVERIFY(!ds->Fetching());
        QCOMPARE(fetched, 2);
        QCOMPARE(model.rowCount(), rows);
    }

    void failureWhileReadingKeepsTheRowsAndSaysSo() {
        LINKARIUM_SQLITE_ONLY();
        const int before =
            cat->otherValue("SELECT count(*) FROM SubjectURLs WHERE URL < '" + urlOf(4000) + "'")
                .toInt();
        const QString lastBefore =
            cat->otherValue("SELECT max(URL) FROM SubjectURLs WHERE URL < '" + urlOf(4000) + "'")
                .toString();
        // The engine fails on one row far into the result, as a damaged page would.
        std::unique_ptr<TDataSet> ds =
            open(true, "SELECT * FROM SubjectURLs WHERE CASE WHEN URL = '" + urlOf(4000) +
                           "' THEN abs(-9223372036854775807 - 1) ELSE 1 END = 1");
        QStringList errors;
        ds->OnFetchError = [&errors](TDataSet&, const std::exception& e) {
            errors << QString::fromUtf8(e.what());
        };
        QVERIFY(ds->Fetching());
        QTRY_VERIFY(!ds->Fetching());
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().contains("overflow"), qPrintable(errors.first()));
        QCOMPARE(ds->LoadedCount(), before);
        QCOMPARE(ds->RecordCount(), before);
        ds->Last();
        QCOMPARE(ds->FieldByName("URL").AsString(), lastBefore);
    }
};

QTEST_MAIN(TestDataSetFetch)
#include "tst_datasetfetch.moc"
