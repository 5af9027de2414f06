#include "support/CatalogueFixture.h"
#include "support/ScriptedDialogs.h"
#include "support/TestCatalogue.h"
#include "support/TestEnvironment.h"
#include "urls/CaptureQueue.h"
#include "urls/URLViewFrm.h"

#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "support/TestHelpers.h"

// Links handed over from a browser or the command line reach the URL view: a new record's
// dialog filled in and saved only on OK, the record of an address held already, texts too
// long for the catalogue refused whole, and one dialog at a time however many arrive.
class TestCapture final : public QObject, TCatalogueFixture {
    Q_OBJECT

    static TCaptureRequest request(const QString& url, const QString& title = QString(),
                                   const QString& category = QString()) {
        TCaptureRequest r;
        r.URL = url;
        r.Title = title;
        r.Category = category;
        return r;
    }
    int countOf(const QString& url) {
        return value(QString("SELECT count(*) FROM SubjectURLs WHERE URL = '%1'").arg(url)).toInt();
    }
    static QStringList windows(const TScriptedDialogs& dialogs) {
        QStringList shown;
        for (const auto& s : dialogs.shown()) {
            shown << s.kind + ":" + (s.kind == "window" ? s.caption : s.text);
        }
        return shown;
    }

private Q_SLOTS:
    void initTestCase() {
        InitTestApplication();
        LINKARIUM_REQUIRE_ENGINE();
    }
    void init() { openWithTwoLinks(); }
    void cleanup() { closeCatalogue(); }

    void filledDialogSavesOnlyOnOk_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("saved");
        QTest::newRow("OK") << "OkButton" << 1;
        QTest::newRow("Cancel") << "CancelButton" << 0;
    }
    void filledDialogSavesOnlyOnOk() {
        QFETCH(QString, button);
        QFETCH(int, saved);
        TURLViewForm v(*module);
        v.show();
        TCaptureQueue queue(v);
        TScriptedDialogs dialogs;
        QStringList filled;
        dialogs.answerDialog([&](QDialog& d) {
            filled << Child<QLineEdit>(d, "URLDBEdit")->text()
                   << Child<QPlainTextEdit>(d, "DescriptionDBMemo")->toPlainText()
                   << Child<QLineEdit>(d, "CategoryDBEdit")->text();
            Child<QPushButton>(d, qPrintable(button))->click();
            return d.result();
        });
        // Cancel on texts the user has not saved asks first, as for typed ones: No drops them.
        dialogs.answer(QMessageBox::No);
        queue.AddAddress(
            "linkarium:add?url=new.example%2Fp&title=%D0%A1%D1%82%D1%80%D0%B0%D0%BD"
            "%D0%B8%D1%86%D0%B0&category=%D0%A0%D0%B0%D0%B1%D0%BE%D1%82%D0%B0");
        QTRY_VERIFY(!filled.isEmpty());
        QCOMPARE(filled, (QStringList{"new.example/p", "Страница", "Работа"}));
        QCOMPARE(countOf("new.example/p"), saved);
        QCOMPARE(dialogs.pending(), saved);  // OK asked nothing
    }

    // The address is in the catalogue: its record is opened instead, with a note.
    void heldAddressOpensItsRecord() {
        TURLViewForm v(*module);
        v.show();
        TCaptureQueue queue(v);
        TScriptedDialogs dialogs;
        QStringList shown;
        dialogs.answerDialog([&](QDialog& d) {
            shown << Child<QLineEdit>(d, "URLDBEdit")->text()
                  << Child<QPlainTextEdit>(d, "DescriptionDBMemo")->toPlainText();
            d.reject();
            return d.result();
        });
        queue.Add(request("a.example", "Другой заголовок"));
        QTRY_COMPARE(dialogs.pending(), 0);
        QCOMPARE(shown, (QStringList{"a.example", "Первая"}));
        QCOMPARE(windows(dialogs).first(),
                 QStringLiteral("message:Адрес «a.example» уже есть в каталоге: открыта его "
                                "запись."));
        QCOMPARE(countOf("a.example"), 1);
    }

    // Refused before any dialog: a malformed request, and texts the catalogue cannot hold
    // (nothing is shown cut).
    void refusedWithAMessage_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("message");
        QTest::newRow("malformed") << "linkarium:add?url=javascript%3Aalert(1)"
                                   << "Переданная ссылка не принята: Адрес «javascript:alert(1)»";
        QTest::newRow("address too long")
            << "linkarium:add?url=long.example%2F" + QString(3000, 'a')
            << "поле «Адрес» длиной 3013 знаков, а каталог хранит не более 2048.";
        QTest::newRow("categories too long")
            << "linkarium:add?url=c.example&category=" + QString(4001, 'k')
            << "поле «Категории» длиной 4001 знаков, а каталог хранит не более 4000.";
    }
    void refusedWithAMessage() {
        QFETCH(QString, address);
        QFETCH(QString, message);
        TURLViewForm v(*module);
        v.show();
        TCaptureQueue queue(v);
        TScriptedDialogs dialogs;
        queue.AddAddress(address);
        QTRY_COMPARE(dialogs.shown().size(), 1);
        QVERIFY2(dialogs.shown().first().text.contains(message),
                 qPrintable(dialogs.shown().first().text));
        QCOMPARE(dialogs.shown().first().icon, QMessageBox::Critical);
        QCOMPARE(value("SELECT count(*) FROM SubjectURLs").toInt(), 2);
    }

    // A page firing a hundred links while a dialog is open: that dialog, then the ten kept
    // waiting, one at a time, then one note of the 89 dropped.
    void burstGivesOneDialogAtATime() {
        TURLViewForm v(*module);
        v.show();
        TCaptureQueue queue(v);
        TScriptedDialogs dialogs;
        QStringList opened;
        int open = 0;
        int mostOpen = 0;
        for (int i = 0; i < 1 + TCaptureQueue::kMaxWaiting; ++i) {
            dialogs.answerDialog([&, i](QDialog& d) {
                mostOpen = std::max(mostOpen, ++open);
                opened << Child<QLineEdit>(d, "URLDBEdit")->text();
                if (i == 0) {
                    for (int n = 1; n < 100; ++n) {
                        queue.Add(request(QString("burst.example/%1").arg(n)));
                    }
                    QTest::qWait(50);  // the requests' turns come while this one is open
                }
                d.reject();
                --open;
                return d.result();
            });
        }
        for (int i = 0; i < 1 + TCaptureQueue::kMaxWaiting; ++i) {
            dialogs.answer(QMessageBox::No);  // not saved
        }
        queue.Add(request("burst.example/0"));
        QTRY_COMPARE(dialogs.pending(), 0);
        QTRY_COMPARE(dialogs.shown().size(), 23);
        QCOMPARE(mostOpen, 1);
        QCOMPARE(opened.size(), 11);
        for (int i = 0; i < opened.size(); ++i) {
            QCOMPARE(opened.at(i), QString("burst.example/%1").arg(i));
        }
        // The note comes once, as soon as the dialog open when they were dropped closes.
        const QStringList shown = windows(dialogs);
        QCOMPARE(shown.filter("не открыто ссылок: 89").size(), 1);
        QVERIFY(shown.at(2).contains("не открыто ссылок: 89"));
        QTest::qWait(50);
        QCOMPARE(dialogs.shown().size(), 23);
        QCOMPARE(value("SELECT count(*) FROM SubjectURLs").toInt(), 2);
        QCOMPARE(dialogs.unexpected(), 0);
    }
};

QTEST_MAIN(TestCapture)
#include "tst_capture.moc"
