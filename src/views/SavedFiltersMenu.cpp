#include "views/SavedFiltersMenu.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

namespace {
// The save command and its separator come before the filters.
constexpr int kFirstFilter = 2;
}  // namespace

TSavedFiltersMenu::TSavedFiltersMenu(QWidget* window, QAction* saveCurrent)
    : QObject(window), m_menu(new QMenu(window)), m_group(new QActionGroup(window)) {
    m_menu->setObjectName(QStringLiteral("FiltersPopupMenu"));
    m_menu->addAction(saveCurrent);
    m_menu->addSeparator();
    m_group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
}

QString TSavedFiltersMenu::FilterAt(int index) const {
    if (index < 0 || index >= m_filters.size()) {
        return QString();
    }
    const QString& entry = m_filters[index];
    return entry.mid(entry.indexOf(QLatin1Char('=')) + 1);
}

void TSavedFiltersMenu::Rebuild(const QString& filtersKey) {
    LoadValuesList(m_filters, filtersKey);
    const QList<QAction*> items = m_menu->actions();
    for (int i = kFirstFilter; i < items.size(); ++i) {
        m_menu->removeAction(items[i]);
        delete items[i];
    }
    for (int i = 0; i < m_filters.size(); ++i) {
        const QString name = m_filters[i].section(QLatin1Char('='), 0, 0);
        auto* item = new QAction(name, m_menu);
        item->setCheckable(true);
        item->setData(i);
        m_group->addAction(item);
        connect(item, &QAction::triggered, this, [this, i]() { Q_EMIT Chosen(i); });
        m_menu->addAction(item);
    }
}

void TSavedFiltersMenu::MarkApplied(const QString& applied) {
    const QList<QAction*> items = m_menu->actions();
    for (int i = kFirstFilter; i < items.size(); ++i) {
        items[i]->setChecked(false);
    }
    if (applied.isEmpty()) {
        return;
    }
    for (int i = 0; i < m_filters.size(); ++i) {
        if (FilterAt(i) == applied && i + kFirstFilter < items.size()) {
            items[i + kFirstFilter]->setChecked(true);
            return;
        }
    }
}
