#pragma once
// Growing and shrinking a table from the keyboard: Down on the last row adds
// an empty row, Up on the last row takes it away again while it is still
// blank. Rows are never inserted or removed in the middle.

#include "tables/text_grid.h"

namespace orvald {

enum class GridKey { kDown, kUp, kOther };

enum class GridKeyEffect { kNone, kRowAdded, kRowRemoved };

// Applies one key press. `selectionBottomRow` is the bottom row of the grid's
// current selection; keys act only when it is the last row. `lastRowRemovable`
// is the table's own blank test for its last row. The grid's own handling of
// the key (moving the cursor) follows in the caller.
GridKeyEffect ApplyGridKey(TextGrid& grid, GridKey key, int selectionBottomRow, bool lastRowRemovable);

}  // namespace orvald
