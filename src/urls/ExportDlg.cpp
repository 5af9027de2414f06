#include "urls/ExportDlg.h"

#include "ui_ExportDlg.h"

#include "common/DialogsUnit.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString defaultTarget(TExportFormat format) {
    const QString home = QDir::homePath() + QLatin1Char('/');
    switch (format) {
        case TExportFormat::Csv:
            return home + QStringLiteral("links.csv");
        case TExportFormat::UrlFolder:
            return home + QStringLiteral("Links");
        case TExportFormat::BookmarkHtml:
            break;
    }
    return home + QStringLiteral("bookmarks.html");
}

}  // namespace

TExportForm::TExportForm(int inView, int all, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TExportForm>()) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("ExportForm"));
    ui->ViewRadioButton->setText(tr("в &окне, с его фильтром и порядком (%1)").arg(inView));
    ui->AllRadioButton->setText(tr("&все (%1)").arg(all));
    ui->TargetEdit->setText(defaultTarget(TExportFormat::BookmarkHtml));
    connect(ui->FormatComboBox, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this](int) { formatChanged(); });
    connect(ui->BrowseButton, &QPushButton::clicked, this,
            GuardedSlot(this, &TExportForm::BrowseButtonClick));
    connect(ui->OkButton, &QPushButton::clicked, this,
            GuardedSlot(this, &TExportForm::OkButtonClick));
    connect(ui->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    formatChanged();
}

TExportForm::~TExportForm() = default;

TExportOptions TExportForm::Options() const {
    TExportOptions options;
    options.format = static_cast<TExportFormat>(ui->FormatComboBox->currentIndex());
    options.eachCategory = ui->EachCategoryCheckBox->isChecked();
    options.bom = ui->BomCheckBox->isChecked();
    return options;
}

bool TExportForm::AllRecords() const {
    return ui->AllRadioButton->isChecked();
}

QString TExportForm::Target() const {
    return ui->TargetEdit->text().trimmed();
}

void TExportForm::SetFormat(TExportFormat format) {
    ui->FormatComboBox->setCurrentIndex(static_cast<int>(format));
}

void TExportForm::SetTarget(const QString& target) {
    ui->TargetEdit->setText(target);
}

void TExportForm::formatChanged() {
    const TExportFormat format = Options().format;
    ui->EachCategoryCheckBox->setVisible(format == TExportFormat::BookmarkHtml);
    ui->BomCheckBox->setVisible(format == TExportFormat::Csv);
    adjustSize();  // no gap where the other format's option was
    // A target the user has not changed follows the format.
    const QString shown = Target();
    for (const TExportFormat f :
         {TExportFormat::BookmarkHtml, TExportFormat::Csv, TExportFormat::UrlFolder}) {
        if (shown == defaultTarget(f)) {
            ui->TargetEdit->setText(defaultTarget(format));
            break;
        }
    }
}

void TExportForm::BrowseButtonClick() {
    const TExportFormat format = Options().format;
    QString chosen;
    if (format == TExportFormat::UrlFolder) {
        chosen = Dialogs().existingDirectory(this, tr("Папка для ярлыков"), Target());
    } else {
        const bool csv = format == TExportFormat::Csv;
        chosen = Dialogs().saveFileName(
            this, tr("Экспорт в файл"), Target(),
            csv ? tr("Таблица CSV (*.csv)") : tr("Файл закладок (*.html *.htm)"),
            csv ? QStringLiteral("csv") : QStringLiteral("html"));
    }
    if (!chosen.isEmpty()) {
        ui->TargetEdit->setText(chosen);
    }
}

void TExportForm::OkButtonClick() {
    if (Target().isEmpty()) {
        ShowInformation(tr("Укажите, куда записать экспорт."), this);
        ui->TargetEdit->setFocus();
        return;
    }
    accept();
}
