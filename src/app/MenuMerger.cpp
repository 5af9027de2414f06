#include "app/MenuMerger.h"

#include "common/ConstsUnit.h"

#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>

namespace {
int groupOf(const QMenu* menu) {
    return menu->property(GroupIndexProperty).toInt();
}
}  // namespace

TMenuMerger::TMenuMerger(QWidget* mainWindow, QMenuBar* bar, QList<QMenu*> ownMenus)
    : QObject(mainWindow), m_main(mainWindow), m_bar(bar), m_own(std::move(ownMenus)) {
    qApp->installEventFilter(this);
    rebuild({});
}

bool TMenuMerger::IsMergeable(const QWidget* window) {
    return window && window->property(MergeMenusProperty).toBool();
}

QList<QMenu*> TMenuMerger::MenusOf(const QWidget* window) {
    QList<QMenu*> menus;
    if (const auto* bar = window->findChild<QMenuBar*>()) {
        for (QAction* a : bar->actions()) {
            if (a->menu()) {
                menus << a->menu();
            }
        }
    }
    return menus;
}

void TMenuMerger::rebuild(const QList<QMenu*>& lent) {
    QList<QMenu*> result;
    for (QMenu* own : m_own) {
        bool replaced = false;
        for (const QMenu* l : lent) {
            replaced = replaced || groupOf(l) == groupOf(own);
        }
        if (!replaced) {
            result << own;
        }
    }
    for (QMenu* l : lent) {
        // After every menu of a lower or equal group: the order stays stable.
        int at = result.size();
        for (int i = 0; i < result.size(); ++i) {
            if (groupOf(result[i]) > groupOf(l)) {
                at = i;
                break;
            }
        }
        result.insert(at, l);
    }
    m_bar->clear();
    for (QMenu* m : result) {
        m_bar->addAction(m->menuAction());
    }
}

void TMenuMerger::Merge(QWidget* window) {
    if (window == m_merged) {
        return;
    }
    if (m_merged) {
        disconnect(m_merged, &QObject::destroyed, this, nullptr);
    }
    m_merged = window;
    connect(window, &QObject::destroyed, this, [this]() {
        m_merged = nullptr;
        rebuild({});
    });
    rebuild(MenusOf(window));
}

void TMenuMerger::Unmerge() {
    if (!m_merged) {
        return;
    }
    disconnect(m_merged, &QObject::destroyed, this, nullptr);
    m_merged = nullptr;
    rebuild({});
}

QStringList TMenuMerger::Captions() const {
    QStringList captions;
    for (const QAction* a : m_bar->actions()) {
        captions << a->text();
    }
    return captions;
}

bool TMenuMerger::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || !widget->isWindow()) {
        return false;
    }
    switch (event->type()) {
        case QEvent::WindowActivate:
            if (widget == m_main || widget->isModal() || widget->windowModality() != Qt::NonModal ||
                (widget->windowFlags() & Qt::Popup) == Qt::Popup) {
                break;  // the main window keeps what is merged; modal windows never merge
            }
            if (IsMergeable(widget)) {
                Merge(widget);
            } else {
                Unmerge();
            }
            break;
        case QEvent::Show:
            // Shown again while the system still counts it as the active window.
            if (IsMergeable(widget) && widget->isActiveWindow() && !widget->isModal()) {
                Merge(widget);
            }
            break;
        case QEvent::Hide:
            // A hidden window's commands never stay on the main bar.
            if (widget == m_merged) {
                Unmerge();
            }
            break;
        default:
            break;
    }
    return false;
}
