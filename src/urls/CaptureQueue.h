#pragma once

#include "urls/CaptureRequest.h"

#include <QObject>
#include <QPointer>

#include <deque>

class TURLViewForm;

// Links handed over from outside, shown one at a time: a page that fires many requests
// gets one record dialog, at most kMaxWaiting more in turn, and one note of how many were
// dropped, never a pile of windows.
class TCaptureQueue final : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxWaiting = 10;

    explicit TCaptureQueue(TURLViewForm& view, QObject* parent = nullptr);

    // A request as a later start or the desktop hands it over ("linkarium:add?..."); a
    // malformed one is refused with a message in its turn.
    void AddAddress(const QString& address);
    void Add(const TCaptureRequest& request);

private:
    struct TItem {
        TCaptureRequest request;
        QString refusal;
    };
    void enqueue(TItem item);
    void showNext();

    QPointer<TURLViewForm> m_view;
    std::deque<TItem> m_waiting;
    bool m_showing = false;
    int m_dropped = 0;
};
