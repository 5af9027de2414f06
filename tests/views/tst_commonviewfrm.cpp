#include "TestViewForm.h"
#include "gridtools/ColumnLayout.h"

#include "common/ConstsUnit.h"
#include "common/DrawnIcons.h"
#include "common/UtilsUnit.h"
#include "gridtools/DBGridFilterDlg.h"
#include "gridtools/ExDBGrid.h"
#include "gridtools/FindDBGridCell.h"
#include "gridtools/GridSort.h"
#include "platform/registry/Registry.h"
#include "settings/Placemnt.h"
#include "support/CatalogueFixture.h"
#include "support/ScriptedDialogs.h"
#include "support/TestCatalogue.h"
#include "support/TestEnvironment.h"
#include "support/TestHelpers.h"
#include "support/ViewParts.h"

#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>

namespace {
const QString kDeleteQuestion = QStringLiteral("Вы действительно хотите удалить данную запись?");
const QString kNameTaken = QStringLiteral("Фильтр с таким именем уже существует.");
}  // namespace

class TestCommonViewFrm final : public QObject, TCatalogueFixture {
    Q_OBJECT

    void addItem(const QString& name, bool active, const QString& created, const QString& amount,
                 const QString& price) {
        const auto value = [](const QString& v) {
            return v == QLatin1String("NULL") ? QVariant() : QVariant(v);
        };
        cat->other().Execute(
            "INSERT INTO Items VALUES (:ID, :Name, :Active, :Created, :Amount, :Price)",
            {{"ID", QUuid::createUuid().toString(QUuid::WithBraces).toUpper()},
             {"Name", name.isNull() ? QVariant() : QVariant(name)},
             {"Active", active},
             {"Created", created == QLatin1String("NULL")
                             ? QVariant()
                             : QVariant(DateTimeFromDayNumber(created.toDouble()))},
             {"Amount", value(amount)},
             {"Price", value(price)}});
    }
    std::unique_ptr<TTestViewForm> openView(const QString& base = "SELECT * FROM Items") {
        auto view = std::make_unique<TTestViewForm>(*module, base);
        view->show();
        return view;
    }
    static void selectCell(TTestViewForm& v, const QString& field, const QString& name) {
        QVERIFY(ViewData(v).Locate("Name", {name}, 0));
        ViewGrid(v).SetSelectedIndex(ViewData(v).FieldByName(field).Index());
    }

private Q_SLOTS:
    void initTestCase() {
        InitTestApplication();
        LINKARIUM_REQUIRE_ENGINE();
    }

    void init() {
        openCatalogue([this](TTestCatalogue& c) {
            c.otherSchema(TTestViewForm::Schema(), TTestViewForm::ServerSchema());
            addItem("alpha", true, "37653.75", "1", "1.5");
            addItem("Beta \"b\"", false, "37654", "2", "2.5");
            addItem(QString(), false, "NULL", "3", "NULL");
            addItem("gamma", true, "37653.25", "NULL", "3.5");
        });
    }
    void cleanup() { closeCatalogue(); }

    void queryComposition_data() {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no where") << "SELECT * FROM Items"
                                  << "SELECT * FROM Items WHERE (A)";
        QTest::newRow("where") << "SELECT * FROM Items WHERE Amount > 0"
                               << "SELECT * FROM Items WHERE Amount > 0 AND (A)";
        QTest::newRow("lower-case where") << "SELECT * FROM Items where 1 = 1"
                                          << "SELECT * FROM Items where 1 = 1 AND (A)";
    }
    void queryComposition() {
        QFETCH(QString, base);
        QFETCH(QString, expected);
        TTestViewForm v(*module, base);
        QCOMPARE(v.ComposeQuery("(A)"), expected);
        QCOMPARE(v.ComposeQuery(""), base);
    }

    void captionCounts_data() {
        QTest::addColumn<int>("extra");
        QTest::addColumn<QString>("caption");
        QTest::newRow("4") << 0 << "Items - 4 записи";
        QTest::newRow("5") << 1 << "Items - 5 записей";
        QTest::newRow("11") << 7 << "Items - 11 записей";
        QTest::newRow("21") << 17 << "Items - 21 запись";
        QTest::newRow("22") << 18 << "Items - 22 записи";
        QTest::newRow("101") << 97 << "Items - 101 запись";
        QTest::newRow("111") << 107 << "Items - 111 запись";
    }
    void captionCounts() {
        QFETCH(int, extra);
        QFETCH(QString, caption);
        for (int i = 0; i < extra; ++i) {
            addItem("x" + QString::number(i), false, "NULL", "NULL", "NULL");
        }
        auto v = openView();
        QCOMPARE(v->windowTitle(), caption);
        ViewData(*v).Close();
        QCOMPARE(v->windowTitle(), QStringLiteral("Items"));
    }

