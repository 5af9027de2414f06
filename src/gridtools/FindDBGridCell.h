#pragma once

#include <QLineEdit>
#include <QPointer>

class TExDBGrid;

// Moves to the first record, in the dataset's current order, whose value in the grid's
// selected column begins with the text (letters of any case); a search that finds nothing
// leaves the current record alone.
bool LocateInGrid(const QString& text, TExDBGrid* grid);

// The search box of a record view: every change of its text searches again from the
// first record. An empty box does not move.
class TFindDBGridCell final : public QLineEdit {
    Q_OBJECT
public:
    explicit TFindDBGridCell(QWidget* parent = nullptr);
    void SetDBGrid(TExDBGrid* grid) { m_grid = grid; }

private:
    QPointer<TExDBGrid> m_grid;
};
