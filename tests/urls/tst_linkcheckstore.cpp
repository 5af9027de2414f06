#include "app/GeneralUnit.h"
#include "common/Clock.h"
#include "gridtools/EditDBGridDlg.h"
#include "gridtools/ExDBGrid.h"
#include "platform/db/DataSet.h"
#include "platform/db/Schema.h"
#include "support/CatalogueFixture.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedHttp.h"
#include "support/TestCatalogue.h"
#include "support/TestEnvironment.h"
#include "urls/LinkCheckDlg.h"
#include "urls/LinkCheckStore.h"
#include "urls/URLViewFrm.h"

#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>

#include "support/TestHelpers.h"
#include "support/ViewParts.h"

namespace {

QDateTime day(double d) {
    return QDateTime(QDate(2026, 3, 1), QTime(9, 0)).addMSecs(static_cast<qint64>(d * 86400000));
}

TLinkCheckResult result(const QString& key, const QString& url, TLinkVerdict verdict, double when,
                        int code = 0) {
    TLinkCheckResult r;
    r.key = key;
    r.url = url;
    r.checkedAt = day(when);
    r.verdict = verdict;
    r.httpCode = code;
    return r;
}

}  // namespace

class TestLinkCheckStore final : public QObject, TCatalogueFixture {
    Q_OBJECT

    QString status(const QString& key) {
        return cat
            ->otherValue("SELECT LinkStatus FROM SubjectURLs WHERE SubjectURLID = '" + key + "'")
            .toString();
    }
    // Checks every record of the view and waits for the summary.
    static void checkEveryRecord(TURLViewForm& v, TScriptedDialogs& dialogs) {
        dialogs.answer(QMessageBox::Yes);  // every record in view
        ViewAction(v, "actCheckLinks")->trigger();
        QTRY_VERIFY(!v.LinkCheckForm());
        QTRY_VERIFY(dialogs.shownTexts().join("\n").contains("Проверка ссылок"));
    }

    // A check of the record's address as it stands.
    TLinkCheckResult checkOf(const QString& key, TLinkVerdict verdict, double when, int code = 0) {
        const QString url =
            cat->otherValue("SELECT URL FROM SubjectURLs WHERE SubjectURLID = '" + key + "'")
                .toString();
        return result(key, url.isEmpty() ? QStringLiteral("gone.example") : url, verdict, when,
                      code);
    }
    int checks(const QString& key) {
        return cat->otherValue("SELECT COUNT(*) FROM LinkChecks WHERE SubjectURLID = '" + key + "'")
            .toInt();
    }

private Q_SLOTS:
    void initTestCase() {
        InitTestApplication();
        LINKARIUM_REQUIRE_ENGINE();
    }
    void init() { openCatalogue(); }
    void cleanup() {
        SetNowForTesting({});
        closeCatalogue();
    }
    // Each check a row; the record shows the last, and "dead" only after two failures a
    // day apart with no answer between.
    void storedChecks() {
        const QString a = cat->addUrl("a.example", "A", QString());
        const QString gone = cat->addUrl("gone.example", "B", QString());
        TLinkCheckStore store(module->ADOConnection);
        QCOMPARE(store.Save({checkOf(a, TLinkVerdict::ServerError, 0, 500)}), QVariantList{a});
        QCOMPARE(status(a), QStringLiteral("server error"));
        store.Save({checkOf(a, TLinkVerdict::Unreachable, 0.5)});
        QCOMPARE(status(a), QStringLiteral("unreachable"));
        store.Save({checkOf(a, TLinkVerdict::ClientError, 1.2, 404)});
        QCOMPARE(status(a), QStringLiteral("dead"));
        QCOMPARE(
            cat->otherValue("SELECT LinkCode FROM SubjectURLs WHERE SubjectURLID = '" + a + "'")
                .toInt(),
            404);
        store.Save({checkOf(a, TLinkVerdict::Alive, 2, 200)});
        QCOMPARE(status(a), QStringLiteral("alive"));
        store.Save({checkOf(a, TLinkVerdict::ServerError, 3.5, 500)});
        QCOMPARE(status(a), QStringLiteral("server error"));
        QCOMPARE(checks(a), 5);
        // The history keeps what each check found, not the record's conclusion.
        QCOMPARE(
            cat->otherColumn("SELECT Status FROM LinkChecks WHERE SubjectURLID = '" + a +
                             "' ORDER BY CheckedAt"),
            (QStringList{"server error", "unreachable", "client error", "alive", "server error"}));
        TDataSet record;
        record.SetConnection(&module->ADOConnection);
        record.SetCommandText("SELECT LinkChecked FROM SubjectURLs WHERE SubjectURLID = '" + a +
                              "'");
        record.Open();
        QCOMPARE(record.FieldByName("LinkChecked").Value().toDateTime(), day(3.5));
        // A record deleted while its check ran gets no orphan check.
        cat->otherExec("DELETE FROM SubjectURLs WHERE SubjectURLID = '" + gone + "'");
        QCOMPARE(store.Save({checkOf(gone, TLinkVerdict::Alive, 1, 200),
                             checkOf(a, TLinkVerdict::Alive, 4, 200)}),
                 QVariantList{a});
        QCOMPARE(checks(gone), 0);
        QCOMPARE(checks(a), 6);
        // Only the newest checks stay, as many as the option says.
        store.History = 4;
        store.Save({checkOf(a, TLinkVerdict::Alive, 5, 200)});
        QCOMPARE(cat->otherColumn("SELECT Status FROM LinkChecks WHERE SubjectURLID = '" + a +
                                  "' ORDER BY CheckedAt"),
                 (QStringList{"alive", "server error", "alive", "alive"}));
    }

