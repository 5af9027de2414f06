#include "gridtools/ColumnLayout.h"
#include "gridtools/DBGridFilterDlg.h"
#include "gridtools/DBGridSortDlg.h"
#include "gridtools/DragListWidget.h"
#include "gridtools/EditDBGridDlg.h"
#include "gridtools/ExDBGrid.h"
#include "platform/db/DataSet.h"
#include "platform/registry/Registry.h"
#include "support/ScriptedDialogs.h"
#include "support/TestCatalogue.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionViewItem>
#include <QTabWidget>
#include <QTableView>
#include <QTreeWidget>
#include <QtTest>

#include "support/TestHelpers.h"

namespace {

// A grid cell's drawing options, as a table view gives them to its delegate.
QStyleOptionViewItem cellOption(const QTableView& view, const QString& text, const QRect& rect) {
    QStyleOptionViewItem o;
    o.initFrom(&view);
    o.widget = &view;
    o.rect = rect;
    o.text = text;
    o.features = text.isEmpty() ? QStyleOptionViewItem::None : QStyleOptionViewItem::HasDisplay;
    o.textElideMode = Qt::ElideRight;
    return o;
}
const QString kQuestion = QStringLiteral("Добавить введённый ниже критерий в фильтр?");
const QString kExample =
    QStringLiteral("(URL LIKE \"%news%\") OR (Category = \"Work\") AND (Description IS NOT NULL)");

void criterion(TDBGridFilterForm& f, const QString& field, const QString& condition,
               const QString& value) {
    auto* fields = Child<QComboBox>(f, "FieldComboBox");
    fields->setCurrentIndex(fields->findText(field));
    auto* conditions = Child<QComboBox>(f, "ConditionComboBox");
    conditions->setCurrentIndex(conditions->findText(condition));
    if (!value.isEmpty()) {
        Child<QLineEdit>(f, "ValueEdit")->setText(value);
    }
}
}  // namespace

class TestGridDialogs final : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestEnvironment> env;
    std::unique_ptr<TTestCatalogue> cat;
    std::unique_ptr<TDataSet> ds;

    std::unique_ptr<TDBGridFilterForm> filterForm() {
        auto f = std::make_unique<TDBGridFilterForm>();
        f->SetDataSet(ds.get());
        f->SetFiltersKey("Software\\Quorvel\\Linkarium\\TView\\Filters");
        f->Prepare();
        return f;
    }
    QStringList rows(TDBGridFilterForm& f) {
        QStringList l;
        for (int r = 0; r < f.RowCount(); ++r) {
            l << f.RowTexts(r).join('|');
        }
        return l;
    }

