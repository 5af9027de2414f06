#pragma once

#include <QDialog>

#include <functional>
#include <memory>

class QTimer;

namespace Ui {
class TShowProgressForm;
}

// A small modal window that runs one piece of work once it is on screen and closes itself
// when the work ends; "Отмена" asks and then raises Cancelled for the work to read.
class TShowProgressForm final : public QDialog {
    Q_OBJECT
public:
    explicit TShowProgressForm(QWidget* parent = nullptr);
    ~TShowProgressForm() override;

    std::function<void(TShowProgressForm&)> OnWork;
    // Called when the user confirmed the cancel, while the work runs.
    std::function<void()> OnCancel;
    bool Cancelled = false;
    int Step = 1;

    void SetMaximum(int maximum);
    int Maximum() const;
    void StepProgress();
    void CancelButtonClick();

protected:
    void reject() override;

private:
    void TimerTimer();

    std::unique_ptr<Ui::TShowProgressForm> ui;
    QTimer* m_timer;
    bool m_working = false;
};
