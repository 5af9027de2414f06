#include "common/Hourglass.h"

#include <QCursor>
#include <QGuiApplication>

THourglass::THourglass() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        m_active = true;
    }
}

THourglass::~THourglass() {
    if (m_active) {
        QGuiApplication::restoreOverrideCursor();
    }
}