private Q_SLOTS:
    void columnLayoutValue_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("read");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("width");
        QTest::newRow("plain") << "Категории,2,120,1" << true << "Категории" << 120;
        QTest::newRow("quoted title") << "\"a, \"\"b\"\"\",0,5,0" << true << "a, \"b\"" << 5;
        QTest::newRow("negative width") << "Категории,2,-12,1" << false << "" << 0;
        QTest::newRow("too few items") << "a,1,2" << false << "" << 0;
        QTest::newRow("not a number") << "a,x,2,1" << false << "" << 0;
    }
    void columnLayoutValue() {
        QFETCH(QString, value);
        QFETCH(bool, read);
        QFETCH(QString, title);
        QFETCH(int, width);
        QString t;
        int position = 0;
        int w = 0;
        bool visible = true;
        QCOMPARE(ParseColumnLayoutValue(value, t, position, w, visible), read);
        if (read) {
            QCOMPARE(t, title);
            QCOMPARE(w, width);
        }
    }

    // The grid cuts a long text before the style elides it: what shows must be what the
    // whole text elided to the cell shows, whatever the text.
    void cellTextIsElidedAsTheWholeText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::newRow("short") << "news.example" << 200;
        QTest::newRow("long address") << "https://example.org/" + QString(300, 'w') << 200;
        QTest::newRow("narrow letters") << QString(400, 'i') << 150;
        QTest::newRow("cyrillic") << QString("Очень длинное описание ").repeated(12) << 240;
        QTest::newRow("zero-width marks")
            << "a" + QString::fromUtf8("\u0301").repeated(600) + QString(50, 'b') << 120;
        QTest::newRow("surrogate pairs") << QString::fromUtf8("\U0001F600").repeated(200) << 130;
        QTest::newRow("ideographs") << QString::fromUtf8("漢字かな").repeated(100) << 130;
        QTest::newRow("greek and latin") << QString::fromUtf8("αβγ abc ").repeated(60) << 180;
        QTest::newRow("line break kept whole") << "first\n" + QString(300, 'x') << 100;
    }

    void cellTextIsElidedAsTheWholeText() {
        QFETCH(QString, text);
        QFETCH(int, width);
        QTableView view;
        QStyleOptionViewItem o = cellOption(view, text, QRect(0, 0, width, 17));
        QStyle* style = view.style();
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1;
        const int textWidth =
            style->subElementRect(QStyle::SE_ItemViewItemText, &o, &view).width() - 2 * margin;
        // Measured twice: the first measure of a fallback font's glyphs can differ.
        const QFontMetrics fm(o.font);
        fm.elidedText(text, Qt::ElideRight, textWidth);
        const QString shown = fm.elidedText(text, Qt::ElideRight, textWidth);
        TGridDelegate::FitCellText(o);
        if (text.contains('\n')) {
            QCOMPARE(o.text, text);
            return;
        }
        // The style elides what it is given once more: that is what shows.
        QCOMPARE(fm.elidedText(o.text, Qt::ElideRight, textWidth), shown);
    }

    // A cell drawn by the grid looks exactly as the style draws it.
    void cellPaintsAsTheStyle_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("alignment");
        QTest::addColumn<int>("state");
        const int plain = int(QStyle::State_Enabled | QStyle::State_Active);
        const int left = int(Qt::AlignLeft | Qt::AlignVCenter);
        const int right = int(Qt::AlignRight | Qt::AlignVCenter);
        QTest::newRow("text") << "Новости; Работа" << left << plain;
        QTest::newRow("number") << "1234567" << right << plain;
        QTest::newRow("centred") << "Работа" << int(Qt::AlignHCenter | Qt::AlignVCenter) << plain;
        QTest::newRow("selected") << "https://example.org/" << left
                                  << (plain | int(QStyle::State_Selected));
        QTest::newRow("current with focus")
            << "https://example.org/" << left
            << (plain | int(QStyle::State_Selected | QStyle::State_HasFocus));
        QTest::newRow("inactive window") << "Описание" << left << int(QStyle::State_Enabled);
        QTest::newRow("elided") << "Очень длинное описание ссылки, которое не помещается" << left
                                << plain;
        QTest::newRow("empty") << QString() << left << plain;
    }

    void cellPaintsAsTheStyle() {
        QFETCH(QString, text);
        QFETCH(int, alignment);
        QFETCH(int, state);
        QTableView view;
        QStyleOptionViewItem o = cellOption(view, text, QRect(3, 2, 150, 17));
        o.displayAlignment = Qt::Alignment(alignment);
        o.state = QStyle::State(state);
        const auto render = [&](bool ours) {
            QImage image(160, 24, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::white);
            QPainter painter(&image);
            QStyleOptionViewItem cell = o;
            if (ours) {
                TGridDelegate::PaintCell(&painter, cell, TGridDelegate::FitCellText(cell));
            } else {
                view.style()->drawControl(QStyle::CE_ItemViewItem, &cell, &painter, &view);
            }
            return image;
        };
        QCOMPARE(render(true), render(false));
    }

    void initTestCase() {
        InitTestApplication();
        LINKARIUM_REQUIRE_ENGINE();
    }

    void init() {
        env = std::make_unique<TTestEnvironment>();
        cat = std::make_unique<TTestCatalogue>();
        cat->otherSchema("CREATE TABLE T2 (N INTEGER, Notes TEXT, D DATETIME)",
                         "CREATE TABLE \"T2\" (\"N\" INTEGER, \"Notes\" TEXT, \"D\" TIMESTAMP)");
        ds = std::make_unique<TDataSet>();
        ds->SetConnection(&cat->connection());
        ds->SetCommandText("SELECT * FROM SubjectURLs");
        ds->Open();
        ds->FieldByName("SubjectURLID").Visible = false;
        ds->FieldByName("Category").DisplayLabel = "Категории";
        ds->FieldByName("Description").DisplayLabel = "Описание";
    }
    void cleanup() {
        ds.reset();
        cat.reset();
        env.reset();
    }

    void criteriaMakeTheFilterText() {
        TScriptedDialogs dialogs;
        auto f = filterForm();
        criterion(*f, "URL", "содержит", "news");
        QVERIFY(Child<QPushButton>(*f, "AddButton")->isEnabled());
        Child<QPushButton>(*f, "AddButton")->click();
        QCOMPARE(Child<QComboBox>(*f, "ConnectComboBox")->currentText(), QStringLiteral("или"));
        criterion(*f, "Категории", "равно (точно)", "Work");
        Child<QPushButton>(*f, "AddButton")->click();
        Child<QComboBox>(*f, "ConnectComboBox")->setCurrentIndex(1);
        criterion(*f, "Описание", "не пусто", "");
        QVERIFY(!Child<QLineEdit>(*f, "ValueEdit")->isEnabled());
        Child<QPushButton>(*f, "AddButton")->click();
        QCOMPARE(f->GetFilterText(), kExample);
        const QStringList expected = {"|URL|содержит|news", "или|Категории|равно (точно)|Work",
                                      "и|Описание|не пусто|"};
        QCOMPARE(rows(*f), expected);
        auto g = filterForm();
        g->SetFilterText(kExample);
        QCOMPARE(rows(*g), expected);
        QCOMPARE(g->GetFilterText(), kExample);
        QVERIFY(dialogs.shown().isEmpty());
    }

    void booleanCriterion() {
        auto f = filterForm();
        criterion(*f, "Visited", "равно", "");
        auto* list = Child<QComboBox>(*f, "BooleanComboBox");
        QVERIFY(list->isVisibleTo(f.get()));
        QVERIFY(!list->isEditable());
        list->setCurrentIndex(list->findText("Да"));
        Child<QPushButton>(*f, "AddButton")->click();
        QCOMPARE(f->GetFilterText(), QStringLiteral("(Visited = :True)"));
        auto g = filterForm();
        g->SetFilterText("(Visited = :True)");
        QCOMPARE(rows(*g), QStringList{"|Visited|равно|Да"});
    }

    void readingBackKeepsWhatTheTemplatesCannotRead_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("parenthesis in a value")
            << "(URL = \"a)b\") AND (Visited = :False)"
            << QStringList{"|URL|равно (точно)|a)b", "и|Visited|равно|Нет"};
        QTest::newRow("nested parentheses kept as text")
            << "(URL IN (\"a\", \"b\")) OR (URL IS NULL)"
            << QStringList{"|URL||URL IN (\"a\", \"b\")", "или|URL|пусто|"};
        QTest::newRow("unknown field dropped")
            << "(Nope = 1) OR (URL IS NULL)" << QStringList{"или|URL|пусто|"};
    }
    void readingBackKeepsWhatTheTemplatesCannotRead() {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        auto f = filterForm();
        f->SetFilterText(text);
        QCOMPARE(rows(*f), expected);
        if (!text.startsWith("(Nope")) {
            QCOMPARE(f->GetFilterText(), text);
        }
    }

    void removingPutsTheRowBackIntoTheEditor() {
        TScriptedDialogs dialogs;
        auto f = filterForm();
        f->SetFilterText(kExample);
        auto* list = Child<QTreeWidget>(*f, "QueryListView");
        list->setCurrentItem(list->topLevelItem(0));
        Child<QPushButton>(*f, "RemoveButton")->click();
        QCOMPARE(rows(*f), (QStringList{"|Категории|равно (точно)|Work", "и|Описание|не пусто|"}));
        QCOMPARE(Child<QComboBox>(*f, "FieldComboBox")->currentText(), QStringLiteral("URL"));
        QCOMPARE(Child<QComboBox>(*f, "ConditionComboBox")->currentText(),
                 QStringLiteral("содержит"));
        QCOMPARE(Child<QLineEdit>(*f, "ValueEdit")->text(), QStringLiteral("news"));
        QVERIFY(f->ConfirmPendingCriterion(false));   // the row taken back is not asked about
        Child<QPushButton>(*f, "OkButton")->click();  // no question right after removing
        QCOMPARE(f->result(), int(QDialog::Accepted));
        QVERIFY(dialogs.shown().isEmpty());
    }

    void pendingCriterionIsAskedAbout() {
        TScriptedDialogs dialogs;
        auto f = filterForm();
        criterion(*f, "URL", "содержит", "news");
        dialogs.answer(QMessageBox::Cancel);
        Child<QPushButton>(*f, "OkButton")->click();
        QCOMPARE(f->result(), int(QDialog::Rejected));
        dialogs.answer(QMessageBox::Cancel);
        Child<QTabWidget>(*f, "PageControl")->setCurrentIndex(1);
        QCOMPARE(Child<QTabWidget>(*f, "PageControl")->currentIndex(), 0);
        dialogs.answer(QMessageBox::Yes);
        Child<QPushButton>(*f, "OkButton")->click();
        QCOMPARE(f->result(), int(QDialog::Accepted));
        QCOMPARE(f->GetFilterText(), QStringLiteral("(URL LIKE \"%news%\")"));
        QCOMPARE(dialogs.shownTexts(), (QStringList{kQuestion, kQuestion, kQuestion}));
    }

    void conversionErrorKeepsTheRowOut() {
        TScriptedDialogs dialogs;
        TDataSet t2;
        t2.SetConnection(&cat->connection());
        t2.SetCommandText("SELECT * FROM T2");
        t2.Open();
        TDBGridFilterForm f;
        f.SetDataSet(&t2);
        f.Prepare();
        criterion(f, "N", "равно", "abc");
        Child<QPushButton>(f, "AddButton")->click();
        QCOMPARE(f.RowCount(), 0);
        QCOMPARE(dialogs.shownTexts(), QStringList{"'abc' - неверное целое значение"});
        criterion(f, "N", "между", "1, 5");
        Child<QPushButton>(f, "AddButton")->click();
        QCOMPARE(f.GetFilterText(), QStringLiteral("(N BETWEEN 1 AND 5)"));
    }

    void savedFilters() {
        TScriptedDialogs dialogs;
        WriteRegString("Software\\Quorvel\\Linkarium\\TView\\Filters", "Новости", "(URL IS NULL)");
        auto f = filterForm();
        f->SetFilterText("(Visited = :True)");
        dialogs.answerInput("новости");  // taken in other case
        dialogs.answerInput("a=b");      // would be read back split: refused with a message
        dialogs.answerInput("ab");
        Child<QPushButton>(*f, "StoreQueryButton")->click();
        QCOMPARE(f->StoredFilters(),
                 (QStringList{"Новости=(URL IS NULL)", "ab=(Visited = :True)"}));
        f->StoredQueriesListViewEdited(1, " НОВОСТИ ");  // taken: the old name stays
        QCOMPARE(f->StoredFilters().at(1), QStringLiteral("ab=(Visited = :True)"));
        f->StoredQueriesListViewEdited(1, "x=y");  // refused with the message
        QCOMPARE(f->StoredFilters().at(1), QStringLiteral("ab=(Visited = :True)"));
        f->StoredQueriesListViewEdited(1, " Посещённые ");
        QCOMPARE(f->StoredFilters().at(1), QStringLiteral("Посещённые=(Visited = :True)"));
        auto* stored = Child<QListWidget>(*f, "StoredQueriesListView");
        stored->setCurrentRow(0);
        Child<QPushButton>(*f, "LoadQueryButton")->click();
        QCOMPARE(rows(*f), QStringList{"|URL|пусто|"});
        stored->selectAll();
        Child<QPushButton>(*f, "RemoveQueryButton")->click();
        QVERIFY(f->StoredFilters().isEmpty());
        // Only "Применить" writes the list; an empty list removes the key.
        QVERIFY(TRegistry().KeyExists("Software\\Quorvel\\Linkarium\\TView\\Filters"));
        SaveValuesList(f->StoredFilters(), "Software\\Quorvel\\Linkarium\\TView\\Filters");
        QVERIFY(!TRegistry().KeyExists("Software\\Quorvel\\Linkarium\\TView\\Filters"));
        const QString equals = "Название фильтра не может содержать знак \"=\".";
        QCOMPARE(dialogs.shownTexts(),
                 (QStringList{"Введите название фильтра:", "Фильтр с таким именем уже существует.",
                              "Введите название фильтра:", equals,
                              "Введите название фильтра:", equals}));
    }

    void sortDialogReadsAndWritesTheSort() {
        ds->SetSort("URL ASC, Description DESC");
        TDBGridSortForm f({QIcon(), QIcon()});
        f.LoadSort(*ds);
        QListWidget* sort = f.SortListView();
        QCOMPARE(sort->count(), 2);
        QCOMPARE(sort->item(0)->text(), QStringLiteral("URL"));
        QCOMPARE(sort->item(1)->text(), QStringLiteral("Описание"));
        QCOMPARE(f.SortText(), QStringLiteral("URL ASC,Description DESC"));
        // Not sorted before: descending until flipped.
        QListWidget* available = f.AvailableListView();
        available->setCurrentItem(available->findItems("Категории", Qt::MatchExactly).first());
        f.AddOne();
        QCOMPARE(f.SortText(), QStringLiteral("URL ASC,Description DESC,Category DESC"));
        sort->setCurrentRow(2);
        f.FlipDirection();
        QCOMPARE(f.SortText(), QStringLiteral("URL ASC,Description DESC,Category ASC"));
        // The button and the Space key flip it as well.
        f.findChild<QPushButton*>("FlipDirectionButton")->click();
        QCOMPARE(f.SortText(), QStringLiteral("URL ASC,Description DESC,Category DESC"));
        QTest::keyClick(sort, Qt::Key_Space);
        QCOMPARE(f.SortText(), QStringLiteral("URL ASC,Description DESC,Category ASC"));
        // Dragging the first onto the third puts it last, the third onto the first first.
        f.SortListView()->DropRow(f.SortListView(), 0, 2);
        QCOMPARE(f.SortText(), QStringLiteral("Description DESC,Category ASC,URL ASC"));
        f.SortListView()->DropRow(f.SortListView(), 2, 0);
        QCOMPARE(f.SortText(), QStringLiteral("URL ASC,Description DESC,Category ASC"));
        f.RemoveAll();
        QCOMPARE(f.SortText(), QString());
        QVERIFY(!f.findChild<QAction*>("actRemoveOne")->isEnabled());
    }

    // Tab into a list with rows and no selection: its first row is selected, and the
    // keyboard command works without a click.
    void sortDialogListEnteredByKeyboard() {
        TDBGridSortForm f({QIcon(), QIcon()});
        f.LoadSort(*ds);
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QListWidget* available = f.AvailableListView();
        available->clearSelection();
        available->setCurrentRow(-1);
        f.SortListView()->setFocus(Qt::TabFocusReason);
        available->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(available->hasFocus());
        QCOMPARE(available->selectedItems().size(), 1);
        QCOMPARE(available->currentRow(), 0);
        const QString first = available->item(0)->text();
        QVERIFY(f.findChild<QAction*>("actAddOne")->isEnabled());
        QTest::keyClick(available, Qt::Key_Right);
        QCOMPARE(f.SortListView()->count(), 1);
        QCOMPARE(f.SortListView()->item(0)->text(), first);
    }

    void sortDialogLeavesOutMemoAndHiddenFields() {
        TDataSet t2;
        t2.SetConnection(&cat->connection());
        t2.SetCommandText("SELECT * FROM T2");
        t2.Open();
        t2.FieldByName("D").Visible = false;
        t2.SetSort("D ASC,N DESC");
        TDBGridSortForm f({QIcon(), QIcon()});
        f.LoadSort(t2);
        QCOMPARE(f.AvailableListView()->count() + f.SortListView()->count(), 1);  // N only
        QCOMPARE(f.SortText(), QStringLiteral("N DESC"));
    }

    void columnDialog() {
        TExDBGrid grid;
        grid.SetDataSet(ds.get());
        const int url = ds->FieldByName("URL").Index();
        const int category = ds->FieldByName("Category").Index();
        grid.SetSelectedIndex(url);
        {
            TEditDBGridForm f;
            f.LoadColumns(grid);
            auto* list = Child<QListWidget>(f, "ColumnsCheckListBox");
            // Every column is listed, the key the program keeps hidden too.
            QCOMPARE(list->count(), grid.ColumnCount());
            list->setCurrentRow(url);
            f.MoveUp();
            list->item(url - 1)->setCheckState(Qt::Unchecked);
            Child<QLineEdit>(f, "ColumnEdit")->setText("  Адрес  ");
            f.OkButtonClick();  // Enter in the edit applies the title
            f.ApplyColumns(grid);
        }
        QCOMPARE(grid.ColumnTitle(url), QStringLiteral("Адрес"));
        QVERIFY(!grid.ColumnVisible(url));
        QCOMPARE(grid.ColumnPosition(url), url - 1);
        QCOMPARE(grid.SelectedIndex(), url);
        {
            TEditDBGridForm f;
            f.LoadColumns(grid);
            auto* list = Child<QListWidget>(f, "ColumnsCheckListBox");
            list->setCurrentRow(category);
            Child<QLineEdit>(f, "ColumnEdit")->setText("   ");
            f.ApplyTitle();  // blanks keep the old title
            QCOMPARE(list->item(category)->text(), QStringLiteral("Категории"));
            // Dropped below the last entry: just before the last.
            auto* drag = static_cast<TDragListWidget*>(list);
            drag->DropRow(drag, 0, -1);
            QCOMPARE(list->item(list->count() - 2)->data(Qt::UserRole).toInt(), 0);
            f.reject();  // Cancel leaves the grid alone
        }
        QCOMPARE(grid.ColumnPosition(1), 1);
    }
};

QTEST_MAIN(TestGridDialogs)
#include "tst_griddialogs.moc"
