#pragma once

#include <QDateTime>

#include <functional>

// "Today" as the program sees it; tests fix it to make date rules repeatable.
QDateTime Now();
void SetNowForTesting(std::function<QDateTime()> clock);