    // A check belongs to the address it checked: a record given another address, by this
    // program or another, starts with no status and no history, and a check of the old
    // address that comes in afterwards is not written to it.
    void checksBelongToTheirAddress_data() {
        QTest::addColumn<bool>("byTheView");
        QTest::newRow("changed elsewhere") << false;
        QTest::newRow("changed by the program") << true;
    }
    void checksBelongToTheirAddress() {
        QFETCH(bool, byTheView);
        const QString a = cat->addUrl("http://old.example/", "A", QString());
        const QString b = cat->addUrl("http://same.example/", "B", QString());
        TLinkCheckStore store(module->ADOConnection);
        const TLinkCheckResult late = checkOf(a, TLinkVerdict::ServerError, 0.5, 500);
        store.Save(
            {checkOf(a, TLinkVerdict::Moved, 0, 301), checkOf(b, TLinkVerdict::Alive, 0, 200)});
        QCOMPARE(status(a), QStringLiteral("moved"));
        if (byTheView) {
            TDataSet ds;
            ds.SetConnection(&module->ADOConnection);
            ds.SetCommandText("SELECT * FROM SubjectURLs");
            ds.Open();
            QVERIFY(ds.Locate("SubjectURLID", {a}, 0));
            ds.Edit();
            ds.FieldByName("URL").SetValue("http://corrected.example/");
            ds.Post();
        } else {
            cat->otherExec(
                "UPDATE SubjectURLs SET URL = 'http://corrected.example/' WHERE SubjectURLID = '" +
                a + "'");
        }
        QVERIFY(status(a).isEmpty());
        QCOMPARE(checks(a), 0);
        QVERIFY(cat->otherValue("SELECT LinkCode FROM SubjectURLs WHERE SubjectURLID = '" + a + "'")
                    .isNull());
        QCOMPARE(store.MovedLinks({a}).size(), 0);
        QCOMPARE(store.Save({late}), QVariantList());
        QVERIFY(status(a).isEmpty());
        QCOMPARE(checks(a), 0);
        // Other columns of a record leave its checks alone.
        cat->otherExec("UPDATE SubjectURLs SET Description = 'X' WHERE SubjectURLID = '" + b + "'");
        QCOMPARE(status(b), QStringLiteral("alive"));
        QCOMPARE(checks(b), 1);
    }

