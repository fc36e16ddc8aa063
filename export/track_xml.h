#pragma once
// The selected segments as KML and as GPX 1.1, for the tools that do not read
// IGC: the same fixes as the IGC file (its coordinates, to a millionth of a
// degree, and its whole metres), with UTC dates and times.

#include <cstdint>
#include <string>

#include "export/igc_writer.h"
#include "tracklog/track_table.h"

namespace orvald {

// KML: one placemark per segment holding a time-stamped line (gx:Track, the
// KML line whose vertices carry their times; a LineString has no place for
// them), absolute altitudes; the event marks as points.
// The selection must be usable (see IgcSelectionProblem).
std::string KmlFileText(const TrackTable& table, const IgcSaveRequest& request, const std::string& title);

// GPX 1.1: one track, one track segment per segment, event marks as waypoints.
std::string GpxFileText(const TrackTable& table, const IgcSaveRequest& request, const std::string& title);

// "2007-04-10T10:15:30Z".
std::string IsoUtcText(int64_t utcSeconds);

}  // namespace orvald
