#pragma once

// Shows the wait pointer for the whole application while it lives; the normal pointer
// comes back on every path out of the scope, failures included. Nests.
class THourglass final {
public:
    THourglass();
    ~THourglass();
    THourglass(const THourglass&) = delete;
    THourglass& operator=(const THourglass&) = delete;

private:
    bool m_active = false;
};
