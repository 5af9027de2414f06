#include "app/MainFrm.h"
#include "app/MenuMerger.h"
#include "app/OptionsDlg.h"
#include "platform/db/Connection.h"
#include "support/TestEnvironment.h"
#include "support/TestHelpers.h"

#include <QAction>
#include <QTabWidget>
#include <QTranslator>
#include <QtTest>

// The shipped English language file really turns the program into English.
class TestEnglish final : public QObject {
    Q_OBJECT

    QTranslator translator;

private Q_SLOTS:
    void initTestCase() {
        InitTestApplication();
        QVERIFY(translator.load(QStringLiteral(LINKARIUM_LANGUAGES_DIR "/linkarium.ENU")));
        QVERIFY(QCoreApplication::installTranslator(&translator));
    }

    void windowsAndMenus() {
        TTestEnvironment env;
        TMainForm form;
        QCOMPARE(form.MenuMerger()->Captions(),
                 (QStringList{"&File", "&Modules", "&Setup", "&Help"}));
        QCOMPARE(Child<QAction>(form, "actSetDatabase")->text(),
                 QStringLiteral("Database Connection..."));
        TOptionsForm options;
        QCOMPARE(options.windowTitle(), QStringLiteral("Settings"));
        QCOMPARE(options.findChild<QTabWidget*>("PageControl")->tabText(1), QStringLiteral("Mail"));
    }

    void messagesFromTheCore() {
        TConnection c;
        try {
            c.Open();
            QFAIL("no error");
        } catch (const EError& e) {
            QCOMPARE(e.message(), QStringLiteral("No database connection string is set."));
        }
    }
};

QTEST_MAIN(TestEnglish)
#include "tst_english.moc"
