#include "app/DataLinkDlg.h"

#include "common/DialogsUnit.h"
#include "common/Hourglass.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/Schema.h"
#include "ui_DataLinkDlg.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

TDataLinkDialog::TDataLinkDialog(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TDataLinkDialog>()) {
    ui->setupUi(this);
    ui->ProviderComboBox->addItem(tr("SQLite: файл на этом компьютере"), QStringLiteral("SQLite"));
    const auto guard = [this](void (TDataLinkDialog::*handler)()) {
        return [this, handler]() { Guarded([this, handler]() { (this->*handler)(); }); };
    };
    connect(ui->BrowseButton, &QPushButton::clicked, this,
            guard(&TDataLinkDialog::BrowseButtonClick));
    connect(ui->CreateButton, &QPushButton::clicked, this,
            guard(&TDataLinkDialog::CreateButtonClick));
    connect(ui->TestButton, &QPushButton::clicked, this, guard(&TDataLinkDialog::TestButtonClick));
    connect(ui->OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TDataLinkDialog::~TDataLinkDialog() = default;

QString TDataLinkDialog::Edit(QWidget* parent, const QString& old) {
    TDataLinkDialog dialog(parent);
    dialog.SetConnectionString(old);
    return dialog.exec() == QDialog::Accepted ? dialog.ConnectionString() : old;
}

QString TDataLinkDialog::DefaultCatalogueFileName() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/Linkarium.db");
}

void TDataLinkDialog::SetConnectionString(const QString& text) {
    m_old = text;
    const TConnectionString cs(text);
    ui->FileNameEdit->setText(cs.value(QStringLiteral("Data Source")));
}

QString TDataLinkDialog::ConnectionString() const {
    TConnectionString cs(m_old);
    if (cs.provider().compare(QLatin1String("SQLite"), Qt::CaseInsensitive) != 0) {
        cs = TConnectionString();  // another engine's settings do not carry over
    }
    cs.setValue(QStringLiteral("Provider"), ui->ProviderComboBox->currentData().toString());
    cs.setValue(QStringLiteral("Data Source"), ui->FileNameEdit->text().trimmed());
    return cs.toString();
}

void TDataLinkDialog::BrowseButtonClick() {
    const QString current = ui->FileNameEdit->text().trimmed();
    const QString file = Dialogs().openFileName(
        this, tr("Выбор базы данных"),
        current.isEmpty() ? QFileInfo(DefaultCatalogueFileName()).absolutePath() : current,
        tr("Базы данных Linkarium (*.db *.sqlite);;Любой файл (*)"));
    if (!file.isEmpty()) {
        ui->FileNameEdit->setText(QDir::toNativeSeparators(file));
    }
}

void TDataLinkDialog::CreateButtonClick() {
    const QString proposed = DefaultCatalogueFileName();
    QDir().mkpath(QFileInfo(proposed).absolutePath());
    const QString file =
        Dialogs().saveFileName(this, tr("Новая база данных"), proposed,
                               tr("Базы данных Linkarium (*.db *.sqlite);;Любой файл (*)"));
    if (file.isEmpty()) {
        return;
    }
    CreateSqliteCatalogue(file);
    ui->FileNameEdit->setText(QDir::toNativeSeparators(file));
    ShowInformation(tr("База данных %1 создана.").arg(file), this);
}

void TDataLinkDialog::TestButtonClick() {
    {
        THourglass hourglass;
        TConnection probe;
        probe.SetConnectionString(ConnectionString());
        probe.Open();
        CheckCatalogue(probe);
    }
    ShowInformation(tr("Проверка подключения прошла успешно."), this);
}
