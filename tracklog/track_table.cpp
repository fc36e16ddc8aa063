#include "tracklog/track_table.h"

#include <algorithm>

namespace orvald {

// Value-initialised: every point and segment starts as all zero.
TrackTable::TrackTable()
    : points_(std::make_unique<TrackPoint[]>(kMaxPoints)),
      segments_(std::make_unique<TrackSegment[]>(kMaxSegments)) {}

// Only the counted entries can be non-zero (the decoder never writes beyond
// them), so clearing them is enough to leave the whole storage zero.
void TrackTable::Clear() {
  std::fill_n(points_.get(), std::clamp(pointCount, 0, kMaxPoints), TrackPoint{});
  std::fill_n(segments_.get(), std::clamp(segmentCount, 0, kMaxSegments), TrackSegment{});
  pointCount = 0;
  segmentCount = 0;
  serialText.clear();
  typeText.clear();
}

}  // namespace orvald
