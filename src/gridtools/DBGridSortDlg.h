#pragma once

#include <QDialog>
#include <QIcon>
#include <QVector>

#include <memory>

namespace Ui {
class TDBGridSortForm;
}
class QAction;
class QListWidget;
class QListWidgetItem;
class TDataSet;
class TDragListWidget;
class TField;

// Orders a dataset by several columns, each ascending or descending: the columns to sort
// by are moved from the available list to the sort list, reordered and flipped there.
class TDBGridSortForm final : public QDialog {
    Q_OBJECT
public:
    // Images: 0 the ascending, 1 the descending mark.
    explicit TDBGridSortForm(const QVector<QIcon>& images, QWidget* parent = nullptr);
    ~TDBGridSortForm() override;

    // Runs the dialog; on OK the dataset's sort text is replaced. True on OK.
    bool Execute(TDataSet& dataSet);

    // The steps of Execute, for tests.
    void LoadSort(TDataSet& dataSet);
    QString SortText() const;

    void AddOne();
    void AddAll();
    void RemoveOne();
    void RemoveAll();
    void FlipDirection();
    void UpdateButtons();

    TDragListWidget* AvailableListView() const;
    TDragListWidget* SortListView() const;

protected:
    // Entering a list with rows but no selection selects its first row, so the keyboard
    // commands work at once.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void move(QListWidget* from, QListWidget* to, const QList<QListWidgetItem*>& rows);
    void setDirection(QListWidgetItem* item, int image);
    void showDirection(QListWidgetItem* item);
    QListWidgetItem* makeItem(TField& field, int image);

    std::unique_ptr<Ui::TDBGridSortForm> ui;
    QVector<QIcon> m_images;
    QAction* m_addOne;
    QAction* m_removeOne;
};
