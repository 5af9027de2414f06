#include "common/RegistryList.h"
#include "platform/registry/Registry.h"
#include "reports/SendInfoDlg.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnvironment.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "support/TestHelpers.h"

namespace {
const QString kSubjects = QStringLiteral("Software\\Quorvel\\Linkarium\\History\\Send\\Subject");
}

class TestSendInfo final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        InitTestApplication();
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    }

    void historyRecent_data() {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("known in other case swaps with the first")
            << QStringList{"A", "B", "C"} << "c" << QStringList{"C", "B", "A"};
        QTest::newRow("new goes first") << QStringList{"A"} << "N" << QStringList{"N", "A"};
        QTest::newRow("empty ignored") << QStringList{"A"} << "" << QStringList{"A"};
        QStringList full;
        for (int i = 1; i <= 15; ++i) {
            full << QString::number(i);
        }
        QStringList shifted = full.mid(0, 14);
        shifted.prepend("new");
        QTest::newRow("fifteen kept") << full << "new" << shifted;
    }
    void historyRecent() {
        QFETCH(QStringList, before);
        QFETCH(QString, text);
        QFETCH(QStringList, after);
        TTestEnvironment env;
        TRegistryList list;
        list << before;
        list.SaveToKey(kSubjects);
        TRegistryList loaded;
        loaded.LoadFromKey(kSubjects);
        QCOMPARE(static_cast<QStringList>(loaded), before);
        loaded.AddRecent(text);
        QCOMPARE(static_cast<QStringList>(loaded), after);
    }

    void historyGapEndsTheList() {
        TTestEnvironment env;
        TRegistry reg;
        QVERIFY(reg.OpenKey(kSubjects, true));
        reg.WriteString("Item0", "a");
        reg.WriteString("Item2", "c");
        reg.WriteString("Other", "x");
        TRegistryList list;
        list.LoadFromKey(kSubjects);
        QCOMPARE(static_cast<QStringList>(list), QStringList{"a"});
        list.SaveToKey(kSubjects);
        QVERIFY(reg.OpenKeyReadOnly(kSubjects));
        QCOMPARE(reg.GetValueNames(), QStringList{"Item0"});
        TRegistryList empty;
        empty.SaveToKey(kSubjects);
        QVERIFY(!reg.KeyExists(kSubjects));
    }

    void attachmentTexts_data() {
        QTest::addColumn<quint32>("size");
        QTest::addColumn<QString>("text");
        QTest::newRow("grouped") << quint32(1234567) << "f.bin (1 234 567 байт)";
        QTest::newRow("three") << quint32(3) << "f.bin (3 байта)";
        QTest::newRow("twelve") << quint32(12) << "f.bin (12 байт)";
    }
    void attachmentTexts() {
        QFETCH(quint32, size);
        QFETCH(QString, text);
        QString shown = TSendInfoForm::AttachmentText({"/tmp/dir/f.bin", size});
        shown.replace(QChar(0xA0), QLatin1Char(' '));  // the locale groups with a no-break space
        QCOMPARE(shown, text);
    }

    void sendingStoresTrimmedTextsAndHistories() {
        TTestEnvironment env;
        TRegistryList subjects;
        subjects << "A"
                 << "B"
                 << "C";
        subjects.SaveToKey(kSubjects);
        TMailingParameters p;
        p.Subject = "old";
        TSendInfoForm f;
        f.Prepare(p);
        auto* send = Child<QPushButton>(f, "SendButton");
        Child<QComboBox>(f, "FromAddressComboBox")->setCurrentText(" me@example.org ");
        Child<QComboBox>(f, "SubjectComboBox")->setCurrentText("c");
        RunApplicationIdle();
        QVERIFY(!send->isEnabled());  // no "@" in the recipient yet
        Child<QLineEdit>(f, "ToEdit")->setText("you@example.org");
        RunApplicationIdle();
        QVERIFY(send->isEnabled());
        QCOMPARE(f.Confirm(), 2);
        QCOMPARE(p.FromAddress, QStringLiteral("me@example.org"));
        QCOMPARE(p.Subject, QStringLiteral("c"));
        TRegistryList loaded;
        loaded.LoadFromKey(kSubjects);
        QCOMPARE(static_cast<QStringList>(loaded), (QStringList{"C", "B", "A"}));
    }

    // A line break in any field of the header is refused at "Отправить", by name, and
    // never reaches the history lists.
    void lineBreaksAreRefused_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("caption");
        QTest::newRow("subject") << "SubjectComboBox"
                                 << "Тема";
        QTest::newRow("sender name") << "FromComboBox"
                                     << "Имя отправителя";
        QTest::newRow("sender address") << "FromAddressComboBox"
                                        << "Адрес отправителя";
        QTest::newRow("reply-to") << "ReplyToAddressComboBox"
                                  << "Обратный адрес";
        QTest::newRow("recipient") << "ToEdit"
                                   << "Кому";
    }
    void lineBreaksAreRefused() {
        QFETCH(QString, field);
        QFETCH(QString, caption);
        TTestEnvironment env;
        TScriptedDialogs dialogs;
        TMailingParameters p;
        TSendInfoForm f;
        f.Prepare(p);
        Child<QComboBox>(f, "FromAddressComboBox")->setCurrentText("me@example.org");
        Child<QLineEdit>(f, "ToEdit")->setText("you@example.org");
        const QString bad = "a@example.org\r\nBcc: all@example.org";
        if (auto* box = f.findChild<QComboBox*>(field)) {
            box->setCurrentText(bad);
        } else {
            Child<QLineEdit>(f, qPrintable(field))->setText(bad);
        }
        QVERIFY(!f.SendButtonClick());
        QCOMPARE(dialogs.shownTexts(),
                 QStringList{"Поле \"" + caption + "\" не может содержать перевод строки."});
        QVERIFY(!TRegistry().KeyExists(kSubjects));
    }

    void attachmentsAddAndDelete() {
        TTestEnvironment env;
        QTemporaryDir dir;
        QStringList files;
        for (int i = 1; i <= 5; ++i) {
            const QString name = dir.filePath(QString("f%1.txt").arg(i));
            QFile file(name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(i, 'x'));
            files << name;
        }
        TScriptedDialogs dialogs;
        dialogs.answerFiles(files);
        TMailingParameters p;
        TSendInfoForm f;
        f.Prepare(p);
        f.AddButtonClick();
        QCOMPARE(p.Attachments.size(), 5);
        QCOMPARE(p.Attachments.at(2).Size, 3u);
        auto* list = Child<QListWidget>(f, "AttachmentsListView");
        list->clearSelection();
        list->item(1)->setSelected(true);
        list->item(3)->setSelected(true);
        f.DeleteButtonClick();
        QCOMPARE(p.Attachments.size(), 3);
        QVERIFY(p.Attachments.at(1).FileName.endsWith("f3.txt"));
        QCOMPARE(list->currentRow(), 2);  // the former fifth
    }
};

QTEST_MAIN(TestSendInfo)
#include "tst_sendinfo.moc"
