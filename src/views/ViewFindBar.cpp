#include "views/ViewFindBar.h"

#include "gridtools/ExDBGrid.h"
#include "gridtools/FindDBGridCell.h"
#include "views/ViewCommand.h"

#include <QAction>
#include <QLabel>
#include <QToolBar>
#include <QToolButton>

TViewFindBar::TViewFindBar(QWidget* window, TFindDBGridCell& box) : m_box(box) {
    // The modes act as soon as they are switched, from the first record.
    m_anywhere = MakeViewCommand(window, "actFindAnywhere", tr("в любом месте"),
                                 tr("Искать текст в любом месте значения"), []() {});
    m_anywhere->setCheckable(true);
    QObject::connect(m_anywhere, &QAction::toggled, &box, &TFindDBGridCell::SetAnywhere);
    m_allColumns = MakeViewCommand(window, "actFindAllColumns", tr("во всех столбцах"),
                                   tr("Искать текст во всех видимых столбцах"), []() {});
    m_allColumns->setCheckable(true);
    QObject::connect(m_allColumns, &QAction::toggled, &box, &TFindDBGridCell::SetAllColumns);
    QAction* next = MakeViewCommand(window, "actFindNext", tr("Найти далее"), tr("Найти далее"),
                                    [&box]() { box.FindNext(); });
    next->setShortcut(QKeySequence(Qt::Key_F3));
    QAction* previous = MakeViewCommand(window, "actFindPrevious", tr("Найти назад"),
                                        tr("Найти назад"), [&box]() { box.FindPrevious(); });
    previous->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
    QAction* focus = MakeViewCommand(window, "actFocusFind", tr("Поиск"), tr("Поиск"), [&box]() {
        box.setFocus(Qt::ShortcutFocusReason);
        box.selectAll();
    });
    focus->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
}

void TViewFindBar::AddControls(QToolBar* bar) {
    for (QAction* mode : {m_anywhere, m_allColumns}) {
        auto* button = new QToolButton(bar);
        button->setObjectName(mode->objectName().mid(3) + QStringLiteral("Button"));
        button->setDefaultAction(mode);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        bar->addWidget(button);
    }
    auto* label = new QLabel(tr("не найдено"), bar);
    label->setObjectName(QStringLiteral("FindStateLabel"));
    label->setStyleSheet(QStringLiteral("QLabel { color: #b00000; padding: 0 4px; }"));
    // A tool bar shows and hides its widgets through their actions.
    QAction* state = bar->addWidget(label);
    state->setVisible(false);
    QObject::connect(&m_box, &TFindDBGridCell::NotFoundChanged, state, &QAction::setVisible);
}

bool TViewFindBar::Anywhere() const {
    return m_box.Anywhere();
}

bool TViewFindBar::AllColumns() const {
    return m_box.AllColumns();
}

void TViewFindBar::SetModes(bool anywhere, bool allColumns) {
    m_anywhere->setChecked(anywhere);
    m_allColumns->setChecked(allColumns);
}
