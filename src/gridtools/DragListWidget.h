#pragma once

#include <QListWidget>

#include <functional>

// A list whose rows can be dragged to another list of the same kind or within itself. A
// drop inserts the dragged row (the source's selected row) at the row under the mouse,
// after it when moving down within one list, or at the end; AcceptFrom decides which
// sources a list takes drops from.
class TDragListWidget final : public QListWidget {
    Q_OBJECT
public:
    explicit TDragListWidget(QWidget* parent = nullptr);

    std::function<bool(const QObject* source)> AcceptFrom;
    // Column-list rule: the dragged row goes in before the row under the mouse (the last
    // row when below it) and the row then at that index is selected.
    bool InsertBeforeTarget = false;
    // Called after a drop with the list that lost the row.
    std::function<void(TDragListWidget* source, int newRow)> OnDropped;

    // The drop itself, callable without a mouse: the row at 'from' of the source goes to
    // the row index under the drop point (-1 for none) of this list.
    int DropRow(TDragListWidget* source, int from, int under);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};
