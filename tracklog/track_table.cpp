#include "tracklog/track_table.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace orvald {

// Points are left as they come: nothing reads one before a decode writes it.
// Segments must read as zero beyond the count, so they come from calloc,
// whose fresh pages are zero without being written.
TrackTable::TrackTable()
    : points_(std::make_unique_for_overwrite<TrackPoint[]>(kMaxPoints)),
      segments_(static_cast<TrackSegment*>(std::calloc(kMaxSegments, sizeof(TrackSegment)))) {
  if (!segments_) throw std::bad_alloc();
}

void TrackTable::FreeStorage::operator()(void* storage) const { std::free(storage); }

// Only the counted segments can be non-zero, so clearing them keeps the rest
// of the array zero; the points are left for the next decode to overwrite.
void TrackTable::Clear() {
  std::fill_n(segments_.get(), std::clamp(segmentCount, 0, kMaxSegments), TrackSegment{});
  pointCount = 0;
  segmentCount = 0;
  serialText.clear();
  typeText.clear();
}

}  // namespace orvald
