#pragma once

#include "common/ServerWaitDlg.h"

// The program's waiting window installed for one test, none again after.
struct TWaitWindowInstalled {
    TServerWaitWindow window;
    TWaitWindowInstalled() { SetServerWait(&window); }
    ~TWaitWindowInstalled() { SetServerWait(nullptr); }
    TWaitWindowInstalled(const TWaitWindowInstalled&) = delete;
    TWaitWindowInstalled& operator=(const TWaitWindowInstalled&) = delete;
};
