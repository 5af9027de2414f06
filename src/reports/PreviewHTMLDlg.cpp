#include "reports/PreviewHTMLDlg.h"

#include "common/DialogsUnit.h"
#include "common/DrawnIcons.h"
#include "common/Hourglass.h"
#include "reports/ReportWriter.h"
#include "reports/SendInfoDlg.h"
#include "reports/ShowProgressDlg.h"
#include "ui_PreviewHTMLDlg.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPageLayout>
#include <QPrinter>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStyle>
#include <QTextDocument>
#include <QToolBar>
#include <QToolButton>

#include <functional>

TPreviewHTMLForm::TPreviewHTMLForm(QWidget* parent)
    : QDialog(parent),
      ui(std::make_unique<Ui::TPreviewHTMLForm>()),
      m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint);
    setWindowState(Qt::WindowMaximized);
    // Page setup proposes 15 mm on every side.
    m_printer->setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    createActions();
    zoomTo(DefaultZoom);
}

void TPreviewHTMLForm::zoomTo(int level) {
    level = qBound(-4, level, 16);
    ui->WebBrowser->zoomIn(level - m_zoom);
    m_zoom = level;
}

TPreviewHTMLForm::~TPreviewHTMLForm() = default;

void TPreviewHTMLForm::createActions() {
    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("ToolBar"));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ui->MainLayout->insertWidget(0, bar);
    const auto make = [this, bar](const char* name, const QString& hint, const QIcon& icon,
                                  void (TPreviewHTMLForm::*handler)()) {
        auto* a = new QAction(icon, hint, this);
        a->setObjectName(QLatin1String(name));
        a->setToolTip(hint);
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this,
                [this, handler]() { Guarded([this, handler]() { (this->*handler)(); }); });
        addAction(a);
        bar->addAction(a);
        return a;
    };
    const auto themed = [this](const char* theme, QStyle::StandardPixmap fallback) {
        return QIcon::fromTheme(QLatin1String(theme), style()->standardIcon(fallback));
    };
    auto* sendEMail = make("actSendEMail", tr("Отправить сообщение"),
                           ThemeOrDrawnIcon("mail-send", TDrawnIcon::Envelope),
                           &TPreviewHTMLForm::actSendEMailExecute);
    sendEMail->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    auto* saveHTML =
        make("actSaveHTML", tr("Сохранить"), themed("document-save", QStyle::SP_DialogSaveButton),
             &TPreviewHTMLForm::actSaveHTMLExecute);
    saveHTML->setShortcut(QKeySequence(Qt::ALT | Qt::Key_S));
    bar->addSeparator();
    make("actPageSetup", tr("Параметры страницы"),
         ThemeOrDrawnIcon("document-page-setup", TDrawnIcon::PageSetup),
         &TPreviewHTMLForm::actPageSetupExecute);
    auto* print =
        make("actPrint", tr("Печать"), ThemeOrDrawnIcon("document-print", TDrawnIcon::Printer),
             &TPreviewHTMLForm::actPrintExecute);
    print->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    bar->addSeparator();
    m_priorSection =
        make("actPriorSection", tr("Предыдущие записи"),
             themed("go-previous", QStyle::SP_ArrowBack), &TPreviewHTMLForm::showPriorSection);
    m_priorSection->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp));
    m_sectionLabel = new QLabel(bar);
    m_sectionLabel->setObjectName(QStringLiteral("SectionLabel"));
    m_sectionLabel->setContentsMargins(6, 0, 6, 0);
    m_sectionAction = bar->addWidget(m_sectionLabel);
    m_nextSection =
        make("actNextSection", tr("Следующие записи"), themed("go-next", QStyle::SP_ArrowForward),
             &TPreviewHTMLForm::showNextSection);
    m_nextSection->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown));
    m_sectionSeparator = bar->addSeparator();
    const auto zoom = [this](const char* name, const QString& hint, const QList<QKeySequence>& keys,
                             const std::function<void()>& step) {
        auto* a = new QAction(hint, this);
        a->setObjectName(QLatin1String(name));
        a->setShortcuts(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, step);
        addAction(a);
    };
    // The page's size on the screen only; what is printed, saved or sent is unchanged.
    zoom("actZoomIn", tr("Крупнее"),
         {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
         [this]() { zoomTo(m_zoom + 1); });
    zoom("actZoomOut", tr("Мельче"), {QKeySequence(Qt::CTRL | Qt::Key_Minus)},
         [this]() { zoomTo(m_zoom - 1); });
    zoom("actZoomReset", tr("Обычный размер"), {QKeySequence(Qt::CTRL | Qt::Key_0)},
         [this]() { zoomTo(DefaultZoom); });
    auto* close = new QToolButton(bar);
    close->setObjectName(QStringLiteral("CloseButton"));
    close->setText(tr("Закрыть"));
    close->setAutoRaise(true);
    connect(close, &QToolButton::clicked, this, &QDialog::accept);
    bar->addWidget(close);
}

void TPreviewHTMLForm::SetHTML(const QString& text) {
    m_html = text;
    m_produced = ProducePage(text);
    m_parts = SplitReportRows(m_produced);
    // Relative image sources in the page are files of the current directory.
    ui->WebBrowser->setSearchPaths({QDir::currentPath()});
    ShowSection(0);
}

int TPreviewHTMLForm::SectionCount() const {
    return qMax(1, static_cast<int>((m_parts.Rows.size() + RowsPerSection - 1) / RowsPerSection));
}

