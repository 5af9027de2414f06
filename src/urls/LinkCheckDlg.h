#pragma once

#include "urls/LinkCheck.h"

#include <QDialog>
#include <QVariantList>

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

    // The checker at work, its limits set before Start.
    TLinkChecker& Checker() { return m_checker; }
    const TLinkChecker& Checker() const { return m_checker; }

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

Q_SIGNALS:
    // The keys of the records a batch wrote, for the view to show them anew.
    void Written(const QVariantList& keys);
    // The summary, once the check is over, by itself or cancelled.
    void Finished(const QString& summary);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void checked(const TLinkCheckResult& result);
    void finished(bool cancelled);
    void showCount();

    std::unique_ptr<Ui::TLinkCheckForm> ui;
    TLinkChecker m_checker;
    TConnection& m_connection;
    QTimer* m_flushTimer;
    QList<TLinkCheckResult> m_waiting;
    int m_counts[6] = {};
    int m_written = 0;
    bool m_cancelled = false;
    // The last refusal of a write, while the checks it refused are still waiting.
    QString m_writeError;
};
