#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

// The longest gap between turns of the event loop while it lives: a timer asks for a turn
// every 5 ms, and whatever passes beyond that is time the window went unanswered.
class TLoopGapMeter final {
public:
    TLoopGapMeter() {
        m_beat.setInterval(kBeatMs);
        QObject::connect(&m_beat, &QTimer::timeout, [this]() {
            m_longestMs = std::max(m_longestMs, m_turn.nsecsElapsed() / 1e6 - kBeatMs);
            m_turn.start();
        });
        m_turn.start();
        m_beat.start();
    }
    double LongestMs() const { return m_longestMs; }

private:
    static constexpr int kBeatMs = 5;
    QElapsedTimer m_turn;
    QTimer m_beat;
    double m_longestMs = 0;
};
