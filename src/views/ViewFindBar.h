#pragma once

#include <QCoreApplication>

class QAction;
class QLabel;
class QToolBar;
class QWidget;
class TFindDBGridCell;

// The search box's modes and steps: the text anywhere in the value, in every visible
// column; the next and previous match (F3, Shift+F3); Ctrl+F goes to the box; and the
// label that says when nothing was found.
class TViewFindBar final {
    Q_DECLARE_TR_FUNCTIONS(TCommonViewForm)
public:
    TViewFindBar(QWidget* window, TFindDBGridCell& box);

    // The mode buttons and the state label, after the box on the view's tool bar.
    void AddControls(QToolBar* bar);
    bool Anywhere() const;
    bool AllColumns() const;
    void SetModes(bool anywhere, bool allColumns);

private:
    TFindDBGridCell& m_box;
    QAction* m_anywhere;
    QAction* m_allColumns;
};
