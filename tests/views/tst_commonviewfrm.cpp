#include "TestViewForm.h"
#include "gridtools/ColumnLayout.h"

#include "common/ConstsUnit.h"
#include "common/DrawnIcons.h"
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

#include <QAction>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
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
    // A placement as a former run left it.
    static void storePlacement(const QString& normPos, const QString& ppi = QString()) {
        TRegistry reg;
        QVERIFY(reg.OpenKey("Software\\Quorvel\\Linkarium\\TTestViewForm", true));
        reg.WriteString("FormVersion", "0");
        reg.WriteString("NormPos", normPos);
        if (!ppi.isEmpty()) {
            reg.WriteString("PixelsPerInch", ppi);
        }
    }
    static void selectCell(TTestViewForm& v, const QString& field, const QString& name) {
        QVERIFY(v.adsCommon->Locate("Name", {name}, 0));
        v.CommonExDBGrid->SetSelectedIndex(v.adsCommon->FieldByName(field).Index());
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
        v->adsCommon->Close();
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
            QVERIFY(v->adsCommon->Fetching());
            QCOMPARE(v->windowTitle(), QStringLiteral("Items - загрузка..."));
            QVERIFY(v->CommonExDBGrid->model()->rowCount() < 5000);
        }
        v->CommonExDBGrid->SetSelectedIndex(v->adsCommon->FieldByName("Name").Index());
        v->ViewFindDBGridCell->setText("x4990");
        QCOMPARE(v->adsCommon->FieldByName("Name").AsString(), QStringLiteral("x4990"));
        QTRY_COMPARE(v->windowTitle(), QStringLiteral("Items - 5000 записей"));
        QCOMPARE(v->CommonExDBGrid->model()->rowCount(), 5000);
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
            QVERIFY(v->adsCommon->Locate("Name", {QVariant()}, 0));
            v->CommonExDBGrid->SetSelectedIndex(v->adsCommon->FieldByName(field).Index());
        } else {
            selectCell(*v, field, row);
        }
        QCOMPARE(v->FilterBySelectionCondition(), keep);
        QCOMPARE(v->ExcludeSelectionCondition(), exclude);
    }

    void quickFiltersAccumulate() {
        auto v = openView();
        selectCell(*v, "Created", "alpha");
        v->actFilterBySelection->trigger();
        QCOMPARE(v->FilterText, QStringLiteral("(Created >= 37653 AND Created < 37654)"));
        QCOMPARE(ColumnTexts(*v->adsCommon, "Name"), (QStringList{"alpha", "gamma"}));
        QVERIFY(v->windowTitle().endsWith("(отфильтровано)"));
        const QString query = v->adsCommon->CommandText();
        v->actFilterBySelection->trigger();  // the same cell again: nothing changes
        QCOMPARE(v->adsCommon->CommandText(), query);
        selectCell(*v, "Name", "gamma");
        v->actFilterExcludeSelection->trigger();
        QCOMPARE(v->FilterText, QStringLiteral("(Created >= 37653 AND Created < 37654) AND "
                                               "(Name <> \"gamma\" OR Name IS NULL)"));
        QCOMPARE(ColumnTexts(*v->adsCommon, "Name"), QStringList{"alpha"});
        QCOMPARE(v->adsCommon->CommandText(),
                 QStringLiteral("SELECT * FROM Items WHERE ") + v->FilterText);
    }

    void excludeKeepsNulls() {
        auto v = openView();
        selectCell(*v, "Name", "alpha");
        v->actFilterExcludeSelection->trigger();
        QCOMPARE(v->adsCommon->RecordCount(), 3);  // the row without a name stays
    }

    void partialSelectionBecomesPattern() {
        auto v = openView();
        selectCell(*v, "Name", "gamma");
        v->CommonExDBGrid->edit(v->CommonExDBGrid->currentIndex());
        QLineEdit* editor = v->CommonExDBGrid->InplaceEditor();
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
        for (const auto& command : {v->actFilterBySelection, v->actSortDesc}) {
            v->actRemoveFilter->trigger();
            selectCell(*v, field, name);
            v->CommonExDBGrid->edit(v->CommonExDBGrid->currentIndex());
            QLineEdit* editor = v->CommonExDBGrid->InplaceEditor();
            QVERIFY(editor);
            editor->selectAll();
            command->trigger();
            QVERIFY(!v->CommonExDBGrid->InplaceEditor());
            QCOMPARE(v->CommonExDBGrid->SelectedField()->FieldName, field);
            QVERIFY(v->adsCommon->RecordCount() >= 1);
        }
    }

    void quickFilterNarrowsAnOrFilter() {
        auto v = openView();
        v->FilterText = "(Amount = 2) OR (Name = \"alpha\")";
        v->actApplyFilter->trigger();
        QCOMPARE(v->adsCommon->RecordCount(), 2);
        selectCell(*v, "Active", "alpha");
        v->actFilterBySelection->trigger();
        QCOMPARE(v->FilterText,
                 QStringLiteral("((Amount = 2) OR (Name = \"alpha\")) AND (Active = :True)"));
        QCOMPARE(ColumnTexts(*v->adsCommon, "Name"), QStringList{"alpha"});
        // The advanced filter dialog keeps the group as one row and writes it back whole.
        TDBGridFilterForm dialog(v.get());
        dialog.SetDataSet(v->adsCommon);
        dialog.Prepare();
        dialog.SetFilterText(v->FilterText);
        QCOMPARE(dialog.RowCount(), 2);
        QCOMPARE(dialog.GetFilterText(), v->FilterText);
    }

    void repeatedConditionIsComparedWhole() {
        auto v = openView();
        selectCell(*v, "Name", "alpha");
        v->actFilterExcludeSelection->trigger();  // ... OR Name IS NULL
        QCOMPARE(v->adsCommon->RecordCount(), 3);
        QVERIFY(v->adsCommon->Locate("Name", {QVariant()}, 0));
        v->CommonExDBGrid->SetSelectedIndex(v->adsCommon->FieldByName("Name").Index());
        v->actFilterBySelection->trigger();
        QCOMPARE(v->adsCommon->RecordCount(), 1);
        QVERIFY(v->adsCommon->FieldByName("Name").IsNull());
    }

    void wildcardsInCellsMatchThemselves() {
        addItem("50%", false, "NULL", "NULL", "NULL");
        addItem("50x", false, "NULL", "NULL", "NULL");
        addItem("a_b", false, "NULL", "NULL", "NULL");
        addItem("axb", false, "NULL", "NULL", "NULL");
        auto v = openView();
        selectCell(*v, "Name", "50%");
        v->actFilterBySelection->trigger();
        QCOMPARE(ColumnTexts(*v->adsCommon, "Name"), QStringList{"50%"});
        v->actRemoveFilter->trigger();
        for (const QString& cell : {QStringLiteral("50%"), QStringLiteral("a_b")}) {
            v->actRemoveFilter->trigger();
            selectCell(*v, "Name", cell);
            v->CommonExDBGrid->edit(v->CommonExDBGrid->currentIndex());
            QLineEdit* editor = v->CommonExDBGrid->InplaceEditor();
            QVERIFY(editor);
            editor->setSelection(1, 2);  // "0%" or "_b"
            v->actFilterBySelection->trigger();
            QCOMPARE(ColumnTexts(*v->adsCommon, "Name"), QStringList{cell});
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
        QVERIFY(v->adsCommon->Active());
        QVERIFY(!v->FilterApplied());
        QCOMPARE(v->FilterText, QStringLiteral("(Nonsense = 1)"));
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
        QVERIFY(!broken->adsCommon->Active());
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
        QVERIFY(v->adsCommon->Active());
        QCOMPARE(v->adsCommon->RecordCount(), 4);
        QVERIFY(v->adsCommon->Sort().isEmpty());
        v->actSortDesc->trigger();  // the next sort works as ever
        QVERIFY(!v->adsCommon->Sort().isEmpty());
        QCOMPARE(dialogs.shown().size(), 1);
    }

    void stateIsSavedWhileTheDataSetIsClosed() {
        auto v = openView();
        selectCell(*v, "Name", "alpha");
        v->actFilterExcludeSelection->trigger();
        v->actSortDesc->trigger();
        const QString filter = v->FilterText;
        module->ADOConnection.Close();  // as a change of database does
        QVERIFY(!v->adsCommon->Active());
        v->FormPlacement->SavePlacement();
        TRegistry reg;
        QVERIFY(reg.OpenKeyReadOnly(v->GridKey()));
        QCOMPARE(reg.ReadString("Sort"), std::optional<QString>("Name DESC"));
        QCOMPARE(reg.ReadString("Filter"), std::optional<QString>(filter));
        QCOMPARE(reg.ReadInteger("FilterApplied"), std::optional<qint32>(1));
    }

    void badFilterFallsBackSilently() {
        TScriptedDialogs dialogs;
        auto v = openView();
        v->adsCommon->SetSort("Name ASC");
        v->FilterText = "(Nonsense = )";
        v->actApplyFilter->trigger();
        QVERIFY(!v->FilterApplied());
        QVERIFY(v->FilterText.isEmpty());
        QCOMPARE(v->adsCommon->RecordCount(), 4);
        QCOMPARE(v->adsCommon->Sort(), QStringLiteral("Name ASC"));
        QVERIFY(dialogs.shown().isEmpty());
    }

    void removeClearsSortToggleKeepsIt() {
        auto v = openView();
        selectCell(*v, "Name", "alpha");
        v->actFilterExcludeSelection->trigger();
        v->actSortDesc->trigger();
        QCOMPARE(v->adsCommon->Sort(), QStringLiteral("Name DESC"));
        v->actApplyFilter->trigger();  // off
        QVERIFY(!v->FilterApplied());
        QCOMPARE(v->adsCommon->Sort(), QStringLiteral("Name DESC"));
        v->actApplyFilter->trigger();  // on again
        QVERIFY(v->FilterApplied());
        v->actRemoveFilter->trigger();
        QVERIFY(!v->FilterApplied());
        QCOMPARE(v->adsCommon->Sort(), QString());
        QVERIFY(!v->FilterText.isEmpty());  // kept: "Применить фильтр" brings it back
        v->actApplyFilter->trigger();
        QVERIFY(v->FilterApplied());
        QCOMPARE(v->adsCommon->RecordCount(), 3);
    }

    void savedFilters() {
        TScriptedDialogs dialogs;
        auto v = openView();
        WriteRegString(v->FiltersKey(), "Новые", "(Amount = 1)");
        v->RebuildFiltersMenu();
        selectCell(*v, "Name", "alpha");
        v->actFilterBySelection->trigger();
        dialogs.answerInput("  ");       // empty: refused
        dialogs.answerInput(" новые ");  // taken in other case: refused, asked again
        dialogs.answerInput("a=b");      // would be read back split: refused
        dialogs.answerInput("Альфа");
        v->actSaveCurrentFilter->trigger();
        QCOMPARE(dialogs.shownTexts(),
                 (QStringList{"Введите название фильтра:", kNameTaken,
                              "Введите название фильтра:", kNameTaken, "Введите название фильтра:",
                              "Название фильтра не может содержать знак \"=\".",
                              "Введите название фильтра:"}));
        QCOMPARE(v->SavedFilters, (QStringList{"Новые=(Amount = 1)", "Альфа=(Name = \"alpha\")"}));
        v->FiltersPopupMenuPopup();
        QList<QAction*> items = v->FiltersPopupMenu->actions();
        QCOMPARE(items.size(), 4);
        QVERIFY(!items[2]->isChecked());
        QVERIFY(items[3]->isChecked());
        items[2]->trigger();
        QCOMPARE(ColumnTexts(*v->adsCommon, "Name"), QStringList{"alpha"});
        QCOMPARE(v->FilterText, QStringLiteral("(Amount = 1)"));
        v->actRemoveFilter->trigger();
        v->FiltersPopupMenuPopup();
        items = v->FiltersPopupMenu->actions();
        QVERIFY(!items[2]->isChecked() && !items[3]->isChecked());
        dialogs.answerCancel();
        v->actSaveCurrentFilter->trigger();
        QCOMPARE(v->SavedFilters.size(), 2);
        // The same list in the menu "Записи → Фильтр".
        auto* records = v->MainMenu1->findChild<QMenu*>("mnuRecords");
        QMenu* filter = nullptr;
        for (QAction* a : records->actions()) {
            if (a->menu() && a->text() == QStringLiteral("Фильтр")) {
                filter = a->menu();
            }
        }
        QVERIFY(filter);
        QVERIFY(filter->actions().contains(v->FiltersPopupMenu->menuAction()));
        QCOMPARE(v->FiltersPopupMenu->title(), QStringLiteral("Сохранённые фильтры"));
    }

    void deleting() {
        TScriptedDialogs dialogs;
        auto v = openView();
        v->adsCommon->SetSort("Amount ASC");  // null, 1, 2, 3
        v->adsCommon->Last();
        dialogs.answer(QMessageBox::No);
        v->actDataSetDelete->trigger();
        QCOMPARE(v->adsCommon->RecordCount(), 4);
        dialogs.answer(QMessageBox::Yes);
        v->actDataSetDelete->trigger();  // the last row: the new last becomes current
        QCOMPARE(v->adsCommon->RecordCount(), 3);
        QCOMPARE(v->adsCommon->FieldByName("Amount").AsInteger(), 2);
        QCOMPARE(cat->otherValue("SELECT count(*) FROM Items").toInt(), 3);
        QCOMPARE(dialogs.shownTexts(), (QStringList{kDeleteQuestion, kDeleteQuestion}));
        v->adsCommon->First();
        dialogs.answer(QMessageBox::Yes);
        v->actDataSetDelete->trigger();  // the first row: its successor becomes current
        QCOMPARE(v->adsCommon->FieldByName("Amount").AsInteger(), 1);
        QVERIFY(!module->ADOConnection.InTransaction());
    }

    void deletingTheOnlyRow() {
        TScriptedDialogs dialogs;
        auto v = openView("SELECT * FROM Items WHERE Amount = 1");
        dialogs.answer(QMessageBox::Yes);
        v->actDataSetDelete->trigger();
        QVERIFY(v->adsCommon->IsEmpty());
        QCOMPARE(v->windowTitle(), QStringLiteral("Items - 0 записей"));
    }

    void deleteKeyInTheSearchBoxEditsText() {
        TScriptedDialogs dialogs;
        auto v = openView();
        v->activateWindow();
        QTRY_VERIFY(v->isActiveWindow());
        v->ViewFindDBGridCell->setFocus();
        QTest::keyClicks(v->ViewFindDBGridCell, "ga");
        v->ViewFindDBGridCell->setCursorPosition(0);
        QTest::keyClick(v->ViewFindDBGridCell, Qt::Key_Delete);
        QCOMPARE(v->ViewFindDBGridCell->text(), QStringLiteral("a"));
        QVERIFY(dialogs.shown().isEmpty());
        QCOMPARE(v->adsCommon->RecordCount(), 4);
    }

    void searchBoxLocates() {
        auto v = openView();
        v->adsCommon->SetSort("Amount DESC");
        v->CommonExDBGrid->SetSelectedIndex(v->adsCommon->FieldByName("Name").Index());
        QTest::keyClicks(v->ViewFindDBGridCell, "GA");
        QCOMPARE(v->adsCommon->FieldByName("Name").AsString(), QStringLiteral("gamma"));
        QTest::keyClicks(v->ViewFindDBGridCell, "x");  // no match: stays
        QCOMPARE(v->adsCommon->FieldByName("Name").AsString(), QStringLiteral("gamma"));
        QCOMPARE(v->CommonExDBGrid->currentIndex().row(), v->adsCommon->RecNo() - 1);
    }

    void duplicating() {
        auto v = openView();
        selectCell(*v, "Name", "gamma");
        const QVariant old = v->CurrentKey();
        v->actDuplicateRecord->trigger();
        QCOMPARE(v->adsCommon->RecordCount(), 5);
        QVERIFY(v->CurrentKey() != old);
        QCOMPARE(v->adsCommon->FieldByName("Name").AsString(), QStringLiteral("gamma"));
        QCOMPARE(cat->otherValue("SELECT count(*) FROM Items WHERE Name = 'gamma'").toInt(), 2);
    }

    void titleClicksCycleTheDirection() {
        auto v = openView();
        const int name = v->adsCommon->FieldByName("Name").Index();
        const int amount = v->adsCommon->FieldByName("Amount").Index();
        selectCell(*v, "Name", "alpha");
        Q_EMIT v->CommonExDBGrid->horizontalHeader()->sectionClicked(name);
        QCOMPARE(v->adsCommon->Sort(), QStringLiteral("Name DESC"));
        QCOMPARE(v->adsCommon->FieldByName("Name").AsString(), QStringLiteral("alpha"));
        QCOMPARE(v->CommonExDBGrid->TitleImageIndex(name), 1);
        Q_EMIT v->CommonExDBGrid->horizontalHeader()->sectionClicked(name);
        QCOMPARE(v->adsCommon->Sort(), QStringLiteral("Name ASC"));
        QCOMPARE(v->CommonExDBGrid->TitleImageIndex(name), 0);
        QCOMPARE(v->CommonExDBGrid->TitleImageIndex(amount), -1);
        Q_EMIT v->CommonExDBGrid->horizontalHeader()->sectionClicked(name);
        QCOMPARE(v->adsCommon->Sort(), QStringLiteral("Name DESC"));
        Q_EMIT v->CommonExDBGrid->horizontalHeader()->sectionClicked(amount);
        QCOMPARE(v->adsCommon->Sort(), QStringLiteral("Amount DESC"));
    }

    // Title clicks on the header itself; a sort on several columns marks each with its
    // place, the first with the plain arrow.
    void sortMarksInTheTitles() {
        auto v = openView();
        TExDBGrid* g = v->CommonExDBGrid;
        QHeaderView* h = g->horizontalHeader();
        const int name = v->adsCommon->FieldByName("Name").Index();
        const int amount = v->adsCommon->FieldByName("Amount").Index();
        const QPoint onName(h->sectionViewportPosition(name) + 5, h->height() / 2);
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, onName);
        QCOMPARE(v->adsCommon->Sort(), QStringLiteral("Name DESC"));
        QCOMPARE(g->TitleImageIndex(name), SortMarkIndex(1, true));
        QVERIFY(!g->model()->headerData(name, Qt::Horizontal, Qt::DecorationRole).isNull());
        v->adsCommon->SetSort("Name ASC, Amount DESC");
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
        const QImage asc = v->actSortAsc->icon().pixmap(16).toImage();
        const QImage desc = v->actSortDesc->icon().pixmap(16).toImage();
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
            v->actFilterExcludeSelection->trigger();
            v->actSortAsc->trigger();
            TExDBGrid* g = v->CommonExDBGrid;
            const int price = v->adsCommon->FieldByName("Price").Index();
            g->SetColumnTitle(price, "Цена, \"руб.\"");
            g->SetColumnWidth(price, 77);
            g->SetColumnPosition(price, 1);
            g->SetColumnVisible(v->adsCommon->FieldByName("Amount").Index(), false);
        }  // destroyed with the program: saved
        TRegistry reg;
        QVERIFY(reg.OpenKeyReadOnly("Software\\Quorvel\\Linkarium\\TTestViewForm"));
        QCOMPARE(reg.ReadString("Visible"), std::optional<QString>("1"));
        auto v = openView();
        QVERIFY(v->FilterApplied());
        QCOMPARE(v->adsCommon->RecordCount(), 3);
        QCOMPARE(v->adsCommon->Sort(), QStringLiteral("Name ASC"));
        TExDBGrid* g = v->CommonExDBGrid;
        const int price = v->adsCommon->FieldByName("Price").Index();
        QCOMPARE(g->ColumnTitle(price), QStringLiteral("Цена, \"руб.\""));
        QCOMPARE(g->ColumnWidth(price), 77);
        QCOMPARE(g->ColumnPosition(price), 1);
        QVERIFY(!g->ColumnVisible(v->adsCommon->FieldByName("Amount").Index()));
        QVERIFY(!g->ColumnVisible(v->adsCommon->FieldByName("ID").Index()));
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
        TExDBGrid* g = v->CommonExDBGrid;
        const int name = v->adsCommon->FieldByName("Name").Index();
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
        TExDBGrid* g = v->CommonExDBGrid;
        const int price = v->adsCommon->FieldByName("Price").Index();  // the last column
        g->SetSelectedIndex(price);
        v->actHideColumn->trigger();
        QVERIFY(!g->ColumnVisible(price));
        QCOMPARE(g->SelectedIndex(), v->adsCommon->FieldByName("Amount").Index());
    }

    void placementRoundTrip() {
        {
            auto v = openView();
            v->setGeometry(120, 130, 640, 300);
            v->close();  // closed by the user: saved with Visible 0, not again at exit
        }
        TRegistry reg;
        QVERIFY(reg.OpenKeyReadOnly("Software\\Quorvel\\Linkarium\\TTestViewForm"));
        QCOMPARE(reg.ReadString("Visible"), std::optional<QString>("0"));
        QCOMPARE(reg.ReadString("ShowCmd"), std::optional<QString>("1"));
        QCOMPARE(reg.ReadString("FormVersion"), std::optional<QString>("0"));
        const QString norm = reg.ReadString("NormPos").value_or("");
        QCOMPARE(norm.split(',').size(), 4);
        TTestViewForm probe(*module);
        QCOMPARE(reg.ReadString("NormPos" + probe.FormPlacement->ScreenSuffix()),
                 std::optional<QString>(norm));
        auto v = openView();
        QCOMPARE(v->size(), QSize(640, 300));
    }

    void placementFallbacks_data() {
        QTest::addColumn<QString>("normPos");
        QTest::addColumn<QString>("ppi");
        QTest::addColumn<int>("width");
        QTest::newRow("short rectangle keeps the rest") << "10,20,610"
                                                        << "" << 600;
        QTest::newRow("other pixel density keeps the design") << "10,20,610,220"
                                                              << "300" << 760;
    }
    void placementFallbacks() {
        QFETCH(QString, normPos);
        QFETCH(QString, ppi);
        QFETCH(int, width);
        storePlacement(normPos, ppi);
        auto v = openView();
        QCOMPARE(v->width(), width);
    }

    // A stored rectangle the screens no longer show is moved, and shrunk, into the
    // desktop; one they show stays where it was.
    void placementStaysOnTheDesktop_data() {
        QTest::addColumn<QString>("normPos");
        QTest::addColumn<QRect>("expected");  // empty: anywhere inside the work area
        QTest::newRow("on the screen") << "100,110,740,410" << QRect(100, 110, 640, 300);
        QTest::newRow("on a monitor that is gone") << "5000,100,5640,400" << QRect();
        QTest::newRow("above and left of the screen") << "-3000,-2000,-2360,-1700" << QRect();
        QTest::newRow("larger than the screen") << "0,0,9000,9000" << QRect();
    }
    void placementStaysOnTheDesktop() {
        QFETCH(QString, normPos);
        QFETCH(QRect, expected);
        storePlacement(normPos);
        auto v = openView();
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        if (!expected.isEmpty()) {
            QCOMPARE(v->geometry(), expected.translated(area.topLeft()));
        } else {
            QVERIFY2(area.contains(v->geometry()), qPrintable(QString("%1,%2 %3x%4")
                                                                  .arg(v->geometry().x())
                                                                  .arg(v->geometry().y())
                                                                  .arg(v->width())
                                                                  .arg(v->height())));
        }
    }

    // Never placed before: the view fills the work area below the main bar.
    void neverPlacedFillsTheAreaBelowTheMainBar() {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QWidget bar;
        bar.setObjectName("MainForm");
        bar.setGeometry(area.left(), area.top(), area.width(), 80);
        bar.show();
        // Other values of the view's key are no placement.
        WriteRegString("Software\\Quorvel\\Linkarium\\TTestViewForm", "ReportSelected", "Name");
        auto v = openView();
        QCOMPARE(v->frameGeometry().top(), bar.frameGeometry().bottom() + 1);
        QCOMPARE(v->frameGeometry().left(), area.left());
        QCOMPARE(v->frameGeometry().right(), area.right());
        QCOMPARE(v->frameGeometry().bottom(), area.bottom());
        v->setGeometry(50, 200, 620, 260);
        v->hide();
        v->show();  // shown again in the same run: where the user put it
        QCOMPARE(v->geometry(), QRect(50, 200, 620, 260));
    }

    // A maximised view takes the work area below the main bar, its title bar included.
    void maximisedViewLeavesTheMainBarFree() {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QWidget bar;
        bar.setObjectName("MainForm");
        bar.setGeometry(area.left(), area.top(), area.width(), 80);
        bar.show();
        auto v = openView();
        v->showMaximized();
        QTRY_VERIFY(v->frameGeometry().top() > bar.frameGeometry().bottom());
        QVERIFY(v->frameGeometry().top() <= bar.frameGeometry().bottom() + 2);
        QCOMPARE(v->geometry().bottom(),
                 area.bottom() + (v->frameGeometry().width() - v->width()) / 2);
    }

    // The last column reaches the window's edge; the width kept for it is the chosen one.
    void lastColumnReachesTheEdge() {
        auto v = openView();
        v->resize(900, 300);
        TExDBGrid* g = v->CommonExDBGrid;
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
        const int first = v->adsCommon->FieldByName("Name").Index();
        QVERIFY(first != last);
        g->SetColumnWidth(first, 2000);
        QCOMPARE(h->sectionSize(last), 40);
        QCOMPARE(g->ColumnWidth(first), 2000);
    }
};

QTEST_MAIN(TestCommonViewFrm)
#include "tst_commonviewfrm.moc"
