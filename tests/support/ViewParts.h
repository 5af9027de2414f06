#pragma once

#include "gridtools/ExDBGrid.h"
#include "gridtools/FindDBGridCell.h"
#include "platform/db/DataSet.h"

#include <QAction>

// The parts of a record view a test or a benchmark reads and drives, found by their
// objectNames: its commands, the records shown, the grid showing them and the search box
// above it. A missing one ends the run loudly.
template <typename T>
T& ViewPart(QObject& view, const char* name) {
    T* part = view.findChild<T*>(QLatin1String(name));
    if (!part) {
        qFatal("no part %s", name);
    }
    return *part;
}
inline QAction* ViewAction(QObject& view, const char* name) {
    return &ViewPart<QAction>(view, name);
}
inline TDataSet& ViewData(QObject& view) {
    return ViewPart<TDataSet>(view, "adsCommon");
}
inline TExDBGrid& ViewGrid(QObject& view) {
    return ViewPart<TExDBGrid>(view, "CommonExDBGrid");
}
inline TFindDBGridCell& ViewFindBox(QObject& view) {
    return ViewPart<TFindDBGridCell>(view, "ViewFindDBGridCell");
}
