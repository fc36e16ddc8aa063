#pragma once
// The byte layout shared by loggers.tsv and tasks.tsv: one line per data row,
// cells joined by single TABs, CR LF after every line, no heading, no quoting.

#include <string>
#include <string_view>
#include <vector>

#include "tables/text_grid.h"

namespace orvald {

// The lines of a file image. A line ends at CR LF, at LF, or at a CR alone.
// A last line without line end is a line; nothing after the last line end is
// not. Lines may be of any length.
std::vector<std::string_view> SplitTsvLines(std::string_view bytes);

// Exactly `fieldCount` cells of one line: cut at every TAB, so that an empty
// field stays in its own column; missing fields are empty and fields past
// `fieldCount` are dropped.
std::vector<std::string> SplitTsvFields(std::string_view line, int fieldCount);

// Data rows 1 to the last of `grid`, each line ended by CR LF; blank rows too.
std::string FormatTsv(const TextGrid& grid);

}  // namespace orvald
