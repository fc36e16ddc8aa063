#pragma once
// Texts of the segments grid, shared by the window and the command line.

#include <array>
#include <cstdint>
#include <string>

#include "tracklog/track_table.h"

namespace orvald {

// "%Y/%m/%d  %H:%M:%S" of UTC seconds since 1970.
std::string FormatDateTime(int64_t utcSeconds);
// "%2d:%02d:%02d" of a count of seconds taken as unsigned 32-bit.
std::string FormatDuration(int64_t seconds);

inline constexpr int kGridColumns = 7;
extern const std::array<const char*, kGridColumns> kGridHeadings;  // Sgm Start Finish ...
inline constexpr std::array<int, kGridColumns> kGridColumnWidths = {30, 119, 114, 60, 59, 53, 50};

// The cells of grid row `index + 1` for a segment.
std::array<std::string, kGridColumns> SegmentRowCells(int index, const TrackSegment& segment);

}  // namespace orvald
