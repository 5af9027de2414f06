#pragma once

#include <QDialog>
#include <QIcon>
#include <QList>
#include <QStringList>

#include <memory>

class QTreeWidgetItem;
class TDataSet;
class TField;

namespace Ui {
class TPrepareSubjectReportForm;
}

// Asks which fields of a view go into its report: a tree with the report title as root
// and the visible fields as children, each with a check state image. The choice is kept per
// view in the value ReportSelected.
class TPrepareSubjectReportForm final : public QDialog {
    Q_OBJECT
public:
    enum TCheckState { csUnchecked = 1, csChecked = 2, csPartly = 3 };

    explicit TPrepareSubjectReportForm(QWidget* parent = nullptr);
    ~TPrepareSubjectReportForm() override;

    // The view's key, under which its choice is kept.
    void SetRegistryKey(const QString& key) { m_registryKey = key; }

    void LoadSelection();
    void FillTree(TDataSet& dataSet, const QString& title);
    // True when the user pressed the preview button; the selection is stored then.
    bool Execute();
    void GetSelectedFields(QList<TField*>& fields) const;

    // The pieces of Execute and the handlers, for tests.
    bool Confirm();
    void ToggleNode(QTreeWidgetItem* node);
    int StateOf(const QTreeWidgetItem* node) const;
    QTreeWidgetItem* Root() const;
    // Where a press toggles the node: over its state image.
    QRect StateImageRect(const QTreeWidgetItem* node) const;
    void UpdatePreviewButton();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setState(QTreeWidgetItem* node, int state);
    void updateParentState(QTreeWidgetItem* parent);

    std::unique_ptr<Ui::TPrepareSubjectReportForm> ui;
    QIcon m_stateImages[4];
    QStringList m_selection;
    QString m_registryKey;
};
