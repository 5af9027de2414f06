#include "app/GeneralUnit.h"
#include "common/ProgramOptions.h"
#include "common/ProgramPaths.h"
#include "common/UtilsUnit.h"
#include "platform/Text.h"
#include "platform/db/DataSet.h"
#include "platform/registry/Registry.h"
#include "reports/PrepareSubjectReportDlg.h"
#include "reports/PreviewHTMLDlg.h"
#include "reports/ReportWriter.h"
#include "reports/SendInfoDlg.h"
#include "reports/ShowProgressDlg.h"
#include "support/CatalogueFixture.h"
#include "support/FakeSmtpServer.h"
#include "support/ScriptedDialogs.h"
#include "support/TestCatalogue.h"
#include "support/TestEnvironment.h"
#include "support/TestHelpers.h"
#include "support/ViewParts.h"
#include "urls/URLViewFrm.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPageLayout>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QtTest>

namespace {

const QString kViewKey = QStringLiteral("Software\\Quorvel\\Linkarium\\TURLViewForm");

QTreeWidgetItem* childNamed(TPrepareSubjectReportForm& d, const QString& text) {
    QTreeWidgetItem* root = d.Root();
    for (int i = 0; i < root->childCount(); ++i) {
        if (root->child(i)->text(0) == text) {
            return root->child(i);
        }
    }
    return nullptr;
}

QString head(const QString& title) {
    return "<html>\r\n\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; "
           "charset=utf-8\">\r\n<title>" +
           title + "</title>\r\n</head>\r\n\r\n<body>\r\n<font face=\"Arial\">\r\n\r\n";
}
const QString kTail = QStringLiteral("</font>\r\n</body>\r\n\r\n</html>");

QString readAll(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

}  // namespace

class TestReports final : public QObject, TCatalogueFixture {
    Q_OBJECT

    // As long as the field holds: it breaks into three lines of the page.
    QString longText = QString(255, QLatin1Char('d'));

    // Runs the report command of the view with the given fields ticked; returns the page.
    static QString report(TScriptedDialogs& dialogs, TURLViewForm& v, const QStringList& tick) {
        QString page;
        dialogs.answerDialog([&tick](QDialog& dialog) {
            auto& d = static_cast<TPrepareSubjectReportForm&>(dialog);
            for (const QString& t : tick) {
                d.ToggleNode(t.isEmpty() ? d.Root() : childNamed(d, t));
            }
            // Accepted as the old answer did, past a preview button left off.
            return int(QDialog::Accepted);
        });
        dialogs.answerDialog([&page](QDialog& preview) {
            page = static_cast<TPreviewHTMLForm&>(preview).HTML();
            return int(QDialog::Rejected);
        });
        ViewAction(v, "actShowReport")->trigger();
        return page;
    }

    // The cell the text rules make of a description: escaped, controls shown, CR LF as a
    // line break of the page, long runs broken.
    static QString cellByTheRules(const QString& text) {
        QString cell = VisibleControls(HtmlEscaped(text));
        cell.replace("\r\n", "<br>\r\n");
        cell = BreakLongLines(cell, 127);
        return cell.isEmpty() ? QStringLiteral("&nbsp;") : cell;
    }

    // The cell the page writer makes of a description stored as the only record; page
    // receives the whole table.
    QString writtenCell(const QString& text, QByteArray& page) {
        cat->otherExec("DELETE FROM SubjectURLs");
        cat->addUrl("c.example", text, QString());
        TDataSet ds;
        ds.SetConnection(&cat->connection());
        ds.SetCommandText("SELECT * FROM SubjectURLs");
        ds.Open();
        page = WriteReportTable(ds, {&ds.FieldByName("Description")}, "T");
        const QString table = QString::fromUtf8(page);
        const QString start = "<TD><font size=\"1\">";
        const qsizetype from = table.indexOf(start) + start.size();
        return table.mid(from, table.indexOf("</font></TD>", from) - from);
    }

