#include "common/ServerWaitDlg.h"

#include "ui_ServerWaitDlg.h"

#include <QApplication>
#include <QPushButton>

namespace {
// How long a call may take before its window appears: shorter waits pass unseen.
constexpr qint64 kShownAfterMs = 1000;
}  // namespace

TServerWaitDialog::TServerWaitDialog(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TServerWaitDialog>()) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("ServerWaitDialog"));
    setWindowModality(Qt::ApplicationModal);
    connect(ui->CancelButton, &QPushButton::clicked, this, &TServerWaitDialog::cancelClicked);
}

TServerWaitDialog::~TServerWaitDialog() = default;

void TServerWaitDialog::Show(const QString& server, qint64 elapsedMs) {
    const QString text =
        m_cancelAsked ? tr("Сервер %1 получил просьбу отменить команду; ожидание его ответа: %2 с…")
                      : tr("Ожидание ответа сервера %1: %2 с…");
    ui->WaitLabel->setText(text.arg(server).arg(elapsedMs / 1000));
    if (!isVisible()) {
        show();
        ui->CancelButton->setFocus();
    }
}

void TServerWaitDialog::reject() {
    // Escape and the window's close button ask what "Отмена" asks; the window goes when the
    // call has ended.
    cancelClicked();
}

void TServerWaitDialog::cancelClicked() {
    m_cancelAsked = true;
    ui->CancelButton->setEnabled(false);
}

TServerWaitWindow::TServerWaitWindow() = default;

TServerWaitWindow::~TServerWaitWindow() = default;

bool TServerWaitWindow::Waiting(const QString& server, qint64 elapsedMs) {
    if (!m_held) {
        m_held = std::make_unique<TEventsHeldBack>([this](QObject* watched) {
            const auto* widget = qobject_cast<const QWidget*>(watched);
            return m_dialog && widget &&
                   (widget == m_dialog.get() || m_dialog->isAncestorOf(widget));
        });
    }
    QEventLoop::ProcessEventsFlags flags =
        QEventLoop::ExcludeSocketNotifiers | QEventLoop::X11ExcludeTimers;
    if (elapsedMs >= kShownAfterMs) {
        if (!m_dialog) {
            m_dialog = std::make_unique<TServerWaitDialog>(QApplication::activeWindow());
        }
        m_dialog->Show(server, elapsedMs);
    } else {
        flags |= QEventLoop::ExcludeUserInputEvents;
    }
    QCoreApplication::processEvents(flags);
    return m_dialog && m_dialog->CancelAsked();
}

void TServerWaitWindow::Finished() {
    m_dialog.reset();
    // What was held back reaches its windows now.
    m_held.reset();
}

void InstallServerWaitWindow() {
    static TServerWaitWindow window;
    SetServerWait(&window);
}
