#include "app/DataLinkDlg.h"
#include "app/GeneralUnit.h"
#include "common/ConstsUnit.h"
#include "common/UtilsUnit.h"
#include "gridtools/ExDBGrid.h"
#include "gridtools/GridSort.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/PostgresProvider.h"
#include "platform/db/Schema.h"
#include "platform/registry/Registry.h"
#include "support/ScriptedDialogs.h"
#include "support/TestCatalogue.h"
#include "support/TestEnvironment.h"
#include "support/TestHelpers.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString kNoConnection = QStringLiteral("Соединение с базой не установлено!");
const QString kConnectFailed = QStringLiteral("Ошибка при подключении к базе.");

QString storedConnection() {
    return ReadRegString(RegRootKey, RegConnectionValue, "<none>");
}
}  // namespace

class TestGeneralUnit final : public QObject {
    Q_OBJECT

    // A module that connects only when told to.
    static std::unique_ptr<TGeneralModule> makeModule() {
        return std::make_unique<TGeneralModule>(nullptr, false);
    }

    // The next data-link dialog: shown receives the string it came up with, and answer (as
    // if typed into its fields) is taken with OK; no answer is OK on what it shows, and
    // std::nullopt is Cancel.
    static void answerDataLink(TScriptedDialogs& dialogs, std::optional<QString> answer,
                               QStringList* shown = nullptr) {
        dialogs.answerDialog([answer, shown](QDialog& d) {
            auto& link = dynamic_cast<TDataLinkDialog&>(d);
            if (shown) {
                shown->append(link.ConnectionString());
            }
            if (!answer) {
                return int(QDialog::Rejected);
            }
            if (!answer->isNull()) {
                link.SetConnectionString(*answer);
            }
            return int(QDialog::Accepted);
        });
    }
    static void answerDataLinkUnchanged(TScriptedDialogs& dialogs, QStringList* shown = nullptr) {
        answerDataLink(dialogs, QString(), shown);
    }

    // The texts of the message boxes shown, the data-link dialogs left out.
    static QStringList boxTexts(const TScriptedDialogs& dialogs) {
        QStringList texts;
        for (const TScriptedDialogs::TShown& s : dialogs.shown()) {
            if (s.kind != "window") {
                texts << s.text;
            }
        }
        return texts;
    }

private Q_SLOTS:
    void initTestCase() {
        InitTestApplication();
        LINKARIUM_REQUIRE_ENGINE();
    }

    void firstStartAsksForADatabase() {
        TTestEnvironment env;
        TTestCatalogue cat;
        cat.otherExec("INSERT INTO CategoryList(CategoryName) VALUES('Новости')");
        TScriptedDialogs dialogs;
        QStringList shown;
        auto m = makeModule();
        bool greeted = false;
        dialogs.answerDialog([&](QDialog& d) {
            auto& link = dynamic_cast<TDataLinkDialog&>(d);
            greeted = m->FirstStart() && !Child<QLabel>(d, "WelcomeLabel")->isHidden();
            shown << link.ConnectionString();
            link.SetConnectionString(cat.connectionString());
            return int(QDialog::Accepted);
        });
        Guarded([&]() { m->Connect(); });
        // Nothing has failed on a first start: the choice comes without an error box.
        QVERIFY(boxTexts(dialogs).isEmpty());
        QCOMPARE(dialogs.unexpected(), 0);
        QVERIFY(greeted);
        QVERIFY(!m->FirstStart());
        QCOMPARE(shown, QStringList{TDataLinkDialog().ConnectionString()});  // no preset
        QVERIFY(m->ADOConnection.Connected());
        QVERIFY(m->adsCategoryList.Active());
        QCOMPARE(m->adsCategoryList.RecordCount(), 1);
        QVERIFY(!m->TerminateRequested());
        // Remembered once open, so a session killed before its exit keeps the choice.
        QCOMPARE(storedConnection(), cat.connectionString());
        m.reset();
        QCOMPARE(storedConnection(), cat.connectionString());
    }