void TPreviewHTMLForm::showPage(const QString& html) {
    ui->WebBrowser->document()->setBaseUrl(
        QUrl::fromLocalFile(QDir::currentPath() + QLatin1Char('/')));
    ui->WebBrowser->setHtml(html);
}

// Laying out a table costs far more per row than anything else in the page, so a long
// report is shown in parts of the same table; the user pages through them.
void TPreviewHTMLForm::ShowSection(int section) {
    const int count = SectionCount();
    m_section = qBound(0, section, count - 1);
    const bool parted = count > 1;
    m_priorSection->setVisible(parted);
    m_nextSection->setVisible(parted);
    m_sectionAction->setVisible(parted);
    m_sectionSeparator->setVisible(parted);
    if (!parted) {
        showPage(m_produced);
        return;
    }
    const int first = m_section * RowsPerSection;
    const int last = qMin(static_cast<int>(m_parts.Rows.size()), first + RowsPerSection);
    QString html = m_parts.Head;
    for (int i = first; i < last; ++i) {
        html += m_parts.Rows.at(i);
    }
    html += m_parts.Tail;
    showPage(html);
    m_sectionLabel->setText(
        tr("Записи %1–%2 из %3").arg(first + 1).arg(last).arg(m_parts.Rows.size()));
    m_priorSection->setEnabled(m_section > 0);
    m_nextSection->setEnabled(m_section < count - 1);
}

void TPreviewHTMLForm::showPriorSection() {
    ShowSection(m_section - 1);
}

void TPreviewHTMLForm::showNextSection() {
    ShowSection(m_section + 1);
}

QString TPreviewHTMLForm::ShownText() const {
    return ui->WebBrowser->toPlainText();
}

QString TPreviewHTMLForm::WithDefaultExtension(const QString& fileName) {
    return QFileInfo(fileName).suffix().isEmpty() ? fileName + QStringLiteral(".htm") : fileName;
}

void TPreviewHTMLForm::SavePage(const QString& page, const QString& fileName) {
    const auto failed = [&fileName](const QString& reason) {
        return EError(tr("Не удалось сохранить файл %1: %2").arg(fileName, reason));
    };
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        throw failed(file.errorString());
    }
    QByteArray bytes;
    for (const QString& line : SplitPageLines(page)) {
        bytes += line.toUtf8() + "\r\n";
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        throw failed(file.errorString());
    }
}

QString TPreviewHTMLForm::ProposedFileName() const {
    QString name = m_reportTitle.trimmed();
    for (QChar& c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 32) {
            c = QLatin1Char('_');
        }
    }
    if (name.isEmpty() || name.startsWith(QLatin1Char('.'))) {
        name.prepend(tr("Отчёт"));
    }
    // A new account may have no documents folder yet: then the home folder, never the
    // folder the program happened to start in.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        folder = QDir::homePath();
    }
    return folder + QLatin1Char('/') + name + QStringLiteral(".htm");
}

void TPreviewHTMLForm::actSaveHTMLExecute() {
    const QString name = Dialogs().saveFileName(
        this, tr("Сохранить"), ProposedFileName(),
        tr("HTML файл (*.htm *.html)") + QStringLiteral(";;") + tr("Любой файл (*)"),
        QStringLiteral("htm"));
    if (name.isEmpty()) {
        return;
    }
    // A dialog that did not add the suffix itself has not asked about the file it names.
    const QString file = WithDefaultExtension(name);
    if (file != name && QFileInfo::exists(file) &&
        !ConfirmYesNo(tr("Файл %1 уже существует. Заменить его?").arg(file), this)) {
        return;
    }
    SavePage(m_html, file);
}

void TPreviewHTMLForm::actPageSetupExecute() {
    Dialogs().printerDialog(this, *m_printer, true);
}

void TPreviewHTMLForm::actPrintExecute() {
    if (!Dialogs().printerDialog(this, *m_printer, false)) {
        return;
    }
    if (SectionCount() == 1) {
        ui->WebBrowser->document()->print(m_printer.get());
        return;
    }
    // The whole report is printed, not the part on screen.
    const THourglass hourglass;
    QTextDocument whole;
    whole.setBaseUrl(ui->WebBrowser->document()->baseUrl());
    whole.setDefaultFont(ui->WebBrowser->document()->defaultFont());
    whole.setHtml(m_produced);
    whole.print(m_printer.get());
}

void TPreviewHTMLForm::actSendEMailExecute() {
    int choice = 0;
    {
        TSendInfoForm dialog(this);
        dialog.SetAllAllowed(false);
        choice = dialog.Execute(m_mailing);
    }
    if (choice == 0) {
        return;
    }
    TShowProgressForm progress(this);
    progress.setWindowTitle(tr("Рассылка"));
    progress.SetMaximum(1);
    connect(&progress, &TShowProgressForm::working, this,
            [this, &progress]() { SendOne(progress); });
    connect(&progress, &TShowProgressForm::cancelled, this, [this]() { m_mailer.Cancel(); });
    progress.exec();
    QCoreApplication::processEvents();
    // The log has it too; the user, who may not keep a log, is told here.
    if (!m_mailer.LastFailure.isEmpty()) {
        ShowError(m_mailer.LastFailure, this);
    }
}

void TPreviewHTMLForm::SendOne(TShowProgressForm& progress) {
    m_mailer.SendMessage(m_mailing, m_produced);
    progress.StepProgress();
}
