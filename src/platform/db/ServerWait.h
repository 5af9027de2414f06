#pragma once

#include <QtGlobal>

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
};

// The wait every server call uses; null for none. The caller keeps it alive while installed.
void SetServerWait(TServerWait* wait);
TServerWait* ServerWait();

// While it lives, server calls wait without a window: for work the user did not ask for
// (opening an ended session again in the background), which must neither put a window up
// nor take the user's input. The windows keep painting when a wait was installed.
class TQuietServerWait final : public TServerWait {
public:
    TQuietServerWait();
    ~TQuietServerWait() override;
    TQuietServerWait(const TQuietServerWait&) = delete;
    TQuietServerWait& operator=(const TQuietServerWait&) = delete;
    bool Waiting(const QString& server, qint64 elapsedMs) override;
    void Finished() override {}

private:
    TServerWait* m_previous;
};
