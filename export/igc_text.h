#pragma once
// The bytes of an IGC flight file for a selection of segments, built in memory
// so that the file itself can be written in one checked go.

#include <cstdint>
#include <string>

#include "export/igc_writer.h"
#include "tracklog/track_table.h"

namespace orvald {

// Empty when request.firstSegment..lastSegment is a usable selection of the
// table's segments; otherwise the operator-readable reason it is not.
std::string IgcSelectionProblem(const TrackTable& table, int firstSegment, int lastSegment);

// The altitude every file written from a point carries: feet x 0.3048
// truncated toward zero, in whole metres.
int64_t AltitudeMetres(int32_t feet);

// The whole file: A, H and L records, E and B records, both G lines, CR LF ends.
// The selection must be usable (see IgcSelectionProblem).
std::string IgcFileText(const TrackTable& table, const IgcSaveRequest& request);

}  // namespace orvald
