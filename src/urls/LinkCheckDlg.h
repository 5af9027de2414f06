#pragma once

#include "urls/LinkCheck.h"

#include <QDialog>
#include <QVariantList>

#include <functional>
#include <memory>

class QTimer;
class TConnection;

namespace Ui {
class TLinkCheckForm;
}

// The window of a running link check. It stays open beside the record window, which the
// user goes on working in; the checks are written to the catalogue in batches as they
// come, so that a cancel or a closed window keeps every check done. Closing it cancels.
class TLinkCheckForm final : public QDialog {
    Q_OBJECT
public:
    TLinkCheckForm(TConnection& connection, QWidget* parent = nullptr);
    ~TLinkCheckForm() override;

    TLinkChecker Checker;
    // Told the keys of the records a batch wrote, for the view to show them anew.
    std::function<void(const QVariantList& keys)> OnWritten;
    // Told the summary once the check is over, by itself or cancelled.
    std::function<void(const QString& summary)> OnFinished;

    void Start(const QList<TLinkToCheck>& links);
    void CancelButtonClick();
    // The counts in words: what was checked and what each verdict holds.
    QString Summary() const;
    // Writes what is waiting. When the catalogue refuses, the checks stay waiting and the
    // check goes on; the first refusal in a row is reported (thrown), later ones are not.
    void Flush();
    // Checks an earlier window could not write, to be written with this one's.
    void KeepForWriting(QList<TLinkCheckResult> results);
    QList<TLinkCheckResult> TakeUnwritten();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void checked(const TLinkCheckResult& result);
    void finished(bool cancelled);
    void showCount();

    std::unique_ptr<Ui::TLinkCheckForm> ui;
    TConnection& m_connection;
    QTimer* m_flushTimer;
    QList<TLinkCheckResult> m_waiting;
    int m_counts[6] = {};
    int m_written = 0;
    bool m_cancelled = false;
    // The last refusal of a write, while the checks it refused are still waiting.
    QString m_writeError;
};
