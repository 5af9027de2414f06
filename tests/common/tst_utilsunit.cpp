#include "common/Clock.h"
#include "common/ConstsUnit.h"
#include "common/Desktop.h"
#include "common/DialogsUnit.h"
#include "common/Hourglass.h"
#include "common/ProgramOptions.h"
#include "common/ProgramPaths.h"
#include "common/TextUnit.h"
#include "common/UtilsUnit.h"
#include "platform/registry/Registry.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "support/TestHelpers.h"

class TestUtilsUnit final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { InitTestApplication(); }

    // A message holding what came from outside (a record's text, a server's reply) is shown
    // as the text it is, never read as markup, in the program's real message box.
    void messagesAreNeverMarkup() {
        const QString text = "Ответ сервера: <b>550</b> <img src=\"file:///etc/passwd\">";
        QString shown;
        Qt::TextFormat format = Qt::RichText;
        QTimer::singleShot(0, [&]() {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box) {
                shown = box->text();
                format = box->textFormat();
                box->accept();
            }
        });
        ShowError(text);
        QCOMPARE(shown, text);
        QCOMPARE(format, Qt::PlainText);
    }

    void pluralForm_data() {
        QTest::addColumn<qint64>("n");
        QTest::addColumn<QString>("expected");
        const struct {
            qint64 n;
            const char* form;
        } rows[] = {{0, "записей"},  {1, "запись"},    {2, "записи"},      {4, "записи"},
                    {5, "записей"},  {10, "записей"},  {11, "записей"},    {12, "записей"},
                    {14, "записей"}, {19, "записей"},  {20, "записей"},    {21, "запись"},
                    {22, "записи"},  {25, "записей"},  {101, "запись"},    {111, "запись"},
                    {112, "записи"}, {115, "записей"}, {1000001, "запись"}};
        for (const auto& r : rows) {
            QTest::addRow("%lld", r.n) << r.n << QString::fromUtf8(r.form);
        }
    }
    void pluralForm() {
        QFETCH(qint64, n);
        QFETCH(QString, expected);
        QCOMPARE(PluralForm(n, QStringLiteral("запись,записи,записей")), expected);
    }

    // Counts in an English interface take English forms.
    void pluralFormInEnglish_data() {
        QTest::addColumn<qint64>("n");
        QTest::addColumn<QString>("expected");
        for (const qint64 n : {0, 2, 5, 11, 21, 22, 111}) {
            QTest::addRow("%lld", n) << n << "records";
        }
        QTest::newRow("1") << qint64(1) << "record";
    }
    void pluralFormInEnglish() {
        QFETCH(qint64, n);
        QFETCH(QString, expected);
        SetInterfaceLanguage("en_US");
        const QString form = PluralForm(n, QStringLiteral("record,records,records"));
        SetInterfaceLanguage("ru_RU");
        QCOMPARE(form, expected);
    }

    void pluralFormWithShortList() {
        QCOMPARE(PluralForm(5, QStringLiteral("байт,байта")), QString());
        QCOMPARE(PluralForm(3, QStringLiteral("байт,байта,байт")), QStringLiteral("байта"));
    }

    void openUrl_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("bare host") << "example.com/a"
                                   << "http://example.com/a";
        QTest::newRow("scheme") << "https://example.com"
                                << "https://example.com";
        // Only web and mail addresses are opened; a mail address keeps its scheme.
        QTest::newRow("local file") << "file:////srv/x"
                                    << "";
        QTest::newRow("mailto keeps its scheme") << "mailto:a@b.c"
                                                 << "mailto:a@b.c";
        QTest::newRow("network path") << "//server/share"
                                      << "";
    }
    void openUrl() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(URLToOpen(text), expected);
    }

    void openUrlHandsAddressToDesktop() {
        TUrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
        OpenURL(QStringLiteral("example.com/путь"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QCOMPARE(catcher.opened.size(), 1);
        QCOMPARE(catcher.opened.first().host(), QStringLiteral("example.com"));
        QCOMPARE(catcher.opened.first().path(), QStringLiteral("/путь"));
    }

    void valuesListSkipsOtherTypes() {
        TTestEnvironment env;
        const QString key = QStringLiteral("Software\\Quorvel\\Linkarium\\TView\\Filters");
        TRegistry reg;
        QVERIFY(reg.OpenKey(key, true));
        reg.WriteString(QStringLiteral("Новости"), QStringLiteral("(URL LIKE \"%news%\")"));
        reg.WriteInteger(QStringLiteral("Number"), 3);
        reg.WriteString(QStringLiteral("Empty"), QString());
        TValuesList list{QStringLiteral("stale=1")};
        LoadValuesList(list, key);
        QCOMPARE(list, (QStringList{"Новости=(URL LIKE \"%news%\")", "Empty="}));

        LoadValuesList(list, QStringLiteral("Software\\Missing"));
        QVERIFY(list.isEmpty());
    }

    void valuesListSaveReplacesKey() {
        TTestEnvironment env;
        const QString key = QStringLiteral("Software\\Filters");
        TRegistry reg;
        QVERIFY(reg.OpenKey(key + QStringLiteral("\\Sub"), true));
        QVERIFY(reg.OpenKey(key, true));
        reg.WriteString(QStringLiteral("old"), QStringLiteral("x"));

        // The entry is split at its first "=": the value keeps later ones.
        SaveValuesList({QStringLiteral("b=x=y"), QStringLiteral("a=(A = 1)")}, key);
        TValuesList list;
        LoadValuesList(list, key);
        QCOMPARE(list, (QStringList{"b=x=y", "a=(A = 1)"}));
        QVERIFY(!reg.KeyExists(key + QStringLiteral("\\Sub")));

        SaveValuesList({}, key);
        QVERIFY(!reg.KeyExists(key));
    }

    void regStringHelpers() {
        TTestEnvironment env;
        QCOMPARE(ReadRegString(RegRootKey, RegConnectionValue, QStringLiteral("dflt")),
                 QStringLiteral("dflt"));
        WriteRegString(RegRootKey, RegConnectionValue, QStringLiteral("Data Source=/x.db"));
        QCOMPARE(ReadRegString(RegRootKey, RegConnectionValue, QString()),
                 QStringLiteral("Data Source=/x.db"));
        TRegistry reg;
        QVERIFY(reg.OpenKey(RegRootKey, true));
        reg.WriteInteger(QStringLiteral("Number"), 5);
        QCOMPARE(ReadRegString(RegRootKey, QStringLiteral("Number"), QStringLiteral("d")),
                 QStringLiteral("d"));
    }

    // Beside the executable in a build tree; in ../share/linkarium and the state folder once
    // installed; a folder that cannot be written never gets the mail log.
    void programPaths() {
        QTemporaryDir dir;
        const QString tree = dir.filePath("build/bin");
        QDir().mkpath(tree + "/Languages");
        QFile(tree + "/linkarium.html").open(QIODevice::WriteOnly);
        TProgramPaths p = ProgramPathsFor(tree, "linkarium", dir.filePath("state"));
        QCOMPARE(p.languages, tree + "/Languages/");
        QCOMPARE(p.help, tree + "/linkarium.html");
        QCOMPARE(p.mailLog, tree + "/Mail.Log");
        const QString prefix = dir.filePath("usr");
        QDir().mkpath(prefix + "/bin");
        QDir().mkpath(prefix + "/share/linkarium/translations");
        QDir().mkpath(prefix + "/share/linkarium/help");
        QFile(prefix + "/share/linkarium/help/linkarium.html").open(QIODevice::WriteOnly);
        p = ProgramPathsFor(prefix + "/bin", "linkarium", dir.filePath("state"));
        QCOMPARE(p.languages, prefix + "/share/linkarium/translations/");
        QCOMPARE(p.help, prefix + "/share/linkarium/help/linkarium.html");
        QCOMPARE(p.mailLog, dir.filePath("state") + "/Linkarium/Mail.Log");
        p = ProgramPathsFor(dir.filePath("nowhere/bin"), "linkarium", QString());
        QCOMPARE(p.mailLog, QDir::homePath() + "/.local/state/Linkarium/Mail.Log");
        // The log's folder is made when the first line is written.
        AppendLogLine(dir.filePath("state/Linkarium/Mail.Log"), 1, "first");
        QVERIFY(QFileInfo::exists(dir.filePath("state/Linkarium/Mail.Log")));
    }

    void optionsDefaultsOnEmptyStore() {
        TTestEnvironment env;
        LoadOptions(RegOptionsKey);
        QCOMPARE(Options().SMTPServerAddress, QString());
        QCOMPARE(Options().SMTPServerPort, quint16(25));
        QCOMPARE(Options().DefaultCharSet, QStringLiteral("utf-8"));  // what the program writes
        QCOMPARE(Options().SMTPTimeOut, 60);                          // never wait for ever
        QCOMPARE(Options().LogMail, false);
        QCOMPARE(Options().CurrentLanguage, -1);
        TRegistry reg;
        QVERIFY(!reg.KeyExists(RegOptionsKey));  // loading never creates the key
    }

    void optionsLoadStoredValues_data() {
        QTest::addColumn<qint32>("storedPort");
        QTest::addColumn<int>("port");
        QTest::addColumn<qint32>("storedLog");
        QTest::addColumn<bool>("logMail");
        QTest::newRow("plain") << 587 << 587 << 1 << true;
        QTest::newRow("low 16 bits") << 0x10019 << 25 << 0 << false;
        QTest::newRow("negative") << -1 << 65535 << -5 << true;
        QTest::newRow("any non-zero log") << 2525 << 2525 << 2 << true;
    }
    void optionsLoadStoredValues() {
        QFETCH(qint32, storedPort);
        QFETCH(int, port);
        QFETCH(qint32, storedLog);
        QFETCH(bool, logMail);
        TTestEnvironment env;
        TRegistry reg;
        QVERIFY(reg.OpenKey(RegOptionsKey, true));
        reg.WriteString(QStringLiteral("SMTPServerAddress"), QStringLiteral("mail.example.org"));
        reg.WriteInteger(QStringLiteral("SMTPServerPort"), storedPort);
        reg.WriteString(QStringLiteral("DefaultCharSet"), QStringLiteral("utf-8"));
        reg.WriteInteger(QStringLiteral("LogMail"), storedLog);
        reg.WriteInteger(QStringLiteral("CurrentLanguage"), 1033);
        LoadOptions(RegOptionsKey);
        QCOMPARE(Options().SMTPServerAddress, QStringLiteral("mail.example.org"));
        QCOMPARE(int(Options().SMTPServerPort), port);
        QCOMPARE(Options().DefaultCharSet, QStringLiteral("utf-8"));
        QCOMPARE(Options().LogMail, logMail);
        QCOMPARE(Options().CurrentLanguage, 1033);
    }

    void optionsWrongTypeKeepsInitialValue() {
        TTestEnvironment env;
        TRegistry reg;
        QVERIFY(reg.OpenKey(RegOptionsKey, true));
        reg.WriteString(QStringLiteral("SMTPServerPort"), QStringLiteral("587"));
        reg.WriteInteger(QStringLiteral("DefaultCharSet"), 1);
        LoadOptions(RegOptionsKey);
        QCOMPARE(Options().SMTPServerPort, quint16(25));
        QCOMPARE(Options().DefaultCharSet, QStringLiteral("utf-8"));
    }

    void optionsSaveRoundTrip() {
        TTestEnvironment env;
        Options().SMTPServerAddress = QStringLiteral(" smtp ");
        Options().SMTPServerPort = 65535;
        Options().DefaultCharSet = QStringLiteral("koi8-r");
        Options().LogMail = true;
        Options().CurrentLanguage = 0;
        Options().SMTPTimeOut = 15;
        Options().LinkCheckHistory = 7;
        SaveOptions(RegOptionsKey);
        TRegistry reg;
        QVERIFY(reg.OpenKeyReadOnly(RegOptionsKey));
        QCOMPARE(
            reg.GetValueNames(),
            (QStringList{"SMTPServerAddress", "SMTPServerPort", "DefaultCharSet", "SMTPTimeOut",
                         "LinkCheckTimeOut", "LinkCheckHistory", "LogMail", "CurrentLanguage"}));
        QCOMPARE(reg.ReadInteger(QStringLiteral("SMTPTimeOut")), std::optional<qint32>(15));
        // No security and no sign-in: none of their values is written.
        QCOMPARE(reg.ReadInteger(QStringLiteral("SMTPServerPort")), std::optional<qint32>(65535));
        QCOMPARE(reg.ReadInteger(QStringLiteral("LogMail")), std::optional<qint32>(1));
        Options() = TProgramOptions();
        LoadOptions(RegOptionsKey);
        QCOMPARE(Options().SMTPServerAddress, QStringLiteral(" smtp "));
        QCOMPARE(Options().SMTPServerPort, quint16(65535));
        QCOMPARE(Options().DefaultCharSet, QStringLiteral("koi8-r"));
        QCOMPARE(Options().LogMail, true);
        QCOMPARE(Options().CurrentLanguage, 0);
        QCOMPARE(Options().LinkCheckHistory, 7);
    }

    void logLineFormat() {
        TTestEnvironment env;
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        SetNowForTesting([]() { return QDateTime(QDate(2003, 2, 1), QTime(9, 5, 7)); });
        const QString file = env.path(QStringLiteral("Mail.Log"));
        AppendLogLine(file, 0xAB, QStringLiteral("Message sent successfully."));
        SetNowForTesting([]() { return QDateTime(QDate(2003, 2, 2), QTime(0, 0)); });
        AppendLogLine(file, 0x7FFFFFFE, QStringLiteral("Ошибка"));
        QLocale::setDefault(QLocale::c());
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()),
                 QStringLiteral("01.02.2003 09:05:07 000000AB Message sent successfully.\r\n"
                                "02.02.2003 7FFFFFFE Ошибка\r\n"));
    }

    void guardShowsErrorsButNotAborts() {
        TScriptedDialogs dialogs;
        Guarded([]() { throw EError(QStringLiteral("Соединение с базой не установлено!")); });
        Guarded([]() { Abort(); });
        Guarded([]() { throw std::runtime_error("plain"); });
        QCOMPARE(dialogs.shownTexts(),
                 (QStringList{"Соединение с базой не установлено!", "plain"}));
        QCOMPARE(dialogs.shown().first().icon, QMessageBox::Critical);
        QCOMPARE(dialogs.shown().first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }

    // The core's hourglass shows the desktop's wait pointer once the gui installed it;
    // nested ones take it back one by one, a failure leaving the scope included.
    void hourglassUsesTheInstalledPointer() {
        const auto shape = []() {
            const QCursor* c = QGuiApplication::overrideCursor();
            return c ? c->shape() : Qt::ArrowCursor;
        };
        SetWaitPointer({});
        {
            const THourglass none;
            QVERIFY(!QGuiApplication::overrideCursor());
        }
        InstallWaitPointer();
        try {
            const THourglass outer;
            QCOMPARE(shape(), Qt::WaitCursor);
            {
                const THourglass inner;
                QCOMPARE(shape(), Qt::WaitCursor);
            }
            QCOMPARE(shape(), Qt::WaitCursor);
            throw EError(QStringLiteral("failed"));
        } catch (const EError&) {
        }
        QVERIFY(!QGuiApplication::overrideCursor());
    }
};

QTEST_MAIN(TestUtilsUnit)
#include "tst_utilsunit.moc"
