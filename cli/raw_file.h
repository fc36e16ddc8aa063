#pragma once
// Decoding a raw file (or an IGC file) for a command, with the reason in words
// when it fails.

#include <string>

#include "tracklog/decoder.h"
#include "tracklog/track_table.h"

namespace orvald::cli {

// Fills the table from the file, with `_timezone` as the offset and the
// clock's year. False, with `error` set, when the file cannot be read.
bool DecodeRawFileForCommand(const std::string& path, long _timezone, TrackTable& table, DecodeResult& result,
                             std::string& error);

// What `decode` prints for a decoded table (identity, point count, the
// segments grid), appended to `text`.
void AppendTableReport(const TrackTable& table, std::string& text);

// What `decode` prints for the file, appended to `text`. False, with `error` set, when it cannot be read.
// `result`, when given, receives how the decode went.
bool DecodeReport(const std::string& path, long _timezone, std::string& text, std::string& error,
                  DecodeResult* result = nullptr);

// What the operator should know of a file they named, decoded: that its
// download ended early, or what DecodeNoticeText says of it. A line
// each on stderr; the command still succeeds.
void ReportDecodeNotices(const std::string& path, const DecodeResult& result);

}  // namespace orvald::cli
