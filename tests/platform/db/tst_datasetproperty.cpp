#include "DataSetPropertyModel.h"
#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"
#include "support/TestCatalogue.h"

#include <QtTest>

#include <algorithm>
#include <map>
#include <random>

// Random sequences of what a view does to its dataset (insert, edit, delete, sort by one or
// two fields, locate, filter, read again, cached updates written or given up) while another
// program changes, adds and deletes rows behind its back; after every step the rows shown,
// their order, the current record, its edges and the catalogue itself are compared with a
// plain model of what each step means.

class TestDataSetProperty final : public QObject, TDataSetPropertyModel {
    Q_OBJECT

    std::unique_ptr<TTestCatalogue> cat;
    std::unique_ptr<TDataSet> ds;
    std::mt19937 rng;
    QStringList log;

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
    bool chance(int percent) { return pick(100) < percent; }

    QString keyOf(int n) {
        return QStringLiteral("{%1-0000-4000-8000-%2}")
            .arg(n, 8, 16, QLatin1Char('0'))
            .arg(static_cast<uint>(rng()) % 0xFFFFFFu, 12, 16, QLatin1Char('0'))
            .toUpper();
    }
    QString randomUrl() {
        static const QStringList v = {"a", "A", "b", "ab", "B", "c", "ca", "Ca", "d"};
        return v[pick(v.size())];
    }
    QVariant randomDescription() {
        static const QStringList v = {"p", "P", "q", "pq", "Pq", "r", "", "ёж", "Еж", "ель"};
        return chance(25) ? QVariant() : QVariant(v[pick(v.size())]);
    }
    QVariant randomCategory() {
        static const QStringList v = {"x", "X", "y", "xy", "Y"};
        return chance(20) ? QVariant() : QVariant(v[pick(v.size())]);
    }
    QVariant randomValue(const QString& field) {
        if (field == QLatin1String("URL")) {
            return randomUrl();
        }
        if (field == QLatin1String("Description")) {
            return randomDescription();
        }
        if (field == QLatin1String("Category")) {
            return randomCategory();
        }
        return chance(50);
    }

    QString commandText() const {
        return filtered ? QStringLiteral(
                              "SELECT * FROM SubjectURLs WHERE Category = 'x' "
                              "ORDER BY SubjectURLID")
                        : QStringLiteral("SELECT * FROM SubjectURLs ORDER BY SubjectURLID");
    }

    void openDataSet() {
        ds = std::make_unique<TDataSet>();
        ds->SetConnection(&cat->connection());
        ds->SetLockType(batch ? TLockType::BatchOptimistic : TLockType::Optimistic);
        ds->SetCommandText(commandText());
        ds->SetSort(sortText);
        ds->Open();
        modelOpen();
    }

    void otherInsert(const TRow& r) {
        cat->other().Execute(QStringLiteral("INSERT INTO SubjectURLs(SubjectURLID, URL, "
                                            "Description, Category, Visited) "
                                            "VALUES(:K, :U, :D, :C, :V)"),
                             {{"K", r.key},
                              {"U", r.url},
                              {"D", r.description},
                              {"C", r.category},
                              {"V", r.visited}});
        db[r.key] = r;
    }

    // The catalogue as the other connection reads it.
    QStringList catalogue() {
        QStringList out;
        TRowStore store;
        cat->other()
            .Provider()
            .query(cat->other()
                       .Translate("SELECT SubjectURLID, URL, Description, Category, Visited "
                                  "FROM SubjectURLs")
                       .sql,
                   {})
            ->fetchAll(store);
        for (std::size_t r = 0; r < store.size(); ++r) {
            const auto id = static_cast<TRowStore::RowId>(r);
            TRow row{store.cell(id, 0).variant().toString(), store.cell(id, 1).variant().toString(),
                     store.cell(id, 2).variant(), store.cell(id, 3).variant(),
                     store.cell(id, 4).variant().toBool()};
            out << rowText(row);
        }
        out.sort();
        return out;
    }
    QStringList datasetRows() {
        QStringList out;
        const int count = ds->RecordCount();
        for (int p = 0; p < count; ++p) {
            TRow r{ds->ValueAt(p, ds->FieldByName("SubjectURLID")).toString(),
                   ds->ValueAt(p, ds->FieldByName("URL")).toString(),
                   ds->ValueAt(p, ds->FieldByName("Description")),
                   ds->ValueAt(p, ds->FieldByName("Category")),
                   ds->ValueAt(p, ds->FieldByName("Visited")).toBool()};
            out << rowText(r);
        }
        return out;
    }