    // The mailing dialog answered: from me@example.org (and fromName) to you@example.org,
    // this record, with that subject; offered receives the recipient and subject the
    // dialog came up with.
    static void answerSendDialog(TScriptedDialogs& dialogs, const QString& subject = QString(),
                                 const QString& fromName = QString(),
                                 QList<QStringList>* offered = nullptr) {
        dialogs.answerDialog([=](QDialog& d) {
            auto* to = Child<QLineEdit>(d, "ToEdit");
            auto* subjectBox = Child<QComboBox>(d, "SubjectComboBox");
            if (offered) {
                *offered << QStringList{to->text(), subjectBox->currentText()};
            }
            Child<QRadioButton>(d, "CurrentRadioButton")->setChecked(true);
            to->setText("you@example.org");
            Child<QComboBox>(d, "FromAddressComboBox")->setCurrentText("me@example.org");
            Child<QComboBox>(d, "FromComboBox")->setCurrentText(fromName);
            subjectBox->setCurrentText(subject);
            return int(QDialog::Accepted);
        });
    }

private Q_SLOTS:
    void initTestCase() {
        LINKARIUM_REQUIRE_ENGINE();
        InitTestApplication();
        env = std::make_unique<TTestEnvironment>();
        InitUtilsUnit();  // the mail log beside the test program
        env.reset();
    }

    void init() {
        openCatalogue([this](TTestCatalogue& c) {
            c.addUrl("b.example", "x < y & \"z\"", QString());
            c.addUrl("a.example", longText, "Новости");
        });
        QFile::remove(MailLogFileName());
    }
    void cleanup() {
        closeCatalogue();
        QFile::remove(MailLogFileName());
    }

    // The page byte for byte: fields in dataset order, records in the view's order, texts
    // escaped, a long word's lines ended inside a tag that shows nothing, empty cells as
    // "&nbsp;"; the selection is stored
    // sorted and the current record stays.
    void pageOfTheView() {
        TScriptedDialogs dialogs;
        TURLViewForm v(*module);
        v.show();
        ViewData(v).SetSort("URL ASC");
        QVERIFY(ViewData(v).Locate("URL", {"b.example"}, 0));
        const QString page = report(dialogs, v, {"Описание", "URL", "Категории"});
        const QString rule =
            "  <TR>\r\n    <TD colspan=\"3\"><hr size=\"1\" color=\"#000000\"></TD>\r\n  </TR>\r\n";
        const auto row = [](const QString& a, const QString& b, const QString& c) -> QString {
            return "  <TR VAlign=\"top\">\r\n    <TD><font size=\"1\">" + a +
                   "</font></TD>\r\n    <TD><font size=\"1\">" + b +
                   "</font></TD>\r\n    <TD><font size=\"1\">" + c + "</font></TD>\r\n  </TR>\r\n";
        };
        const QString expected =
            head("Linkarium") +
            "<Table Width=\"100%\" CellSpacing=0 Border=0>\r\n  <Caption>\r\n    <p "
            "align=\"left\"><b><font size=\"3\">Linkarium</font></b>\r\n    <hr size=\"3\" "
            "color=\"#000000\" noshade>\r\n  </Caption>\r\n  <b><TR VAlign=\"top\">\r\n"
            "    <TH Align=\"left\"><font size=\"1\">URL</font></TH>\r\n"
            "    <TH Align=\"left\"><font size=\"1\">Категории</font></TH>\r\n"
            "    <TH Align=\"left\"><font size=\"1\">Описание</font></TH>\r\n  </TR></b>\r\n" +
            rule +
            row("a.example", "Новости",
                longText.left(126) + "<span\r\n></span>" + longText.mid(126, 126) +
                    "<span\r\n></span>" + longText.mid(252)) +
            row("b.example", "&nbsp;", "x &lt; y &amp; &quot;z&quot;") + rule +
            "</Table>\r\n<p></p>\r\n\r\n" + kTail;
        QCOMPARE(page, expected);
        TPreviewHTMLForm preview;  // markup in a record is shown as text
        preview.SetHTML(page);
        QVERIFY(preview.ShownText().contains("x < y & \"z\""));
        QCOMPARE(ReadRegString(kViewKey, "ReportSelected", "?"),
                 QStringLiteral("Category,Description,URL"));
        QCOMPARE(ViewData(v).FieldByName("URL").AsString(), QStringLiteral("b.example"));
    }

    void pagesWithoutTable_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("tick");
        QTest::newRow("empty query") << "URL = \"nothing\"" << QStringList{"URL"};
        QTest::newRow("no field ticked") << "" << QStringList{"URL", "URL"};
    }
    void pagesWithoutTable() {
        QFETCH(QString, filter);
        QFETCH(QStringList, tick);
        TScriptedDialogs dialogs;
        TURLViewForm v(*module);
        v.show();
        if (!filter.isEmpty()) {
            v.ApplyQuery(filter, QString());
            QCOMPARE(ViewData(v).RecordCount(), 0);
        }
        // With no field ticked the preview button stays off: the command ends without page.
        const QString page = report(dialogs, v, tick);
        if (tick.size() == 2) {
            QCOMPARE(page, head("Linkarium") + kTail);
        } else {
            QCOMPARE(page, head(v.ViewTitle()) + kTail);
        }
    }

