#pragma once

#include "urls/ImportPreview.h"
#include "urls/ImportPreviewModel.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TImportPreviewForm;
}

// What an import read, entry by entry with its verdict, before anything is written: the
// counts, a filter by verdict, the options that change the verdicts, and the list saved as
// a report. "Импортировать" accepts; the import itself is the caller's.
class TImportPreviewForm final : public QDialog {
    Q_OBJECT
public:
    TImportPreviewForm(TImportPreview& preview, const TImportOptions& options,
                       QWidget* parent = nullptr);
    ~TImportPreviewForm() override;

    // The options as the window shows them.
    TImportOptions Options() const;
    // Classifies the entries anew under the shown options.
    void ApplyOptions();
    void SetVerdictFilter(int verdict);
    // Writes the list to a file: CSV for a name ending in ".csv", text otherwise.
    void SaveReport(const QString& fileName);
    void SaveReportButtonClick();
    QString CountsText() const;
    TImportPreviewModel& Model() { return *m_model; }
    // The entries shown, as the import read them.
    const TImportPreview& Preview() const { return m_preview; }

private:
    std::unique_ptr<Ui::TImportPreviewForm> ui;
    TImportPreview& m_preview;
    TImportPreviewModel* m_model;
};
