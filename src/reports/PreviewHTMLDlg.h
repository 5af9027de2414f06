#pragma once

#include "reports/MailingParameters.h"
#include "reports/ReportMailer.h"
#include "reports/ReportWriter.h"

#include <QDialog>

#include <functional>
#include <memory>

class QAction;
class QLabel;
class QPrinter;
class QToolBar;
class TSendInfoForm;
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

    QAction* actSendEMail;
    QAction* actSaveHTML;
    QAction* actPageSetup;
    QAction* actPrint;
    QAction* actPriorSection;
    QAction* actNextSection;
    // The page's size on the screen only; what is printed, saved or sent is unchanged.
    QAction* actZoomIn;
    QAction* actZoomOut;
    QAction* actZoomReset;
    QToolBar* ToolBar;
    // Steps above the browser's own size: the report's "font size=1" cells are readable.
    static constexpr int DefaultZoom = 3;
    int Zoom() const { return m_zoom; }
    QPrinter& Printer() { return *m_printer; }

    // The view's title: the file name "Сохранить" proposes.
    QString ReportTitle;

    // Kept between two sends of the same preview.
    TMailingParameters MailingParameters;
    TReportMailer Mailer;

    // Runs the mailing parameters dialog; tests answer it instead.
    std::function<int(TSendInfoForm&, TMailingParameters&)> RunSendDialog;

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

    std::unique_ptr<Ui::TPreviewHTMLForm> ui;
    std::unique_ptr<QPrinter> m_printer;
    QString m_html;
    QString m_produced;
    TReportParts m_parts;
    int m_section = 0;
    int m_zoom = 0;
    void zoomTo(int level);
    QLabel* m_sectionLabel = nullptr;
    QAction* m_sectionAction = nullptr;
    QAction* m_sectionSeparator = nullptr;
};
