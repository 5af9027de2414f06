#pragma once

#include <QListWidget>

// A list whose rows can be dragged to another list of the same kind or within itself. A
// drop inserts the dragged row (the source's selected row) at the row under the mouse,
// after it when moving down within one list, or at the end; a list takes drops only from
// the lists it was told to accept.
class TDragListWidget final : public QListWidget {
    Q_OBJECT
public:
    explicit TDragListWidget(QWidget* parent = nullptr);

    // The lists (this one among them, if so) whose rows may be dropped here.
    void AcceptDropsFrom(const QList<const QObject*>& sources) { m_sources = sources; }
    // Column-list rule: the dragged row goes in before the row under the mouse (the last
    // row when below it) and the row then at that index is selected.
    void SetInsertBeforeTarget(bool on) { m_insertBeforeTarget = on; }

    // The drop itself, callable without a mouse: the row at 'from' of the source goes to
    // the row index under the drop point (-1 for none) of this list.
    int DropRow(TDragListWidget* source, int from, int under);

Q_SIGNALS:
    // After a drop, with the list that lost the row and the dropped row's new index here.
    void dropped(TDragListWidget* source, int newRow);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QList<const QObject*> m_sources;
    bool m_insertBeforeTarget = false;
};
