#include "TestViewForm.h"

#include "common/UtilsUnit.h"
#include "platform/registry/Registry.h"
#include "settings/Placemnt.h"
#include "support/CatalogueFixture.h"
#include "support/TestCatalogue.h"
#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtTest>

// Where a record view opens, how far it reaches maximised, and what of its place it keeps
// between runs.
class TestViewPlacement final : public QObject, TCatalogueFixture {
    Q_OBJECT

    std::unique_ptr<TTestViewForm> openView() {
        auto view = std::make_unique<TTestViewForm>(*module);
        view->show();
        return view;
    }
    // A placement as a former run left it.
    static void storePlacement(const QString& normPos, const QString& ppi = QString()) {
        TRegistry reg;
        QVERIFY(reg.OpenKey("Software\\Quorvel\\Linkarium\\TTestViewForm", true));
        reg.WriteString("FormVersion", "0");
        reg.WriteString("NormPos", normPos);
        if (!ppi.isEmpty()) {
            reg.WriteString("PixelsPerInch", ppi);
        }
    }

private Q_SLOTS:
    void initTestCase() {
        InitTestApplication();
        LINKARIUM_REQUIRE_ENGINE();
    }
    void init() {
        openCatalogue([](TTestCatalogue& c) {
            c.otherSchema(TTestViewForm::Schema(), TTestViewForm::ServerSchema());
        });
    }
    void cleanup() { closeCatalogue(); }

    void placementRoundTrip() {
        {
            auto v = openView();
            v->setGeometry(120, 130, 640, 300);
            v->close();  // closed by the user: saved with Visible 0, not again at exit
        }
        TRegistry reg;
        QVERIFY(reg.OpenKeyReadOnly("Software\\Quorvel\\Linkarium\\TTestViewForm"));
        QCOMPARE(reg.ReadString("Visible"), std::optional<QString>("0"));
        QCOMPARE(reg.ReadString("ShowCmd"), std::optional<QString>("1"));
        QCOMPARE(reg.ReadString("FormVersion"), std::optional<QString>("0"));
        const QString norm = reg.ReadString("NormPos").value_or("");
        QCOMPARE(norm.split(',').size(), 4);
        TTestViewForm probe(*module);
        QCOMPARE(reg.ReadString("NormPos" + probe.findChild<TFormPlacement*>()->ScreenSuffix()),
                 std::optional<QString>(norm));
        auto v = openView();
        QCOMPARE(v->size(), QSize(640, 300));
    }

    void placementFallbacks_data() {
        QTest::addColumn<QString>("normPos");
        QTest::addColumn<QString>("ppi");
        QTest::addColumn<int>("width");
        QTest::newRow("short rectangle keeps the rest") << "10,20,610"
                                                        << "" << 600;
        QTest::newRow("other pixel density keeps the design") << "10,20,610,220"
                                                              << "300" << 760;
    }
    void placementFallbacks() {
        QFETCH(QString, normPos);
        QFETCH(QString, ppi);
        QFETCH(int, width);
        storePlacement(normPos, ppi);
        auto v = openView();
        QCOMPARE(v->width(), width);
    }

    // A stored rectangle the screens no longer show is moved, and shrunk, into the
    // desktop; one they show stays where it was.
    void placementStaysOnTheDesktop_data() {
        QTest::addColumn<QString>("normPos");
        QTest::addColumn<QRect>("expected");  // empty: anywhere inside the work area
        QTest::newRow("on the screen") << "100,110,740,410" << QRect(100, 110, 640, 300);
        QTest::newRow("on a monitor that is gone") << "5000,100,5640,400" << QRect();
        QTest::newRow("above and left of the screen") << "-3000,-2000,-2360,-1700" << QRect();
        QTest::newRow("larger than the screen") << "0,0,9000,9000" << QRect();
    }
    void placementStaysOnTheDesktop() {
        QFETCH(QString, normPos);
        QFETCH(QRect, expected);
        storePlacement(normPos);
        auto v = openView();
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        if (!expected.isEmpty()) {
            QCOMPARE(v->geometry(), expected.translated(area.topLeft()));
        } else {
            QVERIFY2(area.contains(v->geometry()), qPrintable(QString("%1,%2 %3x%4")
                                                                  .arg(v->geometry().x())
                                                                  .arg(v->geometry().y())
                                                                  .arg(v->width())
                                                                  .arg(v->height())));
        }
    }

    // Never placed before: the view fills the work area below the main bar.
    void neverPlacedFillsTheAreaBelowTheMainBar() {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QWidget bar;
        bar.setObjectName("MainForm");
        bar.setGeometry(area.left(), area.top(), area.width(), 80);
        bar.show();
        // Other values of the view's key are no placement.
        WriteRegString("Software\\Quorvel\\Linkarium\\TTestViewForm", "ReportSelected", "Name");
        auto v = openView();
        QCOMPARE(v->frameGeometry().top(), bar.frameGeometry().bottom() + 1);
        QCOMPARE(v->frameGeometry().left(), area.left());
        QCOMPARE(v->frameGeometry().right(), area.right());
        QCOMPARE(v->frameGeometry().bottom(), area.bottom());
        v->setGeometry(50, 200, 620, 260);
        v->hide();
        v->show();  // shown again in the same run: where the user put it
        QCOMPARE(v->geometry(), QRect(50, 200, 620, 260));
    }

    // A maximised view takes the work area below the main bar, its title bar included.
    void maximisedViewLeavesTheMainBarFree() {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QWidget bar;
        bar.setObjectName("MainForm");
        bar.setGeometry(area.left(), area.top(), area.width(), 80);
        bar.show();
        auto v = openView();
        v->showMaximized();
        QTRY_VERIFY(v->frameGeometry().top() > bar.frameGeometry().bottom());
        QVERIFY(v->frameGeometry().top() <= bar.frameGeometry().bottom() + 2);
        QCOMPARE(v->geometry().bottom(),
                 area.bottom() + (v->frameGeometry().width() - v->width()) / 2);
    }
};

QTEST_MAIN(TestViewPlacement)
#include "tst_viewplacement.moc"
