#include "app/GeneralUnit.h"
#include "gridtools/ExDBGrid.h"
#include "platform/Errors.h"
#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"
#include "support/CatalogueFixture.h"
#include "support/ScriptedDialogs.h"
#include "support/TestCatalogue.h"
#include "support/TestEnvironment.h"
#include "urls/Categories.h"
#include "urls/CategoryDlg.h"
#include "urls/EditDictionaryDlg.h"
#include "urls/URLViewFrm.h"

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QtTest>

#include "support/TestHelpers.h"
#include "support/ViewParts.h"

class TestCategories final : public QObject, TCatalogueFixture {
    Q_OBJECT

    QString categoryOf(const QString& url) {
        const QVariant v =
            cat->otherValue("SELECT Category FROM SubjectURLs WHERE URL = '" + url + "'");
        return v.isNull() ? QStringLiteral("NULL") : v.toString();
    }

    // Distinct names, each short enough for the list, joined into a text of this length.
    static QString longText(int length) {
        QStringList names;
        int total = -2;
        while (total + 2 + 200 < length) {
            names << QString("%1").arg(names.size(), 200, 10, QChar('n'));
            total += 202;
        }
        names << QString(length - total - 2, 'z');
        return names.join("; ");
    }

private Q_SLOTS:
    void initTestCase() {
        InitTestApplication();
        LINKARIUM_REQUIRE_ENGINE();
    }
    void init() {
        openCatalogue([](TTestCatalogue& c) {
            c.addUrl("a.example", "", "Новости; Спорт");
            c.addUrl("b.example", "", "Новости спорта");
            c.addUrl("c.example", "", "Спорт");
            c.addUrl("d.example", "", "спорт ;новости");
            c.otherExec(
                "INSERT INTO CategoryList(CategoryName) VALUES ('Новости'), ('Спорт'), "
                "('Новости спорта')");
        });
    }
    void cleanup() { closeCatalogue(); }

