#include "reports/ShowProgressDlg.h"

#include "common/DialogsUnit.h"
#include "ui_ShowProgressDlg.h"

#include <QPushButton>
#include <QTimer>

TShowProgressForm::TShowProgressForm(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TShowProgressForm>()), m_timer(new QTimer(this)) {
    ui->setupUi(this);
    m_timer->setObjectName(QStringLiteral("Timer"));
    m_timer->setInterval(100);
    connect(m_timer, &QTimer::timeout, this, &TShowProgressForm::TimerTimer);
    connect(ui->CancelButton, &QPushButton::clicked, this, &TShowProgressForm::CancelButtonClick);
    m_timer->start();
}

TShowProgressForm::~TShowProgressForm() = default;

void TShowProgressForm::SetMaximum(int maximum) {
    ui->ProgressBar->setMaximum(maximum);
}

int TShowProgressForm::Maximum() const {
    return ui->ProgressBar->maximum();
}

void TShowProgressForm::StepProgress() {
    ui->ProgressBar->setValue(qMin(ui->ProgressBar->value() + 1, ui->ProgressBar->maximum()));
}

void TShowProgressForm::CancelButtonClick() {
    if (m_cancelled || !ConfirmYesNo(tr("Прервать текущую операцию?"), this)) {
        return;
    }
    m_cancelled = true;
    Q_EMIT cancelled();
}

// Esc and the close box mean the same as the button; the window itself closes only when
// the work is over.
void TShowProgressForm::reject() {
    if (m_working) {
        CancelButtonClick();
        return;
    }
    QDialog::reject();
}

void TShowProgressForm::TimerTimer() {
    if (!isVisible()) {
        return;
    }
    m_timer->stop();
    m_working = true;
    Guarded([this]() { Q_EMIT working(); });
    m_working = false;
    accept();
}
