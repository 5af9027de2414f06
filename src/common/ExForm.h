#pragma once

#include <QDialog>

#include <functional>

using TIdleHandler = std::function<void()>;

// The application's idle handler: run whenever the event loop is about to wait.
void SetApplicationOnIdle(TIdleHandler handler);
// Runs the installed handler once; the event loop does this by itself.
void RunApplicationIdle();

// Shows a minimised window again in the state it had before: a maximised window comes
// back maximised (showNormal would also undo that).
void RestoreMinimized(QWidget* window);

// Form base that keeps its window state current while the application is idle: it
// chains its own idle handler in front of the one installed before it and puts that one
// back when it is destroyed. Forms are normally destroyed in the reverse order of their
// creation; one destroyed out of order unlinks itself so the chain never calls a dead form.
class TExForm : public QDialog {
    Q_OBJECT
public:
    explicit TExForm(QWidget* parent = nullptr);
    ~TExForm() override;

protected:
    virtual void IdleUpdate() {}
    void showEvent(QShowEvent* event) override;

private:
    void IdleHandler();

    TIdleHandler m_previous;
    TExForm* m_previousForm = nullptr;
};