    // Compares everything; false (with the test failed) on the first difference.
    bool check(int step) {
        const auto fail = [&](const QString& what, const QString& expected, const QString& actual) {
            const QString message =
                QStringLiteral(
                    "step %1: %2 differs\n expected: %3\n actual:   %4\n last steps:\n  %5")
                    .arg(step)
                    .arg(what, expected, actual,
                         log.mid(std::max(0, int(log.size()) - 12)).join(QStringLiteral("\n  ")));
            QTest::qFail(qPrintable(message), __FILE__, __LINE__);
            return false;
        };
        if (ds->State() != TDataSetState::Browse) {
            return fail("state", "Browse", QString::number(int(ds->State())));
        }
        const QStringList expectRows = modelRows();
        const QStringList actualRows = datasetRows();
        if (expectRows != actualRows) {
            return fail("rows", expectRows.join(" ; "), actualRows.join(" ; "));
        }
        const QString expectCursor =
            QStringLiteral("recno %1 bof %2 eof %3").arg(pos + 1).arg(bof).arg(eof);
        const QString actualCursor =
            QStringLiteral("recno %1 bof %2 eof %3").arg(ds->RecNo()).arg(ds->Bof()).arg(ds->Eof());
        if (expectCursor != actualCursor) {
            return fail("cursor", expectCursor, actualCursor);
        }
        if (pos >= 0) {
            const QString current = ds->FieldByName("SubjectURLID").AsString() + "|" +
                                    ds->FieldByName("URL").AsString();
            const TRow& m =
                rows[static_cast<std::size_t>(order[static_cast<std::size_t>(pos)])].shown;
            if (current != m.key + "|" + m.url) {
                return fail("current record", m.key + "|" + m.url, current);
            }
        }
        if (TestEngine() == TTestEngine::SQLite && ds->ChangedElsewhere() != otherSinceOpen) {
            return fail("changed elsewhere", QString::number(otherSinceOpen),
                        QString::number(ds->ChangedElsewhere()));
        }
        bool pending = false;
        for (const TViewRow& v : rows) {
            pending = pending || (!v.gone && v.pending != TPending::None);
        }
        if (ds->UpdatesPending() != pending) {
            return fail("updates pending", QString::number(pending),
                        QString::number(ds->UpdatesPending()));
        }
        const QStringList expectDb = modelCatalogue();
        const QStringList actualDb = catalogue();
        if (expectDb != actualDb) {
            return fail("catalogue", expectDb.join(" ; "), actualDb.join(" ; "));
        }
        return true;
    }

    // -- steps: each does it to the dataset and to the model, and says what it did

