#include "platform/db/Command.h"
#include "platform/db/DataSet.h"
#include "platform/db/DataSetModel.h"
#include "platform/db/NullBlankFields.h"
#include "platform/db/TextFold.h"
#include "support/TestCatalogue.h"
#include "support/TestHelpers.h"

#include <QAbstractItemModelTester>
#include <QRegularExpression>
#include <QtTest>

namespace {
class TRecorder final : public TDataSetObserver {
public:
    int changed = 0;
    int records = 0;
    int scrolls = 0;
    void DataSetChanged() override { ++changed; }
    void RecordChanged(int) override { ++records; }
    void Scrolled(int) override { ++scrolls; }
};
}  // namespace

class TestDataSet final : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestCatalogue> cat;
    std::unique_ptr<TDataSet> ds;

    void openUrls(const QString& sql = QStringLiteral("SELECT * FROM SubjectURLs"),
                  TLockType lock = TLockType::Optimistic) {
        ds = std::make_unique<TDataSet>();
        ds->SetConnection(&cat->connection());
        ds->SetCommandText(sql);
        ds->SetLockType(lock);
        ds->Open();
    }

private Q_SLOTS:
    void initTestCase() { LINKARIUM_REQUIRE_ENGINE(); }
    void init() {
        cat = std::make_unique<TTestCatalogue>();
        cat->addUrl("b.example/news", "Новости дня", "Новости");
        cat->addUrl("a.example", "Alpha", QString());
        cat->addUrl("C.example", "ёжик", "Разное; Новости", true);
        cat->addUrl("ä.example", QString(), "Zeta");
    }
    void cleanup() {
        ds.reset();
        cat.reset();
    }

    void fieldsFollowTheSchema() {
        openUrls();
        const QStringList names = {"SubjectURLID", "SubjectID", "Description",
                                   "URL",          "Visited",   "Category",
                                   "LinkStatus",   "LinkCode",  "LinkChecked"};
        QCOMPARE(ds->FieldCount(), names.size());
        for (int i = 0; i < names.size(); ++i) {
            QCOMPARE(ds->Fields(i).FieldName, names[i]);
        }
        QCOMPARE(ds->FieldByName("subjecturlid").DataType, TFieldType::Guid);
        QCOMPARE(ds->FieldByName("URL").DataType, TFieldType::WideString);
        QCOMPARE(ds->FieldByName("URL").Size, 2048);  // real addresses are often longer than 150
        QCOMPARE(ds->FieldByName("Description").Size, 255);
        QCOMPARE(ds->FieldByName("Visited").DataType, TFieldType::Boolean);
        QCOMPARE(ds->UpdateTable(), QStringLiteral("SubjectURLs"));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds->FieldByName("Nothing"));
        QVERIFY(ds->FindField("Nothing") == nullptr);
    }

    void declaredFieldsKeepTitles() {
        ds = std::make_unique<TDataSet>();
        ds->SetConnection(&cat->connection());
        ds->SetCommandText("SELECT * FROM SubjectURLs");
        TField& url = ds->AddField("URL");
        url.DisplayLabel = "Адрес";
        TField& key = ds->AddField("SubjectURLID");
        key.Visible = false;
        ds->Open();
        QCOMPARE(ds->FieldCount(), 2);
        QCOMPARE(ds->Fields(0).Title(), QStringLiteral("Адрес"));
        QVERIFY(!ds->FieldByName("SubjectURLID").Visible);
        ds->Close();
        ds->Open();  // declared fields survive a reopening
        QCOMPARE(ds->FieldCount(), 2);
        ds->Close();
        ds->AddField("Missing");
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds->Open());
        QVERIFY(!ds->Active());
    }

    void navigationFlags() {
        openUrls("SELECT * FROM SubjectURLs WHERE URL = \"nothing\"");
        QVERIFY(ds->Bof() && ds->Eof() && ds->IsEmpty());
        QCOMPARE(ds->RecNo(), 0);
        openUrls();
        QCOMPARE(ds->RecordCount(), 4);
        QVERIFY(ds->Bof() && !ds->Eof());
        int seen = 0;
        while (!ds->Eof()) {
            ++seen;
            ds->Next();
        }
        QCOMPARE(seen, 4);
        QCOMPARE(ds->RecNo(), 4);
        ds->Prior();
        QVERIFY(!ds->Eof() && !ds->Bof());
        QCOMPARE(ds->MoveBy(-10), -2);
        QVERIFY(ds->Bof());
        ds->Last();
        QVERIFY(ds->Eof());
        ds->First();
        QVERIFY(ds->Bof());
    }

    void sortText_data() {
        QTest::addColumn<QString>("sort");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("url asc ignores case")
            << "URL ASC"
            << "URL" << QStringList{"a.example", "b.example/news", "C.example", "ä.example"};
        QTest::newRow("desc") << "URL DESC"
                              << "URL"
                              << QStringList{"ä.example", "C.example", "b.example/news",
                                             "a.example"};
        QTest::newRow("nulls first")
            << "Description"
            << "Description" << QStringList{"", "Alpha", "ёжик", "Новости дня"};
        QTest::newRow("two keys") << "Visited DESC,Category ASC"
                                  << "URL"
                                  << QStringList{"C.example", "a.example", "ä.example",
                                                 "b.example/news"};
    }
    void sortText() {
        QFETCH(QString, sort);
        QFETCH(QString, field);
        QFETCH(QStringList, expected);
        openUrls();
        ds->SetSort(sort);
        QCOMPARE(ColumnTexts(*ds, field), expected);
        QCOMPARE(ds->Sort(), sort);
    }

    // Thousands of rows over a few category values: the order is the one a comparison of
    // every pair of sort keys gives (nulls first, case and "ё" folded), ties by the query.
    void manyRowsOfFewValuesSortAsEachPairCompares() {
        LINKARIUM_SQLITE_ONLY();
        const QStringList values = {"Новости", "новости", "НОВОСТИ", "Ёлка", "елка",
                                    "Alpha",   "alpha ",  QString(), "",     "Zeta",
                                    "ä",       "Ä",       "a"};
        cat->other().BeginTrans();
        for (int i = 0; i < 20000; ++i) {
            cat->addUrl(QString("u%1.example").arg((i * 7919) % 20000), "d",
                        values[(i * 31 + i / 7) % values.size()]);
        }
        cat->other().CommitTrans();
        openUrls();
        struct TRow {
            std::string category;
            bool null;
            std::string url;
            int order;
        };
        std::vector<TRow> expected;
        for (int r = 0; r < ds->RecordCount(); ++r) {
            const QVariant c = ds->ValueAt(r, ds->FieldByName("Category"));
            const QByteArray c8 = c.toString().toUtf8();
            const QByteArray u8 = ds->DisplayTextAt(r, ds->FieldByName("URL")).toUtf8();
            TRow row{{}, c.isNull(), {}, r};
            AppendSortKey(c8.constData(), static_cast<std::size_t>(c8.size()), row.category);
            AppendSortKey(u8.constData(), static_cast<std::size_t>(u8.size()), row.url);
            expected.push_back(row);
        }
        std::stable_sort(expected.begin(), expected.end(), [](const TRow& a, const TRow& b) {
            if (a.null != b.null) {
                return a.null;
            }
            if (a.category != b.category) {
                return a.category < b.category;
            }
            return a.url > b.url;
        });
        QStringList urls;
        for (const TRow& row : expected) {
            urls << ds->DisplayTextAt(row.order, ds->FieldByName("URL"));
        }
        ds->SetSort("Category ASC, URL DESC");
        QCOMPARE(ColumnTexts(*ds, "URL"), urls);
    }

    void sortKeepsCurrentRecordAndRejectsUnknownField() {
        openUrls();
        QVERIFY(ds->Locate("URL", {"C.example"}, 0));
        ds->SetSort("URL DESC");
        QCOMPARE(ds->FieldByName("URL").AsString(), QStringLiteral("C.example"));
        QCOMPARE(ds->RecNo(), 2);
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds->SetSort("Nope ASC"));
        QCOMPARE(ds->Sort(), QStringLiteral("URL DESC"));
    }

    void locate_data() {
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QVariantList>("values");
        QTest::addColumn<int>("options");
        QTest::addColumn<QString>("found");
        QTest::newRow("exact") << "URL" << QVariantList{"a.example"} << 0 << "a.example";
        QTest::newRow("exact is case-sensitive") << "URL" << QVariantList{"A.EXAMPLE"} << 0 << "";
        QTest::newRow("caseless") << "URL" << QVariantList{"A.EXAMPLE"} << int(loCaseInsensitive)
                                  << "a.example";
        QTest::newRow("cyrillic prefix")
            << "Description" << QVariantList{"НОВ"} << int(loCaseInsensitive | loPartialKey)
            << "b.example/news";
        QTest::newRow("yo prefix") << "Description" << QVariantList{"Ё"}
                                   << int(loCaseInsensitive | loPartialKey) << "C.example";
        QTest::newRow("no match") << "URL" << QVariantList{"zzz"}
                                  << int(loCaseInsensitive | loPartialKey) << "";
        QTest::newRow("null") << "Description" << QVariantList{QVariant()} << 0 << "ä.example";
        QTest::newRow("boolean") << "Visited" << QVariantList{true} << 0 << "C.example";
        QTest::newRow("two fields")
            << "Visited;URL" << QVariantList{false, "b"} << int(loPartialKey) << "b.example/news";
    }
    void locate() {
        QFETCH(QString, fields);
        QFETCH(QVariantList, values);
        QFETCH(int, options);
        QFETCH(QString, found);
        openUrls();
        ds->SetSort("URL DESC");
        ds->Last();
        const int before = ds->RecNo();
        QCOMPARE(ds->Locate(fields, values, options), !found.isEmpty());
        if (found.isEmpty()) {
            QCOMPARE(ds->RecNo(), before);  // no match leaves the position alone
        } else {
            QCOMPARE(ds->FieldByName("URL").AsString(), found);
        }
    }

    void bookmarks() {
        openUrls();
        ds->SetSort("URL");
        ds->Next();
        const TBookmark b = ds->GetBookmark();
        const QString url = ds->FieldByName("URL").AsString();
        ds->SetSort("URL DESC");
        ds->First();
        QVERIFY(ds->BookmarkValid(b));
        ds->GotoBookmark(b);
        QCOMPARE(ds->FieldByName("URL").AsString(), url);
        ds->Delete();
        QVERIFY(!ds->BookmarkValid(b));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds->GotoBookmark(b));
        QVERIFY(!ds->BookmarkValid(kNoBookmark));
    }

    void eventsAndSilentAbort() {
        openUrls();
        QStringList log;
        ds->BeforeInsert = [&log](TDataSet&) {
            log << "BeforeInsert";
            Abort();  // the handler did the work itself
        };
        ds->BeforeDelete = [&log](TDataSet&) {
            log << "BeforeDelete";
            Abort();
        };
        ds->AfterScroll = [&log](TDataSet&) { log << "AfterScroll"; };
        QVERIFY_THROWS_EXCEPTION(EAbort, ds->Insert());
        QCOMPARE(ds->State(), TDataSetState::Browse);
        QVERIFY_THROWS_EXCEPTION(EAbort, ds->Delete());
        QCOMPARE(ds->RecordCount(), 4);
        ds->Next();
        QCOMPARE(log, (QStringList{"BeforeInsert", "BeforeDelete", "AfterScroll"}));
        QCOMPARE(cat->otherValue("SELECT count(*) FROM SubjectURLs").toInt(), 4);
    }

    void editPostWritesAtOnce() {
        openUrls();
        QVERIFY(ds->Locate("URL", {"a.example"}, 0));
        QStringList log;
        ds->BeforePost = [&log](TDataSet& d) { log << d.FieldByName("Description").AsString(); };
        ds->Edit();
        ds->FieldByName("Description").SetValue("Первый");
        ds->FieldByName("Visited").SetValue(true);
        QCOMPARE(ds->FieldByName("Description").AsString(), QStringLiteral("Первый"));
        ds->Post();
        QCOMPARE(log, QStringList{"Первый"});
        QCOMPARE(cat->otherValue("SELECT Description FROM SubjectURLs WHERE URL = 'a.example'")
                     .toString(),
                 QStringLiteral("Первый"));
        QCOMPARE(cat->otherValue("SELECT Visited FROM SubjectURLs WHERE URL = 'a.example'").toInt(),
                 1);
        ds->Edit();
        ds->FieldByName("Description").SetValue("Отменено");
        ds->Cancel();
        QCOMPARE(ds->FieldByName("Description").AsString(), QStringLiteral("Первый"));
        QVERIFY_THROWS_EXCEPTION(EError, ds->FieldByName("URL").SetValue("x"));  // browse state
    }

    void insertGetsGeneratedKey() {
        openUrls();
        ds->Append();
        ds->FieldByName("URL").SetValue("new.example");
        ds->Post();
        const QString key = ds->FieldByName("SubjectURLID").AsString();
        QVERIFY2(QRegularExpression("^\\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\}$")
                     .match(key)
                     .hasMatch(),
                 qPrintable(key));
        QCOMPARE(ds->RecordCount(), 5);
        QCOMPARE(ds->FieldByName("Visited").AsBoolean(), false);
        QCOMPARE(cat->otherValue(
                        QString("SELECT URL FROM SubjectURLs WHERE SubjectURLID = '%1'").arg(key))
                     .toString(),
                 QStringLiteral("new.example"));
    }

    void batchWritesOnlyOnUpdate() {
        openUrls("SELECT * FROM vCategoryList", TLockType::BatchOptimistic);
        QVERIFY(ds->IsEmpty());
        for (const char* name : {"Новости", "Разное", "Работа"}) {
            ds->Append();
            ds->FieldByName("CategoryName").SetValue(QString::fromUtf8(name));
            ds->Post();
        }
        QVERIFY(ds->UpdatesPending());
        QCOMPARE(cat->otherValue("SELECT count(*) FROM CategoryList").toInt(), 0);
        ds->UpdateBatch();
        QVERIFY(!ds->UpdatesPending());
        QCOMPARE(cat->otherValue("SELECT count(*) FROM CategoryList").toInt(), 3);

        QVERIFY(ds->Locate("CategoryName", {"разное"}, loCaseInsensitive));
        ds->Edit();
        ds->FieldByName("CategoryName").SetValue("Прочее");
        ds->Post();
        QVERIFY(ds->Locate("CategoryName", {"Работа"}, 0));
        ds->Delete();
        ds->Append();
        ds->FieldByName("CategoryName").SetValue("Временное");
        ds->Post();
        ds->Delete();  // an unsaved row deleted again leaves nothing to write
        ds->CancelBatch();
        QCOMPARE(ds->RecordCount(), 3);
        QVERIFY(ds->Locate("CategoryName", {"Разное"}, 0));
        QVERIFY(!ds->Locate("CategoryName", {"Временное"}, 0));

        QVERIFY(ds->Locate("CategoryName", {"Разное"}, 0));
        ds->Edit();
        ds->FieldByName("CategoryName").SetValue("Прочее");
        ds->Post();
        QVERIFY(ds->Locate("CategoryName", {"Работа"}, 0));
        ds->Delete();
        ds->UpdateBatch();
        QCOMPARE(cat->otherColumn("SELECT CategoryName FROM CategoryList ORDER BY 1"),
                 (QStringList{"Новости", "Прочее"}));
    }

    void batchConflictIsAnErrorNotAnOverwrite_data() {
        QTest::addColumn<QString>("meanwhile");
        QTest::newRow("changed by someone else")
            << "UPDATE SubjectURLs SET Description = 'theirs' WHERE URL = 'a.example'";
        QTest::newRow("deleted by someone else")
            << "DELETE FROM SubjectURLs WHERE URL = 'a.example'";
    }
    void batchConflictIsAnErrorNotAnOverwrite() {
        QFETCH(QString, meanwhile);
        openUrls("SELECT * FROM SubjectURLs", TLockType::BatchOptimistic);
        QVERIFY(ds->Locate("URL", {"b.example/news"}, 0));
        ds->Edit();
        ds->FieldByName("Description").SetValue("mine too");
        ds->Post();
        QVERIFY(ds->Locate("URL", {"a.example"}, 0));
        ds->Edit();
        ds->FieldByName("Description").SetValue("mine");
        ds->Post();
        cat->otherExec(meanwhile);
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds->UpdateBatch());
        QVERIFY(ds->UpdatesPending());
        QVERIFY(!cat->connection().InTransaction());
        // The whole batch is undone: the other row was not written either.
        QCOMPARE(cat->otherValue("SELECT Description FROM SubjectURLs WHERE URL = 'b.example/news'")
                     .toString(),
                 QStringLiteral("Новости дня"));
        QVERIFY(cat->otherValue("SELECT count(*) FROM SubjectURLs WHERE Description = 'mine'")
                    .toInt() == 0);
    }

    // Two programs, each with its own connection and view of the same record: the second to
    // save gets the error, and the first one's value stays.
    void twoProgramsEditTheSameRecord() {
        openUrls("SELECT * FROM SubjectURLs", TLockType::BatchOptimistic);
        TDataSet theirs;
        theirs.SetConnection(&cat->other());
        theirs.SetCommandText("SELECT * FROM SubjectURLs");
        theirs.SetLockType(TLockType::BatchOptimistic);
        theirs.Open();
        for (TDataSet* d : {ds.get(), &theirs}) {
            QVERIFY(d->Locate("URL", {"a.example"}, 0));
            d->Edit();
            d->FieldByName("Description").SetValue(d == &theirs ? "theirs" : "mine");
            d->Post();
        }
        theirs.UpdateBatch();
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds->UpdateBatch());
        QCOMPARE(cat->otherColumn("SELECT Description FROM SubjectURLs WHERE URL = 'a.example'"),
                 QStringList{"theirs"});
        // Read again, the record can be changed.
        ds->CancelBatch();
        ds->Requery();
        QVERIFY(ds->Locate("URL", {"a.example"}, 0));
        QCOMPARE(ds->FieldByName("Description").AsString(), QStringLiteral("theirs"));
        ds->Edit();
        ds->FieldByName("Description").SetValue("mine");
        ds->Post();
        ds->UpdateBatch();
        QCOMPARE(cat->otherColumn("SELECT Description FROM SubjectURLs WHERE URL = 'a.example'"),
                 QStringList{"mine"});
    }

    void unchangedColumnChangedElsewhereIsNoConflict() {
        openUrls("SELECT * FROM SubjectURLs", TLockType::BatchOptimistic);
        QVERIFY(ds->Locate("URL", {"a.example"}, 0));
        ds->Edit();
        ds->FieldByName("Description").SetValue("mine");
        ds->Post();
        cat->otherExec("UPDATE SubjectURLs SET Category = 'theirs' WHERE URL = 'a.example'");
        ds->UpdateBatch();
        QCOMPARE(cat->otherValue("SELECT Description || '/' || Category FROM SubjectURLs "
                                 "WHERE URL = 'a.example'")
                     .toString(),
                 QStringLiteral("mine/theirs"));
    }

    void parametersAndCyrillicLike() {
        openUrls(
            "SELECT * FROM SubjectURLs WHERE (Category LIKE \"%новости%\") AND "
            "(Visited = :True)");
        // Not yet bound: the parameter is null and nothing matches.
        QCOMPARE(ds->RecordCount(), 0);
        ds->Close();
        ds->Parameters().ParamByName("True").DataType = TFieldType::Boolean;
        ds->Parameters().ParamByName("true").SetValue(1);
        ds->Open();
        QCOMPARE(ColumnTexts(*ds, "URL"), QStringList{"C.example"});
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds->Parameters().ParamByName("Other"));

        openUrls("SELECT * FROM SubjectURLs WHERE Description = \"НОВОСТИ ДНЯ\"");
        QCOMPARE(ds->RecordCount(), 1);  // text comparison ignores case, as Jet's does
    }

    void closingTheConnectionClosesDataSets() {
        openUrls();
        TRecorder recorder;
        ds->AddObserver(&recorder);
        cat->connection().Close();
        QVERIFY(!ds->Active());
        QVERIFY(recorder.changed > 0);
        ds->RemoveObserver(&recorder);
        cat->connection().Open();
        ds->Open();
        QCOMPARE(ds->RecordCount(), 4);
    }

    void controlsCanBeSwitchedOff() {
        openUrls();
        TRecorder recorder;
        ds->AddObserver(&recorder);
        ds->DisableControls();
        ds->Next();
        ds->SetSort("URL");
        ds->Requery();
        QCOMPARE(recorder.changed + recorder.scrolls + recorder.records, 0);
        ds->EnableControls();
        QCOMPARE(recorder.changed, 1);
        ds->RemoveObserver(&recorder);
    }

    void nestedTransactions() {
        TConnection& c = cat->connection();
        QCOMPARE(c.BeginTrans(), 1);
        c.Execute("UPDATE SubjectURLs SET Visited = 1 WHERE URL = \"a.example\"");
        QCOMPARE(c.BeginTrans(), 2);
        c.Execute("DELETE FROM SubjectURLs WHERE URL = :u", {{"U", "b.example/news"}});
        c.RollbackTrans();
        c.CommitTrans();
        QVERIFY(!c.InTransaction());
        QCOMPARE(cat->otherValue("SELECT count(*) FROM SubjectURLs").toInt(), 4);
        QCOMPARE(cat->otherValue("SELECT Visited FROM SubjectURLs WHERE URL = 'a.example'").toInt(),
                 1);
        {
            TTransaction t(c);
            c.Execute("DELETE FROM SubjectURLs");
        }  // not committed: rolled back
        QCOMPARE(cat->otherValue("SELECT count(*) FROM SubjectURLs").toInt(), 4);
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, c.CommitTrans());
    }

    void preparedCommand() {
        TCommand cmd;
        cmd.SetConnection(&cat->connection());
        cmd.SetCommandText("UPDATE SubjectURLs SET Visited = 1 WHERE SubjectURLID = :ID");
        const QString key = cat->addUrl("d.example", "x", QString());
        cmd.Parameters().ParamByName("ID").SetValue(key);
        QCOMPARE(cmd.Execute(), 1);
        cmd.Parameters().ParamByName("ID").SetValue("{00000000-0000-0000-0000-000000000000}");
        QCOMPARE(cmd.Execute(), 0);
        QCOMPARE(cat->otherValue("SELECT count(*) FROM SubjectURLs WHERE Visited = 1").toInt(), 2);
    }

    void nullBlankFields_data() {
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("becomesNull");
        QTest::newRow("spaces") << "   " << true;
        QTest::newRow("tab and newline") << "\t\r\n" << true;
        QTest::newRow("empty") << "" << true;
        QTest::newRow("text kept untrimmed") << "  x  " << false;
    }
    void nullBlankFields() {
        QFETCH(QString, description);
        QFETCH(bool, becomesNull);
        openUrls();
        ds->Edit();
        ds->FieldByName("Description").SetValue(description);
        ds->FieldByName("Visited").SetValue(false);
        NullBlankFields(*ds);
        QCOMPARE(ds->FieldByName("Description").IsNull(), becomesNull);
        if (!becomesNull) {
            QCOMPARE(ds->FieldByName("Description").AsString(), description);
        }
        QVERIFY(!ds->FieldByName("SubjectURLID").IsNull());
        QVERIFY(!ds->FieldByName("Visited").IsNull());
        ds->Cancel();
    }

    void otherFieldTypesRoundTrip() {
        if (TestEngine() == TTestEngine::SQLite) {
            cat->otherExec(
                "CREATE TABLE T (ID INTEGER PRIMARY KEY, D DATETIME, N INTEGER, F DOUBLE,"
                " B BOOLEAN); INSERT INTO T VALUES (1, 37653.5, 42, 2.5, -1)");
        } else {
            cat->otherExec(
                "CREATE TABLE T (ID INTEGER PRIMARY KEY, D TIMESTAMP, N INTEGER, F FLOAT8,"
                " B BOOLEAN); INSERT INTO T VALUES (1, '2003-02-01 12:00', 42, 2.5, TRUE)");
        }
        openUrls("SELECT * FROM T");
        QCOMPARE(ds->FieldByName("D").AsDateTime(), QDateTime(QDate(2003, 2, 1), QTime(12, 0)));
        QCOMPARE(ds->FieldByName("N").AsInteger(), 42);
        QCOMPARE(ds->FieldByName("F").AsFloat(), 2.5);
        QVERIFY(ds->FieldByName("B").AsBoolean());  // any non-zero is true
        QCOMPARE(ds->FieldByName("D").FieldClass(), TFieldClass::DateTime);
        ds->Edit();
        ds->FieldByName("D").SetValue(QDate(2003, 2, 2));
        QVERIFY_THROWS_EXCEPTION(EError, ds->FieldByName("N").SetValue("abc"));
        ds->FieldByName("N").SetValue("7");
        ds->Post();
        QCOMPARE(cat->otherValue("SELECT D FROM T").toDouble(), 37654.0);
        QCOMPARE(cat->otherValue("SELECT N FROM T").toInt(), 7);
        // An unchanged column is untouched.
        QCOMPARE(cat->otherValue("SELECT B FROM T").toInt(),
                 TestEngine() == TTestEngine::SQLite ? -1 : 1);
    }

    void modelFollowsTheDataSet() {
        openUrls();
        TDataSetModel model(ds.get());
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(model.columnCount(), 9);
        QCOMPARE(model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("URL"));
        QSignalSpy current(&model, &TDataSetModel::currentRowChanged);
        ds->SetSort("URL");
        QCOMPARE(model.index(0, 3).data().toString(), QStringLiteral("a.example"));
        ds->Last();
        QCOMPARE(current.last().first().toInt(), 3);
        ds->Delete();
        QCOMPARE(model.rowCount(), 3);
        ds->Close();
        QCOMPARE(model.rowCount(), 0);
    }

    // The engine's LIKE folds case everywhere, and gives the same answers by the quick
    // "%text%" search over plain ASCII as by folding the value whole.
    void likeFoldsCaseAsTheFiltersExpect_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("matched");
        QTest::newRow("ascii, other case") << "https://News.Example/a"
                                           << "%nEWs%" << 1;
        QTest::newRow("ascii, absent") << "https://example.org"
                                       << "%news%" << 0;
        QTest::newRow("ascii, empty value") << ""
                                            << "%news%" << 0;
        QTest::newRow("ascii at both ends") << "newsnews"
                                            << "%news%" << 1;
        QTest::newRow("cyrillic value, ascii text") << "новости NEWS"
                                                    << "%news%" << 1;
        QTest::newRow("cyrillic text") << "Новости дня"
                                       << "%НОВОСТИ%" << 1;
        QTest::newRow("kelvin sign in the pattern") << "kelvin"
                                                    << "%\u212Aelvin%" << 1;
        QTest::newRow("kelvin sign in the value") << "\u212Aelvin"
                                                  << "%kelvin%" << 1;
        QTest::newRow("one-character wildcard") << "abc"
                                                << "%a_c%" << 1;
        QTest::newRow("percent alone") << "anything"
                                       << "%%%" << 1;
        QTest::newRow("not a contains pattern") << "news.example"
                                                << "news%" << 1;
        QTest::newRow("prefix missed") << "the news"
                                       << "news%" << 0;
    }
    void likeFoldsCaseAsTheFiltersExpect() {
        LINKARIUM_SQLITE_ONLY();
        QFETCH(QString, text);
        QFETCH(QString, pattern);
        QFETCH(int, matched);
        TDataSet d;
        d.SetConnection(&cat->connection());
        d.SetCommandText("SELECT (:T LIKE :P) AS M");
        d.Parameters().ParamByName("T").SetValue(text);
        d.Parameters().ParamByName("P").SetValue(pattern);
        d.Open();
        QCOMPARE(d.Fields(0).AsInteger(), qint64(matched));
    }

    // Rows the program changed, read again: the rows, their order, the count and the
    // current record are those of a new opening; a change by another connection is not
    // vouched for, so the caller reads everything.
    void refreshRowsGivesWhatANewOpeningGives_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("sort");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("touched");
        QTest::addColumn<bool>("byOther");
        const QString all;
        QTest::newRow("edit moves the row in the sort")
            << all << "URL ASC"
            << "UPDATE SubjectURLs SET URL = 'zz.example' WHERE URL = 'a.example'"
            << "a.example"
            << "a.example" << false;
        QTest::newRow("edit takes the row out of the filter")
            << "WHERE Category IS NOT NULL"
            << "URL DESC"
            << "UPDATE SubjectURLs SET Category = NULL WHERE URL = 'b.example/news'"
            << "b.example/news"
            << "b.example/news" << false;
        QTest::newRow("edit brings a row into the filter")
            << "WHERE Category IS NOT NULL"
            << "Category ASC, URL DESC"
            << "UPDATE SubjectURLs SET Category = 'Альфа' WHERE URL = 'a.example'"
            << "C.example"
            << "a.example" << false;
        QTest::newRow("add joins between its neighbours")
            << all << "Description DESC"
            << "INSERT INTO SubjectURLs (SubjectURLID, URL, Description) VALUES "
               "('{0A000000-0000-0000-0000-000000000001}', 'new.example', 'Бета')"
            << "C.example"
            << "C.example" << false;
        QTest::newRow("duplicate sorts after its equal")
            << all << "URL ASC"
            << "INSERT INTO SubjectURLs (SubjectURLID, SubjectID, Description, URL, Visited, "
               "Category) SELECT '{0A000000-0000-0000-0000-000000000002}' AS "
               "SubjectURLID, SubjectID, Description, URL, Visited, Category FROM SubjectURLs "
               "WHERE URL = 'C.example'"
            << "C.example"
            << "C.example" << false;
        QTest::newRow("delete of the last row") << all << "URL ASC"
                                                << "DELETE FROM SubjectURLs WHERE URL = 'ä.example'"
                                                << "ä.example"
                                                << "ä.example" << false;
        QTest::newRow("edit without a sort keeps the place")
            << all << QString()
            << "UPDATE SubjectURLs SET Description = 'Новое' WHERE URL = 'C.example'"
            << "C.example"
            << "C.example" << false;
        QTest::newRow("edit far from the current record")
            << all << "URL ASC"
            << "UPDATE SubjectURLs SET Description = 'Далеко' WHERE URL = 'ä.example'"
            << "a.example"
            << "ä.example" << false;
        QTest::newRow("a change by another connection")
            << all << "URL ASC"
            << "UPDATE SubjectURLs SET URL = 'zz.example' WHERE URL = 'a.example'"
            << "a.example"
            << "a.example" << true;
    }
    void refreshRowsGivesWhatANewOpeningGives() {
        QFETCH(QString, filter);
        QFETCH(QString, sort);
        QFETCH(QString, change);
        QFETCH(QString, current);
        QFETCH(QString, touched);
        QFETCH(bool, byOther);
        const QString sql = QStringLiteral("SELECT * FROM SubjectURLs ") + filter;
        const auto keyOf = [this](const QString& url) {
            return cat->otherValue("SELECT SubjectURLID FROM SubjectURLs WHERE URL = '" + url + "'")
                .toString();
        };
        openUrls(sql, TLockType::BatchOptimistic);
        ds->SetSort(sort);
        const QString key = keyOf(current);
        ds->Locate("SubjectURLID", {key}, 0);
        const QString touchedKey = keyOf(touched);
        (byOther ? cat->other() : cat->connection()).Execute(change);
        const QStringList before = RecordTexts(*ds);
        // A new record, when the change made one, becomes current.
        const QString added = "{0A000000-0000-0000-0000-000000000001}";
        const bool refreshed = ds->RefreshRows(
            "SubjectURLID", {touchedKey}, {added, "{0A000000-0000-0000-0000-000000000002}"}, added);
        if (TestEngine() == TTestEngine::SQLite) {
            QCOMPARE(refreshed, !byOther);
        }
        if (!refreshed) {
            QCOMPARE(RecordTexts(*ds), before);  // refused: nothing moved
            ds->Close();
            ds->Open();
            ds->SetSort(sort);
        }
        TDataSet fresh;
        fresh.SetConnection(&cat->connection());
        fresh.SetCommandText(sql);
        fresh.Open();
        fresh.SetSort(sort);
        QCOMPARE(RecordTexts(*ds), RecordTexts(fresh));
        QCOMPARE(ds->RecordCount(), fresh.RecordCount());
        if (refreshed && fresh.Locate("SubjectURLID", {added}, 0)) {
            QCOMPARE(ds->FieldByName("SubjectURLID").AsString(), added);
        } else if (refreshed && fresh.Locate("SubjectURLID", {key}, 0)) {
            QCOMPARE(ds->FieldByName("SubjectURLID").AsString(), key);
        }
        // The rows read again sort with the others under another order too.
        ds->SetSort("Visited DESC, Description ASC");
        fresh.SetSort("Visited DESC, Description ASC");
        QCOMPARE(RecordTexts(*ds), RecordTexts(fresh));
        // Cached changes cancelled rebuild the order from the store: what left stays out.
        if (!ds->IsEmpty()) {
            ds->First();
            ds->Edit();
            ds->FieldByName("Description").SetAsString("черновик");
            ds->Post();
            ds->CancelBatch();
        }
        QCOMPARE(RecordTexts(*ds), RecordTexts(fresh));
    }
};

QTEST_MAIN(TestDataSet)
#include "tst_dataset.moc"
