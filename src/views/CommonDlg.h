#pragma once

#include "common/ExForm.h"

#include <QVariant>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TDataSet;
class TField;
class TCatalogueModule;

// Base of the dialogs that create or change one record: the record is opened for a key
// (a new one for a null key), edited with cached changes and written inside a transaction
// on OK; the caller reads Saved and RecordKey afterwards.
class TCommonForm : public TExForm {
    Q_OBJECT
public:
    explicit TCommonForm(TCatalogueModule& module, QWidget* parent = nullptr);
    ~TCommonForm() override;

    // The key of the record the dialog works on, and whether OK saved a change to it.
    const QVariant& RecordKey() const { return m_recordKey; }
    bool Saved() const { return m_saved; }

    bool Execute(const QVariant& key);
    // The steps of Execute without the modal loop, for tests: false when the record is gone.
    bool Prepare(const QVariant& key);
    void Finish();

    void OkButtonClick();

protected:
    virtual void OpenRecord(const QVariant& key);
    virtual void StartEdit();
    virtual void PostRecord();
    virtual void CloseRecord();
    virtual void ApplyUpdates();
    virtual bool IsModified();
    // The controls hand their texts to the fields.
    virtual void UpdateRecord() {}
    // Whether the dialog may close without OK; the base asks about unsaved changes.
    virtual bool CloseQuery();
    // OK found the record changed or deleted by another user since it was read; the
    // changes are still pending and the record is in edit again. True when the dialog has
    // settled it with the user; false leaves the error to be shown, as the base does.
    virtual bool ResolveConflict() { return false; }

    // Holds a text control to the field's size: the limit is shown in its tooltip, and an
    // edit or a paste beyond it is undone with a message that names the limit, so nothing
    // is ever cut. A memo counts each line break as the two characters it is stored as.
    void LimitToField(QLineEdit* edit, const TField& field, const QString& caption);
    void LimitToField(QPlainTextEdit* memo, const TField& field, const QString& caption);

    // Connects OkButton and CancelButton of the derived dialog's form.
    void BindButtons(QPushButton* ok, QPushButton* cancel);
    void done(int result) override;

    // The record being edited, for the derived dialog.
    TDataSet& DataSet() const { return *m_dataSet; }
    void SetRecordKey(const QVariant& key) { m_recordKey = key; }

    TCatalogueModule& m_module;

private:
    void saveInTransaction();

    TDataSet* m_dataSet;
    QVariant m_recordKey;
    bool m_saved = false;
    QPushButton* m_ok = nullptr;
    bool m_closing = false;
};

// A memo's text as it is stored: every line break as CR LF; and back.
QString StoredLineBreaks(const QString& text);
QString ShownLineBreaks(const QString& text);
