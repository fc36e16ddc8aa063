#pragma once
// Loading a grid from its table file and saving it back, shared by the
// loggers and the task windows tables.

#include <string>

#include "tables/table_status.h"
#include "tables/text_grid.h"

namespace orvald {

// Fills data rows 1 and on from the lines of `path`, one row per line, cells
// cut at every TAB. A UTF-8 byte-order mark at the start is no part of the
// first cell; the result says it was there. A line with more fields than the grid has columns keeps
// only the first ones (the rest is lost at the next save). A file without
// lines leaves the grid as it is. When the file cannot be read the grid is cut
// back to one data row, which keeps its cells, and the result carries
// `readMessage`.
TableFileResult LoadGrid(TextGrid& grid, const std::string& path, const std::string& readMessage);

// Replaces `path` with data rows 1 and on of `grid`, each line ended by CR LF,
// after a byte-order mark when `byteOrderMark` says so. On failure the old
// file stays as it was and the result carries `writeMessage`.
TableFileResult SaveGrid(const TextGrid& grid, const std::string& path, const std::string& writeMessage,
                         bool byteOrderMark = false);

}  // namespace orvald
