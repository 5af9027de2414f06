#include "urls/ImportPreviewDlg.h"

#include "ui_ImportPreviewDlg.h"

#include "common/Clock.h"
#include "common/DialogsUnit.h"
#include "platform/Errors.h"
#include "urls/Categories.h"

#include <QDir>
#include <QHeaderView>
#include <QSaveFile>

TImportPreviewForm::TImportPreviewForm(TImportPreview& preview, const TImportOptions& options,
                                       QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TImportPreviewForm>()), m_preview(preview) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("ImportPreviewForm"));
    ui->VerdictComboBox->addItem(tr("все записи"), -1);
    for (int v = 0; v < kImportVerdicts; ++v) {
        ui->VerdictComboBox->addItem(ImportVerdictText(static_cast<TImportVerdict>(v)), v);
    }
    ui->DuplicatesComboBox->setCurrentIndex(static_cast<int>(options.duplicates));
    ui->FoldersComboBox->setCurrentIndex(static_cast<int>(options.folders));
    ui->IgnoredFoldersEdit->setText(options.ignoredFolders.join(QStringLiteral("; ")));
    ui->IgnoredFoldersEdit->setCursorPosition(0);  // the list from its beginning
    ui->ExtraCategoryCheckBox->setChecked(!options.extraCategory.isEmpty());
    // Offered with today's date, taken only when ticked.
    ui->ExtraCategoryEdit->setText(options.extraCategory.isEmpty()
                                       ? TImportOptions::DatedCategory(Now().date())
                                       : options.extraCategory);
    ui->ExtraCategoryEdit->setEnabled(!options.extraCategory.isEmpty());
    ui->AllowJavaScriptCheckBox->setChecked(options.allowJavaScript);
    ui->FragmentCheckBox->setChecked(options.fragmentIsSame);
    ui->ShortcutNameCheckBox->setChecked(options.shortcutNameAsDescription);
    // The counts take the room the filter leaves, and wrap only when it is not enough.
    ui->TopLayout->setStretchFactor(ui->CountsLabel, 1);
    m_model = new TImportPreviewModel(preview, this);
    ui->EntriesTableView->setModel(m_model);
    ui->EntriesTableView->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    ui->EntriesTableView->horizontalHeader()->setStretchLastSection(true);
    ui->EntriesTableView->setColumnWidth(0, 280);
    ui->EntriesTableView->setColumnWidth(1, 190);
    ui->EntriesTableView->setColumnWidth(2, 120);
    connect(ui->VerdictComboBox, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this](int) {
                Guarded([this]() { SetVerdictFilter(ui->VerdictComboBox->currentData().toInt()); });
            });
    const auto reclassify = [this]() { Guarded([this]() { ApplyOptions(); }); };
    connect(ui->DuplicatesComboBox, qOverload<int>(&QComboBox::currentIndexChanged), this,
            reclassify);
    connect(ui->FoldersComboBox, qOverload<int>(&QComboBox::currentIndexChanged), this, reclassify);
    connect(ui->IgnoredFoldersEdit, &QLineEdit::editingFinished, this, reclassify);
    connect(ui->ExtraCategoryEdit, &QLineEdit::editingFinished, this, reclassify);
    connect(ui->ExtraCategoryCheckBox, &QCheckBox::toggled, this, [this, reclassify](bool on) {
        ui->ExtraCategoryEdit->setEnabled(on);
        reclassify();
    });
    connect(ui->AllowJavaScriptCheckBox, &QCheckBox::toggled, this, reclassify);
    connect(ui->FragmentCheckBox, &QCheckBox::toggled, this, reclassify);
    connect(ui->ShortcutNameCheckBox, &QCheckBox::toggled, this, reclassify);
    connect(ui->SaveReportButton, &QPushButton::clicked, this,
            GuardedSlot(this, &TImportPreviewForm::SaveReportButtonClick));
    connect(ui->ImportButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    ApplyOptions();
}

TImportPreviewForm::~TImportPreviewForm() = default;

TImportOptions TImportPreviewForm::Options() const {
    TImportOptions options;
    options.duplicates = static_cast<TDuplicateAction>(ui->DuplicatesComboBox->currentIndex());
    options.ignoredFolders = SplitCategoryNames(ui->IgnoredFoldersEdit->text());
    options.extraCategory = ui->ExtraCategoryCheckBox->isChecked()
                                ? ui->ExtraCategoryEdit->text().trimmed()
                                : QString();
    options.allowJavaScript = ui->AllowJavaScriptCheckBox->isChecked();
    options.folders = static_cast<TFolderCategories>(ui->FoldersComboBox->currentIndex());
    options.fragmentIsSame = ui->FragmentCheckBox->isChecked();
    options.shortcutNameAsDescription = ui->ShortcutNameCheckBox->isChecked();
    return options;
}

QString TImportPreviewForm::CountsText() const {
    QString text = tr("Новых: %1   Дубликатов: %2   Повторов в импорте: %3   Ошибочных: %4   "
                      "Пропущенных: %5")
                       .arg(m_preview.Count(TImportVerdict::New))
                       .arg(m_preview.Count(TImportVerdict::Duplicate))
                       .arg(m_preview.Count(TImportVerdict::InImport))
                       .arg(m_preview.Count(TImportVerdict::Invalid))
                       .arg(m_preview.Count(TImportVerdict::Skipped));
    // The doubtful ones are named only when there are any: most imports have none.
    if (const int notWeb = m_preview.Count(TImportVerdict::NotWeb)) {
        text += tr("   Не веб-адресов: %1").arg(notWeb);
    }
    if (const int damaged = m_preview.Count(TImportVerdict::Damaged)) {
        text += tr("   Повреждённых: %1").arg(damaged);
    }
    return text;
}

void TImportPreviewForm::ApplyOptions() {
    m_preview.Classify(Options());
    m_model->Reload();
    ui->CountsLabel->setText(CountsText());
}

void TImportPreviewForm::SetVerdictFilter(int verdict) {
    const int at = ui->VerdictComboBox->findData(verdict);
    if (at >= 0 && at != ui->VerdictComboBox->currentIndex()) {
        ui->VerdictComboBox->setCurrentIndex(at);  // comes back here
        return;
    }
    m_model->SetVerdictFilter(verdict);
}

void TImportPreviewForm::SaveReport(const QString& fileName) {
    const bool csv = fileName.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
    const QByteArray bytes = (csv ? m_preview.ReportCsv() : m_preview.ReportText()).toUtf8();
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        throw EError(tr("Не удалось записать %1: %2").arg(fileName, file.errorString()));
    }
}

void TImportPreviewForm::SaveReportButtonClick() {
    const QString file = Dialogs().saveFileName(
        this, tr("Сохранить список"), QDir::homePath() + QStringLiteral("/import.csv"),
        tr("Таблица CSV (*.csv)") + QStringLiteral(";;") + tr("Текст (*.txt)"));
    if (!file.isEmpty()) {
        SaveReport(file);
    }
}
