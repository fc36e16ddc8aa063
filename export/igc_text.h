#pragma once
// The bytes of an IGC flight file for a selection of segments, handed on piece
// by piece as they are made, so that a full log's 4 MB go straight from a
// buffer that stays in the cache into the file.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "export/igc_writer.h"
#include "tracklog/track_table.h"

namespace orvald {

// Empty when request.firstSegment..lastSegment is a usable selection of the
// table's segments; otherwise the operator-readable reason it is not.
std::string IgcSelectionProblem(const TrackTable& table, int firstSegment, int lastSegment);

// Takes the next `count` bytes of a file; false when they could not be kept,
// which stops the writing.
using TextSink = std::function<bool(const char* bytes, size_t count)>;

// The whole file, in order, through `sink`: A, H and L records, E and B
// records, both G lines, CR LF ends. False when the sink refused a piece.
// The selection must be usable (see IgcSelectionProblem).
bool WriteIgcText(const TrackTable& table, const IgcSaveRequest& request, const TextSink& sink);
// The same bytes in one text.
std::string IgcFileText(const TrackTable& table, const IgcSaveRequest& request);

}  // namespace orvald
