#include "app/OptionsDlg.h"
#include "common/ConstsUnit.h"
#include "common/ProgramOptions.h"
#include "common/ProgramPaths.h"
#include "platform/registry/Registry.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnvironment.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QtTest>

#include "support/TestHelpers.h"

namespace {
const QString kLanguageMessage =
    QStringLiteral("Новые настройки языка вступят в силу после перезапуска программы.");

}  // namespace

class TestOptionsDlg final : public QObject {
    Q_OBJECT

    void addLanguageFiles(const TTestEnvironment& env, const QStringList& abbreviations) {
        SetLanguagesFolder(env.path(QString()) + QLatin1Char('/'));
        for (const QString& a : abbreviations) {
            QFile f(LanguageFileName(a));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
    }
    QStringList items(QComboBox* box) {
        QStringList l;
        for (int i = 0; i < box->count(); ++i) {
            l << box->itemText(i);
        }
        return l;
    }

private Q_SLOTS:
    void initTestCase() { InitTestApplication(); }

    void controlsShowTheOptions() {
        TTestEnvironment env;
        addLanguageFiles(env, {});
        Options().SMTPServerAddress = QStringLiteral("smtp.example.org");
        Options().SMTPServerPort = 2525;
        Options().LogMail = true;
        TOptionsForm form;
        form.LoadControls();
        QCOMPARE(Child<QTabWidget>(form, "PageControl")->currentIndex(), 0);
        QCOMPARE(Child<QLineEdit>(form, "SMTPEdit")->text(), QStringLiteral("smtp.example.org"));
        QCOMPARE(Child<QLineEdit>(form, "PortEdit")->text(), QStringLiteral("2525"));
        QCOMPARE(Child<QLineEdit>(form, "CharSetEdit")->text(), QStringLiteral("utf-8"));
        QVERIFY(Child<QCheckBox>(form, "MailLogCheckBox")->isChecked());
        QVERIFY(Child<QLabel>(form, "MailLogFileLabel")->text().endsWith(MailLogFileName()));
        QCOMPARE(form.windowTitle(), QStringLiteral("Настройки"));
        // Without language files only the built-in language is offered.
        QCOMPARE(items(Child<QComboBox>(form, "LanguageComboBox")), QStringList{"Russian"});
        QVERIFY(!Child<QComboBox>(form, "LanguageComboBox")->isEditable());
    }

    void languageList_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("current");
        QTest::addColumn<QStringList>("expectedItems");
        QTest::addColumn<int>("preselected");
        QTest::newRow("system language without file")
            << QStringList{"ENU"} << -1 << QStringList{"Russian", "English (United States)"} << 0;
        QTest::newRow("current has file")
            << QStringList{"DEU", "ENU"} << 1031
            << QStringList{"Russian", "English (United States)", "German (Germany)"} << 2;
        QTest::newRow("current lost its file")
            << QStringList{"ENU"} << 1031 << QStringList{"Russian", "English (United States)"} << 0;
        QTest::newRow("two-letter file is not listed")
            << QStringList{"EN"} << 1033 << QStringList{"Russian"} << 0;
    }
    void languageList() {
        QFETCH(QStringList, files);
        QFETCH(int, current);
        QFETCH(QStringList, expectedItems);
        QFETCH(int, preselected);
        TTestEnvironment env;
        addLanguageFiles(env, files);
        Options().CurrentLanguage = current;
        TOptionsForm form;
        form.LoadControls();
        auto* box = Child<QComboBox>(form, "LanguageComboBox");
        QCOMPARE(items(box), expectedItems);
        QCOMPARE(box->currentIndex(), preselected);
    }

    void okStoresLanguageAndTellsOnlyOnChange_data() {
        QTest::addColumn<int>("current");
        QTest::addColumn<QList<int>>("selections");
        QTest::addColumn<int>("stored");
        QTest::addColumn<bool>("message");
        QTest::newRow("unchanged system language stores built-in")
            << -1 << QList<int>{} << 0 << false;
        QTest::newRow("there and back again") << 1033 << QList<int>{2, 1} << 1033 << false;
        QTest::newRow("to Russian") << 1033 << QList<int>{0} << 0 << true;
        QTest::newRow("to German") << 0 << QList<int>{2} << 1031 << true;
    }
    void okStoresLanguageAndTellsOnlyOnChange() {
        QFETCH(int, current);
        QFETCH(QList<int>, selections);
        QFETCH(int, stored);
        QFETCH(bool, message);
        TTestEnvironment env;
        addLanguageFiles(env, {"ENU", "DEU"});
        Options().CurrentLanguage = current;
        TScriptedDialogs dialogs;
        TOptionsForm form;
        form.LoadControls();
        auto* box = Child<QComboBox>(form, "LanguageComboBox");
        for (int index : selections) {
            box->setCurrentIndex(index);
        }
        Child<QPushButton>(form, "OkButton")->click();
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(Options().CurrentLanguage, stored);
        QCOMPARE(dialogs.shownTexts(), message ? QStringList{kLanguageMessage} : QStringList{});
        TRegistry reg;
        QVERIFY(reg.OpenKeyReadOnly(RegOptionsKey));
        QCOMPARE(reg.ReadInteger(QStringLiteral("CurrentLanguage")), std::optional<qint32>(stored));
    }

