#pragma once

#include <QIcon>
#include <QVector>

class TDataSet;
class TExDBGrid;
class TField;

// Paints the sort marks of grid titles: ascending and descending for the first sort
// column, then lighter ones numbered 2 to SortMarkPlaces for the later columns.
QVector<QIcon> MakeSortMarkImages();

// Sorts by one field (ascending or descending) or, without a field, runs the advanced
// sort dialog; the current record stays current and a pending edit is posted first.
void SortDataSet(TDataSet& dataSet, TField* field, TExDBGrid* grid, bool ascending);
// A title click: the first click sorts a column descending, the next ascending; memo and
// blob columns do not sort.
void ToggleColumnSort(TExDBGrid& grid, int column);
