#include "reports/SendInfoDlg.h"

#include "common/DialogsUnit.h"
#include "common/RegistryList.h"
#include "common/TextUnit.h"
#include "ui_SendInfoDlg.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace {
const QString kHistoryKey = QStringLiteral("Software\\Quorvel\\Linkarium\\History\\Send\\");
}  // namespace

TSendInfoForm::TSendInfoForm(QWidget* parent)
    : TExForm(parent), ui(std::make_unique<Ui::TSendInfoForm>()) {
    ui->setupUi(this);
    ui->AttachmentsListView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    connect(ui->AddButton, &QPushButton::clicked, this,
            GuardedSlot(this, &TSendInfoForm::AddButtonClick));
    connect(ui->DeleteButton, &QPushButton::clicked, this,
            GuardedSlot(this, &TSendInfoForm::DeleteButtonClick));
    connect(ui->SendButton, &QPushButton::clicked, this, [this]() {
        Guarded([this]() {
            if (SendButtonClick()) {
                accept();
            }
        });
    });
    connect(ui->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TSendInfoForm::~TSendInfoForm() = default;

void TSendInfoForm::SetAllAllowed(bool allowed) {
    ui->AllRadioButton->setEnabled(allowed);
}

QString TSendInfoForm::AttachmentText(const TAttachment& a) {
    return QStringLiteral("%1 (%2 %3)")
        .arg(QFileInfo(a.FileName).fileName(), QLocale().toString(static_cast<qulonglong>(a.Size)),
             PluralForm(a.Size, tr("байт,байта,байт")));
}

void TSendInfoForm::fillAttachments() {
    ui->AttachmentsListView->clear();
    for (const TAttachment& a : m_parameters->Attachments) {
        ui->AttachmentsListView->addItem(AttachmentText(a));
    }
}

void TSendInfoForm::Prepare(TMailingParameters& parameters) {
    m_parameters = &parameters;
    fillAttachments();
    if (ui->AttachmentsListView->count() > 0) {
        ui->AttachmentsListView->setCurrentRow(0);
    }
    const struct {
        QComboBox* box;
        const char* key;
        const QString* text;
    } histories[] = {
        {ui->SubjectComboBox, "Subject", &parameters.Subject},
        {ui->FromComboBox, "From", &parameters.FromName},
        {ui->FromAddressComboBox, "FromAddress", &parameters.FromAddress},
        {ui->ReplyToAddressComboBox, "ReplyTo", &parameters.ReplyTo},
    };
    for (const auto& h : histories) {
        TRegistryList list;
        list.LoadFromKey(kHistoryKey + QLatin1String(h.key));
        h.box->clear();
        h.box->addItems(list);
        h.box->setCurrentText(*h.text);
    }
    ui->ToEdit->setText(parameters.Recipient);
}

int TSendInfoForm::Confirm() {
    TMailingParameters& p = *m_parameters;
    p.Subject = TrimmedFieldText(ui->SubjectComboBox->currentText());
    p.Recipient = TrimmedFieldText(ui->ToEdit->text());
    p.FromName = TrimmedFieldText(ui->FromComboBox->currentText());
    p.FromAddress = TrimmedFieldText(ui->FromAddressComboBox->currentText());
    p.ReplyTo = TrimmedFieldText(ui->ReplyToAddressComboBox->currentText());
    const struct {
        const char* key;
        const QString* text;
    } histories[] = {{"Subject", &p.Subject},
                     {"From", &p.FromName},
                     {"FromAddress", &p.FromAddress},
                     {"ReplyTo", &p.ReplyTo}};
    for (const auto& h : histories) {
        TRegistryList list;
        list.LoadFromKey(kHistoryKey + QLatin1String(h.key));
        list.AddRecent(*h.text);
        list.SaveToKey(kHistoryKey + QLatin1String(h.key));
    }
    return ui->AllRadioButton->isChecked() ? 1 : 2;
}

bool TSendInfoForm::SendButtonClick() {
    const struct {
        QWidget* control;
        QString text;
        QString caption;
    } fields[] = {
        {ui->FromComboBox, ui->FromComboBox->currentText(), tr("Имя отправителя")},
        {ui->FromAddressComboBox, ui->FromAddressComboBox->currentText(), tr("Адрес отправителя")},
        {ui->ReplyToAddressComboBox, ui->ReplyToAddressComboBox->currentText(),
         tr("Обратный адрес")},
        {ui->ToEdit, ui->ToEdit->text(), tr("Кому")},
        {ui->SubjectComboBox, ui->SubjectComboBox->currentText(), tr("Тема")},
    };
    for (const auto& f : fields) {
        // Blanks and control characters at the ends are trimmed; inside, a line break
        // would start a new header line.
        const QString inner = TrimmedFieldText(f.text);
        if (inner.contains(QLatin1Char('\r')) || inner.contains(QLatin1Char('\n'))) {
            ShowError(tr("Поле \"%1\" не может содержать перевод строки.").arg(f.caption), this);
            f.control->setFocus();
            return false;
        }
    }
    return true;
}

int TSendInfoForm::Execute(TMailingParameters& parameters) {
    Prepare(parameters);
    if (Dialogs().execDialog(*this) != QDialog::Accepted) {
        return 0;
    }
    return Confirm();
}

void TSendInfoForm::AddButtonClick() {
    const QStringList files =
        Dialogs().openFileNames(this, tr("Присоединить файл"), QString(), tr("Любой файл (*)"));
    for (const QString& file : files) {
        const QFileInfo info(file);
        if (!info.isFile()) {
            continue;
        }
        m_parameters->Attachments.append(
            {info.absoluteFilePath(), static_cast<quint32>(info.size() & 0xFFFFFFFFu)});
    }
    fillAttachments();
}

void TSendInfoForm::DeleteButtonClick() {
    QList<int> rows;
    for (const QListWidgetItem* item : ui->AttachmentsListView->selectedItems()) {
        rows << ui->AttachmentsListView->row(item);
    }
    if (rows.isEmpty()) {
        return;
    }
    std::sort(rows.begin(), rows.end());
    // Each position less the ones removed before it: deleting in this order takes exactly
    // the selected files.
    for (int i = 0; i < rows.size(); ++i) {
        m_parameters->Attachments.removeAt(rows[i] - i);
    }
    const int last = rows.last() - (rows.size() - 1);
    fillAttachments();
    const int target = std::min(last, ui->AttachmentsListView->count() - 1);
    if (target >= 0) {
        ui->AttachmentsListView->setCurrentRow(target);
        ui->AttachmentsListView->item(target)->setSelected(true);
        ui->DeleteButton->setFocus();
    }
}

void TSendInfoForm::IdleUpdate() {
    ui->DeleteButton->setEnabled(!ui->AttachmentsListView->selectedItems().isEmpty());
    const bool current = ui->CurrentRadioButton->isChecked();
    ui->SendButton->setEnabled(ui->FromAddressComboBox->currentText().contains(QLatin1Char('@')) &&
                               (!current || ui->ToEdit->text().contains(QLatin1Char('@'))));
    ui->ToEdit->setEnabled(current);
}
