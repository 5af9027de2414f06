#pragma once

#include <QString>

#include <functional>

class QAction;
class QWidget;

// A command of a record view: named for the tests and the help, its hint as tip and status
// text, its shortcut heard anywhere in the window, its handler kept from throwing into Qt.
QAction* MakeViewCommand(QWidget* window, const char* name, const QString& caption,
                         const QString& hint, const std::function<void()>& handler);
