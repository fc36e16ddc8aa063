#pragma once
// Opening a saved log: a raw image (.G00, or anything else) goes through the
// raw decode, an IGC file (.igc in any case) through the IGC reader. Both
// leave the same kind of track table, so selection and saving never ask
// where a log came from.

#include <string>

#include "tracklog/decoder.h"
#include "tracklog/time_basis.h"
#include "tracklog/track_table.h"

namespace orvald {

bool IsIgcFileName(const std::string& path);

DecodeResult DecodeLogFile(const std::string& path, TrackTable& table, const TimeBasis& basis,
                           const SegmentSink& sink = {});

// Why a decode failed, in words, for the operator; empty when it did not.
std::string DecodeFailureText(const std::string& path, const DecodeResult& result);

// What an IGC import left out or clamped, in words, for the operator
// ("2 fixes beyond the 116448 a log can hold were left out; 1 altitude
// beyond +/-9987 m was clamped"); empty when it kept everything as it was.
std::string ImportLossText(const DecodeResult& result);

// Everything the operator should know of a decoded file, in words: the
// import losses, the B records that could not be read, and the signs of a
// file that is not a log ("it does not look like a log: the serial number
// is garbled; 3 segments end before they start"); empty when there are none.
std::string DecodeNoticeText(const DecodeResult& result);

// What an open says beside the grid: why a decode failed, or its notices.
std::string DecodeWarningText(const std::string& path, const DecodeResult& result);

}  // namespace orvald