    void startWithStoredStringConnectsSilently() {
        TTestEnvironment env;
        TTestCatalogue cat;
        WriteRegString(RegRootKey, RegConnectionValue, cat.connectionString());
        TScriptedDialogs dialogs;
        auto m = makeModule();
        m->Connect();
        QVERIFY(m->ADOConnection.Connected());
        QVERIFY(dialogs.shown().isEmpty());  // no data-link dialog, no box
    }

    // A server database whose character type folds ASCII letters only is named once a
    // session with what to do; one with a UTF-8 type is not.
    void serverCharacterTypeIsChecked() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        TTestEnvironment env;
        TTestCatalogue plain(TTestCatalogue::WithTables,
                             "TEMPLATE template0 ENCODING 'UTF8' LC_CTYPE 'C' LC_COLLATE 'C'");
        TTestCatalogue unicode;
        TScriptedDialogs dialogs;
        auto m = makeModule();
        WriteRegString(RegRootKey, RegConnectionValue, plain.connectionString());
        m->Connect();
        QCOMPARE(dialogs.shownTexts().size(), 1);
        const QString warning = dialogs.shownTexts().first();
        QVERIFY2(warning.contains("LC_CTYPE) «C»") && warning.contains("C.UTF-8"),
                 qPrintable(warning));
        m->ADOConnection.Close();
        m->ADOConnection.Open();
        QCOMPARE(dialogs.shownTexts().size(), 1);  // not again
        m->ADOConnection.Close();
        m->ADOConnection.SetConnectionString(unicode.connectionString());
        m->ADOConnection.Open();
        QCOMPARE(dialogs.shownTexts().size(), 1);
        QVERIFY(m->ServerWarning.isEmpty());
    }

    void failedStartEndsTheProgram_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<int>("boxes");
        QTest::newRow("first start, cancelled") << QString() << QStringList{} << 1;
        QTest::newRow("first start, bad choice shows its error")
            << QString() << QStringList{"Data Source=/nonexistent/x.db"} << 2;
        QTest::newRow("stored string empty, cancelled") << "<empty>" << QStringList{} << 2;
        QTest::newRow("stored string broken, cancelled")
            << "Data Source=/nonexistent/old.db" << QStringList{} << 2;
    }
    void failedStartEndsTheProgram() {
        QFETCH(QString, stored);
        QFETCH(QStringList, answers);
        QFETCH(int, boxes);
        TTestEnvironment env;
        if (!stored.isEmpty()) {
            WriteRegString(RegRootKey, RegConnectionValue,
                           stored == "<empty>" ? QString() : stored);
        }
        TScriptedDialogs dialogs;
        for (const QString& answer : answers) {
            answerDataLink(dialogs, answer);
        }
        if (answers.isEmpty()) {
            answerDataLinkUnchanged(dialogs);
        }
        auto m = makeModule();
        Guarded([&]() { m->Connect(); });
        QVERIFY(m->TerminateRequested());
        QVERIFY(!m->ADOConnection.Connected());
        QCOMPARE(dialogs.unexpected(), 0);
        const QStringList texts = boxTexts(dialogs);
        QCOMPARE(texts.size(), boxes);
        // A stored string that fails keeps its error box; a first start has none.
        const int first = stored.isEmpty() ? 0 : 1;
        if (first == 1) {
            QVERIFY(texts.first().startsWith(kNoConnection));
        }
        QCOMPARE(texts.at(first), kConnectFailed);
        if (boxes > first + 1) {
            QVERIFY(texts.at(first + 1).contains("не найден"));
        }
        m.reset();  // not connected at exit: the stored string stays as it was
        QCOMPARE(storedConnection(), stored.isEmpty()      ? QStringLiteral("<none>")
                                     : stored == "<empty>" ? QString()
                                                           : stored);
    }

    void selectWhileConnected() {
        TTestEnvironment env;
        TTestCatalogue first;
        TTestCatalogue second;
        second.otherExec("INSERT INTO CategoryList(CategoryName) VALUES('a'),('b')");
        WriteRegString(RegRootKey, RegConnectionValue, first.connectionString());
        TScriptedDialogs dialogs;
        QStringList shown;
        for (const QString& answer :
             {first.connectionString(), QStringLiteral("Data Source=/nonexistent/y.db"),
              second.connectionString()}) {
            answerDataLink(dialogs, answer, &shown);
        }
        auto m = makeModule();
        m->Connect();
        // Cancel (the same string back) changes nothing.
        QCOMPARE(m->SelectDatabase(), false);
        QCOMPARE(m->ADOConnection.ConnectionString(), first.connectionString());
        // A choice that fails: the old database is reopened and the error goes on.
        bool failed = false;
        try {
            m->SelectDatabase();
        } catch (const EError& e) {
            failed = e.message().contains("не найден");
        }
        QVERIFY(failed);
        QVERIFY(m->ADOConnection.Connected());
        QCOMPARE(m->ADOConnection.ConnectionString(), first.connectionString());
        QVERIFY(!m->TerminateRequested());
        QVERIFY(boxTexts(dialogs).isEmpty());
        // A working choice: connected, the list reopened on it.
        QCOMPARE(m->SelectDatabase(), true);
        QCOMPARE(m->adsCategoryList.RecordCount(), 2);
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown.first(), first.connectionString());
        // Remembered as soon as it is open, so a killed session does not forget it.
        QCOMPARE(storedConnection(), second.connectionString());
        m.reset();
        QCOMPARE(storedConnection(), second.connectionString());
    }

    // A choice that cannot be opened is tried beside the open catalogue: nothing on the old
    // connection is closed, and Cancel never reconnects, also after a lost session.
    void failedChoiceLeavesTheOldCatalogueOpen() {
        TTestEnvironment env;
        TTestCatalogue cat;
        WriteRegString(RegRootKey, RegConnectionValue, cat.connectionString());
        TScriptedDialogs dialogs;
        answerDataLink(dialogs, "Provider=SQLite;Data Source=" + env.path("missing.db"));
        auto m = makeModule();
        m->Connect();
        TDataSet view;
        view.SetConnection(&m->ADOConnection);
        view.SetCommandText("SELECT * FROM SubjectURLs");
        view.Open();
        int closings = 0;
        view.AfterClose = [&closings](TDataSet&) { ++closings; };
        QVERIFY_THROWS_EXCEPTION(EError, m->SelectDatabase());
        QVERIFY(view.Active());
        QVERIFY(m->adsCategoryList.Active());
        QCOMPARE(closings, 0);
        QCOMPARE(m->ADOConnection.ConnectionString(), cat.connectionString());
        answerDataLink(dialogs, std::nullopt);
        QCOMPARE(m->SelectDatabase(), false);
        QVERIFY(view.Active());
        QCOMPARE(dialogs.unexpected(), 0);
    }

    void dataLinkDialogOkWithoutAnEditGivesTheOldString_data() {
        QTest::addColumn<QString>("old");
        QTest::newRow("no provider named") << "Data Source=/x/Каталог.db";
        QTest::newRow("other order, other case")
            << "data source=127.0.0.1:5433;Provider=PostgreSQL;Initial Catalog=links;User ID=u";
    }
    void dataLinkDialogOkWithoutAnEditGivesTheOldString() {
        QFETCH(QString, old);
        const auto press = [](const char* button) {
            QTimer::singleShot(0, [button]() {
                QWidget* dialog = QApplication::activeModalWidget();
                QVERIFY(dialog);
                dialog->findChild<QPushButton*>(button)->click();
            });
        };
        press("OkButton");
        QCOMPARE(TDataLinkDialog::Edit(nullptr, old), std::optional<QString>(old));
        press("CancelButton");
        QCOMPARE(TDataLinkDialog::Edit(nullptr, old), std::optional<QString>());
    }

    void catalogueWithoutCategoryQueryIsRefused() {
        TTestEnvironment env;
        TTestCatalogue cat;
        cat.otherExec("DROP VIEW vCategoryList");
        WriteRegString(RegRootKey, RegConnectionValue, cat.connectionString());
        TScriptedDialogs dialogs;
        answerDataLinkUnchanged(dialogs);
        auto m = makeModule();
        Guarded([&]() { m->Connect(); });
        QVERIFY(boxTexts(dialogs).first().contains("vCategoryList"));
        QVERIFY(m->TerminateRequested());
    }

    void blankCategoryIsStoredAsNull() {
        TTestEnvironment env;
        TTestCatalogue cat;
        WriteRegString(RegRootKey, RegConnectionValue, cat.connectionString());
        auto m = makeModule();
        m->Connect();
        TDataSet& list = m->adsCategoryList;
        list.Append();
        list.FieldByName("CategoryName").SetValue("  ");
        list.Post();
        list.Append();
        list.FieldByName("CategoryName").SetValue("Работа");
        list.Post();
        list.UpdateBatch();
        QCOMPARE(
            cat.otherValue("SELECT count(*) FROM CategoryList WHERE CategoryName IS NULL").toInt(),
            1);
        QCOMPARE(cat.otherValue("SELECT count(*) FROM CategoryList").toInt(), 2);
    }

    void sortMarksAreTwoImages() {
        TGeneralModule m(nullptr, false);
        const QVector<QIcon> images = MakeSortMarkImages();
        QCOMPARE(images.size(), 2 * SortMarkPlaces);
        QVERIFY(!images[0].isNull() && !images[1].isNull());
        QCOMPARE(m.EditCategoryListAction()->text(), QStringLiteral("Список категорий..."));
        QCOMPARE(m.EditCategoryListAction()->data().toInt(), 8);
    }

    void dataLinkDialogKeepsOtherSettingsAndCreates() {
        TTestEnvironment env;
        TScriptedDialogs dialogs;
        TDataLinkDialog dlg;
        dlg.SetConnectionString("Provider=SQLite;Data Source=/a.db;Busy Timeout=100");
        auto* edit = dlg.findChild<QLineEdit*>("FileNameEdit");
        QCOMPARE(edit->text(), QStringLiteral("/a.db"));
        const QString file = env.path("new/Каталог.db");
        dialogs.answerInput(file);  // the save dialog's answer
        dlg.findChild<QPushButton*>("CreateButton")->click();
        QCOMPARE(edit->text(), file);
        QVERIFY(QFileInfo::exists(file));
        const TConnectionString cs(dlg.ConnectionString());
        QCOMPARE(cs.value("Data Source"), file);
        QCOMPARE(cs.value("Busy Timeout"), QStringLiteral("100"));
        dlg.findChild<QPushButton*>("TestButton")->click();
        QCOMPARE(dialogs.shownTexts().last(),
                 "Проверка подключения прошла успешно.\nФайл базы данных: " + file);
        // Creating over an existing file is refused with a message; the file stays.
        dialogs.answerInput(file);
        dlg.findChild<QPushButton*>("CreateButton")->click();
        QVERIFY(dialogs.shownTexts().last().contains("уже существует"));
        edit->setText(env.path("missing.db"));
        dlg.findChild<QPushButton*>("TestButton")->click();
        QVERIFY(dialogs.shownTexts().last().contains("не найден"));
        QCOMPARE(dialogs.unexpected(), 0);
    }

    // The server ended the session: the next command connects again by itself, without a
    // word; "Подключение к базе..." still works with the same settings.
    void reconnectAfterTheServerWentAway() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        TTestEnvironment env;
        TTestCatalogue cat;
        cat.otherExec("INSERT INTO CategoryList(CategoryName) VALUES('Новости')");
        WriteRegString(RegRootKey, RegConnectionValue, cat.connectionString());
        TScriptedDialogs dialogs;
        auto m = makeModule();
        m->Connect();
        const int pid = static_cast<TPostgresProvider&>(m->ADOConnection.Provider()).backendPid();
        cat.otherValue(QString("SELECT pg_terminate_backend(%1)").arg(pid));
        QTRY_COMPARE(
            cat.otherValue(QString("SELECT count(*) FROM pg_stat_activity WHERE pid = %1").arg(pid))
                .toInt(),
            0);
        Guarded([&]() { m->adsCategoryList.Requery(); });
        QCOMPARE(dialogs.shownTexts(), QStringList());
        QVERIFY(!m->ADOConnection.Lost());
        QVERIFY(static_cast<TPostgresProvider&>(m->ADOConnection.Provider()).backendPid() != pid);
        QCOMPARE(m->adsCategoryList.RecordCount(), 1);
        answerDataLink(dialogs, std::nullopt);
        QCOMPARE(m->SelectDatabase(), false);  // Cancel: the connection stays
        QVERIFY(m->ADOConnection.Connected());
        answerDataLinkUnchanged(dialogs);
        QCOMPARE(m->SelectDatabase(), false);  // the same string: nothing to open again
        QVERIFY(!m->ADOConnection.Lost());
        QCOMPARE(m->adsCategoryList.RecordCount(), 1);
        QVERIFY(!m->TerminateRequested());
    }

    void dataLinkDialogServerFields_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("fields");  // server, port, database, user, password
        QTest::addColumn<QString>("written");
        QTest::newRow("all fields")
            << "Provider=PostgreSQL;Data Source=db.example:6543;Initial Catalog=links;"
               "User ID=ann;Password=\"p;w\""
            << QStringList{"db.example", "6543", "links", "ann", "p;w"}
            << "Provider=PostgreSQL;Data Source=db.example:6543;Initial Catalog=links;"
               "User ID=ann;Password=\"p;w\"";
        QTest::newRow("default port, no password")
            << "Provider=postgresql;Data Source=db;Initial Catalog=links;User ID=ann"
            << QStringList{"db", "5432", "links", "ann", ""}
            << "Provider=PostgreSQL;Data Source=db:5432;Initial Catalog=links;User ID=ann";
        QTest::newRow("v6 address")
            << "Provider=PostgreSQL;Data Source=[::1]:7000;Initial Catalog=c;User ID=u"
            << QStringList{"::1", "7000", "c", "u", ""}
            << "Provider=PostgreSQL;Data Source=[::1]:7000;Initial Catalog=c;User ID=u";
    }
    void dataLinkDialogServerFields() {
        QFETCH(QString, text);
        QFETCH(QStringList, fields);
        QFETCH(QString, written);
        TDataLinkDialog dlg;
        dlg.SetConnectionString(text);
        QCOMPARE(dlg.findChild<QStackedWidget*>("ProviderPages")->currentWidget()->objectName(),
                 QStringLiteral("PostgreSQLPage"));
        QCOMPARE((QStringList{dlg.findChild<QLineEdit*>("ServerEdit")->text(),
                              QString::number(dlg.findChild<QSpinBox*>("PortSpinBox")->value()),
                              dlg.findChild<QLineEdit*>("DatabaseEdit")->text(),
                              dlg.findChild<QLineEdit*>("UserEdit")->text(),
                              dlg.findChild<QLineEdit*>("PasswordEdit")->text()}),
                 fields);
        QCOMPARE(dlg.findChild<QLineEdit*>("PasswordEdit")->echoMode(), QLineEdit::Password);
        QCOMPARE(dlg.ConnectionString(), written);
        // Choosing the file engine drops the server's settings, and shows the file fields.
        auto* provider = dlg.findChild<QComboBox*>("ProviderComboBox");
        provider->setCurrentIndex(provider->findData("SQLite"));
        QCOMPARE(dlg.findChild<QStackedWidget*>("ProviderPages")->currentWidget()->objectName(),
                 QStringLiteral("SQLitePage"));
        QCOMPARE(TConnectionString(dlg.ConnectionString()).value("User ID"), QString());
    }

    // Encryption as the server connection's list offers it, a mode typed by hand kept, and
    // where the password comes from said under it.
    void dataLinkDialogTlsAndPasswordSource() {
        TDataLinkDialog dlg;
        dlg.SetConnectionString(
            "Provider=PostgreSQL;Data Source=db:5432;Initial Catalog=c;"
            "User ID=u;SSL Mode=verify-full;SSL Root Cert=/etc/ca one.crt");
        auto* mode = dlg.findChild<QComboBox*>("EncryptionComboBox");
        auto* root = dlg.findChild<QLineEdit*>("RootCertEdit");
        QCOMPARE(mode->currentText(), QStringLiteral("требовать и проверять сертификат"));
        QCOMPARE(root->text(), QStringLiteral("/etc/ca one.crt"));
        QCOMPARE(TConnectionString(dlg.ConnectionString()).value("SSL Root Cert"),
                 QStringLiteral("/etc/ca one.crt"));
        mode->setCurrentIndex(mode->findData(QString()));
        root->clear();
        QCOMPARE(dlg.ConnectionString(),
                 QStringLiteral("Provider=PostgreSQL;Data Source=db:5432;Initial Catalog=c;"
                                "User ID=u"));
        dlg.SetConnectionString("Provider=PostgreSQL;Data Source=db:5432;SSL Mode=disable");
        QCOMPARE(TConnectionString(dlg.ConnectionString()).value("SSL Mode"),
                 QStringLiteral("disable"));

        QTemporaryDir dir;
        const QByteArray saved = qgetenv("PGPASSFILE");
        auto* source = dlg.findChild<QLabel*>("PasswordSourceLabel");
        auto* password = dlg.findChild<QLineEdit*>("PasswordEdit");
        qputenv("PGPASSFILE", QFile::encodeName(dir.filePath("pgpass")));
        password->setText("x");
        password->clear();
        const QString none = source->text();
        QFile file(dir.filePath("pgpass"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        password->setText("x");
        const QString stored = source->text();
        password->clear();
        const QString fromFile = source->text();
        RestoreEnvironment("PGPASSFILE", saved);
        QVERIFY2(none.startsWith("Без пароля"), qPrintable(none));
        QCOMPARE(stored, QStringLiteral("Пароль хранится в настройках программы."));
        QCOMPARE(fromFile, "Пароль берётся из файла " + dir.filePath("pgpass") + ".");
        // A service written into the string by hand stays, and may hold the password.
        const QByteArray savedService = qgetenv("PGSERVICE");
        qunsetenv("PGSERVICE");
        dlg.SetConnectionString("Provider=PostgreSQL;Service=team;Initial Catalog=c");
        const QString fromService = source->text();
        const TConnectionString written(dlg.ConnectionString());
        const QString kept = written.value("Service");
        QCOMPARE(written.value("Data Source"), QString());  // the service names the server
        RestoreEnvironment("PGSERVICE", savedService);
        QVERIFY2(fromService.startsWith("Пароль из службы «team» или из файла"),
                 qPrintable(fromService));
        QCOMPARE(kept, QStringLiteral("team"));
    }

    // A first start greets the user, proposes the catalogue in the data folder, and takes
    // it as soon as it is made: two clicks to an empty catalogue.
    void firstStartReachesACatalogueInTwoClicks() {
        TTestEnvironment env;
        TScriptedDialogs dialogs;
        const QString proposed = TDataLinkDialog::DefaultCatalogueFileName();
        QCOMPARE(proposed, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                               "/catalogue.db");
        QFile::remove(proposed);
        dialogs.answerFiles({proposed});
        QString welcome;
        bool createIsDefault = false;
        dialogs.answerDialog([&](QDialog& d) {
            auto* label = Child<QLabel>(d, "WelcomeLabel");
            welcome = label->isHidden() ? QString() : label->text();
            auto* create = Child<QPushButton>(d, "CreateButton");
            createIsDefault = create->isDefault();
            create->click();
            return d.result();
        });
        const auto chosen = TDataLinkDialog::Edit(nullptr, QString(), true);
        QVERIFY(welcome.contains("Создать..."));
        QVERIFY(createIsDefault);
        // The data-link dialog, then the save dialog, no box after it.
        QCOMPARE(dialogs.shown().size(), 2);
        QCOMPARE(dialogs.shown().at(1).dir, proposed);
        QVERIFY(chosen.has_value());
        QCOMPARE(TConnectionString(*chosen).value("Data Source"), proposed);
        TConnection c;
        c.SetConnectionString(*chosen);
        c.Open();
        CheckCatalogue(c);
        QFile::remove(proposed);
        // A file typed in: Enter means OK from then on.
        {
            TDataLinkDialog typed;
            typed.SetFirstStart(true);
            auto* ok = typed.findChild<QPushButton*>("OkButton");
            auto* create = typed.findChild<QPushButton*>("CreateButton");
            QVERIFY(create->isDefault() && !ok->isDefault());
            typed.findChild<QLineEdit*>("FileNameEdit")->setText("/tmp/mine.db");
            QVERIFY(ok->isDefault() && !create->isDefault());
        }
        // Not a first start: no greeting.
        TDataLinkDialog later;
        later.SetConnectionString(*chosen);
        QVERIFY(later.findChild<QLabel*>("WelcomeLabel")->isHidden());
    }

    // An empty server database gets the catalogue's tables from the dialog, once.
    void dataLinkDialogCreatesServerTables() {
        if (TestEngine() != TTestEngine::PostgreSQL) {
            QSKIP("needs the PostgreSQL server");
        }
        TTestEnvironment env;
        TScriptedDialogs dialogs;
        TTestCatalogue empty(TTestCatalogue::Empty);
        TDataLinkDialog dlg;
        dlg.SetConnectionString(empty.connectionString());
        QCOMPARE(dlg.ConnectionString(), empty.connectionString());
        auto* test = dlg.findChild<QPushButton*>("TestButton");
        test->click();
        QVERIFY2(dialogs.shownTexts().last().contains("SubjectURLs"),
                 qPrintable(dialogs.shownTexts().last()));
        dlg.findChild<QPushButton*>("CreateSchemaButton")->click();
        QVERIFY(dialogs.shownTexts().last().startsWith("Таблицы каталога созданы"));
        test->click();
        // The server's own name for the database and itself, and how the link is protected.
        const TConnectionString cs(empty.connectionString());
        QCOMPARE(dialogs.shownTexts().last(), "Проверка подключения прошла успешно.\nБаза данных " +
                                                  cs.value("Initial Catalog") + " на сервере " +
                                                  cs.value("Data Source") +
                                                  " (соединение зашифровано, сервер не проверен)");
        dlg.findChild<QPushButton*>("CreateSchemaButton")->click();
        QVERIFY(dialogs.shownTexts().last().contains("уже есть таблицы"));
        // A wrong password is the server's clear refusal, and never shown back.
        dlg.findChild<QLineEdit*>("PasswordEdit")->setText("wrong-s3cr3t");
        test->click();
        QVERIFY(dialogs.shownTexts().last().contains("Не удалось подключиться"));
        QVERIFY(!dialogs.shownTexts().last().contains("wrong-s3cr3t"));
        QCOMPARE(dialogs.unexpected(), 0);
    }
};

QTEST_MAIN(TestGeneralUnit)
#include "tst_generalunit.moc"
