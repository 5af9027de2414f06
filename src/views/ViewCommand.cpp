#include "views/ViewCommand.h"

#include "common/DialogsUnit.h"

#include <QAction>
#include <QWidget>

QAction* MakeViewCommand(QWidget* window, const char* name, const QString& caption,
                         const QString& hint, const std::function<void()>& handler) {
    auto* a = new QAction(caption, window);
    a->setObjectName(QLatin1String(name));
    a->setToolTip(hint);
    a->setStatusTip(hint);
    a->setShortcutContext(Qt::WindowShortcut);
    window->addAction(a);
    QObject::connect(a, &QAction::triggered, window, [handler]() { Guarded(handler); });
    return a;
}
