#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QMenu;
class QMenuBar;
class QWidget;

// Merges the menus of the active window into the main window's menu bar by group index:
// a lent menu replaces the main menus of its group, others go in ascending group order.
// The lent menus stay while the main window itself is active, and go when another
// non-modal window becomes active, when the lending window is hidden or destroyed. Modal dialogs
// never merge.
class TMenuMerger final : public QObject {
    Q_OBJECT
public:
    TMenuMerger(QWidget* mainWindow, QMenuBar* bar, QList<QMenu*> ownMenus);

    void Merge(QWidget* window);
    void Unmerge();
    QWidget* MergedWindow() const { return m_merged; }
    // The captions of the bar as it stands, for tests and the windows that ask.
    QStringList Captions() const;

    static bool IsMergeable(const QWidget* window);
    static QList<QMenu*> MenusOf(const QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rebuild(const QList<QMenu*>& lent);

    QWidget* m_main;
    QMenuBar* m_bar;
    QList<QMenu*> m_own;
    QPointer<QWidget> m_merged;
};
