#include "common/LinkOpener.h"

#include "common/WebAddress.h"

#include <QDesktopServices>
#include <QElapsedTimer>
#include <QProcess>
#include <QUrl>

#include <memory>

TLinkOpener& TLinkOpener::Instance() {
    // Never destroyed: an opener still running at exit (a browser started in the
    // foreground) would be killed with its process object.
    static TLinkOpener* const opener = new TLinkOpener;
    return *opener;
}

void TLinkOpener::Install() {
    for (const QString& scheme : OpenableSchemes()) {
        QDesktopServices::setUrlHandler(scheme, &Instance(), "open");
    }
}

void TLinkOpener::open(const QUrl& url) {
    const QString address = url.toString(QUrl::FullyEncoded);
    const quint64 opening = ++m_lastOpening;
    auto* process = new QProcess(this);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    connect(
        process, &QProcess::errorOccurred, this,
        [this, process, opening, address](QProcess::ProcessError e) {
            if (e == QProcess::FailedToStart) {
                fail(opening, address,
                     tr("программа %1 не запускается: %2").arg(m_program, process->errorString()));
                process->deleteLater();
            }
        });
    connect(process, &QProcess::finished, this,
            [this, process, opening, address, clock](int, QProcess::ExitStatus) {
                ended(process, opening, address, clock->elapsed() < m_watchMs);
            });
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    // The address begins with its scheme, so the opener never reads it as an option.
    process->start(m_program, {address});
}

void TLinkOpener::fail(quint64 opening, const QString& url, const QString& reason) {
    Q_EMIT OpeningFailed(opening);
    Q_EMIT Failed(url, reason);
}

void TLinkOpener::ended(QProcess* process, quint64 opening, const QString& url, bool watched) {
    process->deleteLater();
    if (!watched) {
        return;
    }
    if (process->exitStatus() == QProcess::CrashExit) {
        fail(opening, url, tr("программа %1 завершилась аварийно").arg(m_program));
        return;
    }
    // The opener's own codes: 3 no program for the address, 4 it failed to open it.
    switch (process->exitCode()) {
        case 0:
            return;
        case 3:
            fail(opening, url, tr("не найдена программа, которая открывает такие адреса"));
            return;
        case 4:
            fail(opening, url, tr("браузер или почтовая программа не смогли открыть адрес"));
            return;
        default:
            fail(opening, url,
                 tr("программа %1 завершилась с кодом %2").arg(m_program).arg(process->exitCode()));
    }
}
