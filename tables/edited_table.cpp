#include "tables/edited_table.h"

#include "tables/grid_file.h"

namespace orvald {

TableFileResult EditedTable::Load() { return LoadGrid(grid_, filePath_, cantRead_); }

TableFileResult EditedTable::Save() const { return SaveGrid(grid_, filePath_, cantWrite_); }

GridKeyEffect EditedTable::KeyDown(GridKey key, int selectionBottomRow) {
  return ApplyGridKey(grid_, key, selectionBottomRow, LastRowRemovable());
}

}  // namespace orvald