    // An address changed in letter case alone is another address to the check: what was found
    // for the old spelling is not written over the new one.
    void checksKeepTheLetterCaseOfTheirAddress_data() {
        QTest::addColumn<QString>("checked");
        QTest::addColumn<QString>("changed");
        QTest::newRow("path") << "http://old.example/Page"
                              << "http://old.example/page";
        QTest::newRow("query") << "http://old.example/?id=AbC"
                               << "http://old.example/?id=abc";
    }
    void checksKeepTheLetterCaseOfTheirAddress() {
        QFETCH(QString, checked);
        QFETCH(QString, changed);
        const QString a = cat->addUrl(checked, "A", QString());
        TLinkCheckStore store(module->ADOConnection);
        TLinkCheckResult late = checkOf(a, TLinkVerdict::ServerError, 0.5, 500);
        late.url = checked;
        cat->otherExec("UPDATE SubjectURLs SET URL = '" + changed + "' WHERE SubjectURLID = '" + a +
                       "'");
        QCOMPARE(store.Save({late}), QVariantList());
        QVERIFY(status(a).isEmpty());
        QCOMPARE(checks(a), 0);
    }

    // Checks at one moment, in one batch or one after another: the history keeps the last
    // written, and the record says the last.
    void historyCapWithEqualTimes_data() {
        QTest::addColumn<bool>("oneBatch");
        QTest::newRow("one batch") << true;
        QTest::newRow("one after another") << false;
    }
    void historyCapWithEqualTimes() {
        QFETCH(bool, oneBatch);
        const QString a = cat->addUrl("http://same-time.example/", "A", QString());
        TLinkCheckStore store(module->ADOConnection);
        store.History = 2;
        const QList<TLinkCheckResult> batch{checkOf(a, TLinkVerdict::Alive, 1, 200),
                                            checkOf(a, TLinkVerdict::ServerError, 1, 500),
                                            checkOf(a, TLinkVerdict::ClientError, 1, 404)};
        if (oneBatch) {
            store.Save(batch);
        } else {
            for (const auto& r : batch) {
                store.Save({r});
            }
        }
        QCOMPARE(checks(a), 2);
        QCOMPARE(cat->otherValue("SELECT COUNT(*) FROM LinkChecks WHERE SubjectURLID = '" + a +
                                 "' AND Status = 'alive'")
                     .toInt(),
                 0);
        QCOMPARE(status(a), QStringLiteral("client error"));
    }

    // A batch the catalogue refuses leaves nothing of itself behind.
    void batchIsAllOrNothing() {
        const QString a = cat->addUrl("a.example", "A", QString());
        const QString b = cat->addUrl("b.example", "B", QString());
        const QString trigger =
            cat->refuseWrites("BEFORE INSERT", QString(), "refused", "LinkChecks");
        TLinkCheckStore store(module->ADOConnection);
        QVERIFY_THROWS_EXCEPTION(EDatabaseError,
                                 store.Save({checkOf(a, TLinkVerdict::Alive, 0, 200),
                                             checkOf(b, TLinkVerdict::Alive, 0, 200)}));
        cat->allowWrites(trigger, "LinkChecks");
        QVERIFY(
            cat->otherValue("SELECT LinkStatus FROM SubjectURLs WHERE SubjectURLID = '" + a + "'")
                .isNull());
        QCOMPARE(checks(a) + checks(b), 0);
    }

