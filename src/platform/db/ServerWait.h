#pragma once

#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

// What the program does while a server works on a call: keeps its windows painting, shows
// after a while that it waits, and lets the user give up. The windows' layer installs one
// (SetServerWait); without one a call waits without a window, within the same limits.
class TServerWait {
public:
    virtual ~TServerWait() = default;
    // Called every few hundredths of a second while a call waits, with the server's name and
    // the time waited so far; true once the user has asked to give up the call.
    virtual bool Waiting(const QString& server, qint64 elapsedMs) = 0;
    // The call waited for has ended, however it ended.
    virtual void Finished() = 0;
    // Work nobody asked for: a call it gives up is given up at once, without waiting for the
    // server to confirm the cancel.
    virtual bool Background() const { return false; }
};

// The wait every server call uses; null for none. The caller keeps it alive while installed.
void SetServerWait(TServerWait* wait);
TServerWait* ServerWait();

// While it lives, the events that make a window read from the catalogue (a window becoming
// the active one, the program coming back to the front) wait: handled inside a server call,
// they would start a second call on the same session. They reach their windows when it
// ends. Events for the objects allowed (the waiting window itself) pass.
class TEventsHeldBack final : public QObject {
public:
    explicit TEventsHeldBack(std::function<bool(QObject*)> allowed = {});
    ~TEventsHeldBack() override;
    TEventsHeldBack(const TEventsHeldBack&) = delete;
    TEventsHeldBack& operator=(const TEventsHeldBack&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<bool(QObject*)> m_allowed;
    std::vector<std::pair<QPointer<QObject>, QEvent::Type>> m_held;
};

// While it lives, server calls wait without a window: for work the user did not ask for
// (opening an ended session again in the background), which must neither put a window up
// nor take the user's input, so it gives up once its calls together have taken 2 s. The
// windows keep painting when a wait was installed.
class TQuietServerWait final : public TServerWait {
public:
    TQuietServerWait();
    ~TQuietServerWait() override;
    TQuietServerWait(const TQuietServerWait&) = delete;
    TQuietServerWait& operator=(const TQuietServerWait&) = delete;
    bool Waiting(const QString& server, qint64 elapsedMs) override;
    void Finished() override {}
    bool Background() const override { return true; }
    // Its time ran out: it gave a call up.
    bool Exhausted() const { return m_exhausted; }

private:
    TServerWait* m_previous;
    bool m_exhausted = false;
    TEventsHeldBack m_held;
    QElapsedTimer m_clock;
};
