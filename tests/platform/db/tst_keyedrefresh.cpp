#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"
#include "support/TestCatalogue.h"

#include <QRandomGenerator>
#include <QUuid>
#include <QtTest>

namespace {

// Every row a dataset shows, in its order, every field as text.
QStringList shown(TDataSet& ds) {
    QStringList rows;
    ds.FetchRest();
    for (int p = 0; p < ds.LoadedCount(); ++p) {
        QStringList cells;
        for (int f = 0; f < ds.FieldCount(); ++f) {
            cells << ds.ValueAt(p, ds.Fields(f)).toString();
        }
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

QStringList freshlyOpened(TConnection& c, const QString& sql, const QString& sort) {
    TDataSet fresh;
    fresh.SetConnection(&c);
    fresh.SetCommandText(sql);
    fresh.SetSort(sort);
    fresh.Open();
    return shown(fresh);
}

QString newKey() {
    return QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
}

}  // namespace

// A view kept up to date by the rows other programs name in their notices, against the
// same query opened afresh: after any mix of another program's record edits, additions,
// deletions, key changes, work rolled back (whole or to a savepoint), refused commits and
// commands over many rows, the view shows exactly what a new opening shows.
class TestKeyedRefresh final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { LINKARIUM_REQUIRE_ENGINE(); }

    void randomWritesElsewhereAgainstAFreshOpening_data() {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<QString>("sort");
        QTest::addColumn<QString>("sql");
        const QString all = "SELECT * FROM SubjectURLs";
        const QString visited = "SELECT * FROM SubjectURLs WHERE Visited = 1";
        for (quint32 seed : {1u, 2u, 3u}) {
            QTest::newRow(qPrintable(QString("by URL %1").arg(seed))) << seed << "URL" << all;
            QTest::newRow(qPrintable(QString("by visited %1").arg(seed)))
                << seed << "Visited DESC, URL" << all;
            // Edits move rows into the query and out of it.
            QTest::newRow(qPrintable(QString("visited only %1").arg(seed)))
                << seed << "Description, URL" << visited;
        }
    }
    void randomWritesElsewhereAgainstAFreshOpening() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        QFETCH(quint32, seed);
        QFETCH(QString, sort);
        QFETCH(QString, sql);
        QRandomGenerator random(seed);
        TTestCatalogue cat;
        int made = 0;
        for (; made < 12; ++made) {
            cat.addUrl(QString("u%1.example").arg(made), "d", QString(), made % 2 == 0);
        }
        TDataSet ds;
        ds.SetConnection(&cat.connection());
        ds.SetCommandText(sql);
        ds.SetSort(sort);
        ds.Open();
        TDataSet theirs;
        theirs.SetConnection(&cat.other());
        theirs.SetCommandText("SELECT * FROM SubjectURLs");
        theirs.Open();
        TConnection& other = cat.other();
        const auto pick = [&]() {
            theirs.Requery();
            if (theirs.RecordCount() == 0) {
                return false;
            }
            theirs.SetRecNo(1 + random.bounded(theirs.RecordCount()));
            return true;
        };
        const auto editRow = [&]() {
            if (!pick()) {
                return;
            }
            theirs.Edit();
            const int what = random.bounded(3);
            if (what == 0) {
                theirs.FieldByName("URL").SetValue(QString("e%1.example").arg(++made));
            } else if (what == 1) {
                theirs.FieldByName("Description").SetValue(QString("text %1").arg(++made));
            } else {
                theirs.FieldByName("Visited").SetValue(!theirs.FieldByName("Visited").AsBoolean());
            }
            theirs.Post();
        };
        const auto addRow = [&]() {
            theirs.Append();
            theirs.FieldByName("URL").SetValue(QString("n%1.example").arg(++made));
            theirs.FieldByName("Visited").SetValue(random.bounded(2) == 1);
            theirs.Post();
        };
        const auto deleteRow = [&]() {
            if (pick()) {
                theirs.Delete();
            }
        };
        const auto changeKey = [&]() {
            if (!pick()) {
                return;
            }
            theirs.Edit();
            theirs.FieldByName("SubjectURLID").SetValue(newKey());
            theirs.Post();
        };
        const auto recordWrite = [&]() {
            switch (random.bounded(4)) {
                case 0:
                    editRow();
                    break;
                case 1:
                    addRow();
                    break;
                case 2:
                    deleteRow();
                    break;
                default:
                    changeKey();
                    break;
            }
        };
        int keyed = 0;
        for (int batch = 0; batch < 25; ++batch) {
            const int kind = random.bounded(7);
            try {
                if (kind <= 2) {
                    recordWrite();
                } else if (kind == 3) {
                    // Written and taken back: nothing committed.
                    TTransaction t(other);
                    recordWrite();
                    recordWrite();
                } else if (kind == 4) {
                    // Part taken back to a savepoint, the rest committed.
                    TTransaction t(other);
                    recordWrite();
                    other.Provider().execute("SAVEPOINT lk_part", {}, nullptr);
                    recordWrite();
                    other.Provider().execute("ROLLBACK TO SAVEPOINT lk_part", {}, nullptr);
                    recordWrite();
                    t.Commit();
                } else if (kind == 5) {
                    // A command over many rows.
                    other.Execute(QString("UPDATE SubjectURLs SET Description = 'bulk %1' WHERE "
                                          "Visited = %2")
                                      .arg(++made)
                                      .arg(random.bounded(2)));
                } else {
                    // A transaction a failed statement spoils: its commit is refused.
                    other.BeginTrans();
                    recordWrite();
                    try {
                        other.Execute("UPDATE SubjectURLs SET Visited = 7 / 0");
                    } catch (const EDatabaseError&) {
                    }
                    try {
                        other.CommitTrans();
                    } catch (const EDatabaseError&) {
                    }
                    if (other.InTransaction()) {
                        other.RollbackTrans();
                    }
                }
            } catch (const EDatabaseError& e) {
                qWarning("batch %d: %s", batch, qPrintable(e.message()));
            }
            theirs.Requery();
            // The view catches up once the notices are in, and only with what they name.
            const QStringList expected = freshlyOpened(cat.connection(), sql, sort);
            QStringList now;
            QElapsedTimer clock;
            clock.start();
            do {
                QTest::qWait(20);
                if (ds.ChangedElsewhere()) {
                    if (ds.RefreshChangedElsewhere("SubjectURLID")) {
                        ++keyed;
                    } else {
                        ds.Requery();
                    }
                }
                now = shown(ds);
            } while (now != expected && clock.elapsed() < 3000);
            QVERIFY2(now == expected,
                     qPrintable(QString("batch %1 (kind %2):\nshown %3\nfresh %4")
                                    .arg(batch)
                                    .arg(kind)
                                    .arg(now.join("\n  "), expected.join("\n  "))));
        }
        QVERIFY(keyed > 0);
    }
};

QTEST_MAIN(TestKeyedRefresh)
#include "tst_keyedrefresh.moc"