    void renamedText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("renamed");
        QTest::newRow("letter case aside") << "Новости; Спорт"
                                           << "новости"
                                           << "Мир"
                                           << "Мир; Спорт";
        QTest::newRow("a prefix of another name") << "Новости спорта; Новости"
                                                  << "Новости"
                                                  << "Мир"
                                                  << "Новости спорта; Мир";
        QTest::newRow("not there") << "Новостиx;  C"
                                   << "Новости"
                                   << "Мир"
                                   << "Новостиx;  C";
        QTest::newRow("merged into a name it has") << "A; B; C"
                                                   << "A"
                                                   << "c"
                                                   << "c; B";
        QTest::newRow("removed") << "A; B"
                                 << "a"
                                 << ""
                                 << "B";
        QTest::newRow("the only name removed") << "A"
                                               << "A"
                                               << ""
                                               << "";
        QTest::newRow("loose separators") << " a ;b;;c\r\nd"
                                          << "B"
                                          << "X"
                                          << "a; X; c; d";
        QTest::newRow("twice in one text") << "A; a; B"
                                           << "A"
                                           << "Z"
                                           << "Z; B";
    }
    void renamedText() {
        QFETCH(QString, text);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, renamed);
        QCOMPARE(RenamedCategoryText(text, from, to), renamed);
    }

    // The filter by one name keeps the records whose list holds it as a whole name, in any
    // letter case and however the separators are spaced, on each engine's own LIKE.
    void filterByCategory_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("urls");
        QTest::newRow("a name that begins another")
            << "Новости" << QStringList{"a.example", "d.example", "e.example"};
        QTest::newRow("the longer name") << "Новости спорта" << QStringList{"b.example"};
        QTest::newRow("wildcards are letters") << "100%" << QStringList{"f.example"};
        QTest::newRow("an underscore too") << "a_b" << QStringList{"g.example"};
    }
    void filterByCategory() {
        QFETCH(QString, name);
        QFETCH(QStringList, urls);
        cat->addUrl("e.example", "", "Мои; НОВОСТИ");
        cat->addUrl("f.example", "", "100%; x");
        cat->addUrl("g.example", "", "a_b");
        cat->addUrl("h.example", "", "100 процентов; axb; Мои Новости");
        TURLViewForm v(*module);
        v.show();
        TExDBGrid* g = &ViewGrid(v);
        g->SetSelectedIndex(ViewData(v).FieldByName("URL").Index());
        QVERIFY(v.CategoryFilterNames().isEmpty());  // offered on a Category cell only
        QVERIFY(ViewData(v).Locate("URL", {"d.example"}, 0));
        g->SetSelectedIndex(ViewData(v).FieldByName("Category").Index());
        QCOMPARE(v.CategoryFilterNames(), (QStringList{"спорт", "новости"}));
        v.FillCategoryFilterMenu();
        QCOMPARE(Child<QMenu>(v, "mnuFilterByCategory")->actions().size(), 2);
        v.FilterByCategory(name);
        QStringList shown;
        for (ViewData(v).First(); !ViewData(v).Eof(); ViewData(v).Next()) {
            shown << ViewData(v).FieldByName("URL").AsString();
        }
        shown.sort();
        QCOMPARE(shown, urls);
    }

    // Renaming, merging and removing names in the list editor: each asks with the number of
    // records it changes, counting the changes made before it in the same run, and OK
    // writes the list and the records together; an open view shows the result.
    void editorRenamesMergesAndRemoves() {
        TURLViewForm v(*module);
        v.show();
        TScriptedDialogs dialogs;
        TEditDictionaryForm f;
        TCategoryRecords records(module->ADOConnection);
        f.SetRecords(&records);
        f.Prepare(module->adsCategoryList, "CategoryName");
        auto* list = Child<QListWidget>(f, "ItemsListView");
        dialogs.answer(QMessageBox::Yes);
        f.ItemsListViewEdited(list->item(f.Find("Новости")), "Мир");
        dialogs.answer(QMessageBox::Yes);
        f.ItemsListViewEdited(list->item(f.Find("Спорт")), "мир");  // merged into "Мир"
        QCOMPARE(f.Items(), (QStringList{"Мир", "Новости спорта"}));
        list->clearSelection();
        list->item(f.Find("Новости спорта"))->setSelected(true);
        dialogs.answer(QMessageBox::Yes);
        f.DeleteButtonClick();
        QCOMPARE(dialogs.shownTexts(),
                 (QStringList{"Переименовать категорию «Новости» в «Мир»? Изменится записей: 2.",
                              "Объединить категорию «Спорт» с категорией «Мир»? Изменится "
                              "записей: 3.",
                              "Категория «Новости спорта» есть в записях: 1. Убрать её и из этих "
                              "записей?"}));
        QCOMPARE(categoryOf("a.example"), QStringLiteral("Новости; Спорт"));  // not yet
        f.Finish(true);
        Q_EMIT module->RecordsRewritten();
        QCOMPARE(categoryOf("a.example"), QStringLiteral("Мир"));
        QCOMPARE(categoryOf("b.example"), QStringLiteral("NULL"));
        QCOMPARE(categoryOf("c.example"), QStringLiteral("Мир"));
        QCOMPARE(categoryOf("d.example"), QStringLiteral("Мир"));
        QCOMPARE(cat->otherColumn("SELECT CategoryName FROM CategoryList ORDER BY 1"),
                 (QStringList{"Мир"}));
        QVERIFY(ViewData(v).Locate("URL", {"c.example"}, 0));
        QCOMPARE(ViewData(v).FieldByName("Category").AsString(), QStringLiteral("Мир"));
        QCOMPARE(dialogs.unexpected(), 0);
    }

    // The list command itself: its editor comes through the dialog seam; OK writes the rename
    // to the list and the records and an open view shows it at once, Cancel writes nothing.
    void listCommandWritesOnlyOnOk_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("category");
        QTest::newRow("OK") << "OkButton"
                            << "Мир; Спорт";
        QTest::newRow("Cancel") << "CancelButton"
                                << "Новости; Спорт";
    }
    void listCommandWritesOnlyOnOk() {
        QFETCH(QString, button);
        QFETCH(QString, category);
        TURLViewForm v(*module);
        v.show();
        TScriptedDialogs dialogs;
        QString title;
        dialogs.answerDialog([&](QDialog& d) {
            auto& editor = static_cast<TEditDictionaryForm&>(d);
            title = editor.windowTitle();
            auto* list = Child<QListWidget>(editor, "ItemsListView");
            dialogs.answer(QMessageBox::Yes);
            editor.ItemsListViewEdited(list->item(editor.Find("Новости")), "Мир");
            Child<QPushButton>(editor, qPrintable(button))->click();
            return editor.result();
        });
        module->EditCategoryListAction()->trigger();
        QCOMPARE(title, QStringLiteral("Cписок категорий"));
        QCOMPARE(dialogs.unexpected(), 0);
        QCOMPARE(categoryOf("a.example"), category);
        QVERIFY(ViewData(v).Locate("URL", {"a.example"}, 0));
        QCOMPARE(ViewData(v).FieldByName("Category").AsString(), category);
    }

    // Answering No keeps the name; deleting from the list alone leaves the records; Cancel
    // of the editor writes nothing.
    void editorDeclinedAndCancelled() {
        TScriptedDialogs dialogs;
        TEditDictionaryForm f;
        TCategoryRecords records(module->ADOConnection);
        f.SetRecords(&records);
        f.Prepare(module->adsCategoryList, "CategoryName");
        auto* list = Child<QListWidget>(f, "ItemsListView");
        dialogs.answer(QMessageBox::No);
        QListWidgetItem* sport = list->item(f.Find("Спорт"));
        f.ItemsListViewEdited(sport, "Игры");
        QCOMPARE(sport->text(), QStringLiteral("Спорт"));
        list->clearSelection();
        sport->setSelected(true);
        dialogs.answer(QMessageBox::No);  // from the list only
        f.DeleteButtonClick();
        QVERIFY(f.RecordChanges().isEmpty());
        dialogs.answer(QMessageBox::Yes);
        f.ItemsListViewEdited(list->item(f.Find("Новости")), "Мир");
        f.Finish(false);
        QCOMPARE(categoryOf("a.example"), QStringLiteral("Новости; Спорт"));
        QCOMPARE(cat->otherValue("SELECT count(*) FROM CategoryList").toInt(), 3);
        QCOMPARE(dialogs.unexpected(), 0);
    }

    // Names the records carry that the list lacks (a catalogue older than the list's
    // upkeep) are offered by the list editor and the category dialog; OK keeps them, Cancel
    // leaves the list as it was.
    void usedNamesAreOffered() {
        cat->otherExec("UPDATE SubjectURLs SET Category = 'Дом; новости' WHERE URL = 'c.example'");
        {
            TCategoryForm d(*module);
            d.Prepare(QString());
            auto* checks = Child<QListWidget>(d, "CategoryCheckListBox");
            QCOMPARE(checks->findItems("Дом", Qt::MatchExactly).size(), 1);
            QCOMPARE(checks->count(), 4);
            d.Finish(false);
        }
        QCOMPARE(cat->otherValue("SELECT count(*) FROM CategoryList").toInt(), 3);
        TEditDictionaryForm f;
        TCategoryRecords records(module->ADOConnection);
        f.SetRecords(&records);
        f.Prepare(module->adsCategoryList, "CategoryName");
        QCOMPARE(f.Items(), (QStringList{"Дом", "Новости", "Новости спорта", "Спорт"}));
        f.Finish(true);
        QCOMPARE(cat->otherColumn("SELECT CategoryName FROM CategoryList ORDER BY 1"),
                 (QStringList{"Дом", "Новости", "Новости спорта", "Спорт"}));
    }

    // Another user changes a record's categories between the rename's reading and its
    // A database whose character type folds Latin letters only: a rename still reaches the
    // records holding the name in other letters in another case, and counts them.
    void renameOnAServerThatFoldsLatinOnly() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        TTestCatalogue latin(TTestCatalogue::WithTables,
                             "TEMPLATE template0 ENCODING 'UTF8' LC_CTYPE 'C' LC_COLLATE 'C'");
        latin.addUrl("a.example", "", "новости; Спорт");
        latin.addUrl("b.example", "", "НОВОСТИ");
        latin.addUrl("c.example", "", "Новости спорта");
        TCategoryRecords records(latin.connection());
        QCOMPARE(records.RecordsUsing("Новости", {}), 2);
        QCOMPARE(records.Apply({{"Новости", "Медиа"}}), 2);
        QCOMPARE(latin.otherColumn("SELECT Category FROM SubjectURLs ORDER BY URL"),
                 (QStringList{"Медиа; Спорт", "Медиа", "Новости спорта"}));
    }

    // writing: the rename is made on what the record holds now, the other change kept; a
    // record deleted meanwhile is left alone.
    void renameKeepsChangesMadeMeanwhile() {
        const QString changed = cat->addUrl("x1.example", "", "Linux; Dev");
        const QString deleted = cat->addUrl("x2.example", "", "Linux");
        const QString plain = cat->addUrl("x3.example", "", "Linux");
        TCategoryRecords records(module->ADOConnection);
        records.BeforeWriting = [&]() {
            cat->otherExec(
                "UPDATE SubjectURLs SET Category = 'Linux; Dev; Новое' "
                "WHERE SubjectURLID = '" +
                changed + "'");
            cat->otherExec("DELETE FROM SubjectURLs WHERE SubjectURLID = '" + deleted + "'");
        };
        QCOMPARE(records.Apply({{"Linux", "Unix"}}), 2);
        QCOMPARE(categoryOf("x1.example"), QStringLiteral("Unix; Dev; Новое"));
        QCOMPARE(categoryOf("x3.example"), QStringLiteral("Unix"));
        QCOMPARE(cat->otherValue("SELECT count(*) FROM SubjectURLs WHERE SubjectURLID = '" +
                                 deleted + "'")
                     .toInt(),
                 0);
        QVERIFY(!plain.isEmpty());
    }

    // A rename or merge that some records cannot take (their categories would grow past the
    // field) keeps the editor open and names them: No goes back with every edit intact and
    // nothing written, Yes writes the others and leaves those with the old name.
    void renameThatDoesNotFitKeepsTheEditor() {
        const int size = CategoryFieldSize(module->ADOConnection);
        QCOMPARE(size, 4000);  // a catalogue made now
        const QString names = longText(size - 3) + "; A";
        cat->addUrl("long.example", "", names);
        cat->addUrl("short.example", "", "A; Спорт");
        TScriptedDialogs dialogs;
        TEditDictionaryForm f;
        TCategoryRecords records(module->ADOConnection);
        f.SetRecords(&records);
        module->adsCategoryList.Append();
        module->adsCategoryList.FieldByName("CategoryName").SetValue("A");
        module->adsCategoryList.Post();
        f.Prepare(module->adsCategoryList, "CategoryName");
        auto* list = Child<QListWidget>(f, "ItemsListView");
        dialogs.answer(QMessageBox::Yes);
        f.ItemsListViewEdited(list->item(f.Find("A")), "Длинное имя");
        dialogs.answer(QMessageBox::Yes);
        f.ItemsListViewEdited(list->item(f.Find("Спорт")), "Игры");
        const QStringList edited = f.Items();
        dialogs.answer(QMessageBox::No);
        QVERIFY(!f.ConfirmRecordChanges());
        const QString asked = dialogs.shownTexts().last();
        QVERIFY2(asked.contains("«long.example»") && asked.contains("4000") &&
                     !asked.contains("short.example"),
                 qPrintable(asked));
        QCOMPARE(f.Items(), edited);
        QCOMPARE(f.RecordChanges().size(), 2);
        QCOMPARE(categoryOf("short.example"), QStringLiteral("A; Спорт"));
        dialogs.answer(QMessageBox::Yes);
        QVERIFY(f.ConfirmRecordChanges());
        f.Finish(true);
        QCOMPARE(categoryOf("long.example"), names);
        QCOMPARE(categoryOf("short.example"), QStringLiteral("Длинное имя; Игры"));
        const QStringList listed =
            cat->otherColumn("SELECT CategoryName FROM CategoryList ORDER BY 1");
        QVERIFY(listed.contains("Длинное имя") && listed.contains("Игры"));
        QVERIFY(!listed.contains("A") && !listed.contains("Спорт"));
        QCOMPARE(dialogs.unexpected(), 0);
    }

    // A record the user was not told of is never cut nor left behind: the change stops with
    // an error naming it, and nothing is written.
    void applyRefusesTheRecordsNotLeftOut() {
        const QString names = QString(3990, 'x') + "; A";
        const QString key = cat->addUrl("long.example", "", names);
        cat->addUrl("short.example", "", "A");
        TCategoryRecords records(module->ADOConnection);
        const QVector<TCategoryRefusal> refused = records.Refusals({{"a", QString(20, 'y')}});
        QCOMPARE(refused.size(), 1);
        QCOMPARE(refused.first().url, QStringLiteral("long.example"));
        QCOMPARE(refused.first().length, 4012);
        bool named = false;
        try {
            TTransaction transaction(module->ADOConnection);
            records.Apply({{"a", QString(20, 'y')}});
            transaction.Commit();
        } catch (const EError& e) {
            named = e.message().contains("long.example") && e.message().contains("4000");
        }
        QVERIFY(named);
        QCOMPARE(categoryOf("short.example"), QStringLiteral("A"));
        QCOMPARE(records.Apply({{"a", QString(20, 'y')}}, {key}), 1);
        QCOMPARE(categoryOf("long.example"), names);
        QCOMPARE(categoryOf("short.example"), QString(20, 'y'));
    }

    // A catalogue made before keeps its 255 characters: a rename past them is refused there,
    // while one made now takes 4,000.
    void olderCatalogueKeepsItsSize_data() {
        QTest::addColumn<bool>("older");
        QTest::addColumn<int>("size");
        QTest::newRow("made now") << false << 4000;
        QTest::newRow("made before") << true << 255;
    }
    void olderCatalogueKeepsItsSize() {
        QFETCH(bool, older);
        QFETCH(int, size);
        if (older) {
            useOlderCategorySize();
        }
        QCOMPARE(CategoryFieldSize(module->ADOConnection), size);
        cat->addUrl("a.example", "", QString(240, 'x') + "; A");
        TCategoryRecords records(module->ADOConnection);
        QCOMPARE(records.Refusals({{"A", QString(20, 'y')}}).size(), older ? 1 : 0);
    }

    // A name holding a separator of the records' names or a line break would become two
    // names in them: the editor refuses it, naming the character, when added and when
    // renamed to; so too a name longer than the list's field.
    void editorRefusesNamesThatSplit_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("said");
        QTest::newRow("semicolon") << "Дом; Сад"
                                   << "«;»";
        QTest::newRow("line feed") << "Дом\nСад"
                                   << "U+000A";
        QTest::newRow("carriage return") << "Дом\rСад"
                                         << "U+000D";
        QTest::newRow("line separator") << QString("Дом") + QChar(0x2028) + "Сад"
                                        << "U+2028";
        QTest::newRow("paragraph separator") << QString("Дом") + QChar(0x2029) + "Сад"
                                             << "U+2029";
        QTest::newRow("tab inside") << "Дом\tСад"
                                    << "U+0009";
        QTest::newRow("another control character") << QString("Дом") + QChar(0x1F) + "Сад"
                                                   << "U+001F";
        QTest::newRow("longer than the field") << QString(256, 'n') << "255";
    }
    void editorRefusesNamesThatSplit() {
        QFETCH(QString, name);
        QFETCH(QString, said);
        TScriptedDialogs dialogs;
        TEditDictionaryForm f;
        TCategoryRecords records(module->ADOConnection);
        f.SetRecords(&records);
        f.Prepare(module->adsCategoryList, "CategoryName");
        const QStringList before = f.Items();
        auto* edit = Child<QLineEdit>(f, "NewEdit");
        edit->setText(name);
        QCOMPARE(edit->text(), name);  // never cut by the edit itself
        f.AddButtonClick();
        QCOMPARE(f.Items(), before);
        QCOMPARE(edit->text(), name);  // left to mend
        QCOMPARE(dialogs.shownTexts().size(), 1);
        QVERIFY2(dialogs.shownTexts().last().contains(said),
                 qPrintable(dialogs.shownTexts().last()));
        auto* list = Child<QListWidget>(f, "ItemsListView");
        f.ItemsListViewEdited(list->item(f.Find("Спорт")), name);
        QCOMPARE(f.Items(), before);
        QCOMPARE(dialogs.shownTexts().size(), 2);
        QVERIFY(dialogs.shownTexts().last().contains(said));
        QVERIFY(f.RecordChanges().isEmpty());
        f.Finish(true);
        QCOMPARE(cat->otherColumn("SELECT CategoryName FROM CategoryList ORDER BY 1"),
                 (QStringList{"Новости", "Новости спорта", "Спорт"}));
        QCOMPARE(dialogs.unexpected(), 0);
    }

    // "Добавить" of the category dialog adds the names the record will carry: a line break
    // separates them as ";" does.
    void categoryDialogAddsEachLine() {
        TCategoryForm d(*module);
        d.Prepare(QString());
        Child<QPlainTextEdit>(d, "CategoryMemo")->setPlainText("Дом\nСад;Огород\r\n\nспорт");
        d.AddButtonClick();
        auto* checks = Child<QListWidget>(d, "CategoryCheckListBox");
        for (const char* name : {"Дом", "Сад", "Огород"}) {
            const auto found = checks->findItems(name, Qt::MatchExactly);
            QCOMPARE(found.size(), 1);
            QCOMPARE(found.first()->checkState(), Qt::Checked);
        }
        QCOMPARE(checks->count(), 6);
        d.Finish(true);
        QCOMPARE(cat->otherColumn("SELECT CategoryName FROM CategoryList ORDER BY 1"),
                 (QStringList{"Дом", "Новости", "Новости спорта", "Огород", "Сад", "Спорт"}));
    }

    // OK of the category dialog with more than the record's field holds names the record
    // and stays open; the text is not cut.
    void categoryDialogRefusesWhatDoesNotFit() {
        TScriptedDialogs dialogs;
        TCategoryForm d(*module);
        d.SetRecordAddress("a.example");
        const QString text = QStringList(401, "Категория").join("; ");  // 4,409 characters
        d.Prepare(text);
        Child<QPushButton>(d, "OkButton")->click();
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QCOMPARE(d.Text(), text);
        QCOMPARE(dialogs.shownTexts().size(), 1);
        QVERIFY(dialogs.shownTexts().first().contains("«a.example»"));
        QVERIFY(dialogs.shownTexts().first().contains("4000"));
        Child<QPlainTextEdit>(d, "CategoryMemo")->setPlainText(QString(4000, 'k'));
        Child<QPushButton>(d, "OkButton")->click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        d.Finish(false);
    }

    // The filter by one name keeps exactly the records whose categories, read as the
    // category menu reads them, hold that name in any letter case: random texts of names
    // and separators, stored on the engine and filtered by it.
    void filterAgreesWithTheSplitter() {
        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        const QStringList bases = {"news", "Linux",       "Новости", "спорт",      "a b",
                                   "a  b", "a\tb",        "100%",    "a_b",        "axb",
                                   "[x]",  "*",           "what?",   "\"quoted\"", "it's",
                                   "Ёлка", "Мои Новости", "x",       "X y"};
        const QStringList separators = {";",    "; ",   ";\r\n", "\n", ";;",
                                        "\r\n", " ;  ", ";\t",   "\r", "; ;"};
        const QStringList blanks = {"", "", " ", "   ", "\t", " \t ", QString(QChar(0xA0))};
        const auto anyOf = [&random](const QStringList& l) {
            return l.at(static_cast<int>(random.bounded(static_cast<quint32>(l.size()))));
        };
        const auto anyCase = [&random](QString n) {
            for (QChar& c : n) {
                c = random.bounded(2) ? c.toUpper() : c.toLower();
            }
            return n;
        };
        QHash<QString, QString> texts;  // URL, category text
        {
            TTransaction transaction(module->ADOConnection);
            for (int r = 0; r < 300; ++r) {
                QString text = anyOf(blanks);
                const int count = static_cast<int>(random.bounded(1, 6));
                for (int n = 0; n < count; ++n) {
                    if (n > 0) {
                        text += anyOf(separators) + anyOf(blanks);
                    }
                    text += anyCase(anyOf(bases)) + anyOf(blanks);
                }
                const QString url = QString("r%1.example").arg(r);
                texts.insert(url, text);
                module->ADOConnection.Execute(
                    "INSERT INTO SubjectURLs (URL, Category) VALUES (:U, :C)",
                    {{"U", url}, {"C", text}});
            }
            transaction.Commit();
        }
        TURLViewForm v(*module);
        QStringList searched;
        for (const QString& base : bases) {
            searched << anyCase(base);
        }
        searched << "news" + QString(QChar(0xA0)) << "a"
                 << "Новости спорта";
        for (const QString& name : searched) {
            QStringList expected;
            for (auto it = texts.cbegin(); it != texts.cend(); ++it) {
                if (HasCategoryName(SplitCategoryNames(it.value()), name)) {
                    expected << it.key();
                }
            }
            expected.sort();
            v.actRemoveFilterExecute();
            v.FilterByCategory(name);
            QStringList kept;
            for (ViewData(v).First(); !ViewData(v).Eof(); ViewData(v).Next()) {
                const QString url = ViewData(v).FieldByName("URL").AsString();
                if (texts.contains(url)) {
                    kept << url;
                }
            }
            kept.sort();
            QVERIFY2(kept == expected,
                     qPrintable(QString("seed %1, name \"%2\": kept %3, expected %4")
                                    .arg(seed)
                                    .arg(name)
                                    .arg(kept.join(' '), expected.join(' '))));
        }
    }
};

QTEST_MAIN(TestCategories)
#include "tst_categories.moc"