    // Deleting a record, by the program or by another, takes its checks; a duplicate
    // starts with none.
    void checksFollowTheirRecord() {
        const QString a = cat->addUrl("a.example", "A", QString());
        const QString b = cat->addUrl("b.example", "B", QString());
        TLinkCheckStore store(module->ADOConnection);
        store.Save(
            {checkOf(a, TLinkVerdict::Alive, 0, 200), checkOf(b, TLinkVerdict::Alive, 0, 200)});
        TURLViewForm v(*module);
        v.show();
        QVERIFY(ViewData(v).Locate("SubjectURLID", {a}, 0));
        v.actDuplicateRecordExecute();
        const QString copy = v.CurrentKey().toString();
        QVERIFY(copy != a);
        QVERIFY(cat->otherValue("SELECT LinkStatus FROM SubjectURLs WHERE SubjectURLID = '" + copy +
                                "'")
                    .isNull());
        QCOMPARE(checks(copy), 0);
        TScriptedDialogs dialogs;
        dialogs.answer(QMessageBox::Yes);
        QVERIFY(ViewData(v).Locate("SubjectURLID", {a}, 0));
        ViewAction(v, "actDataSetDelete")->trigger();
        QCOMPARE(dialogs.unexpected(), 0);
        QCOMPARE(checks(a), 0);
        cat->otherExec("DELETE FROM SubjectURLs WHERE SubjectURLID = '" + b + "'");
        QCOMPARE(checks(b), 0);
    }

    // A catalogue made before link checks gets them when the program opens it.
    void olderCatalogueIsUpgraded() {
        TConnection& c = cat->connection();
        cat->otherSchema(
            "DROP TRIGGER SubjectURLs_delete_checks; DROP TRIGGER SubjectURLs_address_checks;"
            " DROP TABLE LinkChecks;"
            " ALTER TABLE SubjectURLs DROP COLUMN LinkStatus;"
            " ALTER TABLE SubjectURLs DROP COLUMN LinkCode;"
            " ALTER TABLE SubjectURLs DROP COLUMN LinkChecked",
            "DROP TRIGGER \"SubjectURLs_address_checks\" ON \"SubjectURLs\";"
            " DROP TABLE \"LinkChecks\"; ALTER TABLE \"SubjectURLs\" DROP COLUMN"
            " \"LinkStatus\", DROP COLUMN \"LinkCode\", DROP COLUMN \"LinkChecked\"");
        QVERIFY(!cat->otherValue("SELECT COUNT(*) FROM LinkChecks").isValid());
        UpgradeCatalogue(c);
        UpgradeCatalogue(c);  // once is enough; again changes nothing
        QCOMPARE(cat->otherValue("SELECT COUNT(*) FROM LinkChecks").toInt(), 0);
        const QString a = cat->addUrl("a.example", "A", QString());
        TLinkCheckStore(c).Save({checkOf(a, TLinkVerdict::Alive, 0, 200)});
        QCOMPARE(status(a), QStringLiteral("alive"));
        cat->otherExec("DELETE FROM SubjectURLs WHERE SubjectURLID = '" + a + "'");
        QCOMPARE(checks(a), 0);
    }

