#pragma once

#include <optional>

#include <QDialog>

#include <memory>

namespace Ui {
class TDataLinkDialog;
}

// Edits a connection string: chooses the engine and its fields, tests the connection and
// creates a new catalogue. Returns the complete string, or the old one unchanged on cancel.
class TDataLinkDialog final : public QDialog {
    Q_OBJECT
public:
    explicit TDataLinkDialog(QWidget* parent = nullptr);
    ~TDataLinkDialog() override;

    // Runs the dialog pre-set from old (when not empty).
    // The edited string; old itself when OK was pressed without a change; none on Cancel.
    // On a first start the dialog greets the user, and a catalogue made with "Создать..."
    // is taken at once.
    static std::optional<QString> Edit(QWidget* parent, const QString& old,
                                       bool firstStart = false);
    void SetFirstStart(bool firstStart);

    void SetConnectionString(const QString& text);
    // The string the fields describe; other settings of the old string are kept.
    QString ConnectionString() const;

    void BrowseButtonClick();
    void CreateButtonClick();
    void CreateSchemaButtonClick();
    void TestButtonClick();
    // Shows the fields of the engine chosen in the provider list.
    void ProviderComboBoxChange();

    // Where a new catalogue is proposed.
    static QString DefaultCatalogueFileName();
    // The file libpq takes a server's password from when none is given: PGPASSFILE, else
    // ~/.pgpass.
    static QString PasswordFile();

private:
    bool serverChosen() const;
    // Says where the server's password comes from: the settings, the password file, none.
    void showPasswordSource();

    std::unique_ptr<Ui::TDataLinkDialog> ui;
    QString m_old;
    bool m_firstStart = false;
};
