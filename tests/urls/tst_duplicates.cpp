#include "platform/Errors.h"
#include "support/CatalogueFixture.h"
#include "support/ScriptedDialogs.h"
#include "support/TestCatalogue.h"
#include "support/TestEnvironment.h"
#include "urls/Duplicates.h"
#include "urls/DuplicatesDlg.h"
#include "urls/URLViewFrm.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include "support/TestHelpers.h"
#include "support/ViewParts.h"

namespace {
const std::pair<const char*, bool TAddressRules::*> kRules[] = {
    {"scheme and host case", &TAddressRules::schemeAndHostCase},
    {"http is https", &TAddressRules::httpIsHttps},
    {"leading www", &TAddressRules::leadingWww},
    {"trailing slash", &TAddressRules::trailingSlash},
    {"default port", &TAddressRules::defaultPort},
    {"fragment", &TAddressRules::fragment},
    {"tracking parameters", &TAddressRules::trackingParameters},
    {"parameter order", &TAddressRules::parameterOrder},
};
}  // namespace

class TestDuplicates final : public QObject, TCatalogueFixture {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        InitTestApplication();
        LINKARIUM_REQUIRE_ENGINE();
    }
    void init() { openCatalogue(); }
    void cleanup() { closeCatalogue(); }

    // Each pair is one address only by its rule: alike with every rule on, apart with
    // that one off.
    void eachRuleOnItsOwn_data() {
        QTest::addColumn<int>("rule");
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        const auto row = [](int rule, const char* a, const char* b) {
            QTest::newRow(kRules[rule].first) << rule << QString(a) << QString(b);
        };
        row(0, "HTTP://Example.ORG/Path", "http://example.org/Path");
        row(1, "https://example.org/a", "http://example.org/a");
        row(2, "http://www.example.org/a", "http://example.org/a");
        row(3, "http://example.org/a/", "http://example.org/a");
        row(4, "http://example.org:80/a", "http://example.org/a");
        row(5, "http://example.org/a#top", "http://example.org/a");
        row(6, "http://example.org/a?utm_source=x&id=1&fbclid=2&GCLID=3",
            "http://example.org/a?id=1");
        row(7, "http://example.org/a?b=2&a=1", "http://example.org/a?a=1&b=2");
    }
    void eachRuleOnItsOwn() {
        QFETCH(int, rule);
        QFETCH(QString, a);
        QFETCH(QString, b);
        TAddressRules all;
        QCOMPARE(NormalizedAddress(a, all), NormalizedAddress(b, all));
        TAddressRules without;
        without.*(kRules[rule].second) = false;
        QVERIFY(NormalizedAddress(a, without) != NormalizedAddress(b, without));
    }

    // What the rules leave alone.
    void whatStaysApart_data() {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::newRow("path case") << "http://example.org/A"
                                   << "http://example.org/a";
        QTest::newRow("another port") << "http://example.org:8080/"
                                      << "http://example.org/";
        QTest::newRow("https on 80") << "https://example.org:80/"
                                     << "https://example.org/";
        QTest::newRow("www inside the name") << "http://wwwx.example.org/"
                                             << "http://x.example.org/";
        QTest::newRow("another parameter value") << "http://e.org/?a=1"
                                                 << "http://e.org/?a=2";
        QTest::newRow("ftp is not http") << "ftp://example.org/"
                                         << "http://example.org/";
        QTest::newRow("double slash in the path") << "example.org/a//b"
                                                  << "example.org/a/b";
    }
    void whatStaysApart() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QVERIFY(NormalizedAddress(a, {}) != NormalizedAddress(b, {}));
    }

    void withoutScheme() {
        QCOMPARE(NormalizedAddress("  Example.org/a/  ", {}),
                 QStringLiteral("http://example.org/a"));
        QCOMPARE(NormalizedAddress("user@www.example.org:80/", {}),
                 QStringLiteral("http://user@example.org"));
    }

    // A group of three from several browsers merges into the https one: its address, every
    // category once, the differing descriptions, the visited mark; the others go with their
    // link checks, the kept one's checks stay.
    // Somebody changes a record of the group between the search and the merge: the merge is
    // refused as a conflict naming the record, and nothing of it is written, so the other
    // user's change is not merged over (nor the changed record deleted).
    void mergeRefusesRecordsChangedSinceTheSearch_data() {
        QTest::addColumn<bool>("changeKept");
        QTest::newRow("the record kept") << true;
        QTest::newRow("a record to delete") << false;
    }
    void mergeRefusesRecordsChangedSinceTheSearch() {
        QFETCH(bool, changeKept);
        const QString plain = cat->addUrl("http://example.org/a", "A", QString());
        const QString secure = cat->addUrl("https://example.org/a", "B", QString());
        TDuplicates duplicates(module->ADOConnection);
        const QVector<TDuplicateGroup> groups = duplicates.Find({});
        QCOMPARE(groups.size(), 1);
        const int kept = DefaultKept(groups.first());
        const QString changed = changeKept ? secure : plain;
        cat->otherExec(
            "UPDATE SubjectURLs SET Description = 'edited elsewhere' "
            "WHERE SubjectURLID = '" +
            changed + "'");
        QString message;
        try {
            duplicates.Merge(groups.first(), kept);
        } catch (const EConflictError& e) {
            message = e.message();
        }
        QVERIFY2(message.contains("изменил или удалил другой пользователь"), qPrintable(message));
        QVERIFY(message.contains(changeKept ? "https://example.org/a" : "http://example.org/a"));
        QCOMPARE(cat->otherValue("SELECT count(*) FROM SubjectURLs").toInt(), 2);
        QCOMPARE(cat->otherValue("SELECT Description FROM SubjectURLs WHERE SubjectURLID = '" +
                                 changed + "'")
                     .toString(),
                 QStringLiteral("edited elsewhere"));
        QCOMPARE(cat->otherValue("SELECT Description FROM SubjectURLs WHERE SubjectURLID = '" +
                                 (changeKept ? plain : secure) + "'")
                     .toString(),
                 changeKept ? QStringLiteral("A") : QStringLiteral("B"));
    }

    void mergeKeepsEverything() {
        const QString plain = cat->addUrl("http://www.Example.org/a/", "A", "Новости; Linux");
        const QString secure = cat->addUrl("https://example.org/a", "B", "linux; Dev", true);
        const QString marked = cat->addUrl("http://example.org/a#top", "A", QString());
        cat->addUrl("http://example.org/b", "other", QString());
        for (const QString& key : {plain, secure}) {
            cat->otherExec("INSERT INTO LinkChecks(SubjectURLID, CheckedAt, Status) VALUES ('" +
                           key + "', '2026-12-01 10:00:00', 'alive')");
        }
        TDuplicates duplicates(module->ADOConnection);
        const QVector<TDuplicateGroup> groups = duplicates.Find({});
        QCOMPARE(groups.size(), 1);
        const TDuplicateGroup& group = groups.first();
        QCOMPARE(group.records.size(), 3);
        const int kept = DefaultKept(group);
        QCOMPARE(group.records.at(kept).key.toString(), secure);
        duplicates.Merge(group, kept);
        QCOMPARE(cat->otherValue("SELECT count(*) FROM SubjectURLs").toInt(), 2);
        const QString where = " FROM SubjectURLs WHERE SubjectURLID = '" + secure + "'";
        QCOMPARE(cat->otherValue("SELECT URL" + where).toString(),
                 QStringLiteral("https://example.org/a"));
        QCOMPARE(cat->otherValue("SELECT Category" + where).toString(),
                 QStringLiteral("linux; Dev; Новости"));
        QCOMPARE(cat->otherValue("SELECT Description" + where).toString(), QStringLiteral("B | A"));
        QVERIFY(cat->otherValue("SELECT Visited" + where).toBool());
        QCOMPARE(cat->otherValue("SELECT count(*) FROM LinkChecks").toInt(), 1);
        QCOMPARE(
            cat->otherValue("SELECT count(*) FROM LinkChecks WHERE SubjectURLID = '" + secure + "'")
                .toInt(),
            1);
        Q_UNUSED(marked);
        QVERIFY(duplicates.Find({}).isEmpty());
    }

    // The joined categories may take the whole field the catalogue declares: 4,000
    // characters in one made now, 255 in an older one; past it the merge is refused with the
    // record named, nothing cut.
    void categoriesJoinUpToTheField_data() {
        QTest::addColumn<bool>("older");
        QTest::addColumn<int>("length");  // of each record's one name
        QTest::addColumn<bool>("merged");
        QTest::newRow("made now, 302 characters") << false << 150 << true;
        QTest::newRow("made now, 4,000 characters") << false << 1999 << true;
        QTest::newRow("made now, 4,002 characters") << false << 2000 << false;
        QTest::newRow("made before, 255 characters") << true << 126 << true;
        QTest::newRow("made before, 302 characters") << true << 150 << false;
    }
    void categoriesJoinUpToTheField() {
        QFETCH(bool, older);
        QFETCH(int, length);
        QFETCH(bool, merged);
        if (older) {
            useOlderCategorySize();
        }
        const QString a(length, 'a');
        const QString b(length, 'b');
        cat->addUrl("http://example.org/", QString(), a);
        cat->addUrl("https://example.org", QString(), b);
        TDuplicates duplicates(module->ADOConnection);
        const QVector<TDuplicateGroup> groups = duplicates.Find({});
        QCOMPARE(groups.size(), 1);
        QString refusal;
        try {
            duplicates.Merge(groups.first(), DefaultKept(groups.first()));
        } catch (const EError& e) {
            refusal = e.message();
        }
        QCOMPARE(refusal.isEmpty(), merged);
        if (merged) {
            QCOMPARE(cat->otherColumn("SELECT Category FROM SubjectURLs"),
                     QStringList{b + "; " + a});
        } else {
            QVERIFY(refusal.contains("https://example.org"));
            QVERIFY(refusal.contains(older ? "255" : "4000"));
            QCOMPARE(cat->otherValue("SELECT count(*) FROM SubjectURLs").toInt(), 2);
        }
    }

    // Rules switched off split a group; a merge whose joined text would not fit changes
    // nothing and names the record.
    void rulesAndRefusal() {
        cat->addUrl("http://example.org/", QString(200, 'a'), QString());
        cat->addUrl("https://example.org", QString(200, 'b'), QString());
        TAddressRules strict;
        strict.httpIsHttps = false;
        TDuplicates duplicates(module->ADOConnection);
        QVERIFY(duplicates.Find(strict).isEmpty());
        const QVector<TDuplicateGroup> groups = duplicates.Find({});
        QCOMPARE(groups.size(), 1);
        bool refused = false;
        try {
            duplicates.Merge(groups.first(), DefaultKept(groups.first()));
        } catch (const EError& e) {
            refused = e.message().contains("https://example.org");
        }
        QVERIFY(refused);
        QCOMPARE(cat->otherValue("SELECT count(*) FROM SubjectURLs").toInt(), 2);
    }

    // The record the catalogue holds is found however its host was written, as long as the
    // rules call the two addresses one; a host inside another host's name is not one.
    void holdingFindsTheRecordHowAnyHostIsWritten_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("added");
        QTest::addColumn<int>("held");
        QTest::newRow("ASCII host case") << "HTTP://EXAMPLE.org/a"
                                         << "http://example.org/a" << 1;
        QTest::newRow("Cyrillic host case") << "http://ПРИМЕР.рф/a"
                                            << "http://пример.рф/a" << 1;
        QTest::newRow("IDN host as typed") << "http://пример.com/a"
                                           << "http://пример.com/a" << 1;
        QTest::newRow("punycode host as typed") << "http://xn--e1afmkfd.xn--p1ai/a"
                                                << "http://xn--e1afmkfd.xn--p1ai/a" << 1;
        QTest::newRow("percent-encoded host") << "http://ex%61mple.org/a"
                                              << "http://ex%61mple.org/a" << 1;
        QTest::newRow("wildcards in the host") << "http://a_b%c.example.org/"
                                               << "http://a_b%c.example.org/" << 1;
        QTest::newRow("IPv6 literal") << "http://[FE80::1]:8080/x"
                                      << "http://[fe80::1]:8080/x" << 1;
        QTest::newRow("no host") << "mailto:Someone@example.org"
                                 << "mailto:someone@example.org" << 1;
        QTest::newRow("host inside another") << "http://notexample.org/a"
                                             << "http://example.org/a" << 0;
        QTest::newRow("default port and www") << "http://www.example.org:80/a"
                                              << "http://example.org/a" << 1;
    }
    void holdingFindsTheRecordHowAnyHostIsWritten() {
        QFETCH(QString, stored);
        QFETCH(QString, added);
        QFETCH(int, held);
        cat->addUrl(stored, "kept", QString());
        TDuplicates duplicates(module->ADOConnection);
        const QVector<TDuplicateRecord> found = duplicates.Holding(added, {}, QVariant());
        QCOMPARE(found.size(), held);
        if (held > 0) {
            QCOMPARE(found.first().url, stored);
        }
    }

    // The window from the records menu: each rule shows what it does, a rule switched off
    // splits the group, the user picks the record to keep, and the view shows the result.
    void windowFromTheView() {
        cat->addUrl("http://www.example.org/a", "old", "Новости");
        const QString keep = cat->addUrl("http://example.org/a/", "new", "Dev");
        cat->addUrl("https://example.org/a", "", "");
        TScriptedDialogs dialogs;
        TURLViewForm v(*module);
        v.show();
        QVERIFY(v.findChild<QMenu*>("mnuRecords")
                    ->actions()
                    .contains(ViewAction(v, "actFindDuplicates")));
        const auto work = [keep](TDuplicatesForm& d) {
            QCOMPARE(Child<QLabel>(d, "WwwPreviewLabel")->text(),
                     QStringLiteral("http://www.example.org/a  \u2192  http://example.org/a"));
            Child<QCheckBox>(d, "WwwCheckBox")->setChecked(false);
            QCOMPARE(Child<QLabel>(d, "WwwPreviewLabel")->text(),
                     QStringLiteral("http://www.example.org/a  \u2192  http://www.example.org/a"));
            Child<QPushButton>(d, "SearchButton")->click();
            auto* tree = Child<QTreeWidget>(d, "GroupsTreeWidget");
            QCOMPARE(tree->topLevelItemCount(), 1);  // the www one stands apart
            QCOMPARE(tree->topLevelItem(0)->childCount(), 2);
            Child<QCheckBox>(d, "WwwCheckBox")->setChecked(true);
            Child<QPushButton>(d, "SearchButton")->click();
            QCOMPARE(tree->topLevelItemCount(), 1);
            QTreeWidgetItem* group = tree->topLevelItem(0);
            QCOMPARE(group->childCount(), 3);
            // The https one is ticked first; ticking another moves the tick.
            QTreeWidgetItem* chosen = nullptr;
            for (int i = 0; i < group->childCount(); ++i) {
                QTreeWidgetItem* c = group->child(i);
                QCOMPARE(c->checkState(0) == Qt::Checked, c->text(0).startsWith("https"));
                if (c->text(0) == "http://example.org/a/") {
                    chosen = c;
                }
            }
            QVERIFY(chosen);
            chosen->setCheckState(0, Qt::Checked);
            int ticked = 0;
            for (int i = 0; i < group->childCount(); ++i) {
                ticked += group->child(i)->checkState(0) == Qt::Checked;
            }
            QCOMPARE(ticked, 1);
            tree->setCurrentItem(group);
            Child<QPushButton>(d, "MergeButton")->click();
            QCOMPARE(tree->topLevelItemCount(), 0);
            QCOMPARE(d.Merged(), 1);
            Q_UNUSED(keep);
        };
        dialogs.answerDialog([&work](QDialog& dialog) {
            work(static_cast<TDuplicatesForm&>(dialog));
            return int(QDialog::Rejected);  // closed once the merge is done
        });
        ViewAction(v, "actFindDuplicates")->trigger();
        QCOMPARE(dialogs.unexpected(), 0);
        QCOMPARE(ViewData(v).RecordCount(), 1);
        QCOMPARE(ViewData(v).FieldByName("SubjectURLID").AsString(), keep);
        QCOMPARE(ViewData(v).FieldByName("Category").AsString(), QStringLiteral("Dev; Новости"));
        QCOMPARE(ViewData(v).FieldByName("Description").AsString(), QStringLiteral("new | old"));
    }
};

QTEST_MAIN(TestDuplicates)
#include "tst_duplicates.moc"
