#include "common/Desktop.h"

#include "common/Hourglass.h"
#include "common/WebAddress.h"
#include "platform/Errors.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>

QString URLToOpen(const QString& text) {
    return AddressToOpen(text).url;
}

bool OpenURL(const QString& text) {
    const QString url = URLToOpen(text);
    // The address always begins with its scheme, so the opener can never read it as one of
    // its options.
    return !url.isEmpty() && QDesktopServices::openUrl(QUrl(url, QUrl::TolerantMode));
}

QString OpenURLOrThrow(const QString& text) {
    const TAddressToOpen open = AddressToOpen(text);
    if (open.url.isEmpty()) {
        throw EError(QCoreApplication::translate("UtilsUnit",
                                                 "Адрес не открыт: %1\n"
                                                 "Причина: %2. Открываются только веб-адреса "
                                                 "(http, https, ftp) и почта (mailto).")
                         .arg(text.trimmed(), open.refusal));
    }
    const QUrl url(open.url, QUrl::TolerantMode);
    if (!QDesktopServices::openUrl(url)) {
        throw EError(QCoreApplication::translate("UtilsUnit",
                                                 "Не удалось открыть адрес в браузере: %1\n"
                                                 "Проверьте, какой браузер выбран в системе "
                                                 "по умолчанию.")
                         .arg(open.url));
    }
    return url.toString(QUrl::FullyEncoded);
}

void InstallWaitPointer() {
    SetWaitPointer({[]() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); },
                    []() { QGuiApplication::restoreOverrideCursor(); }});
}
