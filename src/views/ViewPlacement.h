#pragma once

#include <QRect>
#include <QString>

class QWidget;
class TDataSet;
class TExDBGrid;
class TFormPlacement;
class TViewFindBar;
class TViewQuery;

// Where a record view stands and what it keeps between runs: its position and size, its
// grid's columns, sort and filter, and the search box's modes; the place of a view never
// placed before and the reach of a maximised one.
class TViewPlacement final {
public:
    TViewPlacement(QWidget& window, TDataSet& dataSet, TExDBGrid& grid, TViewQuery& query,
                   TViewFindBar& find);
    TViewPlacement(const TViewPlacement&) = delete;
    TViewPlacement& operator=(const TViewPlacement&) = delete;

    // The registry section of the view, its class's name.
    void SetSection(const QString& section);
    QString ViewKey() const;
    QString GridKey() const;
    // Stores the view's placement now (it is closing).
    void Save();
    // The window's destructor calls this first.
    void WindowDestroying();

    // Where a maximised view goes: the work area below the main window, its side and
    // bottom borders just outside the screen.
    QRect MaximizedBounds() const;
    // Where a view that was never placed opens: the work area below the main bar.
    QRect FirstStartBounds() const;
    // The window is being shown: the first time ever, it goes to FirstStartBounds.
    void Showing();
    // The window's state changed: a maximised one is fitted to MaximizedBounds.
    void StateChanged();

private:
    void savePlacement();
    void restorePlacement();

    QWidget& m_window;
    TDataSet& m_dataSet;
    TExDBGrid& m_grid;
    TViewQuery& m_query;
    TViewFindBar& m_find;
    TFormPlacement* m_placement;
    bool m_inSizing = false;
    bool m_placedOnce = false;
};
