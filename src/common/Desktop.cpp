#include "common/Desktop.h"

#include "common/Hourglass.h"
#include "platform/Errors.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>

QString URLToOpen(const QString& text) {
    if (text.contains(QLatin1String("//"))) {
        return text;
    }
    return QStringLiteral("http://") + text;
}

bool OpenURL(const QString& text) {
    return QDesktopServices::openUrl(QUrl(URLToOpen(text), QUrl::TolerantMode));
}

void OpenURLOrThrow(const QString& text) {
    if (!OpenURL(text)) {
        throw EError(QCoreApplication::translate("UtilsUnit",
                                                 "Не удалось открыть адрес в браузере: %1\n"
                                                 "Проверьте, какой браузер выбран в системе "
                                                 "по умолчанию.")
                         .arg(URLToOpen(text)));
    }
}

void InstallWaitPointer() {
    SetWaitPointer({[]() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); },
                    []() { QGuiApplication::restoreOverrideCursor(); }});
}
