#include "tables/edited_table.h"

#include "tables/grid_file.h"

namespace orvald {

TableFileResult EditedTable::Load() {
  const TableFileResult result = LoadGrid(grid_, filePath_, cantRead_);
  if (result.ok()) byteOrderMark_ = result.byteOrderMark;
  return result;
}

TableFileResult EditedTable::Save() const { return SaveGrid(grid_, filePath_, cantWrite_, byteOrderMark_); }

GridKeyEffect EditedTable::KeyDown(GridKey key, int selectionBottomRow) {
  return ApplyGridKey(grid_, key, selectionBottomRow, LastRowRemovable());
}

}  // namespace orvald
