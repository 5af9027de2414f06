#include "urls/CaptureQueue.h"

#include "common/DialogsUnit.h"
#include "urls/URLViewFrm.h"

#include <QTimer>

TCaptureQueue::TCaptureQueue(TURLViewForm& view, QObject* parent)
    : QObject(parent), m_view(&view) {}

void TCaptureQueue::AddAddress(const QString& address) {
    const TCaptureParse parse = ParseCaptureAddress(address);
    enqueue({parse.Request, parse.Refusal});
}

void TCaptureQueue::Add(const TCaptureRequest& request) {
    enqueue({request, QString()});
}

void TCaptureQueue::enqueue(TItem item) {
    if (static_cast<int>(m_waiting.size()) >= kMaxWaiting) {
        ++m_dropped;
        return;
    }
    m_waiting.push_back(std::move(item));
    // Shown from the event loop: the caller may be a socket's signal, and a dialog open
    // now waits for the one before it to close.
    QTimer::singleShot(0, this, &TCaptureQueue::showNext);
}

void TCaptureQueue::showNext() {
    if (m_showing || !m_view) {
        return;
    }
    m_showing = true;
    while (!m_waiting.empty() && m_view) {
        const TItem item = m_waiting.front();
        m_waiting.pop_front();
        // One request that fails (the catalogue gone, say) is said and the next still shown.
        Guarded([this, &item]() {
            m_view->show();
            m_view->raise();
            m_view->activateWindow();
            if (!item.refusal.isEmpty()) {
                ShowError(tr("Переданная ссылка не принята: %1").arg(item.refusal), m_view);
            } else {
                m_view->AddCaptured(item.request);
            }
        });
        if (m_dropped > 0 && m_view) {
            ShowInformation(tr("Ссылок пришло больше, чем программа держит в очереди (%1): "
                               "не открыто ссылок: %2.")
                                .arg(kMaxWaiting)
                                .arg(m_dropped),
                            m_view);
            m_dropped = 0;
        }
    }
    m_showing = false;
}