    // The command on every record in view; the grid shows the status column once asked.
    void checkTheView() {
        TScriptedHttp http;
        const QString ok = cat->addUrl(http.base() + "/ok", "A", QString());
        const QString missing = cat->addUrl(http.base() + "/code/404", "B", QString());
        const QString mail = cat->addUrl("mailto:x@example.org", "C", QString());
        SetNowForTesting([]() { return day(10); });
        TURLViewForm v(*module);
        v.show();
        v.SetLinkCheckOptions(QuickCheckOptions());
        // The status columns start hidden and the column setup offers them.
        TEditDBGridForm columns;
        columns.LoadColumns(ViewGrid(v));
        auto* list = columns.findChild<QListWidget*>("ColumnsCheckListBox");
        QStringList offered;
        for (int i = 0; i < list->count(); ++i) {
            offered << list->item(i)->text() +
                           (list->item(i)->checkState() == Qt::Checked ? "+" : "-");
        }
        QCOMPARE(offered, (QStringList{"ID-", "URL+", "Категории+", "Описание+", "Посещена-",
                                       "Состояние ссылки-", "Код ответа-", "Проверена-"}));
        list->item(5)->setCheckState(Qt::Checked);
        columns.ApplyColumns(ViewGrid(v));
        QVERIFY(ViewGrid(v).ColumnVisible(ViewData(v).FieldByName("LinkStatus").Index()));
        QVERIFY(
            v.findChild<QMenu*>("mnuRecords")->actions().contains(ViewAction(v, "actCheckLinks")));
        QVERIFY(
            Child<QMenu>(v, "CommonPopupMenu")->actions().contains(ViewAction(v, "actCheckLinks")));
        TScriptedDialogs dialogs;
        dialogs.answer(QMessageBox::Yes);  // every record in view
        ViewAction(v, "actCheckLinks")->trigger();
        QVERIFY(v.LinkCheckForm());
        QVERIFY(v.LinkCheckForm()->isVisible());
        QTRY_VERIFY(!v.LinkCheckForm());
        QTRY_VERIFY(dialogs.shownTexts().join("\n").contains("Проверка ссылок"));
        QVERIFY2(dialogs.unexpected() == 0, qPrintable(dialogs.shownTexts().join("\n")));
        const QString summary = dialogs.shown().last().text;
        QVERIFY2(summary.contains("Проверено ссылок: 2 из 3") && summary.contains("file:, mailto:"),
                 qPrintable(summary));
        QCOMPARE(status(ok), QStringLiteral("alive"));
        QCOMPARE(status(missing), QStringLiteral("client error"));
        QVERIFY(cat->otherValue("SELECT LinkStatus FROM SubjectURLs WHERE SubjectURLID = '" + mail +
                                "'")
                    .isNull());
        // The view shows the new statuses without a refresh.
        QVERIFY(ViewData(v).Locate("SubjectURLID", {missing}, 0));
        QCOMPARE(ViewData(v).FieldByName("LinkStatus").AsString(), QStringLiteral("client error"));
        QCOMPARE(ViewData(v).FieldByName("LinkCode").AsInteger(), 404);
        QCOMPARE(ViewData(v).FieldByName("LinkChecked").Value().toDateTime(), day(10));
    }

    // Cancel in the middle keeps every check done, and writes nothing for the rest.
    void cancelKeepsWhatWasChecked() {
        TScriptedHttp http;
        QStringList answered;
        QStringList hanging;
        for (int i = 0; i < 3; ++i) {
            answered << cat->addUrl(http.base() + "/ok?" + QString::number(i), "A", QString());
            hanging << cat->addUrl(http.base() + "/hang?" + QString::number(i), "H", QString());
        }
        TURLViewForm v(*module);
        v.show();
        TLinkCheckOptions options = QuickCheckOptions();
        options.timeoutMs = 60000;
        options.maxPerHost = 8;
        v.SetLinkCheckOptions(options);
        TScriptedDialogs dialogs;
        dialogs.answer(QMessageBox::Yes);
        ViewAction(v, "actCheckLinks")->trigger();
        QVERIFY(v.LinkCheckForm());
        QTRY_VERIFY2(!v.LinkCheckForm() || v.LinkCheckForm()->Checker().Done() == 3,
                     qPrintable(dialogs.shownTexts().join("\n")));
        QVERIFY2(v.LinkCheckForm(), qPrintable(dialogs.shownTexts().join("\n")));
        v.LinkCheckForm()->findChild<QPushButton*>("CancelButton")->click();
        QTRY_VERIFY(!v.LinkCheckForm());
        QTRY_VERIFY(dialogs.shownTexts().join("\n").contains("Проверка ссылок"));
        QVERIFY(dialogs.shown().last().text.contains("прервана"));
        for (const QString& k : answered) {
            QCOMPARE(status(k), QStringLiteral("alive"));
            QCOMPARE(checks(k), 1);
        }
        for (const QString& k : hanging) {
            QCOMPARE(checks(k), 0);
        }
    }

