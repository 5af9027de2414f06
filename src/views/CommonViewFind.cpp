#include "views/CommonViewFrm.h"

#include "gridtools/ExDBGrid.h"
#include "gridtools/FindDBGridCell.h"

#include <QAction>
#include <QLabel>
#include <QToolBar>
#include <QToolButton>

// The search box's modes and steps, kept apart from the view's other roles.

void TCommonViewForm::createFindActions() {
    // The modes act as soon as they are switched, from the first record.
    actFindAnywhere = makeAction("actFindAnywhere", tr("в любом месте"),
                                 tr("Искать текст в любом месте значения"), []() {});
    actFindAnywhere->setCheckable(true);
    connect(actFindAnywhere, &QAction::toggled, ViewFindDBGridCell, &TFindDBGridCell::SetAnywhere);
    actFindAllColumns = makeAction("actFindAllColumns", tr("во всех столбцах"),
                                   tr("Искать текст во всех видимых столбцах"), []() {});
    actFindAllColumns->setCheckable(true);
    connect(actFindAllColumns, &QAction::toggled, ViewFindDBGridCell,
            &TFindDBGridCell::SetAllColumns);
    actFindNext = makeAction("actFindNext", tr("Найти далее"), tr("Найти далее"),
                             [this]() { ViewFindDBGridCell->FindNext(); });
    actFindNext->setShortcut(QKeySequence(Qt::Key_F3));
    actFindPrevious = makeAction("actFindPrevious", tr("Найти назад"), tr("Найти назад"),
                                 [this]() { ViewFindDBGridCell->FindPrevious(); });
    actFindPrevious->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
    actFocusFind = makeAction("actFocusFind", tr("Поиск"), tr("Поиск"), [this]() {
        ViewFindDBGridCell->setFocus(Qt::ShortcutFocusReason);
        ViewFindDBGridCell->selectAll();
    });
    actFocusFind->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
}

void TCommonViewForm::addFindControls(QToolBar* bar) {
    for (QAction* mode : {actFindAnywhere, actFindAllColumns}) {
        auto* button = new QToolButton(bar);
        button->setObjectName(mode->objectName().mid(3) + QStringLiteral("Button"));
        button->setDefaultAction(mode);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        bar->addWidget(button);
    }
    FindStateLabel = new QLabel(tr("не найдено"), bar);
    FindStateLabel->setObjectName(QStringLiteral("FindStateLabel"));
    FindStateLabel->setStyleSheet(QStringLiteral("QLabel { color: #b00000; padding: 0 4px; }"));
    // A tool bar shows and hides its widgets through their actions.
    QAction* state = bar->addWidget(FindStateLabel);
    state->setVisible(false);
    connect(ViewFindDBGridCell, &TFindDBGridCell::NotFoundChanged, state, &QAction::setVisible);
}
