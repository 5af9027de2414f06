#include "app/GeneralUnit.h"
#include "common/ConstsUnit.h"
#include "common/ExForm.h"
#include "gridtools/DBGridFilterDlg.h"
#include "gridtools/EditDBGridDlg.h"
#include "gridtools/ExDBGrid.h"
#include "gridtools/FindDBGridCell.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/DataSet.h"
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

class TestUrls final : public QObject, TCatalogueFixture {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        InitTestApplication();
        LINKARIUM_REQUIRE_ENGINE();
    }

    void init() { openWithTwoLinks(); }
    void cleanup() { closeCatalogue(); }

    void viewColumnsAndLinks() {
        TURLViewForm v(*module);
        v.show();
        ViewData(v).SetSort("URL ASC");
        TExDBGrid* g = &ViewGrid(v);
        QCOMPARE(g->ColumnTitle(0), QStringLiteral("ID"));
        QVERIFY(!g->ColumnVisible(0));
        QCOMPARE(g->ColumnTitle(2), QStringLiteral("Категории"));
        QCOMPARE(g->ColumnWidth(1), 215);
        QVERIFY(!g->ColumnVisible(4));     // the visited mark is no column at first
        QVERIFY(g->SelectedIndex() != 0);  // never on the hidden key
        TUrlCatcher catcher;
        QDesktopServices::setUrlHandler("http", &catcher, "open");
        // An address without "//" opens as http://..., and is marked visited once.
        QVERIFY(ViewData(v).Locate("URL", {"a.example"}, 0));
        v.OpenLink();
        QCOMPARE(value("SELECT Visited FROM SubjectURLs WHERE URL = 'a.example'").toInt(), 1);
        // A "mailto:" address keeps its scheme; an already visited record is not updated.
        QDesktopServices::setUrlHandler("mailto", &catcher, "open");
        cat->refuseWrites("AFTER UPDATE", QString(), "no update expected");
        QVERIFY(ViewData(v).Locate("SubjectURLID", {keyB}, 0));
        v.OpenLink();
        QDesktopServices::unsetUrlHandler("http");
        QDesktopServices::unsetUrlHandler("mailto");
        QCOMPARE(catcher.opened,
                 (QList<QUrl>{QUrl("http://a.example"), QUrl("mailto:b@example.org")}));
    }

    // Real mouse events on the grid's viewport, each to the widget under the pointer: two
    // clicks on the link open it twice, the first marks the row visited at once, and no
    // in-place editor is left behind to swallow the second.
    void linkClicksThroughTheGrid() {
        const int interval = QApplication::doubleClickInterval();
        QApplication::setDoubleClickInterval(0);  // a delayed editor would open at once
        TUrlCatcher catcher;
        QDesktopServices::setUrlHandler("http", &catcher, "open");
        TURLViewForm v(*module);
        v.resize(800, 400);
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        TExDBGrid* g = &ViewGrid(v);
        QVERIFY(ViewData(v).Locate("URL", {"a.example"}, 0));
        g->SetSelectedIndex(ViewData(v).FieldByName("URL").Index());
        g->viewport()->repaint();
        QTRY_VERIFY(!v.HotRect().isEmpty());
        const QPoint link = v.HotRect().center();
        for (int i = 1; i <= 2; ++i) {
            QTest::mouseMove(g->viewport(), link);
            QWidget* target = g->viewport()->childAt(link);
            target = target ? target : g->viewport();
            QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(g->viewport(), link));
            QTRY_COMPARE(catcher.opened.size(), i);
            QCoreApplication::processEvents();
            QVERIFY(!g->InplaceEditor());
        }
        QDesktopServices::unsetUrlHandler("http");
        QApplication::setDoubleClickInterval(interval);
        QCOMPARE(value("SELECT Visited FROM SubjectURLs WHERE URL = 'a.example'").toInt(), 1);
        // Drawn as visited without a re-query: the row in memory has the mark.
        QVERIFY(ViewData(v).FieldByName("Visited").AsBoolean());
        QVERIFY(!ViewData(v).UpdatesPending());
    }

    // The grid's menu offers the record commands and the link; Enter on an address opens
    // it, elsewhere it edits; the delete question names the address and defaults to "Нет".
    void contextMenuAndEnter() {
        TScriptedDialogs dialogs;
        TUrlCatcher catcher;
        QDesktopServices::setUrlHandler("http", &catcher, "open");
        TURLViewForm v(*module);
        int edits = 0;
        dialogs.answerDialog([&edits](QDialog& dialog) {
            edits += dialog.objectName() == "TEditURLForm";
            return int(QDialog::Rejected);
        });
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        QStringList names;
        for (QAction* a : Child<QMenu>(v, "CommonPopupMenu")->actions()) {
            if (!a->isSeparator()) {
                names << a->objectName();
            }
        }
        QCOMPARE(names.mid(0, 5), (QStringList{"actOpenLink", "actDataSetInsert", "miEditRecord",
                                               "miDuplicateRecord", "miDeleteRecord"}));
        QCOMPARE(v.findChild<QAction*>("miEditRecord")->text(), QStringLiteral("Изменить..."));

        TExDBGrid* g = &ViewGrid(v);
        QVERIFY(ViewData(v).Locate("URL", {"a.example"}, 0));
        g->SetSelectedIndex(ViewData(v).FieldByName("URL").Index());
        g->setFocus();
        QTest::keyClick(g, Qt::Key_Return);
        QCOMPARE(catcher.opened.size(), 1);
        QCOMPARE(edits, 0);
        QCOMPARE(value("SELECT Visited FROM SubjectURLs WHERE URL = 'a.example'").toInt(), 1);
        g->SetSelectedIndex(ViewData(v).FieldByName("Description").Index());
        QTest::keyClick(g, Qt::Key_Return);
        QCOMPARE(edits, 1);
        QCOMPARE(catcher.opened.size(), 1);
        QDesktopServices::unsetUrlHandler("http");
        dialogs.clear();

        const int rows = ViewData(v).RecordCount();
        dialogs.answer(QMessageBox::No);
        v.findChild<QAction*>("miDeleteRecord")->trigger();
        QCOMPARE(ViewData(v).RecordCount(), rows);
        QCOMPARE(dialogs.shown().size(), 1);
        QVERIFY(dialogs.shown().first().text.endsWith("\n\na.example"));
        QCOMPARE(dialogs.shown().first().defaultButton, QMessageBox::No);
    }

    void browserThatCannotStartIsReported() {
        TScriptedDialogs dialogs;
        TURLViewForm v(*module);
        v.show();
        QVERIFY(ViewData(v).Locate("URL", {"a.example"}, 0));
        // No handler: the test platform has no browser to start.
        Guarded([&v]() { v.OpenLink(); });
        QCOMPARE(dialogs.shownTexts().size(), 1);
        QVERIFY(dialogs.shownTexts().first().contains("http://a.example"));
        QCOMPARE(value("SELECT Visited FROM SubjectURLs WHERE URL = 'a.example'").toInt(), 0);
        QVERIFY(!ViewData(v).FieldByName("Visited").AsBoolean());
    }

    void deleteAndDuplicate() {
        TScriptedDialogs dialogs;
        TURLViewForm v(*module);
        v.show();
        ViewData(v).SetSort("URL ASC");
        QVERIFY(ViewData(v).Locate("SubjectURLID", {keyB}, 0));
        ViewAction(v, "actDuplicateRecord")->trigger();
        QCOMPARE(ViewData(v).RecordCount(), 3);
        QVERIFY(v.CurrentKey().toString() != keyB);
        QVERIFY(ViewData(v).FieldByName("Visited").AsBoolean());  // the copy is visited
        QCOMPARE(value("SELECT count(*) FROM SubjectURLs WHERE Visited = 1").toInt(), 2);
        ViewData(v).Last();
        dialogs.answer(QMessageBox::Yes);
        ViewAction(v, "actDataSetDelete")->trigger();
        QCOMPARE(ViewData(v).RecordCount(), 2);
        QCOMPARE(ViewData(v).RecNo(), 2);  // the record before it
        dialogs.answer(QMessageBox::Yes);
        ViewAction(v, "actDataSetDelete")->trigger();
        dialogs.answer(QMessageBox::Yes);
        ViewAction(v, "actDataSetDelete")->trigger();
        QVERIFY(ViewData(v).IsEmpty());
        QCOMPARE(value("SELECT count(*) FROM SubjectURLs").toInt(), 0);
    }

    // The key the program keeps hidden is listed unticked in the column setup; ticked, it
    // shows, and stays shown when the rows are read anew or filtered; unticked, it goes.
    void hiddenKeyCanBeShown() {
        TURLViewForm v(*module);
        v.show();
        TExDBGrid* g = &ViewGrid(v);
        const int key = ViewData(v).FieldByName("SubjectURLID").Index();
        QVERIFY(!g->ColumnVisible(key));
        for (const bool shown : {true, false}) {
            TEditDBGridForm columns;
            columns.LoadColumns(*g);
            auto* list = columns.findChild<QListWidget*>("ColumnsCheckListBox");
            const QList<QListWidgetItem*> item = list->findItems("ID", Qt::MatchExactly);
            QCOMPARE(item.size(), 1);
            QCOMPARE(item.first()->checkState(), shown ? Qt::Unchecked : Qt::Checked);
            item.first()->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
            columns.ApplyColumns(*g);
            QCOMPARE(g->ColumnVisible(key), shown);
            ViewAction(v, "actDataSetRequery")->trigger();
            QCOMPARE(g->ColumnVisible(key), shown);
            QVERIFY(ViewData(v).Locate("URL", {"a.example"}, 0));
            g->SetSelectedIndex(ViewData(v).FieldByName("URL").Index());
            ViewAction(v, "actFilterBySelection")->trigger();
            QCOMPARE(ViewData(v).RecordCount(), 1);
            QCOMPARE(g->ColumnVisible(key), shown);
            ViewAction(v, "actRemoveFilter")->trigger();
            QCOMPARE(g->ColumnVisible(key), shown);
        }
    }

    // The visited mark is data like any other column: offered in the column setup, shown as a
    // check mark, and one quick filter away from "the links not opened yet".
    void visitedMarkAsAColumn() {
        cat->addUrl("c.example", "Третья", QString(), true);
        TURLViewForm v(*module);
        v.show();
        ViewData(v).SetSort("URL ASC");
        TExDBGrid* g = &ViewGrid(v);
        const int visited = ViewData(v).FieldByName("Visited").Index();
        QVERIFY(!g->ColumnVisible(visited));
        TEditDBGridForm columns;
        columns.LoadColumns(*g);
        auto* list = columns.findChild<QListWidget*>("ColumnsCheckListBox");
        const QList<QListWidgetItem*> mark = list->findItems("Посещена", Qt::MatchExactly);
        QCOMPARE(mark.size(), 1);
        QCOMPARE(mark.first()->checkState(), Qt::Unchecked);
        mark.first()->setCheckState(Qt::Checked);
        columns.ApplyColumns(*g);
        QVERIFY(g->ColumnVisible(visited));
        // Shown last, the marks keep their width; the description reaches the edge.
        const int description = ViewData(v).FieldByName("Description").Index();
        QHeaderView* h = g->horizontalHeader();
        QCOMPARE(h->visualIndex(visited), h->count() - 1 - 3);  // the link check's are hidden
        QTRY_COMPARE(h->length(), g->viewport()->width());
        QCOMPARE(h->sectionSize(visited), g->ColumnWidth(visited));
        QVERIFY(h->sectionSize(description) > g->ColumnWidth(description));
        const auto shown = [&v, visited](int row) {
            return ViewGrid(v).model()->index(row, visited).data().toString();
        };
        QCOMPARE(shown(0), QString());                 // a.example
        QCOMPARE(shown(1), QStringLiteral("\u2713"));  // c.example
        // The link column is painted from the model: it answers each row's mark.
        const int url = ViewData(v).FieldByName("URL").Index();
        QCOMPARE(g->model()->index(0, url).data(TURLViewForm::VisitedRole).toBool(), false);
        QCOMPARE(g->model()->index(1, url).data(TURLViewForm::VisitedRole).toBool(), true);
        QCOMPARE(shown(2), QStringLiteral("\u2713"));  // mailto:
        QCOMPARE(g->model()->index(0, visited).data(Qt::TextAlignmentRole).toInt() &
                     Qt::AlignHorizontal_Mask,
                 int(Qt::AlignHCenter));

        // A quick filter on a cell without the mark keeps the links not opened yet.
        QVERIFY(ViewData(v).Locate("URL", {"a.example"}, 0));
        g->SetSelectedIndex(visited);
        ViewAction(v, "actFilterBySelection")->trigger();
        QCOMPARE(ViewData(v).RecordCount(), 1);
        QCOMPARE(ViewData(v).FieldByName("URL").AsString(), QStringLiteral("a.example"));
        ViewAction(v, "actRemoveFilter")->trigger();
        QVERIFY(ViewData(v).Locate("URL", {"a.example"}, 0));
        g->SetSelectedIndex(visited);
        ViewAction(v, "actFilterExcludeSelection")->trigger();
        QCOMPARE(ViewData(v).RecordCount(), 2);
        ViewAction(v, "actRemoveFilter")->trigger();

        // Sorted by the mark, the visited ones come last going up.
        g->SetSelectedIndex(visited);
        ViewAction(v, "actSortAsc")->trigger();
        ViewData(v).First();
        QCOMPARE(ViewData(v).FieldByName("URL").AsString(), QStringLiteral("a.example"));
        ViewData(v).Last();
        QVERIFY(ViewData(v).FieldByName("Visited").AsBoolean());

        // The report writes the mark the way the grid shows it.
        const QString table = QString::fromUtf8(WriteReportTable(
            ViewData(v), {&ViewData(v).FieldByName("URL"), &ViewData(v).FieldByName("Visited")},
            "T"));
        QVERIFY2(table.contains("<TH Align=\"left\"><font size=\"1\">Посещена</font></TH>"),
                 qPrintable(table));
        QCOMPARE(table.count("<font size=\"1\">\u2713</font>"), 2);
        QVERIFY(!table.contains("True") && !table.contains("False"));
    }

    // Typing into the search box over a column that is not text (a code, a date, a mark)
    // searches what the column shows, letter by letter, and never raises a message: "40"
    // finds 404, a half-typed date or number is simply not found yet.
    void searchNonTextColumns_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("found");  // the URL found, empty for none
        QTest::newRow("code, its first digits") << "LinkCode"
                                                << "40"
                                                << "e.example";
        QTest::newRow("code, not a number") << "LinkCode"
                                            << "30x"
                                            << "";
        QTest::newRow("code, a whole one") << "LinkCode"
                                           << "200"
                                           << "f.example";
        QTest::newRow("checked, half a date") << "LinkChecked"
                                              << "1"
                                              << "";
        QTest::newRow("visited, a digit") << "Visited"
                                          << "1"
                                          << "";
    }
    void searchNonTextColumns() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, found);
        const QString e = cat->addUrl("e.example", "E", QString());
        const QString f = cat->addUrl("f.example", "F", QString());
        cat->otherExec("UPDATE SubjectURLs SET LinkCode = 404 WHERE SubjectURLID = '" + e + "'");
        cat->otherExec("UPDATE SubjectURLs SET LinkCode = 200 WHERE SubjectURLID = '" + f + "'");
        TURLViewForm v(*module);
        v.show();
        ViewData(v).SetSort("URL ASC");
        const int column = ViewData(v).FieldByName(field).Index();
        ViewGrid(v).SetColumnVisible(column, true);
        ViewGrid(v).SetSelectedIndex(column);
        QCOMPARE(ViewGrid(v).SelectedField(), &ViewData(v).FieldByName(field));
        QVERIFY(ViewData(v).Locate("URL", {"a.example"}, 0));
        TScriptedDialogs dialogs;
        ViewFindBox(v).setFocus();
        QTest::keyClicks(&ViewFindBox(v), typed);
        QVERIFY2(dialogs.unexpected() == 0, qPrintable(dialogs.shownTexts().join("\n")));
        QCOMPARE(ViewFindBox(v).NotFound(), found.isEmpty());
        QCOMPARE(ViewData(v).FieldByName("URL").AsString(),
                 found.isEmpty() ? QStringLiteral("a.example") : found);
    }

    // The search box: the beginning of the selected column's value by default, or the text
    // anywhere in it, or in every visible column; F3 and Shift+F3 step through the matches;
    // a search that finds nothing keeps the record and says so. Letter case of Cyrillic
    // text does not matter; the modes are remembered by the view.
    void searchAnywhere() {
        cat->addUrl("c.example", "Прогноз ПОГОДЫ", "Разное");
        cat->addUrl("d.example", "погода завтра", "Новости");
        TURLViewForm v(*module);
        v.show();
        v.resize(1100, 400);  // room for the search bar's every part
        ViewData(v).SetSort("URL ASC");
        TExDBGrid* g = &ViewGrid(v);
        TFindDBGridCell* box = &ViewFindBox(v);
        const auto url = [&v]() { return ViewData(v).FieldByName("URL").AsString(); };
        g->SetSelectedIndex(ViewData(v).FieldByName("Description").Index());
        box->setText("ПОГОД");
        QCOMPARE(url(), QStringLiteral("d.example"));  // only its value begins so
        box->setText("прогноз погоды!");
        QVERIFY(box->NotFound());
        QTRY_VERIFY(Child<QLabel>(v, "FindStateLabel")->isVisible());
        QCOMPARE(url(), QStringLiteral("d.example"));
        box->setText("погод");
        QVERIFY(!box->NotFound());
        QTRY_VERIFY(!Child<QLabel>(v, "FindStateLabel")->isVisible());

        ViewAction(v, "actFindAnywhere")->trigger();
        QCOMPARE(url(), QStringLiteral("c.example"));
        QCOMPARE(ViewAction(v, "actFindNext")->shortcut(), QKeySequence(Qt::Key_F3));
        QCOMPARE(ViewAction(v, "actFindPrevious")->shortcut(),
                 QKeySequence(Qt::SHIFT | Qt::Key_F3));
        QCOMPARE(ViewAction(v, "actFocusFind")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
        ViewAction(v, "actFindNext")->trigger();
        QCOMPARE(url(), QStringLiteral("d.example"));
        ViewAction(v, "actFindNext")->trigger();  // no further match: stays
        QVERIFY(box->NotFound());
        QCOMPARE(url(), QStringLiteral("d.example"));
        ViewAction(v, "actFindPrevious")->trigger();
        QCOMPARE(url(), QStringLiteral("c.example"));
        // A text typed on searches on from the last match, unless the rows changed since.
        cat->otherExec(
            "UPDATE SubjectURLs SET Description = 'ПОГОДА утром' WHERE URL = "
            "'a.example'");
        ViewAction(v, "actDataSetRequery")->trigger();
        box->setText("погода");
        QCOMPARE(url(), QStringLiteral("a.example"));
        box->setText("погода у");
        QCOMPARE(url(), QStringLiteral("a.example"));
        box->setText("погода уz");
        QVERIFY(box->NotFound());
        box->setText("погода уzz");
        QVERIFY(box->NotFound());
        QCOMPARE(url(), QStringLiteral("a.example"));
        box->setText("погод");

        // In every visible column: the categories hold "НОВОСТИ" too; a hidden column does
        // not count, the key column included.
        ViewAction(v, "actFindAllColumns")->trigger();
        box->setText("новости");
        QCOMPARE(url(), QStringLiteral("a.example"));
        ViewAction(v, "actFindNext")->trigger();
        QCOMPARE(url(), QStringLiteral("d.example"));
        g->SetColumnVisible(ViewData(v).FieldByName("Category").Index(), false);
        box->setText("новост");
        QVERIFY(box->NotFound());
        box->setText(keyA.mid(1, 8));
        QVERIFY(box->NotFound());
        g->SetColumnVisible(ViewData(v).FieldByName("Category").Index(), true);
        v.close();

        TURLViewForm again(*module);
        again.show();
        QVERIFY(ViewAction(again, "actFindAnywhere")->isChecked());
        QVERIFY(ViewAction(again, "actFindAllColumns")->isChecked());
        QVERIFY(ViewFindBox(again).Anywhere());
    }

    // After each record command the view holds what reading the whole query again gives:
    // the same rows in the same order, the same count, the same current record; also when
    // another program wrote to the catalogue in between.
    void recordCommandsShowWhatAFullReadShows_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("sort");
        QTest::newRow("add") << "add"
                             << "URL ASC";
        QTest::newRow("edit of the sort key") << "edit"
                                              << "URL DESC";
        QTest::newRow("duplicate") << "duplicate"
                                   << "Description ASC";
        QTest::newRow("delete of the last row") << "delete"
                                                << "URL ASC";
        QTest::newRow("another program added a record") << "other"
                                                        << "URL ASC";
    }
    void recordCommandsShowWhatAFullReadShows() {
        QFETCH(QString, command);
        QFETCH(QString, sort);
        TScriptedDialogs dialogs;
        cat->addUrl("c.example", "Третья", "Работа");
        TURLViewForm v(*module);
        v.show();
        ViewData(v).SetSort(sort);
        QVERIFY(ViewData(v).Locate("SubjectURLID", {keyA}, 0));
        dialogs.answerDialog([&command](QDialog& dialog) {
            Child<QLineEdit>(dialog, "URLDBEdit")
                ->setText(command == "add" ? "b2.example" : "zz.example");
            static_cast<TEditURLForm&>(dialog).OkButtonClick();
            return dialog.result();
        });
        const auto shown = [&v]() {
            return RecordTexts(ViewData(v))
                   << "current " + v.CurrentKey().toString() << v.windowTitle();
        };
        if (command == "add") {
            ViewAction(v, "actDataSetInsert")->trigger();
        } else if (command == "edit") {
            ViewAction(v, "actDataSetEdit")->trigger();
        } else if (command == "duplicate") {
            ViewAction(v, "actDuplicateRecord")->trigger();
        } else if (command == "delete") {
            ViewData(v).Last();
            dialogs.answer(QMessageBox::Yes);
            ViewAction(v, "actDataSetDelete")->trigger();
        } else {
            cat->addUrl("aa.example", "Чужая", QString());
            ViewAction(v, "actDataSetEdit")->trigger();
        }
        const QStringList after = shown();
        ViewAction(v, "actDataSetRequery")->trigger();
        QCOMPARE(after, shown());
        QCOMPARE(ViewData(v).RecordCount(), value("SELECT count(*) FROM SubjectURLs").toInt());
    }

    void insertAndEditGoThroughTheDialog() {
        TScriptedDialogs dialogs;
        TURLViewForm v(*module);
        v.show();
        QStringList asked;
        QString newKey;
        // The new record is typed and saved with OK; the edited one is closed unchanged.
        dialogs.answerDialog([&](QDialog& dialog) {
            auto* url = Child<QLineEdit>(dialog, "URLDBEdit");
            asked << url->text();
            url->setText("new.example");
            static_cast<TEditURLForm&>(dialog).OkButtonClick();
            newKey = static_cast<TEditURLForm&>(dialog).RecordKey().toString();
            return dialog.result();
        });
        dialogs.answerDialog([&](QDialog& dialog) {
            asked << Child<QLineEdit>(dialog, "URLDBEdit")->text();
            return int(QDialog::Rejected);
        });
        ViewAction(v, "actDataSetInsert")->trigger();
        QCOMPARE(ViewData(v).State(), TDataSetState::Browse);
        QCOMPARE(ViewData(v).RecordCount(), 3);
        QCOMPARE(v.CurrentKey().toString(), newKey);
        ViewAction(v, "actDataSetEdit")->trigger();
        QCOMPARE(asked, (QStringList{QString(), "new.example"}));
        QCOMPARE(dialogs.unexpected(), 0);
        QCOMPARE(ViewData(v).State(), TDataSetState::Browse);
    }

    void categoriesOfferedToTheFilterDialog() {
        TURLViewForm v(*module);
        v.show();
        TDBGridFilterForm f;
        f.SetDataSet(&ViewData(v));
        v.PrepareFilterDialog(f);
        f.Prepare();
        auto* fields = Child<QComboBox>(f, "FieldComboBox");
        fields->setCurrentIndex(fields->findText("Категории"));
        auto* list = Child<QComboBox>(f, "BooleanComboBox");
        QVERIFY(list->isVisibleTo(&f));
        QVERIFY(list->isEditable());  // a free list
        QCOMPARE(list->itemText(0), QStringLiteral("Новости"));
        QStringList items;
        for (int i = 0; i < list->count(); ++i) {
            items << list->itemText(i);
        }
        QVERIFY(!items.contains(QString()));  // no empty last choice
    }

    void categoryListFailureKeepsTheNames() {
        TScriptedDialogs dialogs;
        const QString trigger =
            cat->refuseWrites("BEFORE INSERT", QString(), "list refused", "CategoryList");
        TCategoryForm f(*module);
        dialogs.answerDialog([&f](QDialog& dialog) {
            f.AddButtonClick();
            Child<QPushButton>(dialog, "OkButton")->click();
            return dialog.result();
        });
        QString result;
        QVERIFY(f.Run("Своя", result));
        QCOMPARE(result, QStringLiteral("Своя"));
        QCOMPARE(dialogs.shownTexts().size(), 2);  // the window, then what went wrong
        QVERIFY(dialogs.shownTexts().last().contains("list refused"));
        QVERIFY(module->adsCategoryList.UpdatesPending());
        QCOMPARE(value("SELECT count(*) FROM CategoryList").toInt(), 2);
        cat->allowWrites(trigger, "CategoryList");
        module->adsCategoryList.UpdateBatch();
        QCOMPARE(value("SELECT count(*) FROM CategoryList WHERE CategoryName = 'Своя'").toInt(), 1);
    }

    void categoryNames_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("plain") << "Новости; Работа" << QStringList{"Новости", "Работа"};
        QTest::newRow("blanks and empty pieces") << " a ;; b;\n c ;" << QStringList{"a", "b", "c"};
        QTest::newRow("empty") << "" << QStringList{};
    }
    void categoryNames() {
        QFETCH(QString, text);
        QFETCH(QStringList, names);
        QCOMPARE(TCategoryForm::SplitNames(text), names);
    }

    void categoryDialog() {
        TCategoryForm f(*module);
        f.Prepare("работа; Своя");
        auto* list = Child<QListWidget>(f, "CategoryCheckListBox");
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(0)->text(), QStringLiteral("Новости"));
        QCOMPARE(list->item(0)->checkState(), Qt::Unchecked);
        QCOMPARE(list->item(1)->checkState(), Qt::Checked);  // other letter case
        list->item(0)->setCheckState(Qt::Checked);           // rewrites the text
        QCOMPARE(f.Text(), QStringLiteral("Новости; Работа; Своя"));
        f.AddButtonClick();  // "Своя" joins the list, checked
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->item(2)->text(), QStringLiteral("Своя"));
        QCOMPARE(list->item(2)->checkState(), Qt::Checked);
        f.Finish(false);  // cancelled: the list never gets it
        QCOMPARE(value("SELECT count(*) FROM CategoryList").toInt(), 2);
        QCOMPARE(module->adsCategoryList.RecordCount(), 2);
        list->item(0)->setCheckState(Qt::Unchecked);
        list->item(1)->setCheckState(Qt::Unchecked);
        list->item(2)->setCheckState(Qt::Unchecked);
        QCOMPARE(f.Text(), QString());
        QVERIFY(!Child<QPushButton>(f, "AddButton")->isEnabled());
        QVERIFY(Child<QPushButton>(f, "OkButton")->isDefault());
    }

    void categoryDialogWritesOnOk() {
        TCategoryForm f(*module);
        f.Prepare("Новая;Новая");
        f.AddButtonClick();  // typed twice, added once
        f.Finish(true);
        QCOMPARE(value("SELECT count(*) FROM CategoryList WHERE CategoryName = 'Новая'").toInt(),
                 1);
        QCOMPARE(module->adsCategoryList.RecordCount(), 3);
    }

    void dictionaryEditor() {
        TEditDictionaryForm f;
        f.Prepare(module->adsCategoryList, "CategoryName");
        QCOMPARE(f.Items(), (QStringList{"Новости", "Работа"}));
        auto* edit = Child<QLineEdit>(f, "NewEdit");
        edit->setText("новости");  // other case: nothing added, the edit emptied
        f.AddButtonClick();
        QCOMPARE(f.Items().size(), 2);
        QVERIFY(edit->text().isEmpty());
        edit->setText("  Дом  ");
        f.AddButtonClick();
        QCOMPARE(f.Items(), (QStringList{"Дом", "Новости", "Работа"}));
        auto* list = Child<QListWidget>(f, "ItemsListView");
        QListWidgetItem* work = list->item(f.Find("работа"));
        f.ItemsListViewEdited(work, "новости");  // taken: the old name stays
        QCOMPARE(work->text(), QStringLiteral("Работа"));
        f.ItemsListViewEdited(work, "РАБОТА");  // its own name in other case: accepted
        QCOMPARE(work->text(), QStringLiteral("РАБОТА"));
        list->clearSelection();
        list->item(2)->setSelected(true);
        f.DeleteButtonClick();  // the last: the new last is selected
        QCOMPARE(f.Items(), (QStringList{"Дом", "Новости"}));
        QCOMPARE(list->currentRow(), 1);
        f.Finish(true);
        QCOMPARE(cat->otherColumn("SELECT CategoryName FROM CategoryList ORDER BY 1"),
                 (QStringList{"Дом", "Новости"}));
    }

    void dictionaryEditorCancel() {
        TEditDictionaryForm f;
        f.Prepare(module->adsCategoryList, "CategoryName");
        Child<QListWidget>(f, "ItemsListView")->selectAll();
        f.DeleteButtonClick();
        QVERIFY(f.Items().isEmpty());
        f.Finish(false);
        QCOMPARE(value("SELECT count(*) FROM CategoryList").toInt(), 2);
        QCOMPARE(module->adsCategoryList.RecordCount(), 2);
    }
};

QTEST_MAIN(TestUrls)
#include "tst_urls.moc"