    void stepInsert() {
        const bool append = chance(30);
        TRow r;
        const bool ownKey = chance(60);
        const bool duplicate = ownKey && !db.empty() && chance(8);
        if (duplicate) {
            auto it = db.begin();
            std::advance(it, pick(static_cast<int>(db.size())));
            r.key = it->first;
        } else if (ownKey) {
            r.key = keyOf(++serial);
        }
        r.url = randomUrl();
        r.description = randomDescription();
        r.category = randomCategory();
        r.visited = chance(50);
        log << QStringLiteral("%1 %2").arg(append ? "append" : "insert", rowText(r));
        if (append) {
            ds->Append();
            if (!order.empty()) {
                pos = n() - 1;
                bof = false;
                eof = true;
            }
        } else {
            ds->Insert();
        }
        if (ownKey) {
            ds->FieldByName("SubjectURLID").SetValue(r.key);
        }
        ds->FieldByName("URL").SetValue(r.url);
        ds->FieldByName("Description").SetValue(r.description);
        ds->FieldByName("Category").SetValue(r.category);
        ds->FieldByName("Visited").SetValue(r.visited);
        if (chance(10)) {
            log << "cancel";
            ds->Cancel();
            return;
        }
        TViewRow v;
        v.shown = v.original = r;
        v.pending = TPending::Inserted;
        const bool fails = !batch && writeConflicts(v, TPending::Inserted);
        bool threw = false;
        try {
            ds->Post();
        } catch (const EError& e) {
            threw = true;
            log << "post refused: " + e.message();
            ds->Cancel();
        }
        rows.push_back(v);  // the row is held even when its writing failed
        TViewRow& held = rows.back();
        if (fails) {
            held.gone = true;
            QVERIFY2(threw, "an insert of a key the catalogue holds reported as saved");
            return;
        }
        QVERIFY2(!threw, qPrintable(log.last()));
        const int at = pos < 0 ? 0 : (eof ? n() : pos);
        order.insert(order.begin() + at, static_cast<int>(rows.size()) - 1);
        pos = at;
        bof = false;
        eof = false;
        if (batch) {
            return;
        }
        held.pending = TPending::None;
        held.unread = true;
        if (!ownKey) {
            held.shown.key = held.original.key = ds->FieldByName("SubjectURLID").AsString();
        }
        db[held.shown.key] = held.shown;
        touchedKeys << held.shown.key;
    }

