#pragma once

#include <QDialog>
#include <QVector>

#include <memory>

namespace Ui {
class TEditDBGridForm;
}
class TExDBGrid;

// Which columns of a grid show, in which order and under which title. Works on a copy and
// changes the grid only on OK; widths are left alone.
class TEditDBGridForm final : public QDialog {
    Q_OBJECT
public:
    explicit TEditDBGridForm(QWidget* parent = nullptr);
    ~TEditDBGridForm() override;

    bool Execute(TExDBGrid& grid);

    // The steps of Execute, for tests.
    void LoadColumns(TExDBGrid& grid);
    void ApplyColumns(TExDBGrid& grid) const;
    void EntryChosen();
    void MoveUp();
    void MoveDown();
    void ApplyTitle();
    void OkButtonClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void exchange(int a, int b);

    std::unique_ptr<Ui::TEditDBGridForm> ui;
    int m_selectedColumn = -1;
    QVector<int> m_positions;  // the places of the listed columns, ascending
};

// Runs the column setup dialog on a grid; true when the grid was changed.
bool EditGridColumns(TExDBGrid& grid);