    // A view closed while its check runs keeps the checks that were done.
    void closingTheViewKeepsWhatWasChecked() {
        TScriptedHttp http;
        QStringList answered;
        for (int i = 0; i < 3; ++i) {
            answered << cat->addUrl(http.base() + "/ok?" + QString::number(i), "A", QString());
            cat->addUrl(http.base() + "/hang?" + QString::number(i), "H", QString());
        }
        TScriptedDialogs dialogs;
        {
            TURLViewForm v(*module);
            v.show();
            TLinkCheckOptions options = QuickCheckOptions();
            options.timeoutMs = 60000;
            options.maxPerHost = 8;
            v.SetLinkCheckOptions(options);
            dialogs.answer(QMessageBox::Yes);
            ViewAction(v, "actCheckLinks")->trigger();
            QVERIFY(v.LinkCheckForm());
            QTRY_VERIFY(v.LinkCheckForm()->Checker().Done() == 3);
        }
        for (const QString& k : answered) {
            QCOMPARE(checks(k), 1);
        }
    }

    void acceptNewAddresses() {
        TScriptedHttp http;
        const QString moved = cat->addUrl(http.base() + "/c1", "A", QString());
        const QString other = cat->addUrl(http.base() + "/ok", "B", QString());
        TURLViewForm v(*module);
        v.show();
        v.SetLinkCheckOptions(QuickCheckOptions());
        TScriptedDialogs dialogs;
        checkEveryRecord(v, dialogs);
        QCOMPARE(status(moved), QStringLiteral("moved"));
        dialogs.clear();
        dialogs.answer(QMessageBox::Yes);  // all in view
        dialogs.answer(QMessageBox::Yes);  // replace
        v.actAcceptNewAddressesExecute();
        QCOMPARE(dialogs.unexpected(), 0);
        const QString confirmation = dialogs.shown().last().text;
        QVERIFY2(confirmation.contains(http.base() + "/c1") &&
                     confirmation.contains(http.base() + "/final") &&
                     !confirmation.contains(http.base() + "/ok"),
                 qPrintable(confirmation));
        QCOMPARE(cat->otherValue("SELECT URL FROM SubjectURLs WHERE SubjectURLID = '" + moved + "'")
                     .toString(),
                 http.base() + "/final");
        QVERIFY(status(moved).isEmpty());
        QCOMPARE(cat->otherValue("SELECT URL FROM SubjectURLs WHERE SubjectURLID = '" + other + "'")
                     .toString(),
                 http.base() + "/ok");
        QVERIFY(ViewData(v).Locate("SubjectURLID", {moved}, 0));
        QCOMPARE(ViewData(v).FieldByName("URL").AsString(), http.base() + "/final");
    }

    // A record whose address changed after its check, or which is gone, keeps what it has;
    // the summary names it.
    void acceptLeavesChangedRecordsAlone() {
        TScriptedHttp http;
        const QString kept = cat->addUrl(http.base() + "/c1", "A", QString());
        const QString edited = cat->addUrl(http.base() + "/c2", "B", QString());
        const QString deleted = cat->addUrl(http.base() + "/c3", "C", QString());
        TURLViewForm v(*module);
        v.show();
        v.SetLinkCheckOptions(QuickCheckOptions());
        TScriptedDialogs dialogs;
        checkEveryRecord(v, dialogs);
        for (const QString& k : {kept, edited, deleted}) {
            QCOMPARE(status(k), QStringLiteral("moved"));
        }
        // Between the search and the replacing another user corrects one and deletes one.
        TLinkCheckStore store(module->ADOConnection);
        const QList<TMovedLink> moved = store.MovedLinks({kept, edited, deleted});
        QCOMPARE(moved.size(), 3);
        cat->otherExec(
            "UPDATE SubjectURLs SET URL = 'https://mine.example/' WHERE "
            "SubjectURLID = '" +
            edited + "'");
        cat->otherExec("DELETE FROM SubjectURLs WHERE SubjectURLID = '" + deleted + "'");
        const QList<TMovedLink> leftAlone = store.AcceptNewAddresses(moved);
        QStringList names;
        for (const TMovedLink& m : leftAlone) {
            names << m.url;
        }
        QCOMPARE(names, (QStringList{http.base() + "/c2", http.base() + "/c3"}));
        QCOMPARE(cat->otherValue("SELECT URL FROM SubjectURLs WHERE SubjectURLID = '" + kept + "'")
                     .toString(),
                 http.base() + "/final");
        QCOMPARE(
            cat->otherValue("SELECT URL FROM SubjectURLs WHERE SubjectURLID = '" + edited + "'")
                .toString(),
            QStringLiteral("https://mine.example/"));
    }