    void stepEdit() {
        if (order.empty()) {
            log << "edit on empty";
            QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds->Edit());
            return;
        }
        TViewRow& v = rows[static_cast<std::size_t>(order[static_cast<std::size_t>(pos)])];
        TRow changed = v.shown;
        ds->Edit();
        const int fields = 1 + pick(2);
        QStringList what;
        for (int i = 0; i < fields; ++i) {
            const QString f = kFields[pick(kFields.size())];
            const QVariant value = randomValue(f);
            ds->FieldByName(f).SetValue(value);
            setField(changed, f, value);
            what << f + "=" + cellText(value);
        }
        log << QStringLiteral("edit %1 at %2: %3").arg(v.shown.key).arg(pos).arg(what.join(", "));
        if (chance(10)) {
            log << "cancel";
            ds->Cancel();
            return;
        }
        TViewRow next = v;
        next.shown = changed;
        if (batch) {
            ds->Post();
            if (v.pending == TPending::None) {
                v.pending = TPending::Modified;
            }
            v.shown = changed;
            return;
        }
        const bool fails = writeConflicts(next, TPending::Modified);
        bool threw = false;
        try {
            ds->Post();
        } catch (const EConflictError& e) {
            threw = true;
            log << "post refused: " + e.message();
            ds->Cancel();
        }
        QCOMPARE(threw, fails);
        if (!fails) {
            applyWrite(next, TPending::Modified);
            v.shown = v.original = changed;
            touchedKeys << v.shown.key;
        }
    }

    void stepDelete() {
        if (order.empty()) {
            log << "delete on empty";
            QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds->Delete());
            return;
        }
        TViewRow& v = rows[static_cast<std::size_t>(order[static_cast<std::size_t>(pos)])];
        log << QStringLiteral("delete %1 at %2").arg(v.shown.key).arg(pos);
        if (batch) {
            ds->Delete();
            if (v.pending == TPending::Inserted) {
                v.gone = true;
                v.pending = TPending::None;
            } else {
                v.pending = TPending::Deleted;
            }
        } else {
            const bool fails = writeConflicts(v, TPending::Deleted);
            bool threw = false;
            try {
                ds->Delete();
            } catch (const EConflictError& e) {
                threw = true;
                log << "delete refused: " + e.message();
            }
            QCOMPARE(threw, fails);
            if (fails) {
                return;
            }
            applyWrite(v, TPending::Deleted);
            touchedKeys << v.shown.key;
            v.gone = true;
        }
        order.erase(order.begin() + pos);
        if (pos >= n()) {
            pos = n() - 1;
        }
        bof = pos <= 0;
        eof = order.empty();
    }

    void stepMove() {
        switch (pick(6)) {
            case 0:
                log << "first";
                ds->First();
                pos = order.empty() ? -1 : 0;
                bof = true;
                eof = order.empty();
                break;
            case 1:
                log << "last";
                ds->Last();
                pos = order.empty() ? -1 : n() - 1;
                bof = order.empty();
                eof = true;
                break;
            case 2:
                log << "next";
                ds->Next();
                if (pos + 1 < n()) {
                    ++pos;
                    bof = eof = false;
                } else {
                    eof = true;
                }
                break;
            case 3:
                log << "prior";
                ds->Prior();
                if (pos > 0) {
                    --pos;
                    bof = eof = false;
                } else {
                    bof = true;
                }
                break;
            case 4: {
                const int d = pick(9) - 4;
                log << QStringLiteral("moveby %1").arg(d);
                const int moved = ds->MoveBy(d);
                int expected = 0;
                if (!order.empty()) {
                    const int target = std::clamp(pos + d, 0, n() - 1);
                    expected = target - pos;
                    pos = target;
                    bof = d < 0 && expected != d;
                    eof = d > 0 && expected != d;
                }
                QCOMPARE(moved, expected);
                break;
            }
            default: {
                const int r = pick(n() + 2);
                log << QStringLiteral("recno %1").arg(r);
                ds->SetRecNo(r);
                if (r >= 1 && r <= n()) {
                    pos = r - 1;
                    bof = eof = false;
                }
                break;
            }
        }
    }

    void stepSort() {
        sortKeys.clear();
        QStringList parts;
        const int keys = pick(3);
        for (int i = 0; i < keys; ++i) {
            const QString f = kFields[pick(kFields.size())];
            const int dir = pick(3);
            sortKeys.push_back({f, dir == 2});
            parts << f + (dir == 0 ? "" : dir == 1 ? " ASC" : " DESC");
        }
        sortText = parts.join(",");
        log << "sort " + sortText;
        ds->SetSort(sortText);
        const int current = pos >= 0 ? order[static_cast<std::size_t>(pos)] : -1;
        sortModel();
        pos = current >= 0 ? positionOfRow(current) : -1;
        bof = pos <= 0;
        eof = order.empty();
    }

    void stepLocate() {
        const QString value = chance(20) ? QStringLiteral("zz") : randomUrl().left(1 + pick(2));
        const int options = pick(4);
        log << QStringLiteral("locate %1 options %2").arg(value).arg(options);
        int at = -1;
        for (int p = 0; p < n() && at < 0; ++p) {
            const QString url =
                rows[static_cast<std::size_t>(order[static_cast<std::size_t>(p)])].shown.url;
            const Qt::CaseSensitivity cs =
                (options & loCaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
            const bool hit =
                (options & loPartialKey) ? url.startsWith(value, cs) : url.compare(value, cs) == 0;
            if (hit) {
                at = p;
            }
        }
        QCOMPARE(ds->Locate("URL", {value}, options), at >= 0);
        if (at >= 0) {
            pos = at;
            bof = eof = false;
        }
    }

    void stepReopen(bool toggleFilter) {
        if (toggleFilter) {
            filtered = !filtered;
            log << QStringLiteral("filter %1").arg(filtered ? "on" : "off");
            ds->Close();
            ds->SetCommandText(commandText());
            ds->Open();
        } else {
            log << "requery";
            ds->Requery();
        }
        modelOpen();
    }

    void stepOther() {
        otherSinceOpen = true;
        const int what = pick(4);
        if (what == 0 || db.empty()) {
            TRow r{keyOf(++serial), randomUrl(), randomDescription(), randomCategory(), chance(50)};
            log << "other inserts " + rowText(r);
            otherInsert(r);
            return;
        }
        auto it = db.begin();
        std::advance(it, pick(static_cast<int>(db.size())));
        const QString key = it->first;
        if (what == 1) {
            log << "other deletes " + key;
            cat->other().Execute("DELETE FROM SubjectURLs WHERE SubjectURLID = :K", {{"K", key}});
            db.erase(key);
            return;
        }
        const QString f = kFields[pick(kFields.size())];
        // A value none of the others hold, in any letter case.
        const QVariant value = f == QLatin1String("Visited")
                                   ? QVariant(!it->second.visited)
                                   : QVariant(QStringLiteral("o%1").arg(++serial));
        log << QStringLiteral("other sets %1 of %2 to %3").arg(f, key, cellText(value));
        cat->other().Execute(
            QStringLiteral("UPDATE SubjectURLs SET %1 = :V WHERE SubjectURLID = :K").arg(f),
            {{"V", value}, {"K", key}});
        setField(it->second, f, value);
    }

    // Reading again just the rows this dataset wrote: refused once another connection has
    // written (its rows would be missed); otherwise the rows are those a new opening gives,
    // each in its place in the sort, and the current record stays current while it is
    // there. Afterwards the dataset is read anew, so that the model follows it again.
    void stepRefreshRows() {
        if (batch || (sortKeys.empty() && TestEngine() == TTestEngine::PostgreSQL)) {
            return;  // no place to vouch for without a sort on the server
        }
        QStringList keys;
        for (const QVariant& k : touchedKeys) {
            keys << k.toString();
        }
        log << "refresh rows " + keys.join(",");
        const QString current =
            pos >= 0
                ? rows[static_cast<std::size_t>(order[static_cast<std::size_t>(pos)])].shown.key
                : QString();
        const bool refreshed = ds->RefreshRows("SubjectURLID", touchedKeys);
        if (otherSinceOpen) {
            QVERIFY2(!refreshed, "rows read again although another connection wrote meanwhile");
        } else if (TestEngine() == TTestEngine::SQLite) {
            QVERIFY2(refreshed, "the embedded engine knows nobody else wrote");
        }
        if (!refreshed) {
            return;
        }
        // What a new opening gives, compared as a set and as an order of the sort.
        std::vector<TViewRow> savedRows = rows;
        std::vector<int> savedOrder = order;
        modelOpen();
        QStringList expected = modelRows();
        rows = savedRows;
        order = savedOrder;
        QStringList actual = datasetRows();
        const QStringList actualInOrder = actual;
        expected.sort();
        actual.sort();
        QCOMPARE(actual, expected);
        // Adjacent records in the sort's order (ties in any order).
        const auto keyText = [this](const QString& line) {
            const QStringList c = line.split('|');
            QStringList k;
            for (const TSortKey& key : sortKeys) {
                const QString v = c[1 + kFields.indexOf(key.field)];
                const QString folded = v == "<null>" ? QString() : "~" + sortKey(v);
                k << (key.descending ? "D" : "A") + folded;
            }
            return k;
        };
        for (int i = 1; i < actualInOrder.size(); ++i) {
            const QStringList a = keyText(actualInOrder[i - 1]);
            const QStringList b = keyText(actualInOrder[i]);
            for (int k = 0; k < a.size(); ++k) {
                const bool desc = sortKeys[static_cast<std::size_t>(k)].descending;
                if (a[k] == b[k]) {
                    continue;
                }
                QVERIFY2(desc ? a[k] > b[k] : a[k] < b[k],
                         qPrintable("out of order after refresh: " + actualInOrder[i - 1] +
                                    " before " + actualInOrder[i]));
                break;
            }
        }
        if (!current.isEmpty() && expected.join('\n').contains(current)) {
            QCOMPARE(ds->FieldByName("SubjectURLID").AsString(), current);
        }
        log << "requery";
        ds->Requery();
        modelOpen();
    }

    void stepUpdateBatch() {
        log << "update batch";
        bool fails = false;
        for (const TViewRow& v : rows) {
            if (!v.gone && v.pending != TPending::None) {
                fails = fails || writeConflicts(v, v.pending);
            }
        }
        bool threw = false;
        try {
            ds->UpdateBatch();
        } catch (const EError& e) {
            threw = true;
            log << "update batch refused: " + e.message();
        }
        QCOMPARE(threw, fails);
        if (fails) {
            return;
        }
        for (std::size_t i = 0; i < rows.size(); ++i) {
            TViewRow& v = rows[i];
            if (v.gone || v.pending == TPending::None) {
                continue;
            }
            if (v.pending == TPending::Inserted) {
                if (v.shown.key.isEmpty()) {
                    const int p = positionOfRow(static_cast<int>(i));
                    v.shown.key = ds->ValueAt(p, ds->FieldByName("SubjectURLID")).toString();
                    QVERIFY2(!v.shown.key.isEmpty(), "an inserted row took no key");
                }
                v.unread = true;
            }
            applyWrite(v, v.pending);
            if (v.pending == TPending::Deleted) {
                v.gone = true;
            }
            v.pending = TPending::None;
            v.original = v.shown;
        }
    }

    void stepCancelBatch() {
        log << "cancel batch";
        ds->CancelBatch();
        bool any = false;
        for (TViewRow& v : rows) {
            if (v.gone || v.pending == TPending::None) {
                continue;
            }
            any = true;
            if (v.pending == TPending::Inserted) {
                v.gone = true;
            } else {
                v.shown = v.original;
            }
            v.pending = TPending::None;
        }
        if (!any) {
            return;
        }
        const int current = pos >= 0 ? order[static_cast<std::size_t>(pos)] : -1;
        order.clear();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (!rows[i].gone) {
                order.push_back(static_cast<int>(i));
            }
        }
        sortModel();
        const int p = current >= 0 ? positionOfRow(current) : -1;
        if (p >= 0) {
            pos = p;
        } else {
            pos = order.empty() ? -1 : 0;
            bof = true;
        }
        eof = order.empty();
    }

