#include "platform/db/ChangeNotices.h"

#include <QRandomGenerator>
#include <QtTest>

#include <map>
#include <set>

// What transactions tell each other when they commit, sent through the notice's text and
// read back, against a model kept apart: the keys of a table every notice since a reader's
// stamp named, or "many" whenever one of them could not name its rows.
class TestChangeNotices final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void randomTransactionsAgainstAModel() {
        QRandomGenerator random(20261211);
        const QStringList tables = {"SubjectURLs", "Categories", "LinkChecks"};
        for (int round = 0; round < 200; ++round) {
            TChangeLog log;
            // The model: per notice, whether it said "many", and its keys per table (folded).
            std::vector<std::pair<bool, std::map<QString, std::set<QString>>>> model;
            const int notices = random.bounded(1, 320);
            for (int n = 0; n < notices; ++n) {
                TChangeAnnouncement a;
                bool many = false;
                std::map<QString, std::set<QString>> rows;
                const int writes = random.bounded(1, 6);
                for (int w = 0; w < writes; ++w) {
                    a.Wrote();
                    const int kind = random.bounded(100);
                    if (kind < 5) {
                        many = true;  // a command over many records: nothing named
                        continue;
                    }
                    const QString table = tables.at(random.bounded(tables.size()));
                    QStringList keys;
                    const int count = kind < 8 ? random.bounded(300, 400) : random.bounded(1, 4);
                    for (int k = 0; k < count; ++k) {
                        keys << QString::number(random.bounded(1000000));
                    }
                    if (kind == 8) {
                        keys << "bad\tkey";  // a key a notice cannot carry
                        many = true;
                    }
                    a.NameRows(table, keys);
                    for (const QString& k : keys) {
                        rows[table.toCaseFolded()].insert(k);
                    }
                }
                QString payload = a.Payload();
                QVERIFY(payload.toUtf8().size() < 8000);
                std::size_t size = 0;
                for (const auto& r : rows) {
                    size += r.first.size();
                    for (const QString& k : r.second) {
                        size += k.size() + 1;
                    }
                }
                // Past the notice's limit "many"; near it (the exact count of separators and
                // of bytes is the text's own business) either.
                if (size > 7950) {
                    many = true;
                } else if (size > 7700) {
                    many = many || payload == "*";
                }
                QCOMPARE(payload == "*", many);
                log.Heard(n + 1, payload);
                model.emplace_back(many, rows);
            }
            // A few readers at random stamps, for one table each.
            for (int reader = 0; reader < 5; ++reader) {
                const qint64 since = random.bounded(notices + 1);
                const qint64 upTo = since + random.bounded(notices - since + 1);
                const QString table = tables.at(random.bounded(tables.size()));
                const std::optional<QStringList> keys = log.KeysSince(since, upTo, table.toUpper());
                bool many = false;
                std::set<QString> expected;
                for (qint64 s = since + 1; s <= upTo; ++s) {
                    const auto& notice = model[static_cast<std::size_t>(s - 1)];
                    many = many || notice.first;
                    const auto it = notice.second.find(table.toCaseFolded());
                    if (it != notice.second.end()) {
                        expected.insert(it->second.begin(), it->second.end());
                    }
                }
                // Only the latest 256 notices are kept.
                const bool forgotten = upTo > since && since + 1 <= notices - 256;
                if (many || forgotten) {
                    QVERIFY2(
                        !keys,
                        qPrintable(QString("round %1, %2..%3").arg(round).arg(since).arg(upTo)));
                    continue;
                }
                QVERIFY2(keys.has_value(), qPrintable(QString("round %1").arg(round)));
                const std::set<QString> got(keys->begin(), keys->end());
                QCOMPARE(static_cast<std::size_t>(keys->size()), got.size());  // no key twice
                QVERIFY(got == expected);
            }
        }
    }

    // Notices from elsewhere: an older program's empty one, and texts that are not what a
    // program writes, read as "many" rather than as no change.
    void foreignNoticesReadAsMany_data() {
        QTest::addColumn<QString>("payload");
        QTest::newRow("empty") << "";
        QTest::newRow("star") << "*";
        QTest::newRow("table without keys") << "SubjectURLs";
        QTest::newRow("no table") << "\t1\t2";
        QTest::newRow("second line broken") << "SubjectURLs\t1\nbroken";
    }
    void foreignNoticesReadAsMany() {
        QFETCH(QString, payload);
        TChangeLog log;
        log.Heard(1, "SubjectURLs\t7");
        log.Heard(2, payload);
        QCOMPARE(log.KeysSince(0, 1, "subjecturls"), std::optional<QStringList>(QStringList{"7"}));
        QVERIFY(!log.KeysSince(0, 2, "SubjectURLs"));
        QVERIFY(!log.KeysSince(1, 2, "SubjectURLs"));
    }
};

QTEST_MAIN(TestChangeNotices)
#include "tst_changenotices.moc"
