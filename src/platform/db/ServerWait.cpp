#include "platform/db/ServerWait.h"

#include <QCoreApplication>

#include <algorithm>

namespace {
TServerWait*& installed() {
    static TServerWait* wait = nullptr;
    return wait;
}

// How long the background may keep the user's input waiting, all its calls together.
constexpr qint64 kBackgroundBudgetMs = 2000;
}  // namespace

void SetServerWait(TServerWait* wait) {
    installed() = wait;
}

TServerWait* ServerWait() {
    return installed();
}

TEventsHeldBack::TEventsHeldBack(std::function<bool(QObject*)> allowed)
    : m_allowed(std::move(allowed)) {
    if (QCoreApplication* application = QCoreApplication::instance()) {
        application->installEventFilter(this);
    }
}

TEventsHeldBack::~TEventsHeldBack() {
    if (QCoreApplication* application = QCoreApplication::instance()) {
        application->removeEventFilter(this);
    }
    for (const auto& held : m_held) {
        if (held.first) {
            QCoreApplication::postEvent(held.first, new QEvent(held.second));
        }
    }
}

bool TEventsHeldBack::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::ActivationChange && type != QEvent::WindowActivate &&
        type != QEvent::WindowDeactivate && type != QEvent::ApplicationActivate &&
        type != QEvent::ApplicationDeactivate) {
        return false;
    }
    if (m_allowed && m_allowed(watched)) {
        return false;
    }
    // One of each kind per object is enough: the window reads its state when it gets it.
    // Of a window's (or the program's) activation and deactivation only the last holds: the
    // other one, held before it, would leave the object in a state it is no longer in.
    const QEvent::Type opposite =
        type == QEvent::WindowActivate          ? QEvent::WindowDeactivate
        : type == QEvent::WindowDeactivate      ? QEvent::WindowActivate
        : type == QEvent::ApplicationActivate   ? QEvent::ApplicationDeactivate
        : type == QEvent::ApplicationDeactivate ? QEvent::ApplicationActivate
                                                : QEvent::None;
    m_held.erase(std::remove_if(m_held.begin(), m_held.end(),
                                [&](const auto& held) {
                                    return held.first == watched && held.second == opposite;
                                }),
                 m_held.end());
    const auto same = [&](const auto& held) {
        return held.first == watched && held.second == type;
    };
    if (std::none_of(m_held.begin(), m_held.end(), same)) {
        m_held.emplace_back(watched, type);
    }
    return true;
}

TQuietServerWait::TQuietServerWait() : m_previous(ServerWait()) {
    SetServerWait(this);
    m_clock.start();
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
    m_exhausted = m_exhausted || m_clock.elapsed() >= kBackgroundBudgetMs;
    return m_exhausted;
}
