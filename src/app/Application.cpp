#include "app/Application.h"

#include "common/ConstsUnit.h"
#include "common/Desktop.h"
#include "common/DialogsUnit.h"
#include "common/LinkOpener.h"
#include "common/ServerWaitDlg.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    InstallWaitPointer();
    TLinkOpener::Install();
    InstallServerWaitWindow();
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    bool result = false;
    Guarded([&]() { result = QApplication::notify(receiver, event); });
    return result;
}

void TApplication::SetIdentity() {
    QCoreApplication::setOrganizationName(QStringLiteral("Quorvel"));
    QCoreApplication::setApplicationName(ApplicationTitle);
    QCoreApplication::setApplicationVersion(QStringLiteral(LINKARIUM_VERSION));
    // The desktop finds the entry, and so the icon, of the running window by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.quorvel.Linkarium"));
}
