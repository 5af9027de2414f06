#pragma once

#include "urls/Duplicates.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TDuplicatesForm;
}
class QTreeWidgetItem;
class TConnection;

// Finds the records whose addresses are one by the rules the user switches on, shows them
// in groups with the record to keep ticked, and merges a group into that record.
class TDuplicatesForm final : public QDialog {
    Q_OBJECT
public:
    explicit TDuplicatesForm(TConnection& connection, QWidget* parent = nullptr);
    ~TDuplicatesForm() override;

    TAddressRules Rules() const;
    void SearchButtonClick();
    void MergeButtonClick();
    // The groups shown, as found.
    const QVector<TDuplicateGroup>& Groups() const { return m_groups; }
    int Merged() const { return m_merged; }

private:
    void showPreviews();
    void keepOnly(QTreeWidgetItem* item);
    void updateButtons();

    std::unique_ptr<Ui::TDuplicatesForm> ui;
    TConnection& m_connection;
    QVector<TDuplicateGroup> m_groups;
    int m_merged = 0;
};
