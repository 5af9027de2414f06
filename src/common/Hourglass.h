#pragma once

// Shows the wait pointer for the whole application while it lives; the normal pointer
// comes back on every path out of the scope, failures included. Nests. The pointer
// itself belongs to the window system: the gui installs it (SetWaitPointer); a program
// without windows waits without one.
class THourglass final {
public:
    THourglass();
    ~THourglass();
    THourglass(const THourglass&) = delete;
    THourglass& operator=(const THourglass&) = delete;

private:
    bool m_active = false;
};

// The pair of calls that puts up the wait pointer and takes it back.
struct TWaitPointer {
    void (*show)() = nullptr;
    void (*restore)() = nullptr;
};
void SetWaitPointer(TWaitPointer pointer);
