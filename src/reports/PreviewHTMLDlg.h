#pragma once

#include "reports/MailingParameters.h"
#include "reports/ReportMailer.h"
#include "reports/ReportWriter.h"

#include <QDialog>

#include <memory>

class QAction;
class QLabel;
class QPrinter;
class TShowProgressForm;

namespace Ui {
class TPreviewHTMLForm;
}

// Shows a report page and sends it by e-mail, saves, sets up the page and prints it.
class TPreviewHTMLForm final : public QDialog {
    Q_OBJECT
public:
    explicit TPreviewHTMLForm(QWidget* parent = nullptr);
    ~TPreviewHTMLForm() override;

    // Steps above the browser's own size: the report's "font size=1" cells are readable.
    static constexpr int DefaultZoom = 3;
    int Zoom() const { return m_zoom; }
    QPrinter& Printer() { return *m_printer; }

    // The view's title: the file name "Сохранить" proposes.
    void SetReportTitle(const QString& title) { m_reportTitle = title; }
    // What sends the page; its tag marks the sends in the mail log.
    const TReportMailer& Mailer() const { return m_mailer; }

    // The page as handed over; the text after the template pass is what is shown and mailed.
    void SetHTML(const QString& text);
    QString HTML() const { return m_html; }
    QString ProducedText() const { return m_produced; }
    QString ShownText() const;

    // A long report is shown a thousand records at a time; saving, printing and mailing
    // always take the whole page.
    static constexpr int RowsPerSection = 1000;
    int SectionCount() const;
    void ShowSection(int section);

    void actSendEMailExecute();
    void actSaveHTMLExecute();
    void actPageSetupExecute();
    void actPrintExecute();
    // The work of the progress window: one message to the recipient, one step.
    void SendOne(TShowProgressForm& progress);

    // The saved form of a page: its lines, each ending in CR LF.
    static void SavePage(const QString& page, const QString& fileName);
    // A file name without extension gets ".htm".
    // The view's title, made safe for a file name, in the user's documents folder.
    QString ProposedFileName() const;
    static QString WithDefaultExtension(const QString& fileName);

private:
    void createActions();
    void showPage(const QString& html);
    void showPriorSection();
    void showNextSection();
    void zoomTo(int level);

    std::unique_ptr<Ui::TPreviewHTMLForm> ui;
    std::unique_ptr<QPrinter> m_printer;
    QString m_reportTitle;
    // Kept between two sends of the same preview.
    TMailingParameters m_mailing;
    TReportMailer m_mailer;
    QString m_html;
    QString m_produced;
    TReportParts m_parts;
    int m_section = 0;
    int m_zoom = 0;
    QAction* m_priorSection = nullptr;
    QAction* m_nextSection = nullptr;
    QLabel* m_sectionLabel = nullptr;
    QAction* m_sectionAction = nullptr;
    QAction* m_sectionSeparator = nullptr;
};
