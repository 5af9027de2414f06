#include "common/Clock.h"

namespace {
std::function<QDateTime()>& fixedClock() {
    static std::function<QDateTime()> c;
    return c;
}
}  // namespace

QDateTime Now() {
    return fixedClock() ? fixedClock()() : QDateTime::currentDateTime();
}

void SetNowForTesting(std::function<QDateTime()> c) {
    fixedClock() = std::move(c);
}
