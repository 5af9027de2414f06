#include "app/DataLinkDlg.h"
#include "app/GeneralUnit.h"
#include "app/HelpFrm.h"
#include "app/MainFrm.h"
#include "app/MenuMerger.h"
#include "app/ReInit.h"
#include "common/ConstsUnit.h"
#include "common/ProgramOptions.h"
#include "common/ProgramPaths.h"
#include "common/UtilsUnit.h"
#include "platform/LocaleTable.h"
#include "settings/AboutDlg.h"
#include "settings/WindowsListDlg.h"
#include "support/ScriptedDialogs.h"
#include "support/TestCatalogue.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QDesktopServices>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "support/TestHelpers.h"

namespace {
// A window that lends its "Файл" (group 0) and "Записи" (group 2) menus, like a record view.
std::unique_ptr<QWidget> makeView(const QString& title) {
    auto view = std::make_unique<QWidget>();
    view->setWindowTitle(title);
    view->setProperty(MergeMenusProperty, true);
    auto* bar = new QMenuBar(view.get());
    bar->setVisible(false);
    auto* file = bar->addMenu(QStringLiteral("Файл"));
    file->setProperty(GroupIndexProperty, 0);
    auto* records = bar->addMenu(QStringLiteral("Записи"));
    records->setProperty(GroupIndexProperty, 2);
    view->resize(300, 200);
    return view;
}

const QStringList kOwnMenus = {"&Файл", "&Модули", "&Настройка", "&Справка"};
const QStringList kMergedMenus = {"Файл", "&Модули", "Записи", "&Настройка", "&Справка"};
}  // namespace

