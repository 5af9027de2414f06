#pragma once

#include <QDialog>
#include <QStringList>

#include <memory>

namespace Ui {
class TCategoryForm;
}
class TCatalogueModule;

// The categories of one record: a "; " separated text, edited freely or by ticking the
// names of the shared category list; typed names can join the list, which is written
// only on OK.
class TCategoryForm final : public QDialog {
    Q_OBJECT
public:
    explicit TCategoryForm(TCatalogueModule& module, QWidget* parent = nullptr);
    ~TCategoryForm() override;

    // True on OK, with the new text in result.
    bool Run(const QString& text, QString& result);
    // The address of the record whose categories are edited, for the messages about it;
    // empty for a new record.
    void SetRecordAddress(const QString& url) { m_recordAddress = url; }

    // The steps of Run and the handlers, for tests.
    void Prepare(const QString& text);
    void Finish(bool ok);
    void FillCheckList();
    void SetChecksFromText();
    void CategoryCheckListBoxClickCheck();
    void CategoryMemoChange();
    void AddButtonClick();
    void CategoryButtonClick();
    // OK: a text longer than the record's field holds is refused and the dialog stays.
    void OkButtonClick();
    QString Text() const;

    // Names of a category text: split at ";" and line breaks, trimmed, empty ones dropped.
    static QStringList SplitNames(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void addItem(const QString& name, bool checked);

    std::unique_ptr<Ui::TCategoryForm> ui;
    TCatalogueModule& m_module;
    QString m_recordAddress;
};
