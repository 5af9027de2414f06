#include "platform/db/DataSet.h"
#include "support/TestCatalogue.h"
#include "support/TestHelpers.h"

#include <QtTest>

// A delete made from rows read earlier: it removes the row only while the catalogue still
// holds it as it was read, whichever column another program changed, and whatever the
// values' kinds (nulls, a date, a mark, long text).
class TestDataSetDelete final : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestCatalogue> cat;
    QString key;

    std::unique_ptr<TDataSet> openAt(TLockType lock) {
        auto ds = std::make_unique<TDataSet>();
        ds->SetConnection(&cat->connection());
        ds->SetCommandText(QStringLiteral("SELECT * FROM SubjectURLs"));
        ds->SetLockType(lock);
        ds->Open();
        if (!ds->Locate("SubjectURLID", {key}, 0)) {
            ds.reset();
        }
        return ds;
    }
    static QDateTime checked() { return QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7, 123)); }
    int held() {
        return cat
            ->otherValue(
                QString("SELECT count(*) FROM SubjectURLs WHERE SubjectURLID = '%1'").arg(key))
            .toInt();
    }

private Q_SLOTS:
    void initTestCase() { LINKARIUM_REQUIRE_ENGINE(); }
    void init() {
        cat = std::make_unique<TTestCatalogue>();
        // Every kind of column holds a value, and the description none.
        key = cat->addUrl("a.example", QString(), QString(3000, QChar(0x0436)), true);
        cat->other().Execute(
            "UPDATE SubjectURLs SET LinkStatus = 'ok', LinkCode = 200, "
            "LinkChecked = :T WHERE SubjectURLID = :K",
            {{"T", checked()}, {"K", key}});
        cat->addUrl("b.example", "Вторая", "Работа");
    }
    void cleanup() { cat.reset(); }

    void deleteChecksWhatWasRead_data() {
        QTest::addColumn<bool>("batch");
        QTest::addColumn<QString>("meanwhile");  // the other program's statement; "" for none
        QTest::addColumn<QVariant>("value");     // its :V
        const QString where = " WHERE URL = 'a.example'";
        struct TChange {
            const char* name;
            QString sql;
            QVariant value;
        };
        const QList<TChange> changes = {
            {"unchanged", "", {}},
            {"a null filled", "UPDATE SubjectURLs SET Description = :V" + where, "theirs"},
            {"a mark", "UPDATE SubjectURLs SET Visited = :V" + where, false},
            {"a date", "UPDATE SubjectURLs SET LinkChecked = :V" + where, checked().addSecs(1)},
            {"a number emptied", "UPDATE SubjectURLs SET LinkCode = :V" + where, {}},
            {"long text", "UPDATE SubjectURLs SET Category = :V" + where, "короче"},
            {"deleted", "DELETE FROM SubjectURLs" + where, {}},
        };
        for (const bool batch : {false, true}) {
            for (const TChange& change : changes) {
                QTest::addRow("%s, %s", batch ? "cached" : "at once", change.name)
                    << batch << change.sql << change.value;
            }
        }
    }
    void deleteChecksWhatWasRead() {
        QFETCH(bool, batch);
        QFETCH(QString, meanwhile);
        QFETCH(QVariant, value);
        auto ds = openAt(batch ? TLockType::BatchOptimistic : TLockType::Optimistic);
        QVERIFY(ds);
        if (!meanwhile.isEmpty()) {
            cat->other().Execute(
                meanwhile, meanwhile.contains(":V") ? QVariantMap{{"V", value}} : QVariantMap{});
        }
        const int before = held();
        try {
            ds->Delete();
            if (batch) {
                ds->UpdateBatch();
            }
            QVERIFY2(meanwhile.isEmpty(), "a record changed by another was deleted");
        } catch (const EConflictError& e) {
            QVERIFY2(!meanwhile.isEmpty(), qPrintable(e.message()));
            QVERIFY(e.message().contains("другой пользователь"));
        }
        // The other program's version stays, and the other row is never touched.
        QCOMPARE(held(), meanwhile.isEmpty() ? 0 : before);
        QCOMPARE(
            cat->otherValue("SELECT count(*) FROM SubjectURLs WHERE URL = 'b.example'").toInt(), 1);
        QVERIFY(!cat->connection().InTransaction());
    }

    // A row inserted here holds none of the values the catalogue filled in (the visited
    // mark's default): its delete goes by its key.
    void rowInsertedHereIsDeletedByKey_data() {
        QTest::addColumn<bool>("batch");
        QTest::newRow("at once") << false;
        QTest::newRow("cached") << true;
    }
    void rowInsertedHereIsDeletedByKey() {
        QFETCH(bool, batch);
        auto ds = openAt(batch ? TLockType::BatchOptimistic : TLockType::Optimistic);
        QVERIFY(ds);
        ds->Append();
        ds->FieldByName("URL").SetValue("new.example");
        ds->Post();
        if (batch) {
            ds->UpdateBatch();
        }
        QCOMPARE(cat->otherValue("SELECT count(*) FROM SubjectURLs").toInt(), 3);
        ds->Delete();
        if (batch) {
            ds->UpdateBatch();
        }
        QCOMPARE(cat->otherValue("SELECT count(*) FROM SubjectURLs").toInt(), 2);
        QCOMPARE(held(), 1);
    }

    // A time another tool wrote finer than the program reads it (to the microsecond, or a
    // day fraction of more digits) is still the value read: the delete goes through.
    void finerTimeWrittenElsewhereStillMatches() {
        cat->otherSchema(
            "UPDATE SubjectURLs SET LinkChecked = 46085.123456789012 WHERE URL = "
            "'a.example'",
            "UPDATE \"SubjectURLs\" SET \"LinkChecked\" = "
            "'2026-03-04 05:06:07.123456' WHERE \"URL\" = 'a.example'");
        auto ds = openAt(TLockType::Optimistic);
        QVERIFY(ds);
        ds->Delete();
        QCOMPARE(held(), 0);
    }
};

QTEST_MAIN(TestDataSetDelete)
#include "tst_datasetdelete.moc"
