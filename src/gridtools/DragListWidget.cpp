#include "gridtools/DragListWidget.h"

#include <QDropEvent>

TDragListWidget::TDragListWidget(QWidget* parent) : QListWidget(parent) {
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
}

void TDragListWidget::dragEnterEvent(QDragEnterEvent* event) {
    if (m_sources.contains(event->source())) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TDragListWidget::dragMoveEvent(QDragMoveEvent* event) {
    if (m_sources.contains(event->source())) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

int TDragListWidget::DropRow(TDragListWidget* source, int from, int under) {
    if (!source || from < 0 || from >= source->count()) {
        return -1;
    }
    if (m_insertBeforeTarget && source == this) {
        const int target = under < 0 ? count() - 1 : under;
        insertItem(target, source->item(from)->clone());
        delete takeItem(target <= from ? from + 1 : from);
        setCurrentRow(target);
        item(target)->setSelected(true);
        Q_EMIT dropped(source, target);
        return target;
    }
    int at = under;
    if (at >= 0 && source == this && from < at) {
        ++at;
    }
    QListWidgetItem* copy = source->item(from)->clone();
    if (at < 0 || at > count()) {
        at = count();
    }
    insertItem(at, copy);
    const int fromNow = source == this && at <= from ? from + 1 : from;
    delete source->takeItem(fromNow);
    const int newRow = row(copy);
    setCurrentRow(newRow);
    copy->setSelected(true);
    Q_EMIT dropped(source, newRow);
    return newRow;
}

void TDragListWidget::dropEvent(QDropEvent* event) {
    auto* source = qobject_cast<TDragListWidget*>(event->source());
    if (!source || !m_sources.contains(source)) {
        event->ignore();
        return;
    }
    const QListWidgetItem* under = itemAt(event->position().toPoint());
    DropRow(source, source->currentRow(), under ? row(under) : -1);
    event->setDropAction(Qt::IgnoreAction);  // the rows were moved here already
    event->accept();
}
