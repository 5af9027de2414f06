#include "app/GeneralUnit.h"
#include "common/ConstsUnit.h"
#include "common/ExForm.h"
#include "gridtools/DBGridFilterDlg.h"
#include "gridtools/EditDBGridDlg.h"
#include "gridtools/ExDBGrid.h"
#include "gridtools/FindDBGridCell.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/DataSet.h"
#include "platform/db/PostgresProvider.h"
#include "platform/db/Schema.h"
#include "platform/registry/Registry.h"
#include "reports/ReportWriter.h"
#include "support/CatalogueFixture.h"
#include "support/ScriptedDialogs.h"
#include "support/TestCatalogue.h"
#include "support/TestEnvironment.h"
#include "urls/CategoryDlg.h"
#include "urls/EditDictionaryDlg.h"
#include "urls/EditURLDlg.h"
#include "urls/URLViewFrm.h"

#include <QAction>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QUuid>
#include <QtTest>

#include "support/TestHelpers.h"
#include "support/ViewParts.h"

namespace {}  // namespace

// A catalogue several programs work on at once: what one writes, the others show; what the
// server's rights forbid, the program does not offer.
class TestSharedCatalogue final : public QObject, TCatalogueFixture {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        InitTestApplication();
        LINKARIUM_REQUIRE_ENGINE();
    }

    void init() { openWithTwoLinks(); }
    void cleanup() { closeCatalogue(); }

    // Another program's writes show when the user comes back to the window, the current
    // record kept; an edit under way is never disturbed.
    void otherProgramsWritesShowOnActivation() {
        TURLViewForm v(*module);
        v.show();
        v.activateWindow();
        QTRY_VERIFY(v.isActiveWindow());
        ViewData(v).SetSort("URL ASC");
        QVERIFY(ViewData(v).Locate("URL", {"mailto:b@example.org"}, 0));
        const int before = ViewData(v).RecordCount();
        cat->addUrl("0.example", "другая программа", QString());
        QWidget other;
        other.show();
        other.activateWindow();
        QTRY_VERIFY(other.isActiveWindow());
        v.activateWindow();
        QTRY_VERIFY(v.isActiveWindow());
        // A server's word of the change may come a moment after the write.
        QTRY_COMPARE(ViewData(v).RecordCount(), before + 1);
        QCOMPARE(ViewData(v).FieldByName("URL").AsString(), QStringLiteral("mailto:b@example.org"));
        // Nothing changed since: no reading again.
        QVERIFY(!ViewData(v).ChangedElsewhere());
    }

    // The user deletes the record as the grid shows it: one another user has changed or
    // deleted since is left as it is, the user is told, and the grid shows what there is.
    void deleteLeavesWhatAnotherChanged_data() {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<int>("left");
        QTest::newRow("changed") << "UPDATE SubjectURLs SET Description = 'Их' WHERE URL = "
                                    "'a.example'"
                                 << 1;
        QTest::newRow("deleted") << "DELETE FROM SubjectURLs WHERE URL = 'a.example'" << 0;
    }
    void deleteLeavesWhatAnotherChanged() {
        QFETCH(QString, meanwhile);
        QFETCH(int, left);
        TScriptedDialogs dialogs;
        TURLViewForm v(*module);
        v.show();
        QVERIFY(ViewData(v).Locate("URL", {"a.example"}, 0));
        const int rows = ViewData(v).RecordCount();
        cat->otherExec(meanwhile);
        dialogs.answer(QMessageBox::Yes);
        ViewAction(v, "actDataSetDelete")->trigger();
        QCOMPARE(dialogs.shownTexts().size(), 2);
        QVERIFY2(dialogs.shownTexts().last().contains("другой пользователь"),
                 qPrintable(dialogs.shownTexts().last()));
        QCOMPARE(value("SELECT count(*) FROM SubjectURLs WHERE URL = 'a.example'").toInt(), left);
        QCOMPARE(value("SELECT count(*) FROM SubjectURLs").toInt(), 1 + left);
        QCOMPARE(ViewData(v).RecordCount(), rows - 1 + left);
        if (left) {
            QCOMPARE(ViewData(v).FieldByName("URL").AsString(), QStringLiteral("a.example"));
            QCOMPARE(ViewData(v).FieldByName("Description").AsString(), QStringLiteral("Их"));
            // Read again, it is the user's to delete.
            dialogs.answer(QMessageBox::Yes);
            ViewAction(v, "actDataSetDelete")->trigger();
            QCOMPARE(value("SELECT count(*) FROM SubjectURLs").toInt(), 1);
        }
        QCOMPARE(dialogs.unexpected(), 0);
    }

    // On a server the view follows another program's writes while the user looks at it: the
    // new row shows without a click, the current record stays current at the same height in
    // the window; while a dialog is open over the view nothing moves under it.
    void serverWritesShowLive() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        for (int i = 0; i < 60; ++i) {
            cat->addUrl(QString("m%1.example").arg(i, 2, 10, QChar('0')), "Ряд", QString());
        }
        TURLViewForm v(*module);
        v.resize(800, 400);
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        ViewData(v).SetSort("URL ASC");
        QVERIFY(ViewData(v).Locate("URL", {"m40.example"}, 0));
        TExDBGrid* g = &ViewGrid(v);
        const int offset = g->CurrentRowOffset();
        QVERIFY(offset > 0);
        const int before = ViewData(v).RecordCount();
        cat->addUrl("0.example", "другая программа", QString());
        QTRY_COMPARE(ViewData(v).RecordCount(), before + 1);
        QCOMPARE(ViewData(v).FieldByName("URL").AsString(), QStringLiteral("m40.example"));
        QCOMPARE(g->CurrentRowOffset(), offset);
        // The shared category list follows too.
        const int categories = module->adsCategoryList.RecordCount();
        cat->otherExec("INSERT INTO CategoryList(CategoryName) VALUES ('Чужая')");
        QTRY_COMPARE(module->adsCategoryList.RecordCount(), categories + 1);

        QDialog dialog(&v);
        dialog.setModal(true);
        dialog.show();
        QTRY_VERIFY(QApplication::activeModalWidget() == &dialog);
        QSignalSpy told(&module->ADOConnection, &TConnection::ChangedElsewhere);
        cat->addUrl("1.example", "пока открыт диалог", QString());
        QTRY_VERIFY(told.count() > 0);
        QCOMPARE(ViewData(v).RecordCount(), before + 1);
        QVERIFY(ViewData(v).ChangedElsewhere());
        dialog.close();
        v.RefreshIfChangedElsewhere();
        QCOMPARE(ViewData(v).RecordCount(), before + 2);
        QCOMPARE(ViewData(v).FieldByName("URL").AsString(), QStringLiteral("m40.example"));
    }

    // The server ends the window's session while the user only looks: the caption says the
    // view may be out of date until the program, by itself, has the link back, and then
    // shows what was written meanwhile.
    void viewCaptionFollowsTheLink() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        TURLViewForm v(*module);
        v.resize(800, 400);
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        const int before = ViewData(v).RecordCount();
        QStringList captions;
        connect(&module->ADOConnection, &TConnection::LinkChanged, &v,
                [&captions, &v]() { captions << v.windowTitle(); });
        const int pid =
            static_cast<TPostgresProvider&>(module->ADOConnection.Provider()).backendPid();
        QCOMPARE(cat->otherValue(QString("SELECT pg_terminate_backend(%1)").arg(pid)).toInt(), 1);
        cat->addUrl("meanwhile.example", "", QString());
        QTRY_COMPARE_WITH_TIMEOUT(captions.size(), 2, 10000);
        QVERIFY2(captions.at(0).endsWith("(нет связи с сервером)"), qPrintable(captions.at(0)));
        QVERIFY2(!captions.at(1).contains("нет связи"), qPrintable(captions.at(1)));
        QTRY_COMPARE(ViewData(v).RecordCount(), before + 1);
        QVERIFY(!v.windowTitle().contains("нет связи"));
    }

    // Rights on the server: a role that may only read gets a program that offers no
    // command that writes, each saying why; a role that may edit the records but not the
    // category list keeps the record commands, loses the list's, and saves a record with a
    // new category without touching the list. Whatever the program does not offer is still
    // refused by the server, and said.
    void serverRolesDisableWrites_data() {
        QTest::addColumn<bool>("editsRecords");
        QTest::newRow("read only") << false;
        QTest::newRow("records, not the category list") << true;
    }
    void serverRolesDisableWrites() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        QFETCH(bool, editsRecords);
        const QString role =
            "lk_role_" + QUuid::createUuid().toString(QUuid::Id128).left(12).toLower();
        cat->otherSchema("SELECT 1",
                         QString("CREATE ROLE %1 LOGIN PASSWORD 'secret-%1'").arg(role));
        const auto dropRole = qScopeGuard([this, &role]() {
            cat->otherSchema("SELECT 1", QString("DROP OWNED BY %1").arg(role));
            cat->otherSchema("SELECT 1", QString("DROP ROLE %1").arg(role));
        });
        cat->otherSchema("SELECT 1",
                         QString("GRANT SELECT ON ALL TABLES IN SCHEMA public TO %1").arg(role));
        if (editsRecords) {
            cat->otherSchema(
                "SELECT 1",
                QString("GRANT INSERT, UPDATE, DELETE ON \"SubjectURLs\", \"LinkChecks\" TO %1;"
                        " GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO %1")
                    .arg(role));
        }
        TConnectionString cs(cat->connectionString());
        cs.setValue("User ID", role);
        cs.setValue("Password", "secret-" + role);
        WriteRegString(RegRootKey, RegConnectionValue, cs.toString());
        TScriptedDialogs dialogs;
        TGeneralModule m(nullptr, false);
        m.Connect();
        QVERIFY(m.ADOConnection.Connected());
        QCOMPARE(m.RecordsReadOnly.isEmpty(), editsRecords);
        QVERIFY(m.CategoriesReadOnly.contains("список категорий"));
        QVERIFY(!m.EditCategoryListAction()->isEnabled());
        QCOMPARE(m.EditCategoryListAction()->toolTip(), m.CategoriesReadOnly);

        TURLViewForm v(m);
        v.show();
        QVERIFY(ViewData(v).Locate("URL", {"a.example"}, 0));
        RunApplicationIdle();
        for (QAction* a :
             {ViewAction(v, "actDataSetInsert"), ViewAction(v, "actDataSetEdit"),
              ViewAction(v, "actDataSetDelete"), ViewAction(v, "actDuplicateRecord"),
              ViewAction(v, "actImportBookmarkFile"), ViewAction(v, "actCheckLinks")}) {
            QCOMPARE(a->isEnabled(), editsRecords);
            QCOMPARE(a->toolTip().contains("Только чтение"), !editsRecords);
        }
        QVERIFY(ViewAction(v, "actDataSetRequery")->isEnabled());
        QCOMPARE(v.windowTitle().endsWith("(только чтение)"), !editsRecords);
        QVERIFY(ViewAction(v, "actExport")->isEnabled());

        if (editsRecords) {
            TEditURLForm dialog(m, &v);
            dialog.Prepare(keyA);
            Child<QLineEdit>(dialog, "CategoryDBEdit")->setText("Новости; Своя");
            dialog.OkButtonClick();
            dialog.Finish();
            QVERIFY(dialog.Saved());
            QCOMPARE(
                value(QString("SELECT Category FROM SubjectURLs WHERE SubjectURLID = %1").arg(keyA))
                    .toString(),
                QStringLiteral("Новости; Своя"));
            QCOMPARE(value("SELECT COUNT(*) FROM CategoryList").toInt(), 2);
        } else {
            // Opening a link leaves no mark it may not write.
            TUrlCatcher catcher;
            QDesktopServices::setUrlHandler("http", &catcher, "open");
            v.OpenLink();
            QDesktopServices::unsetUrlHandler("http");
            QCOMPARE(catcher.opened.size(), 1);
            QCOMPARE(
                value(QString("SELECT Visited FROM SubjectURLs WHERE SubjectURLID = %1").arg(keyA))
                    .toInt(),
                0);
        }
        QString refused;
        try {
            m.ADOConnection.Execute(editsRecords
                                        ? "INSERT INTO CategoryList (CategoryName) VALUES ('x')"
                                        : "UPDATE SubjectURLs SET Visited = 1");
        } catch (const EDatabaseError& e) {
            refused = e.message();
        }
        QVERIFY2(refused.contains("permission denied"), qPrintable(refused));
        QCOMPARE(dialogs.unexpected(), 0);
    }
};

QTEST_MAIN(TestSharedCatalogue)
#include "tst_sharedcatalogue.moc"
