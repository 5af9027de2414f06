#pragma once

#include "urls/LinkExport.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TExportForm;
}

// Where and how to export: the format, the records in view or all of them, the target
// file or folder, and the format's own options. OK accepts when a target is named; the
// export itself is the caller's.
class TExportForm final : public QDialog {
    Q_OBJECT
public:
    TExportForm(int inView, int all, QWidget* parent = nullptr);
    ~TExportForm() override;

    TExportOptions Options() const;
    bool AllRecords() const;
    QString Target() const;
    void SetFormat(TExportFormat format);
    void SetTarget(const QString& target);
    void BrowseButtonClick();
    void OkButtonClick();

private:
    void formatChanged();

    std::unique_ptr<Ui::TExportForm> ui;
};
