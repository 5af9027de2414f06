#include "common/DialogsUnit.h"
#include "common/ExForm.h"
#include "support/TestEnvironment.h"

#include <QDialog>
#include <QtTest>

namespace {
QStringList calls;

class TProbeForm final : public TExForm {
public:
    explicit TProbeForm(QString name) : m_name(std::move(name)) {}

protected:
    void IdleUpdate() override { calls << m_name; }

private:
    QString m_name;
};
}  // namespace

class TestExForm final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        calls.clear();
        SetApplicationOnIdle([]() { calls << QStringLiteral("app"); });
    }
    void cleanup() { SetApplicationOnIdle(nullptr); }

    void chainsNewestFirstAndRestores() {
        {
            TProbeForm a(QStringLiteral("a"));
            {
                TProbeForm b(QStringLiteral("b"));
                RunApplicationIdle();
                QCOMPARE(calls, (QStringList{"b", "a", "app"}));
            }
            calls.clear();
            RunApplicationIdle();
            QCOMPARE(calls, (QStringList{"a", "app"}));
        }
        calls.clear();
        RunApplicationIdle();
        QCOMPARE(calls, QStringList{"app"});
    }

    void formDestroyedOutOfOrderUnlinksItself() {
        auto a = std::make_unique<TProbeForm>(QStringLiteral("a"));
        auto b = std::make_unique<TProbeForm>(QStringLiteral("b"));
        auto c = std::make_unique<TProbeForm>(QStringLiteral("c"));
        b.reset();
        RunApplicationIdle();
        QCOMPARE(calls, (QStringList{"c", "a", "app"}));
        c.reset();
        a.reset();
        calls.clear();
        RunApplicationIdle();
        QCOMPARE(calls, QStringList{"app"});
    }

    void runsWhenTheEventLoopIdles() {
        TProbeForm a(QStringLiteral("a"));
        // A real loop that waits: the idle hook fires when it is about to block.
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
        QVERIFY(calls.contains(QStringLiteral("a")));
    }

    // A maximised window that was minimised comes back maximised.
    void restoredMinimizedWindowKeepsItsState() {
        QWidget w;
        w.showMaximized();
        w.setWindowState(w.windowState() | Qt::WindowMinimized);
        QVERIFY(w.isMinimized());
        RestoreMinimized(&w);
        QVERIFY(!w.isMinimized());
        QVERIFY(w.isMaximized());
        QVERIFY(w.isVisible());
    }

    // Dialogs open centred on their window; below the main bar rather than over its menu.
    void dialogsOpenOverTheirWindow_data() {
        QTest::addColumn<QRect>("owner");
        QTest::addColumn<bool>("below");
        QTest::newRow("a window taller than the dialog") << QRect(40, 60, 700, 500) << false;
        QTest::newRow("the main bar") << QRect(0, 0, 800, 60) << true;
    }
    void dialogsOpenOverTheirWindow() {
        QFETCH(QRect, owner);
        QFETCH(bool, below);
        QWidget window;
        window.setGeometry(owner);
        window.show();
        QDialog dialog(&window);
        dialog.resize(300, 200);
        PlaceOverOwner(&dialog);
        const QRect placed(dialog.pos(), dialog.frameGeometry().size());
        QVERIFY(qAbs(placed.center().x() - window.frameGeometry().center().x()) <= 1);
        if (below) {
            QVERIFY(placed.top() > window.frameGeometry().bottom());
        } else {
            QVERIFY(qAbs(placed.center().y() - window.frameGeometry().center().y()) <= 1);
        }
    }
};

QTEST_MAIN(TestExForm)
#include "tst_exform.moc"
