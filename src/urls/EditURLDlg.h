#pragma once

#include "urls/CaptureRequest.h"
#include "views/CommonDlg.h"

#include <memory>

namespace Ui {
class TEditURLForm;
}

// Creates or changes one URL record: address (required, trimmed), description,
// categories (trimmed; chosen in the category dialog) and the visited mark, which the
// open-page button sets.
class TEditURLForm final : public TCommonForm {
    Q_OBJECT
public:
    explicit TEditURLForm(TCatalogueModule& module, QWidget* parent = nullptr);
    ~TEditURLForm() override;

    void URLDBEditChange();
    void GoSpeedButtonClick();
    void CategoryButtonClick();

    // A new record starts with the request's address, description and categories, shown
    // for the user to check; set before Execute. The texts must fit the fields.
    void SetCaptured(const TCaptureRequest& request) { m_captured = request; }

    // A record the catalogue held already with the address being added, which the user
    // chose to open instead; invalid otherwise.
    const QVariant& OpenInstead() const { return m_openInstead; }

protected:
    void OpenRecord(const QVariant& key) override;
    void UpdateRecord() override;
    void PostRecord() override;
    void ApplyUpdates() override;
    bool CloseQuery() override;
    bool ResolveConflict() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void loadControls();
    // The record's values as read, one per field, to tell another user's change from them.
    QVariantList readValues() const;
    // A control's text differs from its field's value: the user typed it.
    bool textsTyped();
    // Reads the record again: the fields take its values as they are now, and the user's
    // own text stays beside each field where it is different.
    void reloadKeepingTyped();
    // The record is gone: what the user has becomes a new record of the same key, saved.
    void saveAsNew();

    QVariantList m_read;
    QVariant m_openInstead;
    TCaptureRequest m_captured;

    std::unique_ptr<Ui::TEditURLForm> ui;
};
