#pragma once

#include "platform/db/ServerWait.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TServerWaitDialog;
}

// The window a server call waits behind once it has taken a second: it says which server
// is awaited and for how long, and "Отмена" (or Escape) gives the call up.
class TServerWaitDialog final : public QDialog {
    Q_OBJECT
public:
    explicit TServerWaitDialog(QWidget* parent = nullptr);
    ~TServerWaitDialog() override;

    void Show(const QString& server, qint64 elapsedMs);
    bool CancelAsked() const { return m_cancelAsked; }

protected:
    void reject() override;

private:
    void cancelClicked();

    std::unique_ptr<Ui::TServerWaitDialog> ui;
    bool m_cancelAsked = false;
};

// Keeps the windows painting while a server call waits, and puts up TServerWaitDialog
// after a second. Until then the user's input waits in the queue; the window shown takes it
// itself, as a modal window, so nothing the user does can start a second call meanwhile.
// Timers and socket notifiers wait as well: the work they start would need the server too,
// and so do the windows' activations (TEventsHeldBack).
class TServerWaitWindow final : public TServerWait {
public:
    TServerWaitWindow();
    ~TServerWaitWindow() override;
    bool Waiting(const QString& server, qint64 elapsedMs) override;
    void Finished() override;

private:
    std::unique_ptr<TServerWaitDialog> m_dialog;
    std::unique_ptr<TEventsHeldBack> m_held;
};

// Installs the waiting window for every server call of the program.
void InstallServerWaitWindow();