    // A view of thousands of records paints its first ones and searches while the rest
    // is read; the caption gives the count once it is known.
    void largeViewWorksWhileItsRecordsArrive() {
        cat->other().BeginTrans();
        for (int i = 0; i < 4996; ++i) {
            addItem("x" + QString::number(i), false, "NULL", "NULL", "NULL");
        }
        cat->other().CommitTrans();
        auto v = openView();
        if (TestEngine() == TTestEngine::SQLite) {
            QVERIFY(ViewData(*v).Fetching());
            QCOMPARE(v->windowTitle(), QStringLiteral("Items - загрузка..."));
            QVERIFY(ViewGrid(*v).model()->rowCount() < 5000);
        }
        ViewGrid(*v).SetSelectedIndex(ViewData(*v).FieldByName("Name").Index());
        ViewFindBox(*v).setText("x4990");
        QCOMPARE(ViewData(*v).FieldByName("Name").AsString(), QStringLiteral("x4990"));
        QTRY_COMPARE(v->windowTitle(), QStringLiteral("Items - 5000 записей"));
        QCOMPARE(ViewGrid(*v).model()->rowCount(), 5000);
    }

    void quickFilterConditions_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("keep");
        QTest::addColumn<QString>("exclude");
        QTest::newRow("null cell") << "Name"
                                   << ""
                                   << "Name IS NULL"
                                   << "Name IS NOT NULL";
        QTest::newRow("text with quote") << "Name"
                                         << "Beta \"b\""
                                         << "Name = \"Beta \"\"b\"\"\""
                                         << "Name <> \"Beta \"\"b\"\"\" OR Name IS NULL";
        QTest::newRow("boolean") << "Active"
                                 << "alpha"
                                 << "Active = :True"
                                 << "Active <> :True OR Active IS NULL";
        QTest::newRow("date with time is the whole day")
            << "Created"
            << "alpha"
            << "Created >= 37653 AND Created < 37654"
            << "Created < 37653 OR Created >= 37654 OR Created IS NULL";
        QTest::newRow("number") << "Amount"
                                << "Beta \"b\""
                                << "Amount = 2"
                                << "Amount <> 2 OR Amount IS NULL";
    }
    void quickFilterConditions() {
        QFETCH(QString, field);
        QFETCH(QString, row);
        QFETCH(QString, keep);
        QFETCH(QString, exclude);
        auto v = openView();
        if (row.isEmpty()) {
            QVERIFY(ViewData(*v).Locate("Name", {QVariant()}, 0));
            ViewGrid(*v).SetSelectedIndex(ViewData(*v).FieldByName(field).Index());
        } else {
            selectCell(*v, field, row);
        }
        QCOMPARE(v->FilterBySelectionCondition(), keep);
        QCOMPARE(v->ExcludeSelectionCondition(), exclude);
    }

    void quickFiltersAccumulate() {
        auto v = openView();
        selectCell(*v, "Created", "alpha");
        ViewAction(*v, "actFilterBySelection")->trigger();
        QCOMPARE(v->FilterText(), QStringLiteral("(Created >= 37653 AND Created < 37654)"));
        QCOMPARE(ColumnTexts(ViewData(*v), "Name"), (QStringList{"alpha", "gamma"}));
        QVERIFY(v->windowTitle().endsWith("(отфильтровано)"));
        const QString query = ViewData(*v).CommandText();
        ViewAction(*v, "actFilterBySelection")->trigger();  // the same cell again: nothing changes
        QCOMPARE(ViewData(*v).CommandText(), query);
        selectCell(*v, "Name", "gamma");
        ViewAction(*v, "actFilterExcludeSelection")->trigger();
        QCOMPARE(v->FilterText(), QStringLiteral("(Created >= 37653 AND Created < 37654) AND "
                                                 "(Name <> \"gamma\" OR Name IS NULL)"));
        QCOMPARE(ColumnTexts(ViewData(*v), "Name"), QStringList{"alpha"});
        QCOMPARE(ViewData(*v).CommandText(),
                 QStringLiteral("SELECT * FROM Items WHERE ") + v->FilterText());
    }

    void excludeKeepsNulls() {
        auto v = openView();
        selectCell(*v, "Name", "alpha");
        ViewAction(*v, "actFilterExcludeSelection")->trigger();
        QCOMPARE(ViewData(*v).RecordCount(), 3);  // the row without a name stays
    }

    void partialSelectionBecomesPattern() {
        auto v = openView();
        selectCell(*v, "Name", "gamma");
        ViewGrid(*v).edit(ViewGrid(*v).currentIndex());
        QLineEdit* editor = ViewGrid(*v).InplaceEditor();
        QVERIFY(editor);
        QVERIFY(editor->isReadOnly());
        editor->setSelection(1, 3);
        QCOMPARE(v->SelectionValue(), QStringLiteral("\"%amm%\""));
        QCOMPARE(v->FilterBySelectionCondition(), QStringLiteral("Name LIKE \"%amm%\""));
        QCOMPARE(v->ExcludeSelectionCondition(),
                 QStringLiteral("Name NOT LIKE \"%amm%\" OR Name IS NULL"));
    }

    // A quick filter or a sort chosen while a cell's editor is open closes the editor
    // first: the selected column stays, and the next filter works on it.
    void editorOpenUnderAQuickFilter_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("name");
        QTest::newRow("Name") << "Name"
                              << "gamma";
        QTest::newRow("Amount") << "Amount"
                                << "alpha";
        QTest::newRow("Price") << "Price"
                               << "alpha";
        QTest::newRow("Created") << "Created"
                                 << "alpha";
    }
    void editorOpenUnderAQuickFilter() {
        QFETCH(QString, field);
        QFETCH(QString, name);
        auto v = openView();
        for (const auto& command :
             {ViewAction(*v, "actFilterBySelection"), ViewAction(*v, "actSortDesc")}) {
            ViewAction(*v, "actRemoveFilter")->trigger();
            selectCell(*v, field, name);
            ViewGrid(*v).edit(ViewGrid(*v).currentIndex());
            QLineEdit* editor = ViewGrid(*v).InplaceEditor();
            QVERIFY(editor);
            editor->selectAll();
            command->trigger();
            QVERIFY(!ViewGrid(*v).InplaceEditor());
            QCOMPARE(ViewGrid(*v).SelectedField()->FieldName, field);
            QVERIFY(ViewData(*v).RecordCount() >= 1);
        }
    }

    void quickFilterNarrowsAnOrFilter() {
        auto v = openView();
        v->SetFilterText("(Amount = 2) OR (Name = \"alpha\")");
        ViewAction(*v, "actApplyFilter")->trigger();
        QCOMPARE(ViewData(*v).RecordCount(), 2);
        selectCell(*v, "Active", "alpha");
        ViewAction(*v, "actFilterBySelection")->trigger();
        QCOMPARE(v->FilterText(),
                 QStringLiteral("((Amount = 2) OR (Name = \"alpha\")) AND (Active = :True)"));
        QCOMPARE(ColumnTexts(ViewData(*v), "Name"), QStringList{"alpha"});
        // The advanced filter dialog keeps the group as one row and writes it back whole.
        TDBGridFilterForm dialog(v.get());
        dialog.SetDataSet(&ViewData(*v));
        dialog.Prepare();
        dialog.SetFilterText(v->FilterText());
        QCOMPARE(dialog.RowCount(), 2);
        QCOMPARE(dialog.GetFilterText(), v->FilterText());
    }

    void repeatedConditionIsComparedWhole() {
        auto v = openView();
        selectCell(*v, "Name", "alpha");
        ViewAction(*v, "actFilterExcludeSelection")->trigger();  // ... OR Name IS NULL
        QCOMPARE(ViewData(*v).RecordCount(), 3);
        QVERIFY(ViewData(*v).Locate("Name", {QVariant()}, 0));
        ViewGrid(*v).SetSelectedIndex(ViewData(*v).FieldByName("Name").Index());
        ViewAction(*v, "actFilterBySelection")->trigger();
        QCOMPARE(ViewData(*v).RecordCount(), 1);
        QVERIFY(ViewData(*v).FieldByName("Name").IsNull());
    }

    void wildcardsInCellsMatchThemselves() {
        addItem("50%", false, "NULL", "NULL", "NULL");
        addItem("50x", false, "NULL", "NULL", "NULL");
        addItem("a_b", false, "NULL", "NULL", "NULL");
        addItem("axb", false, "NULL", "NULL", "NULL");
        auto v = openView();
        selectCell(*v, "Name", "50%");
        ViewAction(*v, "actFilterBySelection")->trigger();
        QCOMPARE(ColumnTexts(ViewData(*v), "Name"), QStringList{"50%"});
        ViewAction(*v, "actRemoveFilter")->trigger();
        for (const QString& cell : {QStringLiteral("50%"), QStringLiteral("a_b")}) {
            ViewAction(*v, "actRemoveFilter")->trigger();
            selectCell(*v, "Name", cell);
            ViewGrid(*v).edit(ViewGrid(*v).currentIndex());
            QLineEdit* editor = ViewGrid(*v).InplaceEditor();
            QVERIFY(editor);
            editor->setSelection(1, 2);  // "0%" or "_b"
            ViewAction(*v, "actFilterBySelection")->trigger();
            QCOMPARE(ColumnTexts(ViewData(*v), "Name"), QStringList{cell});
        }
    }

    void failedOpeningIsReportedOnce() {
        TScriptedDialogs dialogs;
        WriteRegString("Software\\Quorvel\\Linkarium\\TTestViewForm\\TCommonExDBGrid", "Filter",
                       "(Nonsense = 1)");
        TRegistry reg;
        QVERIFY(reg.OpenKey("Software\\Quorvel\\Linkarium\\TTestViewForm\\TCommonExDBGrid", true));
        reg.WriteInteger("FilterApplied", 1);
        auto v = openView();
        QTRY_COMPARE(dialogs.shown().size(), 1);
        // Back on the whole query with the filter off; the filter text stays for the dialog.
        QVERIFY(ViewData(*v).Active());
        QVERIFY(!v->FilterApplied());
        QCOMPARE(v->FilterText(), QStringLiteral("(Nonsense = 1)"));
        // The error box closing activates the window again: no second try, no second box.
        QWidget other;
        other.show();
        for (int i = 0; i < 3; ++i) {
            QApplication::setActiveWindow(&other);
            QApplication::setActiveWindow(v.get());
            QTRY_VERIFY(v->isActiveWindow());
        }
        QCOMPARE(dialogs.shown().size(), 1);
        // A query that cannot open at all: once, however often the window is activated.
        auto broken = openView("SELECT * FROM NoSuchTable");
        QTRY_COMPARE(dialogs.shown().size(), 2);
        for (int i = 0; i < 3; ++i) {
            QApplication::setActiveWindow(&other);
            QApplication::setActiveWindow(broken.get());
            QTRY_VERIFY(broken->isActiveWindow());
        }
        QCOMPARE(dialogs.shown().size(), 2);
        QVERIFY(!ViewData(*broken).Active());
    }

    // A stored sort naming a field the query does not have: the view opens with its rows,
    // and only the sort is reported, once.
    void storedSortOfAMissingField() {
        auto probe = openView();
        const QString key = probe->GridKey();
        probe.reset();
        {
            TRegistry reg;
            QVERIFY(reg.OpenKey(key, true));
            reg.WriteString("Sort", "Vanished DESC");
        }
        TScriptedDialogs dialogs;
        auto v = openView();
        QTRY_COMPARE(dialogs.shown().size(), 1);
        QVERIFY2(dialogs.shown().first().text.contains("Vanished DESC"),
                 qPrintable(dialogs.shown().first().text));
        QVERIFY(ViewData(*v).Active());
        QCOMPARE(ViewData(*v).RecordCount(), 4);
        QVERIFY(ViewData(*v).Sort().isEmpty());
        ViewAction(*v, "actSortDesc")->trigger();  // the next sort works as ever
        QVERIFY(!ViewData(*v).Sort().isEmpty());
        QCOMPARE(dialogs.shown().size(), 1);
    }

    void stateIsSavedWhileTheDataSetIsClosed() {
        auto v = openView();
        selectCell(*v, "Name", "alpha");
        ViewAction(*v, "actFilterExcludeSelection")->trigger();
        ViewAction(*v, "actSortDesc")->trigger();
        const QString filter = v->FilterText();
        module->ADOConnection.Close();  // as a change of database does
        QVERIFY(!ViewData(*v).Active());
        v->findChild<TFormPlacement*>()->SavePlacement();
        TRegistry reg;
        QVERIFY(reg.OpenKeyReadOnly(v->GridKey()));
        QCOMPARE(reg.ReadString("Sort"), std::optional<QString>("Name DESC"));
        QCOMPARE(reg.ReadString("Filter"), std::optional<QString>(filter));
        QCOMPARE(reg.ReadInteger("FilterApplied"), std::optional<qint32>(1));
    }

    void badFilterFallsBackSilently() {
        TScriptedDialogs dialogs;
        auto v = openView();
        ViewData(*v).SetSort("Name ASC");
        v->SetFilterText("(Nonsense = )");
        ViewAction(*v, "actApplyFilter")->trigger();
        QVERIFY(!v->FilterApplied());
        QVERIFY(v->FilterText().isEmpty());
        QCOMPARE(ViewData(*v).RecordCount(), 4);
        QCOMPARE(ViewData(*v).Sort(), QStringLiteral("Name ASC"));
        QVERIFY(dialogs.shown().isEmpty());
    }

    void removeClearsSortToggleKeepsIt() {
        auto v = openView();
        selectCell(*v, "Name", "alpha");
        ViewAction(*v, "actFilterExcludeSelection")->trigger();
        ViewAction(*v, "actSortDesc")->trigger();
        QCOMPARE(ViewData(*v).Sort(), QStringLiteral("Name DESC"));
        ViewAction(*v, "actApplyFilter")->trigger();  // off
        QVERIFY(!v->FilterApplied());
        QCOMPARE(ViewData(*v).Sort(), QStringLiteral("Name DESC"));
        ViewAction(*v, "actApplyFilter")->trigger();  // on again
        QVERIFY(v->FilterApplied());
        ViewAction(*v, "actRemoveFilter")->trigger();
        QVERIFY(!v->FilterApplied());
        QCOMPARE(ViewData(*v).Sort(), QString());
        QVERIFY(!v->FilterText().isEmpty());  // kept: "Применить фильтр" brings it back
        ViewAction(*v, "actApplyFilter")->trigger();
        QVERIFY(v->FilterApplied());
        QCOMPARE(ViewData(*v).RecordCount(), 3);
    }

    void savedFilters() {
        TScriptedDialogs dialogs;
        auto v = openView();
        WriteRegString(v->FiltersKey(), "Новые", "(Amount = 1)");
        v->RebuildFiltersMenu();
        selectCell(*v, "Name", "alpha");
        ViewAction(*v, "actFilterBySelection")->trigger();
        dialogs.answerInput("  ");       // empty: refused
        dialogs.answerInput(" новые ");  // taken in other case: refused, asked again
        dialogs.answerInput("a=b");      // would be read back split: refused
        dialogs.answerInput("Альфа");
        ViewAction(*v, "actSaveCurrentFilter")->trigger();
        QCOMPARE(dialogs.shownTexts(),
                 (QStringList{"Введите название фильтра:", kNameTaken,
                              "Введите название фильтра:", kNameTaken, "Введите название фильтра:",
                              "Название фильтра не может содержать знак \"=\".",
                              "Введите название фильтра:"}));
        TValuesList stored;
        LoadValuesList(stored, v->FiltersKey());
        QCOMPARE(stored, (QStringList{"Новые=(Amount = 1)", "Альфа=(Name = \"alpha\")"}));
        v->FiltersPopupMenuPopup();
        QList<QAction*> items = Child<QMenu>(*v, "FiltersPopupMenu")->actions();
        QCOMPARE(items.size(), 4);
        QCOMPARE(items[2]->text(), QStringLiteral("Новые"));
        QCOMPARE(items[3]->text(), QStringLiteral("Альфа"));
        QVERIFY(!items[2]->isChecked());
        QVERIFY(items[3]->isChecked());
        items[2]->trigger();
        QCOMPARE(ColumnTexts(ViewData(*v), "Name"), QStringList{"alpha"});
        QCOMPARE(v->FilterText(), QStringLiteral("(Amount = 1)"));
        ViewAction(*v, "actRemoveFilter")->trigger();
        v->FiltersPopupMenuPopup();
        items = Child<QMenu>(*v, "FiltersPopupMenu")->actions();
        QVERIFY(!items[2]->isChecked() && !items[3]->isChecked());
        dialogs.answerCancel();
        ViewAction(*v, "actSaveCurrentFilter")->trigger();
        LoadValuesList(stored, v->FiltersKey());
        QCOMPARE(stored.size(), 2);
        QCOMPARE(Child<QMenu>(*v, "FiltersPopupMenu")->actions().size(), 4);
        // The same list in the menu "Записи → Фильтр".
        auto* records = v->findChild<QMenu*>("mnuRecords");
        QMenu* filter = nullptr;
        for (QAction* a : records->actions()) {
            if (a->menu() && a->text() == QStringLiteral("Фильтр")) {
                filter = a->menu();
            }
        }
        QVERIFY(filter);
        QVERIFY(filter->actions().contains(Child<QMenu>(*v, "FiltersPopupMenu")->menuAction()));
        QCOMPARE(Child<QMenu>(*v, "FiltersPopupMenu")->title(),
                 QStringLiteral("Сохранённые фильтры"));
    }

    void deleting() {
        TScriptedDialogs dialogs;
        auto v = openView();
        ViewData(*v).SetSort("Amount ASC");  // null, 1, 2, 3
        ViewData(*v).Last();
        dialogs.answer(QMessageBox::No);
        ViewAction(*v, "actDataSetDelete")->trigger();
        QCOMPARE(ViewData(*v).RecordCount(), 4);
        dialogs.answer(QMessageBox::Yes);
        ViewAction(*v, "actDataSetDelete")
            ->trigger();  // the last row: the new last becomes current
        QCOMPARE(ViewData(*v).RecordCount(), 3);
        QCOMPARE(ViewData(*v).FieldByName("Amount").AsInteger(), 2);
        QCOMPARE(cat->otherValue("SELECT count(*) FROM Items").toInt(), 3);
        QCOMPARE(dialogs.shownTexts(), (QStringList{kDeleteQuestion, kDeleteQuestion}));
        ViewData(*v).First();
        dialogs.answer(QMessageBox::Yes);
        ViewAction(*v, "actDataSetDelete")
            ->trigger();  // the first row: its successor becomes current
        QCOMPARE(ViewData(*v).FieldByName("Amount").AsInteger(), 1);
        QVERIFY(!module->ADOConnection.InTransaction());
    }

    void deletingTheOnlyRow() {
        TScriptedDialogs dialogs;
        auto v = openView("SELECT * FROM Items WHERE Amount = 1");
        dialogs.answer(QMessageBox::Yes);
        ViewAction(*v, "actDataSetDelete")->trigger();
        QVERIFY(ViewData(*v).IsEmpty());
        QCOMPARE(v->windowTitle(), QStringLiteral("Items - 0 записей"));
    }

    void deleteKeyInTheSearchBoxEditsText() {
        TScriptedDialogs dialogs;
        auto v = openView();
        v->activateWindow();
        QTRY_VERIFY(v->isActiveWindow());
        ViewFindBox(*v).setFocus();
        QTest::keyClicks(&ViewFindBox(*v), "ga");
        ViewFindBox(*v).setCursorPosition(0);
        QTest::keyClick(&ViewFindBox(*v), Qt::Key_Delete);
        QCOMPARE(ViewFindBox(*v).text(), QStringLiteral("a"));
        QVERIFY(dialogs.shown().isEmpty());
        QCOMPARE(ViewData(*v).RecordCount(), 4);
    }

    void searchBoxLocates() {
        auto v = openView();
        ViewData(*v).SetSort("Amount DESC");
        ViewGrid(*v).SetSelectedIndex(ViewData(*v).FieldByName("Name").Index());
        QTest::keyClicks(&ViewFindBox(*v), "GA");
        QCOMPARE(ViewData(*v).FieldByName("Name").AsString(), QStringLiteral("gamma"));
        QTest::keyClicks(&ViewFindBox(*v), "x");  // no match: stays
        QCOMPARE(ViewData(*v).FieldByName("Name").AsString(), QStringLiteral("gamma"));
        QCOMPARE(ViewGrid(*v).currentIndex().row(), ViewData(*v).RecNo() - 1);
    }

    void duplicating() {
        auto v = openView();
        selectCell(*v, "Name", "gamma");
        const QVariant old = v->CurrentKey();
        ViewAction(*v, "actDuplicateRecord")->trigger();
        QCOMPARE(ViewData(*v).RecordCount(), 5);
        QVERIFY(v->CurrentKey() != old);
        QCOMPARE(ViewData(*v).FieldByName("Name").AsString(), QStringLiteral("gamma"));
        QCOMPARE(cat->otherValue("SELECT count(*) FROM Items WHERE Name = 'gamma'").toInt(), 2);
    }

    void titleClicksCycleTheDirection() {
        auto v = openView();
        const int name = ViewData(*v).FieldByName("Name").Index();
        const int amount = ViewData(*v).FieldByName("Amount").Index();
        selectCell(*v, "Name", "alpha");
        Q_EMIT ViewGrid(*v).horizontalHeader()->sectionClicked(name);
        QCOMPARE(ViewData(*v).Sort(), QStringLiteral("Name DESC"));
        QCOMPARE(ViewData(*v).FieldByName("Name").AsString(), QStringLiteral("alpha"));
        QCOMPARE(ViewGrid(*v).TitleImageIndex(name), 1);
        Q_EMIT ViewGrid(*v).horizontalHeader()->sectionClicked(name);
        QCOMPARE(ViewData(*v).Sort(), QStringLiteral("Name ASC"));
        QCOMPARE(ViewGrid(*v).TitleImageIndex(name), 0);
        QCOMPARE(ViewGrid(*v).TitleImageIndex(amount), -1);
        Q_EMIT ViewGrid(*v).horizontalHeader()->sectionClicked(name);
        QCOMPARE(ViewData(*v).Sort(), QStringLiteral("Name DESC"));
        Q_EMIT ViewGrid(*v).horizontalHeader()->sectionClicked(amount);
        QCOMPARE(ViewData(*v).Sort(), QStringLiteral("Amount DESC"));
    }

    // The view's own windows come through the dialog seam filled from the view; what the user
    // does in them reaches the view only when they close with OK.
    void ownWindowsThroughTheSeam_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("sort");
        QTest::addColumn<bool>("nameShown");
        QTest::newRow("sort, OK") << "actSort"
                                  << "OkButton"
                                  << "Amount DESC,Name DESC" << true;
        QTest::newRow("sort, Cancel") << "actSort"
                                      << "CancelButton"
                                      << "Amount DESC" << true;
        QTest::newRow("columns, OK") << "actSetupColumns"
                                     << "OkButton"
                                     << "Amount DESC" << false;
        QTest::newRow("columns, Cancel") << "actSetupColumns"
                                         << "CancelButton"
                                         << "Amount DESC" << true;
    }
    void ownWindowsThroughTheSeam() {
        QFETCH(QString, action);
        QFETCH(QString, button);
        QFETCH(QString, sort);
        QFETCH(bool, nameShown);
        auto v = openView();
        ViewData(*v).SetSort("Amount DESC");
        const int name = ViewData(*v).FieldByName("Name").Index();
        TScriptedDialogs dialogs;
        QString listed;
        dialogs.answerDialog([&](QDialog& d) {
            if (auto* available = d.findChild<QListWidget*>("AvailableListView")) {
                const auto found = available->findItems("Name", Qt::MatchExactly);
                if (!found.isEmpty()) {
                    available->setCurrentItem(found.first());
                    Child<QAbstractButton>(d, "AddOneButton")->click();
                }
                listed = Child<QListWidget>(d, "SortListView")->item(0)->text();
            } else {
                auto* columns = Child<QListWidget>(d, "ColumnsCheckListBox");
                for (int i = 0; i < columns->count(); ++i) {
                    if (columns->item(i)->data(Qt::UserRole).toInt() == name) {
                        columns->item(i)->setCheckState(Qt::Unchecked);
                    }
                }
                listed = columns->item(name)->text();
            }
            Child<QPushButton>(d, qPrintable(button))->click();
            return d.result();
        });
        Child<QAction>(*v, qPrintable(action))->trigger();
        QCOMPARE(dialogs.pending(), 0);
        QCOMPARE(dialogs.unexpected(), 0);
        QCOMPARE(listed, action == "actSort" ? QStringLiteral("Amount") : QStringLiteral("Name"));
        QCOMPARE(ViewData(*v).Sort(), sort);
        QCOMPARE(ViewGrid(*v).ColumnVisible(name), nameShown);
    }

    // Title clicks on the header itself; a sort on several columns marks each with its
    // place, the first with the plain arrow.
    void sortMarksInTheTitles() {
        auto v = openView();
        TExDBGrid* g = &ViewGrid(*v);
        QHeaderView* h = g->horizontalHeader();
        const int name = ViewData(*v).FieldByName("Name").Index();
        const int amount = ViewData(*v).FieldByName("Amount").Index();
        const QPoint onName(h->sectionViewportPosition(name) + 5, h->height() / 2);
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, onName);
        QCOMPARE(ViewData(*v).Sort(), QStringLiteral("Name DESC"));
        QCOMPARE(g->TitleImageIndex(name), SortMarkIndex(1, true));
        QVERIFY(!g->model()->headerData(name, Qt::Horizontal, Qt::DecorationRole).isNull());
        ViewData(*v).SetSort("Name ASC, Amount DESC");
        QCOMPARE(g->TitleImageIndex(name), SortMarkIndex(1, false));
        QCOMPARE(g->TitleImageIndex(amount), SortMarkIndex(2, true));
        QCOMPARE(SortMarkIndex(2, true), 3);
        QCOMPARE(SortMarkIndex(SortMarkPlaces + 1, false), -1);
        QVERIFY(!g->model()->headerData(amount, Qt::Horizontal, Qt::DecorationRole).isNull());
    }

    // The sort buttons are drawn as sorting (letters and an arrow), not as the bare
    // arrows of the title marks, and the two directions differ.
    void sortButtonsSaySort() {
        auto v = openView();
        const QImage asc = ViewAction(*v, "actSortAsc")->icon().pixmap(16).toImage();
        const QImage desc = ViewAction(*v, "actSortDesc")->icon().pixmap(16).toImage();
        QVERIFY(!asc.isNull() && !desc.isNull());
        QVERIFY(asc != desc);
        QVERIFY(asc != MakeSortMarkImages().value(0).pixmap(16).toImage());
        for (const TDrawnIcon kind :
             {TDrawnIcon::Printer, TDrawnIcon::PageSetup, TDrawnIcon::Envelope}) {
            QCOMPARE(DrawnIcon(kind).availableSizes().size(), 2);
        }
    }

    void stateSurvivesARestart() {
        {
            auto v = openView();
            selectCell(*v, "Name", "alpha");
            ViewAction(*v, "actFilterExcludeSelection")->trigger();
            ViewAction(*v, "actSortAsc")->trigger();
            TExDBGrid* g = &ViewGrid(*v);
            const int price = ViewData(*v).FieldByName("Price").Index();
            g->SetColumnTitle(price, "Цена, \"руб.\"");
            g->SetColumnWidth(price, 77);
            g->SetColumnPosition(price, 1);
            g->SetColumnVisible(ViewData(*v).FieldByName("Amount").Index(), false);
        }  // destroyed with the program: saved
        TRegistry reg;
        QVERIFY(reg.OpenKeyReadOnly("Software\\Quorvel\\Linkarium\\TTestViewForm"));
        QCOMPARE(reg.ReadString("Visible"), std::optional<QString>("1"));
        auto v = openView();
        QVERIFY(v->FilterApplied());
        QCOMPARE(ViewData(*v).RecordCount(), 3);
        QCOMPARE(ViewData(*v).Sort(), QStringLiteral("Name ASC"));
        TExDBGrid* g = &ViewGrid(*v);
        const int price = ViewData(*v).FieldByName("Price").Index();
        QCOMPARE(g->ColumnTitle(price), QStringLiteral("Цена, \"руб.\""));
        QCOMPARE(g->ColumnWidth(price), 77);
        QCOMPARE(g->ColumnPosition(price), 1);
        QVERIFY(!g->ColumnVisible(ViewData(*v).FieldByName("Amount").Index()));
        QVERIFY(!g->ColumnVisible(ViewData(*v).FieldByName("ID").Index()));
    }

    void columnLayoutValues_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("value");
        QTest::newRow("plain") << "Категории"
                               << "\"Категории\",2,135,1";
        QTest::newRow("comma and quote") << "a,\"b\""
                                         << "\"a,\"\"b\"\"\",2,135,1";
        QTest::newRow("empty") << ""
                               << "\"\",2,135,1";
    }
    void columnLayoutValues() {
        QFETCH(QString, title);
        QFETCH(QString, value);
        QCOMPARE(ColumnLayoutValue(title, 2, 135, true), value);
        QString t;
        int position = -1;
        int width = -1;
        bool visible = false;
        QVERIFY(ParseColumnLayoutValue(value, t, position, width, visible));
        QCOMPARE(t, title);
        QCOMPARE(position, 2);
        QCOMPARE(width, 135);
        QVERIFY(visible);
        QVERIFY(ParseColumnLayoutValue("\"x\",0,10,0", t, position, width, visible));
        QVERIFY(!visible);
        QVERIFY(!ParseColumnLayoutValue("\"x\",zero,10,1", t, position, width, visible));
    }

    void shrinkingATitleHidesItsColumn() {
        auto v = openView();
        TExDBGrid* g = &ViewGrid(*v);
        const int name = ViewData(*v).FieldByName("Name").Index();
        const int before = g->ColumnWidth(name);
        int resized = -1;
        QObject::connect(g, &TExDBGrid::columnResized, [&resized](int c) { resized = c; });
        g->horizontalHeader()->resizeSection(name, 1);
        QVERIFY(!g->ColumnVisible(name));
        QCOMPARE(resized, name);
        g->SetColumnVisible(name, true);
        QCOMPARE(g->ColumnWidth(name), before);
    }

    void hideColumnCommandMovesOn() {
        auto v = openView();
        TExDBGrid* g = &ViewGrid(*v);
        const int price = ViewData(*v).FieldByName("Price").Index();  // the last column
        g->SetSelectedIndex(price);
        ViewAction(*v, "actHideColumn")->trigger();
        QVERIFY(!g->ColumnVisible(price));
        QCOMPARE(g->SelectedIndex(), ViewData(*v).FieldByName("Amount").Index());
    }

    // The last column reaches the window's edge; the width kept for it is the chosen one.
    void lastColumnReachesTheEdge() {
        auto v = openView();
        v->resize(900, 300);
        TExDBGrid* g = &ViewGrid(*v);
        QHeaderView* h = g->horizontalHeader();
        int last = -1;
        for (int visual = 0; visual < h->count(); ++visual) {
            if (!h->isSectionHidden(h->logicalIndex(visual))) {
                last = h->logicalIndex(visual);
            }
        }
        g->SetColumnWidth(last, 40);
        QTRY_COMPARE(h->length(), g->viewport()->width());
        QCOMPARE(g->ColumnWidth(last), 40);
        QVERIFY(h->sectionSize(last) > 40);
        // Wider columns than the window: nothing is narrowed, the grid scrolls.
        const int first = ViewData(*v).FieldByName("Name").Index();
        QVERIFY(first != last);
        g->SetColumnWidth(first, 2000);
        QCOMPARE(h->sectionSize(last), 40);
        QCOMPARE(g->ColumnWidth(first), 2000);
    }
};

QTEST_MAIN(TestCommonViewFrm)
#include "tst_commonviewfrm.moc"
