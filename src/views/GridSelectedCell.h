#pragma once

#include "views/QuickFilterUnit.h"

class TExDBGrid;

// The grid's selected cell as a quick filter reads it: its field and the current row's value
// and, when the cell's editor is open, the editor's text and selection. An empty cell
// (no field) when no column is selected.
TSelectedCell GridSelectedCell(const TExDBGrid& grid);
