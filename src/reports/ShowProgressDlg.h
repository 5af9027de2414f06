#pragma once

#include <QDialog>

#include <memory>

class QTimer;

namespace Ui {
class TShowProgressForm;
}

// A small modal window that runs one piece of work once it is on screen and closes itself
// when the work ends; "Отмена" asks and then signals the cancel to the work.
class TShowProgressForm final : public QDialog {
    Q_OBJECT
public:
    explicit TShowProgressForm(QWidget* parent = nullptr);
    ~TShowProgressForm() override;

    void SetMaximum(int maximum);
    int Maximum() const;
    void StepProgress();
    void CancelButtonClick();

Q_SIGNALS:
    // The work, run once the window is on screen; the window closes when it returns.
    void working();
    // The user confirmed the cancel while the work runs.
    void cancelled();

protected:
    void reject() override;

private:
    void TimerTimer();

    std::unique_ptr<Ui::TShowProgressForm> ui;
    QTimer* m_timer;
    bool m_working = false;
    bool m_cancelled = false;
};
