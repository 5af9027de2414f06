#pragma once

#include <QApplication>

// The GUI application. Its event delivery is the last line of the error guard: an
// exception that a handler let escape is shown by the default error display instead of
// unwinding through Qt.
class TApplication final : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Names the application so that settings and data go to the program's own folders.
    static void SetIdentity();
};
