#include "platform/db/ServerWait.h"

#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(QList<QEvent::Type>)

namespace {

// Notes the activation events an object gets, in the order it gets them.
class TActivations final : public QObject {
public:
    QList<QEvent::Type> got;

    bool event(QEvent* e) override {
        switch (e->type()) {
            case QEvent::WindowActivate:
            case QEvent::WindowDeactivate:
            case QEvent::ApplicationActivate:
            case QEvent::ApplicationDeactivate:
                got << e->type();
                return true;
            default:
                return QObject::event(e);
        }
    }
};

bool activates(QEvent::Type t) {
    return t == QEvent::WindowActivate || t == QEvent::ApplicationActivate;
}

}  // namespace

// The activations held back during a server wait reach their objects when it ends, and the
// state they leave an object in is the one the window system left it in: the last one.
class TestEventsHeldBack final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void lastStateReachesTheObject_data() {
        QTest::addColumn<QList<QEvent::Type>>("during");
        const QEvent::Type on = QEvent::WindowActivate;
        const QEvent::Type off = QEvent::WindowDeactivate;
        QTest::newRow("activated") << QList<QEvent::Type>{on};
        QTest::newRow("deactivated") << QList<QEvent::Type>{off};
        QTest::newRow("activated, deactivated") << QList<QEvent::Type>{on, off};
        QTest::newRow("deactivated, activated") << QList<QEvent::Type>{off, on};
        QTest::newRow("deactivated, activated, deactivated") << QList<QEvent::Type>{off, on, off};
        QTest::newRow("activated, deactivated, activated") << QList<QEvent::Type>{on, off, on};
        QTest::newRow("program: away, back, away")
            << QList<QEvent::Type>{QEvent::ApplicationDeactivate, QEvent::ApplicationActivate,
                                   QEvent::ApplicationDeactivate};
        QTest::newRow("program: back, away, back")
            << QList<QEvent::Type>{QEvent::ApplicationActivate, QEvent::ApplicationDeactivate,
                                   QEvent::ApplicationActivate};
    }
    void lastStateReachesTheObject() {
        QFETCH(QList<QEvent::Type>, during);
        TActivations target;
        {
            const TEventsHeldBack held;
            for (const QEvent::Type t : during) {
                QEvent e(t);
                QCoreApplication::sendEvent(&target, &e);
            }
            QVERIFY2(target.got.isEmpty(), "an activation got through during the wait");
        }
        QCoreApplication::sendPostedEvents();
        QVERIFY(!target.got.isEmpty());
        // The window reads its state when it gets the event: the last one it gets must be
        // the one that holds now.
        QCOMPARE(target.got.last(), during.last());
        // A window no longer active is not told it was made active (it would merge its
        // menus, read its rows) after the fact.
        if (!activates(during.last())) {
            for (const QEvent::Type t : target.got) {
                QVERIFY2(!activates(t), "an activation that no longer holds was delivered");
            }
        }
    }

    // An object deleted during the wait gets nothing afterwards, and the filter is gone.
    void deletedDuringWait() {
        auto gone = std::make_unique<TActivations>();
        TActivations stays;
        {
            const TEventsHeldBack held;
            QEvent e(QEvent::WindowActivate);
            QCoreApplication::sendEvent(gone.get(), &e);
            gone.reset();
        }
        QCoreApplication::sendPostedEvents();
        QEvent e(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&stays, &e);
        QCOMPARE(stays.got, QList<QEvent::Type>{QEvent::WindowActivate});
    }
};

QTEST_GUILESS_MAIN(TestEventsHeldBack)
#include "tst_eventsheldback.moc"