    // A write the catalogue refuses stops nothing: it is said once, the check goes on, its
    // results wait, and the next check writes them; the commands stay usable.
    void refusedWriteKeepsTheChecker() {
        TScriptedHttp http;
        const QString a = cat->addUrl(http.base() + "/ok?a", "A", QString());
        const QString b = cat->addUrl(http.base() + "/c1", "B", QString());
        const QString trigger =
            cat->refuseWrites("BEFORE INSERT", QString(), "refused", "LinkChecks");
        TURLViewForm v(*module);
        v.show();
        v.SetLinkCheckOptions(QuickCheckOptions());
        TScriptedDialogs dialogs;
        checkEveryRecord(v, dialogs);
        const QString summary = dialogs.shown().last().text;
        QVERIFY2(summary.contains("Не записаны в каталог результаты проверки: 2") &&
                     summary.contains("refused"),
                 qPrintable(summary));
        QCOMPARE(checks(a) + checks(b), 0);
        cat->allowWrites(trigger, "LinkChecks");
        // The next check of one record writes the two waiting as well.
        dialogs.clear();
        QVERIFY(ViewData(v).Locate("SubjectURLID", {a}, 0));
        dialogs.answer(QMessageBox::No);  // the current record only
        ViewAction(v, "actCheckLinks")->trigger();
        QVERIFY(v.LinkCheckForm());
        QTRY_VERIFY(!v.LinkCheckForm());
        QTRY_VERIFY(dialogs.shownTexts().join("\n").contains("Проверка ссылок"));
        QVERIFY2(!dialogs.shown().last().text.contains("Не записаны"),
                 qPrintable(dialogs.shown().last().text));
        QCOMPARE(checks(a), 2);
        QCOMPARE(checks(b), 1);
        QCOMPARE(status(b), QStringLiteral("moved"));
        QTRY_VERIFY(ViewAction(v, "actAcceptNewAddresses")->isEnabled());
    }

    // Checks a refused write left waiting are written when the window closes, should the
    // catalogue take them by then, rather than dropped with the window.
    void closingTheViewWritesTheWaitingChecks() {
        TScriptedHttp http;
        const QString a = cat->addUrl(http.base() + "/ok?a", "A", QString());
        const QString b = cat->addUrl(http.base() + "/c1", "B", QString());
        const QString trigger =
            cat->refuseWrites("BEFORE INSERT", QString(), "refused", "LinkChecks");
        TScriptedDialogs dialogs;
        {
            TURLViewForm v(*module);
            v.show();
            v.SetLinkCheckOptions(QuickCheckOptions());
            checkEveryRecord(v, dialogs);
            QVERIFY(dialogs.shown().last().text.contains("Не записаны в каталог"));
            QCOMPARE(checks(a) + checks(b), 0);
            cat->allowWrites(trigger, "LinkChecks");
        }
        QCOMPARE(checks(a), 1);
        QCOMPARE(checks(b), 1);
        QCOMPARE(status(b), QStringLiteral("moved"));
    }
};

QTEST_MAIN(TestLinkCheckStore)
#include "tst_linkcheckstore.moc"