private Q_SLOTS:
    void initTestCase() { LINKARIUM_REQUIRE_ENGINE(); }

    void randomSequencesMatchTheModel_data() {
        QTest::addColumn<int>("seed");
        QTest::addColumn<bool>("cached");
        QTest::addColumn<int>("steps");
        for (int seed = 1; seed <= 8; ++seed) {
            QTest::addRow("seed %d, writes at once", seed) << seed << false << 400;
            QTest::addRow("seed %d, cached updates", seed) << seed << true << 400;
        }
    }
    void randomSequencesMatchTheModel() {
        QFETCH(int, seed);
        QFETCH(bool, cached);
        QFETCH(int, steps);
        rng.seed(static_cast<std::mt19937::result_type>(seed));
        batch = cached;
        log.clear();
        db.clear();
        serial = 0;
        filtered = false;
        sortText.clear();
        sortKeys.clear();
        cat = std::make_unique<TTestCatalogue>();
        for (int i = 0; i < 12; ++i) {
            otherInsert(TRow{keyOf(++serial), randomUrl(), randomDescription(), randomCategory(),
                             chance(50)});
        }
        openDataSet();
        QVERIFY(check(0));
        for (int step = 1; step <= steps; ++step) {
            const int op = pick(100);
            if (op < 14) {
                stepInsert();
            } else if (op < 30) {
                stepEdit();
            } else if (op < 40) {
                stepDelete();
            } else if (op < 58) {
                stepMove();
            } else if (op < 66) {
                stepSort();
            } else if (op < 73) {
                stepLocate();
            } else if (op < 77) {
                stepReopen(true);
            } else if (op < 81) {
                stepReopen(false);
            } else if (op < 87) {
                stepOther();
            } else if (op < 92) {
                stepRefreshRows();
            } else if (batch && op < 97) {
                stepUpdateBatch();
            } else if (batch) {
                stepCancelBatch();
            } else {
                stepMove();
            }
            if (QTest::currentTestFailed() || !check(step)) {
                qInfo("%s", qPrintable(log.mid(std::max(0, int(log.size()) - 15)).join("\n")));
                return;
            }
        }
    }

    void cleanup() {
        ds.reset();
        cat.reset();
    }
};

QTEST_GUILESS_MAIN(TestDataSetProperty)
#include "tst_datasetproperty.moc"