    // Stored texts are copied into the page from their bytes: each cell must read as the
    // text rules (escaping, line ends, breaking at the width in UTF-16 units) make it.
    void cellsFromStoredBytesFollowTheTextRules_data() {
        // At most 255 characters, the field's size on the server.
        QTest::addColumn<QString>("text");
        const QString words = QString("слово ").repeated(40);
        QTest::newRow("empty") << QString("");
        QTest::newRow("markup") << QString("a<b>&\"c\" > d");
        QTest::newRow("line ends") << QString("one\r\ntwo\rthree\nfour\r\n");
        QTest::newRow("long words") << words;
        QTest::newRow("escapes near the width") << QString("&&&& ").repeated(40);
        QTest::newRow("four-byte characters at the width")
            << (QString("x").repeated(124) + " " +
                QString::fromUcs4(U"\U0001F600\U0001F600 y").repeated(20));
        QTest::newRow("break after a line end")
            << ("a\r\n" + QString("слово ").repeated(25) + "\r\n" + QString("ок ").repeated(30));
        QTest::newRow("no blank to break at") << QString("ы").repeated(250);
        QTest::newRow("an entity where the line must end")
            << (QString("x").repeated(124) + "&&&" + QString("y").repeated(120));
        QTest::newRow("controls") << QString("a\x01b\tc\x1f\x7f d\x0b");
    }
    void cellsFromStoredBytesFollowTheTextRules() {
        QFETCH(QString, text);
        QByteArray page;
        QCOMPARE(writtenCell(text, page), cellByTheRules(text));
    }

