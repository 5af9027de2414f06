#include "urls/LinkCheckDlg.h"

#include "common/DialogsUnit.h"
#include "common/ProgramOptions.h"
#include "ui_LinkCheckDlg.h"
#include "urls/LinkCheckStore.h"

#include <QCloseEvent>
#include <QPushButton>
#include <QTimer>

#include <utility>

namespace {
// Writing each check alone would spend more in commits than the checks take; a batch
// waits at most this long.
constexpr int kFlushMs = 250;
constexpr int kBatch = 200;
// How often a write the catalogue refused is tried again.
constexpr int kRetryMs = 5000;
}  // namespace

TLinkCheckForm::TLinkCheckForm(TConnection& connection, QWidget* parent)
    : QDialog(parent),
      ui(std::make_unique<Ui::TLinkCheckForm>()),
      m_connection(connection),
      m_flushTimer(new QTimer(this)) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("LinkCheckForm"));
    m_checker.setObjectName(QStringLiteral("LinkChecker"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_flushTimer->setInterval(kFlushMs);
    connect(m_flushTimer, &QTimer::timeout, this, GuardedSlot(this, &TLinkCheckForm::Flush));
    connect(ui->CancelButton, &QPushButton::clicked, this,
            GuardedSlot(this, &TLinkCheckForm::CancelButtonClick));
    connect(&m_checker, &TLinkChecker::Checking, this, [this](const QString& url) {
        ui->URLLabel->setText(
            ui->URLLabel->fontMetrics().elidedText(url, Qt::ElideMiddle, ui->URLLabel->width()));
    });
    connect(&m_checker, &TLinkChecker::Checked, this,
            [this](const TLinkCheckResult& result) { Guarded([&]() { checked(result); }); });
    connect(&m_checker, &TLinkChecker::Finished, this,
            [this](bool cancelled) { Guarded([&]() { finished(cancelled); }); });
}

TLinkCheckForm::~TLinkCheckForm() {
    // Disconnected first: a cancel from here must not call back into a view going away;
    // what was checked is still written.
    disconnect(this, &TLinkCheckForm::Written, nullptr, nullptr);
    disconnect(this, &TLinkCheckForm::Finished, nullptr, nullptr);
    m_checker.disconnect(this);
    m_checker.Cancel();
    Guarded([this]() { Flush(); });
}

void TLinkCheckForm::Start(const QList<TLinkToCheck>& links) {
    ui->ProgressBar->setMaximum(static_cast<int>(links.size()));
    m_flushTimer->start();
    m_checker.Start(links);
    showCount();
}

void TLinkCheckForm::showCount() {
    ui->CountLabel->setText(tr("Проверено %1 из %2").arg(m_checker.Done()).arg(m_checker.Total()));
    ui->ProgressBar->setValue(m_checker.Done());
}

void TLinkCheckForm::checked(const TLinkCheckResult& result) {
    ++m_counts[static_cast<int>(result.verdict)];
    m_waiting.append(result);
    // After a refused write the timer's slower turns try again, not every new answer.
    if (m_waiting.size() >= kBatch && m_writeError.isEmpty()) {
        Flush();
    }
    showCount();
}

void TLinkCheckForm::KeepForWriting(QList<TLinkCheckResult> results) {
    m_waiting = std::move(results) + m_waiting;
}

QList<TLinkCheckResult> TLinkCheckForm::TakeUnwritten() {
    return std::exchange(m_waiting, {});
}

void TLinkCheckForm::Flush() {
    if (m_waiting.isEmpty()) {
        return;
    }
    QVariantList keys;
    try {
        TLinkCheckStore store(m_connection);
        store.History = Options().LinkCheckHistory;
        keys = store.Save(m_waiting);
    } catch (const EError& e) {
        // The checks stay to be written next time and the check goes on; the user is told
        // once, not at every try.
        const bool first = m_writeError.isEmpty();
        m_writeError = e.message();
        m_flushTimer->setInterval(kRetryMs);
        if (first) {
            throw EError(tr("Результаты проверки ссылок (%1) не записаны в каталог; проверка "
                            "продолжается, и они будут записаны при следующей попытке.\n%2")
                             .arg(m_waiting.size())
                             .arg(e.message()));
        }
        return;
    }
    m_waiting.clear();
    m_writeError.clear();
    m_flushTimer->setInterval(kFlushMs);
    m_written += static_cast<int>(keys.size());
    if (!keys.isEmpty()) {
        Q_EMIT Written(keys);
    }
}

void TLinkCheckForm::CancelButtonClick() {
    m_cancelled = true;
    m_checker.Cancel();
}

void TLinkCheckForm::closeEvent(QCloseEvent* event) {
    if (m_checker.Running()) {
        Guarded([this]() { CancelButtonClick(); });
    }
    event->accept();
}

void TLinkCheckForm::finished(bool cancelled) {
    m_flushTimer->stop();
    showCount();
    hide();
    try {
        Flush();
    } catch (const EError&) {
        // Said in the summary, with the checks kept for the next write.
    }
    m_cancelled = m_cancelled || cancelled;
    Q_EMIT Finished(Summary());
}

QString TLinkCheckForm::Summary() const {
    QString text = m_cancelled ? tr("Проверка ссылок прервана.") : tr("Проверка ссылок закончена.");
    text += QLatin1Char('\n') + tr("Проверено ссылок: %1 из %2.")
                                    .arg(m_checker.Done() - m_checker.Skipped())
                                    .arg(m_checker.Total());
    const char* const names[] = {QT_TR_NOOP("Живы"),
                                 QT_TR_NOOP("С ограниченным доступом"),
                                 QT_TR_NOOP("Перемещены"),
                                 QT_TR_NOOP("Ошибка клиента (4xx)"),
                                 QT_TR_NOOP("Ошибка сервера (5xx)"),
                                 QT_TR_NOOP("Недоступны")};
    for (int i = 0; i < 6; ++i) {
        if (m_counts[i] > 0) {
            text += QLatin1Char('\n') + tr("%1: %2").arg(tr(names[i])).arg(m_counts[i]);
        }
    }
    if (!m_waiting.isEmpty()) {
        text += QLatin1Char('\n') +
                tr("Не записаны в каталог результаты проверки: %1. Они будут записаны при "
                   "следующей проверке ссылок в этом окне.\n%2")
                    .arg(m_waiting.size())
                    .arg(m_writeError);
    }
    if (m_checker.Skipped() > 0) {
        text += QLatin1Char('\n') + tr("Не проверялись (file:, mailto: и другие не веб-адреса): %1")
                                        .arg(m_checker.Skipped());
    }
    return text;
}
