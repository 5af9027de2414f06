#include "app/GeneralUnit.h"
#include "common/ConstsUnit.h"
#include "platform/db/DataSet.h"
#include "platform/db/Schema.h"
#include "support/CatalogueFixture.h"
#include "support/ScriptedDialogs.h"
#include "support/TestCatalogue.h"
#include "support/TestEnvironment.h"
#include "urls/EditURLDlg.h"

#include <QDesktopServices>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextCursor>
#include <QToolButton>
#include <QtTest>

#include "support/TestHelpers.h"

// The record dialog: a new record, an address held already, texts too long for their
// column, line breaks, and what Cancel and a deleted record do.
class TestEditUrl final : public QObject, TCatalogueFixture {
    Q_OBJECT

    QString descriptionOf(const QString& key) {
        return value(QString("SELECT Description FROM SubjectURLs WHERE SubjectURLID = '%1'")
                         .arg(key))
            .toString();
    }

private Q_SLOTS:
    void initTestCase() {
        InitTestApplication();
        LINKARIUM_REQUIRE_ENGINE();
    }

    void init() { openWithTwoLinks(); }
    void cleanup() { closeCatalogue(); }

    void editDialogNewRecord() {
        TEditURLForm d(*module);
        QVERIFY(d.Prepare(QVariant()));
        auto* ok = Child<QPushButton>(d, "OkButton");
        auto* go = Child<QToolButton>(d, "GoSpeedButton");
        QVERIFY(!ok->isEnabled() && !go->isEnabled());
        Child<QLineEdit>(d, "URLDBEdit")->setText("   ");
        QVERIFY(!ok->isEnabled());
        Child<QLineEdit>(d, "URLDBEdit")->setText("  new.example/x  ");
        QVERIFY(ok->isEnabled() && go->isEnabled());
        Child<QPlainTextEdit>(d, "DescriptionDBMemo")->setPlainText("   ");
        Child<QLineEdit>(d, "CategoryDBEdit")->setText(" Работа ");
        ok->click();
        QVERIFY(d.Saved());
        d.Finish();
        const QString key = d.RecordKey().toString();
        QCOMPARE(value(QString("SELECT URL FROM SubjectURLs WHERE SubjectURLID = '%1'").arg(key))
                     .toString(),
                 QStringLiteral("new.example/x"));
        QCOMPARE(
            value(QString("SELECT Category FROM SubjectURLs WHERE SubjectURLID = '%1'").arg(key))
                .toString(),
            QStringLiteral("Работа"));
        QVERIFY(value(QString("SELECT Description IS NULL FROM SubjectURLs WHERE "
                              "SubjectURLID = '%1'")
                          .arg(key))
                    .toBool());
    }

