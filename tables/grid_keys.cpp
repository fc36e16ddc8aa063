#include "tables/grid_keys.h"

namespace orvald {

GridKeyEffect ApplyGridKey(TextGrid& grid, GridKey key, int selectionBottomRow, bool lastRowRemovable) {
  if (selectionBottomRow != grid.lastRow()) return GridKeyEffect::kNone;
  switch (key) {
    case GridKey::kDown:
      grid.AddRow();
      return GridKeyEffect::kRowAdded;
    case GridKey::kUp:
      if (grid.rowCount() > 2 && lastRowRemovable) {
        grid.RemoveLastRow();
        return GridKeyEffect::kRowRemoved;
      }
      return GridKeyEffect::kNone;
    case GridKey::kOther:
      break;
  }
  return GridKeyEffect::kNone;
}

}  // namespace orvald
