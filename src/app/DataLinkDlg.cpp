#include "app/DataLinkDlg.h"

#include "common/DialogsUnit.h"
#include "common/Hourglass.h"
#include "platform/FileNames.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/PostgresOptions.h"
#include "platform/db/Schema.h"
#include "ui_DataLinkDlg.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QStandardPaths>

TDataLinkDialog::TDataLinkDialog(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TDataLinkDialog>()) {
    ui->setupUi(this);
    ui->ProviderComboBox->addItem(tr("SQLite: файл на этом компьютере"), QStringLiteral("SQLite"));
    ui->ProviderComboBox->addItem(tr("PostgreSQL: общий каталог на сервере"),
                                  QStringLiteral("PostgreSQL"));
    // libpq's default ("prefer") encrypts whenever the server offers it.
    ui->EncryptionComboBox->addItem(tr("если сервер предлагает"), QString());
    ui->EncryptionComboBox->addItem(tr("требовать"), QStringLiteral("require"));
    ui->EncryptionComboBox->addItem(tr("требовать и проверять сертификат"),
                                    QStringLiteral("verify-full"));
    connect(ui->PasswordEdit, &QLineEdit::textChanged, this, [this]() { showPasswordSource(); });
    showPasswordSource();
    const auto guard = [this](void (TDataLinkDialog::*handler)()) {
        return [this, handler]() { Guarded([this, handler]() { (this->*handler)(); }); };
    };
    connect(ui->BrowseButton, &QPushButton::clicked, this,
            guard(&TDataLinkDialog::BrowseButtonClick));
    connect(ui->CreateButton, &QPushButton::clicked, this,
            guard(&TDataLinkDialog::CreateButtonClick));
    connect(ui->CreateSchemaButton, &QPushButton::clicked, this,
            guard(&TDataLinkDialog::CreateSchemaButtonClick));
    connect(ui->TestButton, &QPushButton::clicked, this, guard(&TDataLinkDialog::TestButtonClick));
    connect(ui->ProviderComboBox, &QComboBox::currentIndexChanged, this,
            &TDataLinkDialog::ProviderComboBoxChange);
    ProviderComboBoxChange();
    connect(ui->OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TDataLinkDialog::~TDataLinkDialog() = default;

std::optional<QString> TDataLinkDialog::Edit(QWidget* parent, const QString& old, bool firstStart) {
    TDataLinkDialog dialog(parent);
    dialog.SetConnectionString(old);
    dialog.SetFirstStart(firstStart);
    // The fields as shown, rebuilt: OK without an edit gives the old string, never a
    // rewritten one that would count as another database.
    const QString shown = dialog.ConnectionString();
    if (Dialogs().execDialog(dialog) != QDialog::Accepted) {
        return std::nullopt;
    }
    const QString chosen = dialog.ConnectionString();
    return chosen == shown ? old : chosen;
}

void TDataLinkDialog::SetFirstStart(bool firstStart) {
    m_firstStart = firstStart;
    ui->WelcomeLabel->setVisible(firstStart);
    if (firstStart) {
        ui->CreateButton->setFocus();
        // "Создать..." answers Enter while no file is named; once one is typed, OK does.
        const auto defaults = [this]() {
            const bool named = !ui->FileNameEdit->text().trimmed().isEmpty();
            ui->CreateButton->setDefault(!named);
            ui->OkButton->setDefault(named);
        };
        connect(ui->FileNameEdit, &QLineEdit::textChanged, this, defaults);
        defaults();
    }
}

QString TDataLinkDialog::DefaultCatalogueFileName() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/catalogue.db");
}

bool TDataLinkDialog::serverChosen() const {
    return ui->ProviderComboBox->currentData().toString() == QLatin1String("PostgreSQL");
}

void TDataLinkDialog::ProviderComboBoxChange() {
    ui->ProviderPages->setCurrentWidget(serverChosen() ? ui->PostgreSQLPage : ui->SQLitePage);
}

void TDataLinkDialog::SetConnectionString(const QString& text) {
    m_old = text;
    const TConnectionString cs(text);
    const bool server =
        cs.provider().compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0;
    ui->ProviderComboBox->setCurrentIndex(ui->ProviderComboBox->findData(
        server ? QStringLiteral("PostgreSQL") : QStringLiteral("SQLite")));
    if (!server) {
        ui->FileNameEdit->setText(cs.value(QStringLiteral("Data Source")));
        return;
    }
    QString host;
    int port = 0;
    // A port out of range shows as the default one, for the user to correct.
    SplitServerAddress(cs.value(QStringLiteral("Data Source")), host, port);
    ui->ServerEdit->setText(host);
    ui->PortSpinBox->setValue(port);
    ui->DatabaseEdit->setText(cs.value(QStringLiteral("Initial Catalog")));
    ui->UserEdit->setText(cs.value(QStringLiteral("User ID")));
    ui->PasswordEdit->setText(cs.value(QStringLiteral("Password")));
    // A mode the list does not offer (typed by hand) is kept as it is.
    const QString mode = cs.value(QStringLiteral("SSL Mode")).trimmed().toLower();
    int at = ui->EncryptionComboBox->findData(mode);
    if (at < 0) {
        ui->EncryptionComboBox->addItem(mode, mode);
        at = ui->EncryptionComboBox->count() - 1;
    }
    ui->EncryptionComboBox->setCurrentIndex(at);
    ui->RootCertEdit->setText(cs.value(QStringLiteral("SSL Root Cert")));
    bool number = false;
    const int seconds = cs.value(QStringLiteral("Command Timeout")).trimmed().toInt(&number);
    ui->CommandTimeoutSpinBox->setValue(number ? seconds : kDefaultCommandTimeout);
    showPasswordSource();
}

QString TDataLinkDialog::PasswordFile() {
    const QString named = qEnvironmentVariable("PGPASSFILE");
    return named.isEmpty() ? QDir::homePath() + QStringLiteral("/.pgpass") : named;
}

void TDataLinkDialog::showPasswordSource() {
    const QString file = PasswordFile();
    // The home folder as "~": one short line under the password.
    QString shown = QDir::toNativeSeparators(file);
    const QString home = QDir::toNativeSeparators(QDir::homePath());
    if (shown.startsWith(home + QDir::separator())) {
        shown = QLatin1Char('~') + shown.mid(home.size());
    }
    // A service (written into the connection string by hand, or PGSERVICE) may hold the
    // password in the service file; libpq looks in the password file after it.
    QString service = TConnectionString(m_old).value(QStringLiteral("Service")).trimmed();
    if (service.isEmpty()) {
        service = qEnvironmentVariable("PGSERVICE");
    }
    ui->PasswordSourceLabel->setText(
        !ui->PasswordEdit->text().isEmpty() ? tr("Пароль хранится в настройках программы.")
        : !service.isEmpty() ? tr("Пароль из службы «%1» или из файла %2.").arg(service, shown)
        : QFileInfo(file).isFile() ? tr("Пароль берётся из файла %1.").arg(shown)
                                   : tr("Без пароля: файла %1 нет.").arg(shown));
}

QString TDataLinkDialog::ConnectionString() const {
    TConnectionString cs(m_old);
    const QString provider = ui->ProviderComboBox->currentData().toString();
    if (cs.provider().compare(provider, Qt::CaseInsensitive) != 0) {
        cs = TConnectionString();  // another engine's settings do not carry over
    }
    cs.setValue(QStringLiteral("Provider"), provider);
    if (!serverChosen()) {
        cs.setValue(QStringLiteral("Data Source"), ui->FileNameEdit->text().trimmed());
        return cs.toString();
    }
    QString host = ui->ServerEdit->text().trimmed();
    const bool service = !cs.value(QStringLiteral("Service")).trimmed().isEmpty();
    if (host.isEmpty() && service) {
        // The service names the server.
        cs.remove(QStringLiteral("Data Source"));
    } else {
        if (host.isEmpty()) {
            host = QStringLiteral("localhost");
        }
        if (host.contains(QLatin1Char(':'))) {
            host = QLatin1Char('[') + host + QLatin1Char(']');
        }
        cs.setValue(QStringLiteral("Data Source"),
                    host + QLatin1Char(':') + QString::number(ui->PortSpinBox->value()));
    }
    cs.setValue(QStringLiteral("Initial Catalog"), ui->DatabaseEdit->text().trimmed());
    cs.setValue(QStringLiteral("User ID"), ui->UserEdit->text().trimmed());
    if (ui->PasswordEdit->text().isEmpty()) {
        cs.remove(QStringLiteral("Password"));
    } else {
        cs.setValue(QStringLiteral("Password"), ui->PasswordEdit->text());
    }
    const QString mode = ui->EncryptionComboBox->currentData().toString();
    if (mode.isEmpty()) {
        cs.remove(QStringLiteral("SSL Mode"));
    } else {
        cs.setValue(QStringLiteral("SSL Mode"), mode);
    }
    const QString root = ui->RootCertEdit->text().trimmed();
    if (root.isEmpty()) {
        cs.remove(QStringLiteral("SSL Root Cert"));
    } else {
        cs.setValue(QStringLiteral("SSL Root Cert"), root);
    }
    if (ui->CommandTimeoutSpinBox->value() == kDefaultCommandTimeout) {
        cs.remove(QStringLiteral("Command Timeout"));
    } else {
        cs.setValue(QStringLiteral("Command Timeout"),
                    QString::number(ui->CommandTimeoutSpinBox->value()));
    }
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
    MakeFolders(QFileInfo(proposed).absolutePath());
    const QString file =
        Dialogs().saveFileName(this, tr("Новая база данных"), proposed,
                               tr("Базы данных Linkarium (*.db *.sqlite);;Любой файл (*)"));
    if (file.isEmpty()) {
        return;
    }
    CreateSqliteCatalogue(file);
    ui->FileNameEdit->setText(QDir::toNativeSeparators(file));
    if (m_firstStart) {
        accept();  // a new user's first catalogue: nothing more to choose
        return;
    }
    ShowInformation(tr("База данных %1 создана.").arg(file), this);
}

void TDataLinkDialog::CreateSchemaButtonClick() {
    {
        THourglass hourglass;
        TConnection server;
        server.SetConnectionString(ConnectionString());
        server.Open();
        CreateServerCatalogue(server);
    }
    ShowInformation(
        tr("Таблицы каталога созданы в базе данных %1.").arg(ui->DatabaseEdit->text().trimmed()),
        this);
}

void TDataLinkDialog::TestButtonClick() {
    QString name;
    {
        THourglass hourglass;
        TConnection probe;
        probe.SetConnectionString(ConnectionString());
        probe.Open();
        CheckCatalogue(probe);
        name = CatalogueName(probe);
    }
    // Says what was reached and, for a server, whether the link is encrypted and checked.
    ShowInformation(tr("Проверка подключения прошла успешно.") + QLatin1Char('\n') + name, this);
}