    void portText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("port");
        QTest::newRow("number") << "587" << 587;
        QTest::newRow("blanks around") << " 465 " << 465;
        QTest::newRow("letters keep old") << "smtp" << 2525;
        QTest::newRow("empty keeps old") << "" << 2525;
        QTest::newRow("out of range keeps old") << "70000" << 2525;
        QTest::newRow("negative keeps old") << "-1" << 2525;
    }
    void portText() {
        QFETCH(QString, text);
        QFETCH(int, port);
        TTestEnvironment env;
        addLanguageFiles(env, {});
        Options().SMTPServerPort = 2525;
        TScriptedDialogs dialogs;
        TOptionsForm form;
        form.LoadControls();
        Child<QLineEdit>(form, "PortEdit")->setText(text);
        Child<QLineEdit>(form, "SMTPEdit")->setText(QStringLiteral(" mail.example.org "));
        Child<QLineEdit>(form, "CharSetEdit")->setText(QStringLiteral("utf-8"));
        Child<QCheckBox>(form, "MailLogCheckBox")->setChecked(true);
        Child<QPushButton>(form, "OkButton")->click();
        QCOMPARE(int(Options().SMTPServerPort), port);
        // The other fields are saved as they stand, and no language message is shown.
        QVERIFY(dialogs.shown().isEmpty());
        Options() = TProgramOptions();
        LoadOptions(RegOptionsKey);
        QCOMPARE(int(Options().SMTPServerPort), port);
        QCOMPARE(Options().SMTPServerAddress, QStringLiteral(" mail.example.org "));
        QCOMPARE(Options().DefaultCharSet, QStringLiteral("utf-8"));
        QVERIFY(Options().LogMail);
    }

    // Security, sign-in and the time limit: a port left at a default follows the choice,
    // the password shows as dots, and OK stores it all; a store without them reads as before.
    void mailSecurity() {
        TTestEnvironment env;
        TRegistry().OpenKey(RegOptionsKey, true);
        LoadOptions(RegOptionsKey);
        QCOMPARE(Options().SMTPSecurity, 0);
        QVERIFY(Options().SMTPUserName.isEmpty());
        TScriptedDialogs dialogs;
        TOptionsForm form;
        form.LoadControls();
        auto* security = Child<QComboBox>(form, "SecurityComboBox");
        auto* port = Child<QLineEdit>(form, "PortEdit");
        QCOMPARE(security->currentIndex(), 0);
        QCOMPARE(Child<QSpinBox>(form, "TimeOutSpinBox")->value(), 60);
        security->setCurrentIndex(1);
        QCOMPARE(port->text(), QStringLiteral("587"));
        security->setCurrentIndex(2);
        QCOMPARE(port->text(), QStringLiteral("465"));
        port->setText("2465");  // the user's own port stays
        security->setCurrentIndex(1);
        QCOMPARE(port->text(), QStringLiteral("2465"));
        QCOMPARE(Child<QLineEdit>(form, "PasswordEdit")->echoMode(), QLineEdit::Password);
        Child<QLineEdit>(form, "UserNameEdit")->setText(" ivan ");
        Child<QLineEdit>(form, "PasswordEdit")->setText("секрет");
        Child<QSpinBox>(form, "TimeOutSpinBox")->setValue(15);
        Child<QPushButton>(form, "OkButton")->click();
        Options() = TProgramOptions();
        LoadOptions(RegOptionsKey);
        QCOMPARE(Options().SMTPSecurity, 1);
        QCOMPARE(Options().SMTPServerPort, quint16(2465));
        QCOMPARE(Options().SMTPUserName, QStringLiteral("ivan"));
        QCOMPARE(Options().SMTPPassword, QStringLiteral("секрет"));
        QCOMPARE(Options().SMTPTimeOut, 15);
        Options() = TProgramOptions();
    }

    void cancelChangesNothing() {
        TTestEnvironment env;
        addLanguageFiles(env, {"ENU"});
        TScriptedDialogs dialogs;
        TOptionsForm form;
        form.LoadControls();
        Child<QLineEdit>(form, "SMTPEdit")->setText(QStringLiteral("changed"));
        Child<QComboBox>(form, "LanguageComboBox")->setCurrentIndex(1);
        Child<QPushButton>(form, "CancelButton")->click();
        QCOMPARE(form.result(), int(QDialog::Rejected));
        QCOMPARE(Options().SMTPServerAddress, QString());
        QCOMPARE(Options().CurrentLanguage, -1);
        QVERIFY(!TRegistry().KeyExists(RegOptionsKey));
        QVERIFY(dialogs.shown().isEmpty());
    }
};

QTEST_MAIN(TestOptionsDlg)
#include "tst_optionsdlg.moc"
