#pragma once

#include "common/UtilsUnit.h"

#include <QObject>

class QAction;
class QActionGroup;
class QMenu;
class QWidget;

// The drop-down of a view's saved filters: the command that saves the current one, then
// one item per filter stored under the view's key, the applied one ticked.
class TSavedFiltersMenu final : public QObject {
    Q_OBJECT
public:
    TSavedFiltersMenu(QWidget* window, QAction* saveCurrent);

    QMenu* Menu() const { return m_menu; }
    // The stored filters as "name=filter" entries.
    const TValuesList& Filters() const { return m_filters; }
    // The filter text of an entry; empty past the list's end.
    QString FilterAt(int index) const;
    // Reads the filters stored under the key again and lists them.
    void Rebuild(const QString& filtersKey);
    // Ticks the entry whose filter is the one applied (none for an empty text).
    void MarkApplied(const QString& applied);

Q_SIGNALS:
    void Chosen(int index);

private:
    QMenu* m_menu;
    QActionGroup* m_group;
    TValuesList m_filters;
};