    // Random texts of the pieces the rules treat apart, from a fixed seed each: the cell the
    // page writer makes from the stored bytes is the one the text rules make, no page line is
    // long, no control is written raw, and without the line ends it adds the text is whole.
    void randomCellsFollowTheTextRules_data() {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed = 1; seed <= 6; ++seed) {
            QTest::addRow("seed %u", seed) << seed;
        }
    }
    void randomCellsFollowTheTextRules() {
        QFETCH(quint32, seed);
        QRandomGenerator random(seed);
        const QStringList pieces{"a",    "xyz",  " ",     "&",     "<",
                                 ">",    "\"",   "ы",     "слово", QString::fromUcs4(U"\U0001F600"),
                                 "\x01", "\x1f", "\x7f",  "\t",    "\r\n",
                                 "\r",   "\n",   "&amp;", "\u00a0"};
        for (int round = 0; round < 40; ++round) {
            QString text;
            const int length = random.bounded(1, 250);
            while (text.size() < length) {
                const QString piece = random.bounded(4) == 0
                                          ? QString(random.bounded(1, 160), QLatin1Char('w'))
                                          : pieces.at(random.bounded(pieces.size()));
                if (text.size() + piece.size() > 250) {
                    break;
                }
                text += piece;
            }
            QByteArray page;
            const QString cell = writtenCell(text, page);
            const QByteArray shown = text.toUtf8().toHex(' ');
            QVERIFY2(cell == cellByTheRules(text), shown.constData());
            for (const QByteArray& line : page.split('\n')) {
                QVERIFY2(line.size() < 4096, shown.constData());
            }
            for (const QChar c : cell) {
                QVERIFY2(c.unicode() >= 0x20 || c == '\t' || c == '\r' || c == '\n',
                         shown.constData());
                QVERIFY2(c.unicode() != 0x7F, shown.constData());
            }
            QString whole = cell;
            // A line ended at a blank is the one place a blank became CR LF.
            whole.remove("<span\r\n></span>").replace("\r\n", " ");
            const QString escaped = VisibleControls(HtmlEscaped(text)).replace("\r\n", "<br> ");
            QVERIFY2(whole == escaped || (escaped.isEmpty() && whole == "&nbsp;"),
                     shown.constData());
        }
    }

    // Bytes another program stored read as the text rules read them, well-formed or not:
    // whatever is not UTF-8 becomes U+FFFD, so the page itself stays UTF-8. The cases sit on
    // both sides of the eight-byte steps the page writer takes.
    void storedBytesReadAsTheTextRules_data() {
        QTest::addColumn<QByteArray>("hex");
        QTest::newRow("stray bytes") << QByteArray("41FF42C3");
        QTest::newRow("overlong C0") << QByteArray("41C080");
        QTest::newRow("overlong C1") << QByteArray("C1BF41424344454647");
        QTest::newRow("lead as the last byte") << QByteArray("4142434445464748D0");
        QTest::newRow("lead ending a step, ASCII after") << QByteArray("41424344454647D041");
        QTest::newRow("pair across a step") << QByteArray("41424344454647D0B041");
        QTest::newRow("continuation opening a step") << QByteArray("41424344454647B0414243");
        QTest::newRow("two leads") << QByteArray("D0D0B04142434445");
        QTest::newRow("surrogate") << QByteArray("41EDA080424344454647");
        QTest::newRow("overlong of three") << QByteArray("E0808041424344454647");
        QTest::newRow("past U+10FFFF") << QByteArray("F490808041424344");
        QTest::newRow("F5") << QByteArray("F580808041424344");
        QTest::newRow("Cyrillic") << QByteArray("D0BFD180D0B8D0B2D0B5D18220D0BCD0B8D180");
        QTest::newRow("dash and emoji") << QByteArray("D0B0E28094D0B1F09F9880D0B2");
        QTest::newRow("NUL") << QByteArray("4100420043444546474849");
        QTest::newRow("NUL opening a step") << QByteArray("41424344454647480049");
    }
    void storedBytesReadAsTheTextRules() {
        LINKARIUM_SQLITE_ONLY();
        QFETCH(QByteArray, hex);
        cat->otherExec("DELETE FROM SubjectURLs");
        cat->addUrl("c.example", "x", QString());
        cat->otherExec("UPDATE SubjectURLs SET Description = CAST(X'" + QString::fromLatin1(hex) +
                       "' AS TEXT)");
        TDataSet ds;
        ds.SetConnection(&cat->connection());
        ds.SetCommandText("SELECT * FROM SubjectURLs");
        ds.Open();
        const QByteArray table = WriteReportTable(ds, {&ds.FieldByName("Description")}, "T");
        QVERIFY(table.isValidUtf8());
        const QString expected =
            VisibleControls(HtmlEscaped(QString::fromUtf8(QByteArray::fromHex(hex))));
        QVERIFY2(table.contains(QByteArray("<font size=\"1\">" + expected.toUtf8() + "</font>")),
                 table.constData());
        QVERIFY(!table.contains('\0'));
    }

    // Any record the catalogue takes makes a page whose lines stay under the limit, with
    // its text as it reads: a 2,048-character Cyrillic address (4 KB of UTF-8) and 4,000
    // characters of categories without a blank.
    void longestRecordsMakeAPage() {
        cat->otherExec("DELETE FROM SubjectURLs");
        const QString address = "http://пример.рф/" + QString("ж").repeated(2048 - 17);
        const QString categories = QString("к").repeated(3000) + QString("x").repeated(1000);
        cat->addUrl(address, "A", categories);
        TURLViewForm v(*module);
        v.show();
        TScriptedDialogs dialogs;
        const QString page = report(dialogs, v, {"URL", "Категории"});
        QVERIFY2(dialogs.unexpected() == 0, qPrintable(dialogs.shownTexts().join("\n")));
        QVERIFY(!page.isEmpty());
        const QString text = QString(page).remove("<span\r\n></span>");
        QVERIFY(text.contains(address));
        QVERIFY(text.contains(categories));
        for (const QString& line : SplitPageLines(page)) {
            QVERIFY2(line.toUtf8().size() < 1000, qPrintable(line.left(80)));
        }
    }

    // A record being edited is posted before the page is written (an unchanged one is
    // cancelled); the current record stays.
    void pendingEditIsPostedFirst() {
        TDataSet ds;
        ds.SetConnection(&cat->connection());
        ds.SetCommandText("SELECT * FROM SubjectURLs ORDER BY URL");
        ds.Open();
        ds.Last();
        ds.Edit();
        ds.FieldByName("Description").SetAsString("changed");
        const QString table = WriteReportTable(ds, {&ds.FieldByName("Description")}, "T");
        QVERIFY(table.contains("<font size=\"1\">changed</font>"));
        QCOMPARE(ds.State(), TDataSetState::Browse);
        QCOMPARE(ds.RecNo(), 2);
        QCOMPARE(cat->otherValue("SELECT Description FROM SubjectURLs WHERE URL = 'b.example'")
                     .toString(),
                 QStringLiteral("changed"));
        ds.First();
        ds.Edit();
        WriteReportTable(ds, {}, "T");
        QCOMPARE(ds.State(), TDataSetState::Browse);
    }

    void cancelLeavesTheSelection() {
        WriteRegString(kViewKey, "ReportSelected", "URL");
        TURLViewForm v(*module);
        v.show();
        bool previewed = false;
        TScriptedDialogs dialogs;
        dialogs.answerDialog([](QDialog& d) {
            static_cast<TPrepareSubjectReportForm&>(d).ToggleNode(
                static_cast<TPrepareSubjectReportForm&>(d).Root());
            return int(QDialog::Rejected);
        });
        dialogs.answerDialog([&previewed](QDialog&) {
            previewed = true;
            return int(QDialog::Rejected);
        });
        ViewAction(v, "actShowReport")->trigger();
        QVERIFY(!previewed);
        QCOMPARE(ReadRegString(kViewKey, "ReportSelected", "?"), QStringLiteral("URL"));
    }

    // The stored selection is looked up without regard to case; unknown names are dropped
    // when stored again; the root follows its children; a press toggles only over the image;
    // the space bar toggles the current node.
    void fieldDialog() {
        WriteRegString(kViewKey, "ReportSelected", "nope,url");
        TURLViewForm v(*module);
        v.show();
        TPrepareSubjectReportForm d(&v);
        d.SetRegistryKey(kViewKey);
        d.LoadSelection();
        d.FillTree(ViewData(v), "Title");
        QTreeWidgetItem* root = d.Root();
        QCOMPARE(root->text(0), QStringLiteral("Title"));
        // The hidden key is not offered; the visited mark and the link check's columns are.
        QStringList offered;
        for (int i = 0; i < root->childCount(); ++i) {
            offered << root->child(i)->text(0);
        }
        QCOMPARE(offered, (QStringList{"URL", "Категории", "Описание", "Посещена",
                                       "Состояние ссылки", "Код ответа", "Проверена"}));
        QCOMPARE(d.StateOf(childNamed(d, "URL")), int(TPrepareSubjectReportForm::csChecked));
        QCOMPARE(d.StateOf(root), int(TPrepareSubjectReportForm::csPartly));
        auto* tree = d.findChild<QTreeWidget*>("FieldsTreeView");
        auto* preview = d.findChild<QPushButton*>("PreviewButton");
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        tree->setCurrentItem(root);
        QTest::keyClick(tree, Qt::Key_Space);
        for (int i = 0; i < root->childCount(); ++i) {
            QCOMPARE(d.StateOf(root->child(i)), int(TPrepareSubjectReportForm::csChecked));
        }
        QTest::keyClick(tree, Qt::Key_Space);
        QCOMPARE(d.StateOf(root), int(TPrepareSubjectReportForm::csUnchecked));
        QVERIFY(!preview->isEnabled());
        tree->expandAll();
        QTreeWidgetItem* description = childNamed(d, "Описание");
        const QRect image = d.StateImageRect(description);
        const QRect label = tree->visualItemRect(description);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          QPoint(label.right() - 5, label.center().y()));
        QCOMPARE(d.StateOf(description), int(TPrepareSubjectReportForm::csUnchecked));
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, image.center());
        QCOMPARE(d.StateOf(description), int(TPrepareSubjectReportForm::csChecked));
        QCOMPARE(d.StateOf(root), int(TPrepareSubjectReportForm::csPartly));
        QVERIFY(preview->isEnabled());
        QVERIFY(d.Confirm());
        QCOMPARE(ReadRegString(kViewKey, "ReportSelected", "?"), QStringLiteral("Description"));
        QList<TField*> fields{nullptr};
        d.GetSelectedFields(fields);
        QCOMPARE(fields, QList<TField*>{&ViewData(v).FieldByName("Description")});
    }

    void rootWithoutFields() {
        TDataSet ds;
        ds.AddField("Hidden").Visible = false;
        TPrepareSubjectReportForm d;
        d.SetRegistryKey(kViewKey);
        d.LoadSelection();
        d.FillTree(ds, "T");
        d.UpdatePreviewButton();
        auto* preview = d.findChild<QPushButton*>("PreviewButton");
        QVERIFY(!preview->isEnabled());
        d.ToggleNode(d.Root());
        QVERIFY(preview->isEnabled());
        QList<TField*> fields;
        d.GetSelectedFields(fields);
        QVERIFY(fields.isEmpty());
    }

    // Transparent tags leave what is shown but stay in the saved file; a name without
    // extension gets ".htm"; the file ends with "</html>" CR LF.
    void previewShowsAndSaves() {
        TScriptedDialogs dialogs;
        TPreviewHTMLForm p;
        const QString page = head("T") + "<p>one<#secret>two</p>\n" + kTail;
        p.SetHTML(page);
        QVERIFY(!p.ProducedText().contains("secret"));
        QVERIFY(p.ShownText().contains("onetwo"));
        const QString dir = env->path("saved");
        QDir().mkpath(dir);
        dialogs.answerFiles({dir + "/report"});
        dialogs.answerFiles({dir + "/report.txt"});
        Child<QAction>(p, "actSaveHTML")->trigger();
        Child<QAction>(p, "actSaveHTML")->trigger();
        QCOMPARE(dialogs.unexpected(), 0);
        const QString saved = readAll(dir + "/report.htm");
        QVERIFY(saved.contains("<#secret>"));
        QVERIFY(saved.endsWith("</html>\r\n"));
        QVERIFY(saved.contains("two</p>\r\n</font>"));
        QCOMPARE(readAll(dir + "/report.txt"), saved);
        // The dialog adds ".htm" itself, and proposes the title in the documents folder.
        QCOMPARE(dialogs.shown().first().suffix, QStringLiteral("htm"));
        p.SetReportTitle("Linkarium / ссылки");
        const QFileInfo proposed(p.ProposedFileName());
        QCOMPARE(proposed.fileName(), QStringLiteral("Linkarium _ ссылки.htm"));
        QVERIFY(proposed.dir().exists());
        QVERIFY(proposed.dir() != QDir::current());
        const QString documents =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QCOMPARE(proposed.dir(), QDir(QFileInfo(documents).isDir() ? documents : QDir::homePath()));
        // "report" once more, now that report.htm exists: asked before it is replaced.
        dialogs.answerFiles({dir + "/report"});
        dialogs.answer(QMessageBox::No);
        p.SetHTML(head("T") + "<p>other</p>\n" + kTail);
        Child<QAction>(p, "actSaveHTML")->trigger();
        QCOMPARE(dialogs.shown().last().text,
                 "Файл " + dir + "/report.htm уже существует. Заменить его?");
        QCOMPARE(readAll(dir + "/report.htm"), saved);
        QCOMPARE(dialogs.unexpected(), 0);
    }

    // Readable at once, zoomed with the keys; the page itself and its print margins as
    // a person expects (15 mm).
    void previewZoomAndMargins() {
        TPreviewHTMLForm p;
        p.SetHTML(head("T") + "<p><font size=\"1\">small</font></p>\n" + kTail);
        p.show();
        QVERIFY(QTest::qWaitForWindowExposed(&p));
        auto* browser = p.findChild<QTextBrowser*>("WebBrowser");
        const qreal base = QApplication::font().pointSizeF();
        const qreal shown = browser->font().pointSizeF();
        QCOMPARE(p.Zoom(), TPreviewHTMLForm::DefaultZoom);
        QVERIFY(shown > base);
        QTest::keyClick(&p, Qt::Key_Plus, Qt::ControlModifier);
        QVERIFY(browser->font().pointSizeF() > shown);
        QTest::keyClick(&p, Qt::Key_Minus, Qt::ControlModifier);
        QTest::keyClick(&p, Qt::Key_Minus, Qt::ControlModifier);
        QVERIFY(browser->font().pointSizeF() < shown);
        QTest::keyClick(&p, Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(browser->font().pointSizeF(), shown);
        QVERIFY(p.ProducedText().contains("<font size=\"1\">small</font>"));
        const QMarginsF margins = p.Printer().pageLayout().margins(QPageLayout::Millimeter);
        QCOMPARE(qRound(margins.left()), 15);
        QCOMPARE(qRound(margins.top()), 15);
        QCOMPARE(qRound(margins.right()), 15);
        QCOMPARE(qRound(margins.bottom()), 15);
    }

    // A long report is shown a thousand records at a time; the whole page is kept.
    void previewInSections() {
        QString rows;
        for (int i = 1; i <= 2500; ++i) {
            rows += QString(
                        "\r\n  <TR VAlign=\"top\">\r\n    <TD><font "
                        "size=\"1\">row%1.</font></TD>\r\n  </TR>")
                        .arg(i);
        }
        const QString page =
            head("T") + "<Table>\r\n  <b><TR VAlign=\"top\">\r\n    <TH>Head</TH>\r\n  </TR></b>" +
            rows + "\r\n  <TR>\r\n    <TD colspan=\"1\"><hr></TD>\r\n  </TR>\r\n</Table>\r\n" +
            kTail;
        TPreviewHTMLForm p;
        p.SetHTML(page);
        QCOMPARE(p.SectionCount(), 3);
        auto* label = p.findChild<QLabel*>("SectionLabel");
        QCOMPARE(label->text(), QStringLiteral("Записи 1–1000 из 2500"));
        QVERIFY(p.ShownText().contains("Head") && p.ShownText().contains("row1000."));
        QVERIFY(!p.ShownText().contains("row1001."));
        QVERIFY(!Child<QAction>(p, "actPriorSection")->isEnabled());
        Child<QAction>(p, "actNextSection")->trigger();
        Child<QAction>(p, "actNextSection")->trigger();
        QCOMPARE(label->text(), QStringLiteral("Записи 2001–2500 из 2500"));
        QVERIFY(p.ShownText().contains("Head") && p.ShownText().contains("row2500."));
        QVERIFY(!p.ShownText().contains("row2000."));
        QVERIFY(!Child<QAction>(p, "actNextSection")->isEnabled());
        QCOMPARE(p.ProducedText(), page + "\r\n");
        p.SetHTML(head("T") + kTail);
        QCOMPARE(p.SectionCount(), 1);
        QVERIFY(!Child<QAction>(p, "actNextSection")->isVisible());
    }

    void previewImageFromCurrentDirectory() {
        const QString dir = env->path("images");
        QDir().mkpath(dir);
        QImage image(4, 3, QImage::Format_RGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(dir + "/pic.png"));
        const QString before = QDir::currentPath();
        QDir::setCurrent(dir);
        TPreviewHTMLForm p;
        p.SetHTML("<html><body><img src=\"pic.png\"></body></html>");
        auto* browser = p.findChild<QTextBrowser*>("WebBrowser");
        const QVariant loaded =
            browser->loadResource(QTextDocument::ImageResource, QUrl("pic.png"));
        QDir::setCurrent(before);
        QVERIFY(loaded.isValid());
        QCOMPARE(QImage::fromData(loaded.toByteArray()).size(), QSize(4, 3));
    }

    void printToPdf() {
        const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
        if (pdftotext.isEmpty()) {
            QSKIP("poppler-utils is not installed: the printed text cannot be read back");
        }
        TScriptedDialogs dialogs;
        TPreviewHTMLForm p;
        TURLViewForm v(*module);
        v.show();
        ViewData(v).SetSort("URL ASC");
        const QString page = report(dialogs, v, {"URL", "Категории"});
        p.SetHTML(page);
        const QString pdf = env->path("report.pdf");
        dialogs.answerPrinter();
        Child<QAction>(p, "actPageSetup")->trigger();
        dialogs.answerPrinter(pdf);
        Child<QAction>(p, "actPrint")->trigger();
        QCOMPARE(dialogs.unexpected(), 0);
        QProcess text;
        text.start(pdftotext, {pdf, "-"});
        QVERIFY(text.waitForFinished(20000));
        const QString printed = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(printed.contains("a.example") && printed.contains("Новости") &&
                     printed.contains("Категории"),
                 qPrintable(printed));
    }

    // Two sends from one preview: the second dialog shows the first's values; the page goes
    // as HTML in the charset its head declares, without transparent tags; with LogMail off
    // nothing is logged, with it on the course of the send is.
    void mailing() {
        TScriptedDialogs dialogs;
        TFakeServer server;
        for (int send = 0; send < 2; ++send) {
            server.replies << "250 hi\r\n"
                           << "250 reset\r\n"
                           << "250 from\r\n"
                           << "250 to\r\n"
                           << "354 go on\r\n"
                           << "250 queued\r\n"
                           << "221 bye\r\n";
        }
        Options().SMTPServerAddress = "127.0.0.1";
        Options().SMTPServerPort = server.port();
        Options().LogMail = false;
        TPreviewHTMLForm p;
        p.SetHTML(head("T") + "<p>one<#secret>two</p>" + kTail);
        QList<QStringList> seen;  // recipient, subject
        answerSendDialog(dialogs, "Report 1", QString(), &seen);
        Child<QAction>(p, "actSendEMail")->trigger();
        QCOMPARE(seen.size(), 1);
        QVERIFY(seen.at(0).at(0).isEmpty());
        QVERIFY2(server.message.contains("Subject: Report 1"),
                 qPrintable(dialogs.shownTexts().join('|')));
        QVERIFY(server.message.contains("Content-Type: text/html; charset=utf-8\r\n"));
        QVERIFY(server.message.contains("<p>onetwo</p>"));
        QVERIFY(!QFile::exists(MailLogFileName()));
        Options().LogMail = true;
        answerSendDialog(dialogs, "Report 2", QString(), &seen);
        Child<QAction>(p, "actSendEMail")->trigger();
        QCOMPARE(seen.at(1).at(1), QStringLiteral("Report 1"));
        QCOMPARE(seen.at(1).at(0), QStringLiteral("you@example.org"));
        const QString log = readAll(MailLogFileName());
        const QString tag =
            QStringLiteral("%1").arg(p.Mailer().SendTag, 8, 16, QLatin1Char('0')).toUpper();
        QVERIFY2(log.contains(tag + " Connected to host 127.0.0.1. User ID: "), qPrintable(log));
        QVERIFY(log.contains(tag + " Sending message to \"you@example.org\".\r\n"));
        QVERIFY(log.contains(tag + " Message sent successfully.\r\n"));
        QCOMPARE(dialogs.unexpected(), 0);
        Options() = TProgramOptions();
    }

    // A refusal after the connection is shown to the user when the progress window has
    // closed, with the recipient and the server's whole reply; the program's own refusal
    // is never passed off as the server's reply.
    void failedSendIsShown_data() {
        QTest::addColumn<QStringList>("replies");
        QTest::addColumn<QString>("fromName");
        QTest::addColumn<QStringList>("parts");
        QTest::addColumn<bool>("serverSaid");
        QTest::newRow("the server refuses")
            << QStringList{"250 hi\r\n", "250 reset\r\n", "250 from\r\n",
                           "250 to\r\n", "354 go on\r\n", "554-5.7.1 rejected\r\n554 as spam\r\n",
                           "221 bye\r\n"}
            << "Me" << QStringList{"Ответ сервера 127.0.0.1", "554-5.7.1 rejected", "554 as spam"}
            << true;
        // A sender's name that would start a second header line.
        QTest::newRow("the program refuses")
            << QStringList{"250 hi\r\n",    "250 reset\r\n",  "250 from\r\n", "250 to\r\n",
                           "354 go on\r\n", "250 queued\r\n", "221 bye\r\n"}
            << "Me\r\nBcc: someone@example.org" << QStringList{"Invalid line break in header"}
            << false;
    }
    void failedSendIsShown() {
        QFETCH(QStringList, replies);
        QFETCH(QString, fromName);
        QFETCH(QStringList, parts);
        QFETCH(bool, serverSaid);
        TScriptedDialogs dialogs;
        TFakeServer server;
        for (const QString& r : replies) {
            server.replies << r.toUtf8();
        }
        Options().SMTPServerAddress = "127.0.0.1";
        Options().SMTPServerPort = server.port();
        TPreviewHTMLForm p;
        p.SetHTML(head("T") + kTail);
        answerSendDialog(dialogs, QString(), fromName);
        Child<QAction>(p, "actSendEMail")->trigger();
        QCOMPARE(dialogs.shownTexts().size(), 2);  // the mailing dialog, then the failure
        QCOMPARE(dialogs.shown().first().caption, QStringLiteral("TSendInfoForm"));
        const QString shown = dialogs.shownTexts().last();
        QVERIFY2(shown.startsWith("Письмо для you@example.org не отправлено"), qPrintable(shown));
        for (const QString& part : parts) {
            QVERIFY2(shown.contains(part), qPrintable(shown));
        }
        QCOMPARE(shown.contains("Ответ сервера"), serverSaid);
        Options() = TProgramOptions();
    }

    // A server that stops answering: "Отмена", confirmed, ends the send, which is logged
    // like any send error, and the progress window closes.
    void cancelledSend() {
        TScriptedDialogs dialogs;
        dialogs.answer(QMessageBox::Yes);
        TFakeServer server;
        server.replies = {"250 hi\r\n", "250 reset\r\n", "|hang"};
        Options().SMTPServerAddress = "127.0.0.1";
        Options().SMTPServerPort = server.port();
        Options().LogMail = true;
        TPreviewHTMLForm p;
        p.SetHTML(head("T") + kTail);
        answerSendDialog(dialogs);
        QString caption;
        int maximum = 0;
        QTimer press;
        press.setInterval(50);
        connect(&press, &QTimer::timeout, [&]() {
            auto* progress = qobject_cast<TShowProgressForm*>(QApplication::activeModalWidget());
            if (progress && server.received.size() >= 3) {
                press.stop();
                caption = progress->windowTitle();
                maximum = progress->Maximum();
                progress->findChild<QPushButton*>("CancelButton")->click();
            }
        });
        press.start();
        Child<QAction>(p, "actSendEMail")->trigger();
        QCOMPARE(caption, QStringLiteral("Рассылка"));
        QCOMPARE(maximum, 1);
        QCOMPARE(dialogs.shownTexts(),
                 (QStringList{"Параметры почтовой рассылки", "Прервать текущую операцию?"}));
        QVERIFY2(readAll(MailLogFileName()).contains(" Error Socket readln aborted\r\n"),
                 qPrintable(readAll(MailLogFileName())));
        Options() = TProgramOptions();
    }
};

QTEST_MAIN(TestReports)
#include "tst_reports.moc"
