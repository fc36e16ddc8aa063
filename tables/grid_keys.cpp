#include "tables/grid_keys.h"

namespace orvald {

GridKeyEffect ApplyGridKey(TextGrid& grid, GridKey key, int selectionBottomRow, bool lastRowRemovable) {
  if (selectionBottomRow != grid.lastRow()) return GridKeyEffect::None;
  switch (key) {
    case GridKey::Down:
      grid.AddRow();
      return GridKeyEffect::RowAdded;
    case GridKey::Up:
      if (grid.rowCount() > 2 && lastRowRemovable) {
        grid.RemoveLastRow();
        return GridKeyEffect::RowRemoved;
      }
      return GridKeyEffect::None;
    case GridKey::Other:
      break;
  }
  return GridKeyEffect::None;
}

}  // namespace orvald
