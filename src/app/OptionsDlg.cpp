#include "app/OptionsDlg.h"

#include "common/ConstsUnit.h"
#include "common/DialogsUnit.h"
#include "common/ProgramOptions.h"
#include "common/ProgramPaths.h"
#include "platform/LocaleTable.h"
#include "ui_OptionsDlg.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalBlocker>

TOptionsForm::TOptionsForm(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TOptionsForm>()) {
    ui->setupUi(this);
    // Room for a server's name, a user name and a certificate digest.
    setMinimumWidth(480);
    ui->SecurityComboBox->addItems(
        {tr("Нет"), QStringLiteral("STARTTLS"), QStringLiteral("SSL/TLS")});
    connect(ui->SecurityComboBox, &QComboBox::currentIndexChanged, this,
            &TOptionsForm::SecurityComboBoxChange);
    connect(ui->OkButton, &QPushButton::clicked, this,
            GuardedSlot(this, &TOptionsForm::OkButtonClick));
    connect(ui->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TOptionsForm::~TOptionsForm() = default;

bool TOptionsForm::Execute() {
    LoadControls();
    return Dialogs().execDialog(*this) == QDialog::Accepted;
}

void TOptionsForm::SecurityComboBoxChange(int index) {
    static const int ports[] = {25, 587, 465};
    const QString port = ui->PortEdit->text().trimmed();
    if (index >= 0 && index < 3 &&
        (port.isEmpty() || port == QLatin1String("25") || port == QLatin1String("587") ||
         port == QLatin1String("465"))) {
        ui->PortEdit->setText(QString::number(ports[index]));
    }
}

void TOptionsForm::FillLanguageList() {
    ui->LanguageComboBox->clear();
    ui->LanguageComboBox->addItem(QStringLiteral("Russian"), 0);
    m_rememberedIndex = 0;
    for (const TLocaleInfo& locale : KnownLocales()) {
        if (!QFileInfo::exists(LanguageFileName(locale.abbreviation))) {
            continue;
        }
        ui->LanguageComboBox->addItem(LocaleLanguageName(locale.id), locale.id);
        if (locale.id == Options().CurrentLanguage) {
            m_rememberedIndex = ui->LanguageComboBox->count() - 1;
        }
    }
}

void TOptionsForm::LoadControls() {
    const TProgramOptions& o = Options();
    ui->PageControl->setCurrentIndex(0);
    ui->SMTPEdit->setText(o.SMTPServerAddress);
    ui->PortEdit->setText(QString::number(o.SMTPServerPort));
    ui->CharSetEdit->setText(o.DefaultCharSet);
    {
        const QSignalBlocker quiet(ui->SecurityComboBox);  // the stored port stays as it is
        ui->SecurityComboBox->setCurrentIndex(o.SMTPSecurity);
    }
    ui->UserNameEdit->setText(o.SMTPUserName);
    ui->PasswordEdit->setText(o.SMTPPassword);
    ui->CertificateEdit->setText(o.SMTPTrustedCertificate);
    ui->TimeOutSpinBox->setValue(o.SMTPTimeOut);
    ui->LinkTimeOutSpinBox->setValue(o.LinkCheckTimeOut);
    ui->LinkHistorySpinBox->setValue(o.LinkCheckHistory);
    ui->MailLogCheckBox->setChecked(o.LogMail);
    ui->MailLogFileLabel->setText(
        tr("Файл протокола: %1").arg(QDir::toNativeSeparators(MailLogFileName())));
    FillLanguageList();
    ui->LanguageComboBox->setCurrentIndex(m_rememberedIndex);
}

void TOptionsForm::OkButtonClick() {
    TProgramOptions& o = Options();
    bool isNumber = false;
    const int port = ui->PortEdit->text().trimmed().toInt(&isNumber);
    // A number that is not a port would be cut to 16 bits and point somewhere unexpected;
    // it keeps the old port, as text that is not a number does.
    if (isNumber && port >= 0 && port <= 0xFFFF) {
        o.SMTPServerPort = static_cast<quint16>(port);
    }
    o.SMTPServerAddress = ui->SMTPEdit->text();
    o.DefaultCharSet = ui->CharSetEdit->text();
    o.SMTPSecurity = ui->SecurityComboBox->currentIndex();
    o.SMTPUserName = ui->UserNameEdit->text().trimmed();
    o.SMTPPassword = ui->PasswordEdit->text();
    o.SMTPTrustedCertificate = ui->CertificateEdit->text().trimmed();
    o.SMTPTimeOut = ui->TimeOutSpinBox->value();
    o.LinkCheckTimeOut = ui->LinkTimeOutSpinBox->value();
    o.LinkCheckHistory = ui->LinkHistorySpinBox->value();
    o.LogMail = ui->MailLogCheckBox->isChecked();
    o.CurrentLanguage = ui->LanguageComboBox->currentData().toInt();
    if (ui->LanguageComboBox->currentIndex() != m_rememberedIndex) {
        ShowInformation(tr("Новые настройки языка вступят в силу после перезапуска программы."),
                        this);
    }
    SaveOptions(RegOptionsKey);
    accept();
}