class TestMainFrm final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { InitTestApplication(); }

    void barAtTheTopOfTheScreen() {
        TTestEnvironment env;
        TMainForm form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Linkarium"));
        QCOMPARE(form.height(), 76);
        QCOMPARE(form.minimumHeight(), 76);
        QCOMPARE(form.maximumHeight(), 76);
        QCOMPARE(form.minimumWidth(), 648);
        QCOMPARE(form.pos(), QPoint(0, 0));
        QVERIFY(form.BannerFrame() >= 0 && form.BannerFrame() <= 2);
        auto* banner = form.findChild<QLabel*>("BannerGIFAnimator");
        QVERIFY(banner);
        QCOMPARE(banner->pixmap().size(), QSize(640, 30));
        QCOMPARE(banner->alignment(), Qt::AlignCenter);  // centred over the bar's width
        QCOMPARE(Child<QAction>(form, "actWindowsList")->shortcut(),
                 QKeySequence(Qt::ALT | Qt::Key_0));
        QCOMPARE(Child<QAction>(form, "actHelpContents")->shortcut(), QKeySequence(Qt::Key_F1));
        QCOMPARE(Child<QAction>(form, "actURLDictionary")->text(), QStringLiteral("URL..."));
        QVERIFY(form.HelpFile().endsWith(".html"));
        QCOMPARE(form.MenuMerger()->Captions(), kOwnMenus);
    }

    void menusMergeByGroupIndex() {
        TTestEnvironment env;
        TMainForm form;
        auto view = makeView("Вид");
        form.MenuMerger()->Merge(view.get());
        QCOMPARE(form.MenuMerger()->Captions(), kMergedMenus);
        form.MenuMerger()->Unmerge();
        QCOMPARE(form.MenuMerger()->Captions(), kOwnMenus);
    }

    void activationDrivesTheMerge() {
        TTestEnvironment env;
        TMainForm form;
        form.show();
        auto view = makeView("Вид");
        view->show();
        view->activateWindow();
        QTRY_COMPARE(form.MenuMerger()->Captions(), kMergedMenus);
        // The main window's own activation keeps the lent menus usable from its bar.
        form.activateWindow();
        QTRY_VERIFY(form.isActiveWindow());
        QCOMPARE(form.MenuMerger()->Captions(), kMergedMenus);
        // A modal dialog never merges nor takes the menus away.
        QDialog modal;
        modal.setModal(true);
        modal.show();
        modal.activateWindow();
        QTRY_VERIFY(modal.isActiveWindow());
        QCOMPARE(form.MenuMerger()->Captions(), kMergedMenus);
        modal.hide();
        // Another non-modal window without menus takes them away.
        QWidget plain;
        plain.setWindowTitle("Другое");
        plain.show();
        plain.activateWindow();
        QTRY_COMPARE(form.MenuMerger()->Captions(), kOwnMenus);
        view->activateWindow();
        QTRY_COMPARE(form.MenuMerger()->Captions(), kMergedMenus);
        view->hide();
        QCOMPARE(form.MenuMerger()->Captions(), kOwnMenus);
        plain.activateWindow();
        QTRY_VERIFY(plain.isActiveWindow());
        view->show();
        view->activateWindow();
        QTRY_COMPARE(form.MenuMerger()->Captions(), kMergedMenus);
        view.reset();
        QCOMPARE(form.MenuMerger()->Captions(), kOwnMenus);
    }

    void windowsListShowsVisibleWindows() {
        TTestEnvironment env;
        TMainForm form;
        form.show();
        form.activateWindow();
        QTRY_VERIFY(form.isActiveWindow());
        auto hidden = makeView("Скрытое окно");
        {
            TWindowsListForm list(&form);
            list.FillList();
            auto* box = list.findChild<QListWidget*>("WindowsListBox");
            QCOMPARE(box->count(), 1);
            QCOMPARE(box->item(0)->text(), QStringLiteral("Linkarium"));
            QVERIFY(box->item(0)->isSelected());
            QCOMPARE(list.SelectedWindow(), &form);
        }
        auto view = makeView("Ссылки");
        view->show();
        view->showMinimized();
        // The command's own list, answered through the dialog seam as the user would.
        TScriptedDialogs dialogs;
        QStringList listed;
        dialogs.answerDialog([&](QDialog& list) {
            auto* box = Child<QListWidget>(list, "WindowsListBox");
            for (int i = 0; i < box->count(); ++i) {
                listed << box->item(i)->text();
            }
            box->setCurrentRow(1);
            Child<QPushButton>(list, "OkButton")->click();
            return list.result();
        });
        Child<QAction>(form, "actWindowsList")->trigger();
        QCOMPARE(listed, (QStringList{"Linkarium", "Ссылки"}));  // sorted
        QCOMPARE(dialogs.unexpected(), 0);
        QVERIFY(!view->isMinimized());
        QVERIFY(view->isVisible());
    }

    // The main window's other windows come through the dialog seam too, so a test answers
    // them and nothing waits on a window no one closes.
    void mainWindowsOwnWindowsThroughTheSeam_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("window");
        QTest::newRow("options") << "actPreferences"
                                 << "TOptionsForm";
        QTest::newRow("about") << "actAbout"
                               << "TAboutForm";
    }
    void mainWindowsOwnWindowsThroughTheSeam() {
        QFETCH(QString, action);
        QFETCH(QString, window);
        TTestEnvironment env;
        TMainForm form;
        TScriptedDialogs dialogs;
        dialogs.answerDialog([](QDialog& d) {
            d.reject();
            return d.result();
        });
        Child<QAction>(form, qPrintable(action))->trigger();
        QCOMPARE(dialogs.shown().size(), 1);
        QCOMPARE(dialogs.shown().first().caption, window);
        QCOMPARE(dialogs.unexpected(), 0);
    }

    void changingTheDatabaseClosesOtherWindows() {
        TTestEnvironment env;
        TTestCatalogue first;
        TTestCatalogue second;
        WriteRegString(RegRootKey, RegConnectionValue, first.connectionString());
        TScriptedDialogs dialogs;
        TGeneralModule module(nullptr, false);
        // The data-link dialog answered, as if typed into its fields.
        for (const QString& answer : {first.connectionString(), second.connectionString()}) {
            dialogs.answerDialog([answer](QDialog& d) {
                dynamic_cast<TDataLinkDialog&>(d).SetConnectionString(answer);
                return int(QDialog::Accepted);
            });
        }
        module.Connect();
        TMainForm form;
        form.SetGeneralModule(&module);
        form.show();
        // The caption names the catalogue open, and the next one once it opens.
        QVERIFY2(form.windowTitle().endsWith(first.fileName()), qPrintable(form.windowTitle()));
        auto view = makeView("Ссылки");
        view->show();
        Child<QAction>(form, "actSetDatabase")->trigger();  // cancelled: the same string back
        QVERIFY(view->isVisible());
        Child<QAction>(form, "actSetDatabase")->trigger();
        QVERIFY(!view->isVisible());
        QVERIFY(form.isVisible());
        QCOMPARE(module.ADOConnection.ConnectionString(), second.connectionString());
        QVERIFY2(form.windowTitle().endsWith(second.fileName()), qPrintable(form.windowTitle()));
        // The two data-link dialogs and no box.
        QCOMPARE(dialogs.shown().size(), 2);
        QCOMPARE(dialogs.shown().at(0).caption, QStringLiteral("TDataLinkDialog"));
        QCOMPARE(dialogs.shown().at(1).caption, QStringLiteral("TDataLinkDialog"));
        QCOMPARE(dialogs.pending(), 0);
    }

    void languageFilesAreTriedInOrder() {
        TTestEnvironment env;
        SetLanguagesFolder("/langs/");
        const QStringList enu = LanguageFileCandidates(1033);
        QCOMPARE(enu.size(), 2);
        QVERIFY(enu[0].startsWith("/langs/") && enu[0].endsWith(".ENU"));
        QVERIFY(enu[1].endsWith(".EN"));
        QVERIFY(LanguageFileCandidates(0).isEmpty());

        QStringList tried;
        Options().CurrentLanguage = 1033;
        const QString loaded = SelectLanguage([&tried](const QString& f) {
            tried << f;
            return f.endsWith(".EN");
        });
        QCOMPARE(tried, enu);
        QCOMPARE(loaded, enu[1]);

        tried.clear();
        Options().CurrentLanguage = 0;  // built-in Russian even when files exist
        QVERIFY(SelectLanguage([&tried](const QString& f) {
                    tried << f;
                    return true;
                }).isEmpty());
        QVERIFY(tried.isEmpty());

        Options().CurrentLanguage = -1;
        SelectLanguage([](const QString&) { return false; });
        QCOMPARE(Options().CurrentLanguage, SystemDefaultLocaleId());
    }

    void bannerOpensThePublisher() {
        TTestEnvironment env;
        TMainForm form;
        TUrlCatcher catcher;
        QDesktopServices::setUrlHandler("https", &catcher, "open");
        form.BannerGIFAnimatorClick();
        QDesktopServices::unsetUrlHandler("https");
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl(PublisherURL)});
    }

    void helpTopicsAndSearch() {
        QTemporaryDir dir;
        const QString file = dir.filePath("help.html");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(
            "<html><body><h1>X</h1><h2 id=\"a\">Начало</h2><p>база данных</p>"
            "<h2 id=\"b\">Клавиши</h2><p>F1 и Alt+0</p></body></html>");
        f.close();
        THelpForm help(file);
        QListWidget* topics = help.Topics();
        QCOMPARE(topics->count(), 2);
        QCOMPARE(topics->item(1)->text(), QStringLiteral("Клавиши"));
        help.SearchEditChange("БАЗА");
        QVERIFY(!topics->item(0)->isHidden());
        QVERIFY(topics->item(1)->isHidden());
        help.SearchEditChange("");
        QVERIFY(!topics->item(1)->isHidden());
    }

    // Both help files hold a topic for every window F1 can be pressed in, the same topics,
    // and the search finds the filter topics.
    void helpFilesCoverEveryWindow_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("word");
        QTest::newRow("Russian") << "linkarium.html"
                                 << "фильтр";
        QTest::newRow("English") << "linkarium.en.html"
                                 << "filter";
    }
    void helpFilesCoverEveryWindow() {
        QFETCH(QString, file);
        QFETCH(QString, word);
        THelpForm help(QStringLiteral(HELP_DIR "/") + file);
        THelpForm russian(QStringLiteral(HELP_DIR "/linkarium.html"));
        QStringList ids;
        QStringList russianIds;
        for (int i = 0; i < help.Topics()->count(); ++i) {
            ids << help.Topics()->item(i)->data(Qt::UserRole).toString();
        }
        for (int i = 0; i < russian.Topics()->count(); ++i) {
            russianIds << russian.Topics()->item(i)->data(Qt::UserRole).toString();
        }
        QCOMPARE(ids, russianIds);
        for (const QString& topic : THelpForm::KnownTopics()) {
            QVERIFY2(ids.contains(topic), qPrintable(topic));
        }
        help.SearchEditChange(word);
        QStringList found;
        for (int i = 0; i < help.Topics()->count(); ++i) {
            if (!help.Topics()->item(i)->isHidden()) {
                found << ids[i];
            }
        }
        QVERIFY2(found.contains("filter") && found.contains("quickfilter"),
                 qPrintable(found.join(',')));
        QCOMPARE(LocalizedHelpFile(QStringLiteral(HELP_DIR "/linkarium.html"), QLocale::English),
                 QStringLiteral(HELP_DIR "/linkarium.en.html"));
        QCOMPARE(LocalizedHelpFile(QStringLiteral(HELP_DIR "/linkarium.html"), QLocale::Russian),
                 QStringLiteral(HELP_DIR "/linkarium.html"));
        QCOMPARE(LocalizedHelpFile(QStringLiteral(HELP_DIR "/linkarium.html"), QLocale::German),
                 QStringLiteral(HELP_DIR "/linkarium.html"));  // no German file: the built-in
    }

    // F1 in a window opens its topic; over a modal dialog, in a help window of its own.
    void f1OpensTheTopicOfTheWindow() {
        TMainForm form;
        form.SetHelpFile(QStringLiteral(HELP_DIR "/linkarium.html"));
        form.show();
        TWindowsListForm list(&form);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QTest::keyClick(&list, Qt::Key_F1);
        auto* help = form.findChild<THelpForm*>();
        QVERIFY(help && help->isVisible());
        QCOMPARE(help->CurrentTopic(), QStringLiteral("mainwindow"));
        list.close();

        QDialog modal(&form);
        auto* inner = new QDialog(&modal);  // an unknown dialog takes its owner's topic
        QCOMPARE(THelpForm::TopicFor(inner), QStringLiteral("mainwindow"));
        QDialog alone;
        QCOMPARE(THelpForm::TopicFor(&alone), QString());
        QString topic;
        bool own = false;
        TAboutForm about(&form);
        QTimer::singleShot(0, &about, [&]() {
            QTest::keyClick(&about, Qt::Key_F1);
            auto* shown = about.findChild<THelpForm*>();
            own = shown && shown->isVisible();
            topic = shown ? shown->CurrentTopic() : QString();
            about.reject();
        });
        about.exec();
        QVERIFY(own);
        QCOMPARE(topic, QStringLiteral("mainwindow"));
    }

    void aboutShowsTheVersion() {
        TAboutForm about;
        QCOMPARE(about.findChild<QLabel*>("VersionLabel")->text(),
                 QStringLiteral("Версия: ") + QStringLiteral(LINKARIUM_VERSION));
        QCOMPARE(about.findChild<QLabel*>("ContactsLabel")->text(), QStringLiteral("Linkarium"));
        QCOMPARE(about.findChild<QLabel*>("Image")->pixmap().size(), QSize(129, 281));
    }
};

QTEST_MAIN(TestMainFrm)
#include "tst_mainfrm.moc"
