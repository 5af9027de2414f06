#include "platform/db/ServerWait.h"

#include <QCoreApplication>

namespace {
TServerWait*& installed() {
    static TServerWait* wait = nullptr;
    return wait;
}
}  // namespace

void SetServerWait(TServerWait* wait) {
    installed() = wait;
}

TServerWait* ServerWait() {
    return installed();
}

TQuietServerWait::TQuietServerWait() : m_previous(ServerWait()) {
    SetServerWait(this);
}

TQuietServerWait::~TQuietServerWait() {
    SetServerWait(m_previous);
}

bool TQuietServerWait::Waiting(const QString& server, qint64 elapsedMs) {
    (void)server;
    (void)elapsedMs;
    if (m_previous) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                        QEventLoop::ExcludeSocketNotifiers |
                                        QEventLoop::X11ExcludeTimers);
    }
    return false;
}