    // Adding an address the catalogue holds already (by the duplicate rules) asks first:
    // open the record there is, save the new one all the same, or go back to it.
    void addingAnAddressHeldAlready_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("answer");  // 0: no question expected
        QTest::addColumn<bool>("saved");
        QTest::addColumn<bool>("openInstead");
        const int yes = QMessageBox::Yes;
        const int no = QMessageBox::No;
        const int cancel = QMessageBox::Cancel;
        QTest::newRow("open the one there is") << "HTTPS://www.A.example/" << yes << false << true;
        QTest::newRow("save it all the same") << "http://a.example" << no << true << false;
        QTest::newRow("back to the record") << "a.example/" << cancel << false << false;
        QTest::newRow("a new address") << "a.example/other" << 0 << true << false;
        QTest::newRow("a host that only contains it") << "aa.example" << 0 << true << false;
    }
    void addingAnAddressHeldAlready() {
        QFETCH(QString, typed);
        QFETCH(int, answer);
        QFETCH(bool, saved);
        QFETCH(bool, openInstead);
        TScriptedDialogs dialogs;
        if (answer != 0) {
            dialogs.answer(static_cast<QMessageBox::StandardButton>(answer));
        }
        TEditURLForm d(*module);
        QVERIFY(d.Prepare(QVariant()));
        Child<QLineEdit>(d, "URLDBEdit")->setText(typed);
        Child<QPushButton>(d, "OkButton")->click();
        QCOMPARE(dialogs.unexpected(), 0);
        QCOMPARE(dialogs.shownTexts().size(), answer != 0 ? 1 : 0);
        if (answer != 0) {
            QVERIFY2(dialogs.shownTexts().first().contains("a.example — Первая"),
                     qPrintable(dialogs.shownTexts().first()));
        }
        QCOMPARE(d.Saved(), saved);
        QCOMPARE(d.OpenInstead().isValid(), openInstead);
        if (openInstead) {
            QCOMPARE(d.OpenInstead().toString(), keyA);
            QCOMPARE(d.result(), int(QDialog::Rejected));
        }
        d.Finish();
        QCOMPARE(value("SELECT count(*) FROM SubjectURLs").toInt(), saved ? 3 : 2);
    }

    // Names typed into a record join the shared list when the record is stored, each once
    // and letter case aside; the list's own spelling stays.
    void savedRecordsNamesJoinTheList() {
        TEditURLForm d(*module);
        QVERIFY(d.Prepare(QVariant()));
        Child<QLineEdit>(d, "URLDBEdit")->setText("new.example");
        Child<QLineEdit>(d, "CategoryDBEdit")->setText("новости; Личное;; личное ; Дом");
        Child<QPushButton>(d, "OkButton")->click();
        QVERIFY(d.Saved());
        d.Finish();
        QStringList listed;
        TDataSet& list = module->adsCategoryList;
        for (list.First(); !list.Eof(); list.Next()) {
            listed << list.FieldByName("CategoryName").AsString();
        }
        listed.sort(Qt::CaseInsensitive);
        QCOMPARE(listed, (QStringList{"Дом", "Личное", "Новости", "Работа"}));
        QCOMPARE(value("SELECT count(*) FROM CategoryList").toInt(), 4);
    }

    void editDialogOpenPageAndCancel() {
        TUrlCatcher catcher;
        QDesktopServices::setUrlHandler("http", &catcher, "open");
        {
            TEditURLForm d(*module);
            QVERIFY(d.Prepare(keyA));
            d.GoSpeedButtonClick();
            d.reject();  // closes at once, asks nothing, saves nothing
            QCOMPARE(d.result(), int(QDialog::Rejected));
            d.Finish();
        }
        QCOMPARE(value("SELECT Visited FROM SubjectURLs WHERE URL = 'a.example'").toInt(), 0);
        {
            TEditURLForm d(*module);
            QVERIFY(d.Prepare(keyA));
            QTest::keyClick(Child<QLineEdit>(d, "URLDBEdit"), Qt::Key_Right, Qt::AltModifier);
            Child<QPushButton>(d, "OkButton")->click();
            QVERIFY(d.Saved());
            d.Finish();
        }
        QDesktopServices::unsetUrlHandler("http");
        QCOMPARE(value("SELECT Visited FROM SubjectURLs WHERE URL = 'a.example'").toInt(), 1);
        QCOMPARE(catcher.opened.size(), 2);
    }

    void editDialogUnchangedAndDeleted() {
        TScriptedDialogs dialogs;
        {
            TEditURLForm d(*module);
            QVERIFY(d.Prepare(keyA));
            Child<QPushButton>(d, "OkButton")->click();
            QCOMPARE(d.result(), int(QDialog::Accepted));
            QVERIFY(!d.Saved());
            d.Finish();
        }
        cat->otherExec(QString("DELETE FROM SubjectURLs WHERE SubjectURLID = '%1'").arg(keyA));
        TEditURLForm d(*module);
        QVERIFY(!d.Prepare(keyA));
        QCOMPARE(dialogs.shownTexts(), QStringList{"Запись была удалена."});
    }

    // A record another user changed since it was read: OK says so and asks. "No" keeps
    // editing with the user's text as it is, and OK asks again; closing then asks before
    // that text is dropped; it never goes without a word.
    void conflictKeepEditing() {
        TScriptedDialogs dialogs;
        TEditURLForm d(*module);
        QVERIFY(d.Prepare(keyA));
        cat->otherExec(
            QString("UPDATE SubjectURLs SET Description = 'Их' WHERE SubjectURLID = '%1'")
                .arg(keyA));
        Child<QPlainTextEdit>(d, "DescriptionDBMemo")->setPlainText("Мой текст");
        for (int attempt = 0; attempt < 2; ++attempt) {
            dialogs.answer(QMessageBox::No);
            Child<QPushButton>(d, "OkButton")->click();
            QCOMPARE(dialogs.shownTexts().size(), attempt + 1);
            QVERIFY2(dialogs.shownTexts().last().contains("изменил другой пользователь"),
                     qPrintable(dialogs.shownTexts().last()));
            QVERIFY(!d.Saved());
            QCOMPARE(Child<QPlainTextEdit>(d, "DescriptionDBMemo")->toPlainText(), "Мой текст");
            QVERIFY(Child<QLabel>(d, "DescriptionYoursLabel")->isHidden());
        }
        dialogs.clear();
        QSignalSpy closed(&d, &QDialog::finished);
        dialogs.answer(QMessageBox::Cancel);  // back to the record
        d.reject();
        QCOMPARE(dialogs.shownTexts(), QStringList{"Сохранить изменения?"});
        QCOMPARE(closed.size(), 0);
        dialogs.answer(QMessageBox::No);
        d.reject();
        QCOMPARE(closed.size(), 1);
        QCOMPARE(dialogs.unexpected(), 0);
        d.Finish();
        QCOMPARE(descriptionOf(keyA), QString("Их"));
    }

    // "Yes" reads the record again: the fields show the other user's version, and under each
    // field where the user's own text is different it stays, to be copied back; the record
    // then saves. Closing with only that text beside asks first.
    void conflictReloadKeepsYoursBeside() {
        TScriptedDialogs dialogs;
        TEditURLForm d(*module);
        QVERIFY(d.Prepare(keyA));
        cat->otherExec(QString("UPDATE SubjectURLs SET Description = 'Их', URL = 'a.example/их' "
                               "WHERE SubjectURLID = '%1'")
                           .arg(keyA));
        auto* memo = Child<QPlainTextEdit>(d, "DescriptionDBMemo");
        memo->setPlainText("Мой\nтекст");
        Child<QLineEdit>(d, "CategoryDBEdit")->setText("Моя");
        TUrlCatcher catcher;
        QDesktopServices::setUrlHandler("http", &catcher, "open");
        d.GoSpeedButtonClick();  // the page opened here stays marked visited
        QDesktopServices::unsetUrlHandler("http");
        dialogs.answer(QMessageBox::Yes);
        Child<QPushButton>(d, "OkButton")->click();
        QCOMPARE(dialogs.shownTexts().size(), 1);
        QVERIFY(!d.Saved());
        // The other user's values, the address included, which the user had not touched.
        QCOMPARE(memo->toPlainText(), "Их");
        QCOMPARE(Child<QLineEdit>(d, "URLDBEdit")->text(), "a.example/их");
        QCOMPARE(Child<QLineEdit>(d, "CategoryDBEdit")->text(), "Новости");
        const QList<std::pair<const char*, QString>> beside = {
            {"URLYoursLabel", QString()},
            {"DescriptionYoursLabel", "Ваш текст: Мой\nтекст"},
            {"CategoryYoursLabel", "Ваш текст: Моя"},
        };
        for (const auto& b : beside) {
            auto* label = Child<QLabel>(d, b.first);
            QCOMPARE(label->isHidden(), b.second.isEmpty());
            if (!b.second.isEmpty()) {
                QCOMPARE(label->text(), b.second);
                QVERIFY(label->textInteractionFlags() & Qt::TextSelectableByMouse);
            }
        }
        QSignalSpy closed(&d, &QDialog::finished);
        dialogs.answer(QMessageBox::No);
        d.reject();
        QCOMPARE(closed.size(), 0);
        QVERIFY(dialogs.shownTexts().last().contains("Ваш текст"));
        memo->setPlainText("Их и мой");
        Child<QPushButton>(d, "OkButton")->click();
        QVERIFY(d.Saved());
        QCOMPARE(closed.size(), 1);
        QCOMPARE(dialogs.unexpected(), 0);
        d.Finish();
        QCOMPARE(descriptionOf(keyA), QString("Их и мой"));
        QCOMPARE(value(QString("SELECT URL || '|' || Category FROM SubjectURLs WHERE "
                               "SubjectURLID = '%1'")
                           .arg(keyA))
                     .toString(),
                 QString("a.example/их|Новости"));
        QCOMPARE(
            value(QString("SELECT Visited FROM SubjectURLs WHERE SubjectURLID = '%1'").arg(keyA))
                .toInt(),
            1);
    }

    // A record another user deleted while it was edited: "Yes" saves what the user has as a
    // new record, "No" keeps editing with nothing written.
    void conflictWithDeletedRecord_data() {
        QTest::addColumn<bool>("saveAsNew");
        QTest::newRow("saved as new") << true;
        QTest::newRow("keep editing") << false;
    }
    void conflictWithDeletedRecord() {
        QFETCH(bool, saveAsNew);
        TScriptedDialogs dialogs;
        TEditURLForm d(*module);
        QVERIFY(d.Prepare(keyA));
        cat->otherExec(QString("DELETE FROM SubjectURLs WHERE SubjectURLID = '%1'").arg(keyA));
        Child<QPlainTextEdit>(d, "DescriptionDBMemo")->setPlainText("Мой текст");
        dialogs.answer(saveAsNew ? QMessageBox::Yes : QMessageBox::No);
        Child<QPushButton>(d, "OkButton")->click();
        QCOMPARE(dialogs.shownTexts().size(), 1);
        QVERIFY2(dialogs.shownTexts().first().contains("удалил другой пользователь"),
                 qPrintable(dialogs.shownTexts().first()));
        QCOMPARE(dialogs.unexpected(), 0);
        QCOMPARE(d.Saved(), saveAsNew);
        QCOMPARE(d.result(), saveAsNew ? int(QDialog::Accepted) : int(QDialog::Rejected));
        QCOMPARE(Child<QPlainTextEdit>(d, "DescriptionDBMemo")->toPlainText(), "Мой текст");
        d.Finish();
        QCOMPARE(value("SELECT count(*) FROM SubjectURLs").toInt(), saveAsNew ? 2 : 1);
        if (saveAsNew) {
            QCOMPARE(descriptionOf(keyA), QString("Мой текст"));
        }
    }

    // Cancel after typing asks first, and "No" drops the text only then.
    void cancelAfterTypingAsks() {
        TScriptedDialogs dialogs;
        TEditURLForm d(*module);
        QVERIFY(d.Prepare(keyA));
        QSignalSpy closed(&d, &QDialog::finished);
        Child<QLineEdit>(d, "CategoryDBEdit")->setText("Другая");
        dialogs.answer(QMessageBox::Cancel);
        d.reject();
        QCOMPARE(dialogs.shownTexts(), QStringList{"Сохранить изменения?"});
        QCOMPARE(closed.size(), 0);
        dialogs.answer(QMessageBox::No);
        d.reject();
        QCOMPARE(closed.size(), 1);
        QCOMPARE(dialogs.unexpected(), 0);
        d.Finish();
        QCOMPARE(
            value(QString("SELECT Category FROM SubjectURLs WHERE SubjectURLID = '%1'").arg(keyA))
                .toString(),
            QString("Новости"));
    }

    // Nothing the user typed or pasted is cut: text beyond a field is refused with a
    // message that names the limit, and the limit is the catalogue's own.
    void longTextsAreRefusedNeverCut() {
        TScriptedDialogs dialogs;
        TEditURLForm d(*module);
        QVERIFY(d.Prepare(QVariant()));
        auto* url = Child<QLineEdit>(d, "URLDBEdit");
        QVERIFY(url->toolTip().contains("2048"));
        const QString address = "https://example.org/" + QString(280, 'a');
        url->setText(address);
        QCOMPARE(url->text(), address);
        url->end(false);
        url->insert(QString(2048 - address.size() + 1, 'b'));  // a paste one beyond
        QCOMPARE(url->text(), address);
        QCOMPARE(dialogs.shownTexts().size(), 1);
        QVERIFY(dialogs.shownTexts().last().contains("2048"));
        auto* memo = Child<QPlainTextEdit>(d, "DescriptionDBMemo");
        memo->setPlainText(QString(254, 'd'));
        memo->moveCursor(QTextCursor::End);
        memo->insertPlainText("\n");  // stored as CR LF: 256 characters
        QCOMPARE(memo->toPlainText(), QString(254, 'd'));
        QVERIFY(dialogs.shownTexts().last().contains("255"));
        // The category window hands back a text past the field (its own OK would refuse it).
        dialogs.answerDialog([](QDialog& categoryForm) {
            Child<QPlainTextEdit>(categoryForm, "CategoryMemo")
                ->setPlainText(QStringList(401, "Категория").join("; "));  // 4,409 characters
            return int(QDialog::Accepted);
        });
        d.CategoryButtonClick();
        QCOMPARE(Child<QLineEdit>(d, "CategoryDBEdit")->text(), QString());
        QCOMPARE(dialogs.shownTexts().size(), 4);  // the category window among them
        QVERIFY(dialogs.shownTexts().last().contains("4000"));
        const QString categories = QStringList(30, "Категория").join("; ");  // 327 characters
        dialogs.answerDialog([&categories](QDialog& categoryForm) {
            Child<QPlainTextEdit>(categoryForm, "CategoryMemo")->setPlainText(categories);
            Child<QPushButton>(categoryForm, "OkButton")->click();
            return categoryForm.result();
        });
        d.CategoryButtonClick();
        QCOMPARE(Child<QLineEdit>(d, "CategoryDBEdit")->text(), categories);
        Child<QPushButton>(d, "OkButton")->click();
        QVERIFY(d.Saved());
        d.Finish();
        QCOMPARE(value(QString("SELECT URL FROM SubjectURLs WHERE SubjectURLID = '%1'")
                           .arg(d.RecordKey().toString()))
                     .toString(),
                 address);
        QCOMPARE(value(QString("SELECT Category FROM SubjectURLs WHERE SubjectURLID = '%1'")
                           .arg(d.RecordKey().toString()))
                     .toString(),
                 categories);
    }

    void olderCatalogueKeepsItsLimit() {
        module.reset();
        if (TestEngine() == TTestEngine::SQLite) {
            cat->otherExec("DROP TABLE SubjectURLs");
            cat->otherExec(SqliteCatalogueSchema()
                               .section(";\n", 0, 0)
                               .replace("URL TEXT(2048)", "URL TEXT(150)"));
        } else {
            cat->otherExec("ALTER TABLE [SubjectURLs] DROP CONSTRAINT [SubjectURLs_URL_check]");
            cat->otherExec("ALTER TABLE [SubjectURLs] ADD CHECK (char_length([URL]) <= 150)");
        }
        module = cat->connectedModule();
        TScriptedDialogs dialogs;
        TEditURLForm d(*module);
        QVERIFY(d.Prepare(QVariant()));
        auto* url = Child<QLineEdit>(d, "URLDBEdit");
        url->setText("https://example.org/" + QString(280, 'a'));
        QCOMPARE(url->text(), QString());
        QCOMPARE(dialogs.shownTexts().size(), 1);
        QVERIFY(dialogs.shownTexts().first().contains("150"));
        url->setText("https://example.org/" + QString(130, 'a'));  // exactly 150
        QCOMPARE(url->text().size(), 150);
    }

    void descriptionLineBreaksAreCrLf() {
        QString key;
        {
            TEditURLForm d(*module);
            QVERIFY(d.Prepare(keyA));
            Child<QPlainTextEdit>(d, "DescriptionDBMemo")->setPlainText("первая\nвторая");
            Child<QPushButton>(d, "OkButton")->click();
            QVERIFY(d.Saved());
            key = d.RecordKey().toString();
            d.Finish();
        }
        QCOMPARE(
            value(QString("SELECT Description FROM SubjectURLs WHERE SubjectURLID = '%1'").arg(key))
                .toString(),
            QStringLiteral("первая\r\nвторая"));
        TEditURLForm d(*module);
        QVERIFY(d.Prepare(keyA));
        QCOMPARE(Child<QPlainTextEdit>(d, "DescriptionDBMemo")->toPlainText(),
                 QStringLiteral("первая\nвторая"));
        Child<QPushButton>(d, "OkButton")->click();  // nothing changed: nothing written
        QVERIFY(!d.Saved());
        d.Finish();
    }

    // The list cannot be written after OK: the error is shown, the added name stays pending
    // and reaches the list with the next write.
};

QTEST_MAIN(TestEditUrl)
#include "tst_editurl.moc"
