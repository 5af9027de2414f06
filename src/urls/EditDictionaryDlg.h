#pragma once

#include "common/ExForm.h"
#include "urls/Categories.h"

#include <memory>

namespace Ui {
class TEditDictionaryForm;
}
class QListWidgetItem;
class TDataSet;

// Maintains a list of names kept in one text field of a cached dataset: add, rename in
// place and delete; OK writes the whole batch, any other ending discards it.
class TEditDictionaryForm final : public TExForm {
    Q_OBJECT
public:
    explicit TEditDictionaryForm(QWidget* parent = nullptr);
    ~TEditDictionaryForm() override;

    bool Run(TDataSet& dataSet, const QString& fieldName);
    // For a list whose names the records carry: a rename, a merge into another name and a
    // delete ask how the records follow, and OK writes their changes with the list's.
    void SetRecords(TCategoryRecords* records) { m_records = records; }
    const QVector<TCategoryChange>& RecordChanges() const { return m_changes; }

    // The steps of Run and the handlers, for tests.
    void Prepare(TDataSet& dataSet, const QString& fieldName);
    void Finish(bool ok);
    void NewEditChange();
    void AddButtonClick();
    void RenameButtonClick();
    void DeleteButtonClick();
    // The step of OK before the dialog closes: when some records cannot take the renames and
    // merges (their categories would grow past the field), names them and asks whether to go
    // on without them. False keeps the editor open with every change in it.
    bool ConfirmRecordChanges();
    // Why a name cannot stand in the list (a separator of a record's names, a line break,
    // another control character, or more than the field holds); empty when it can.
    QString NameProblem(const QString& name) const;
    void ItemsListViewEdited(QListWidgetItem* item, const QString& newText);
    int Find(const QString& text) const;
    QStringList Items() const;

protected:
    void IdleUpdate() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QListWidgetItem* addItem(const QString& text, qint64 bookmark);
    void restoreText(QListWidgetItem* item);
    bool mergeInto(QListWidgetItem* item, QListWidgetItem* into);

    std::unique_ptr<Ui::TEditDictionaryForm> ui;
    TDataSet* m_dataSet = nullptr;
    QString m_fieldName;
    bool m_editing = false;
    TCategoryRecords* m_records = nullptr;
    QVector<TCategoryChange> m_changes;
    QSet<QString> m_leftOut;  // records the user let keep their old names
};
