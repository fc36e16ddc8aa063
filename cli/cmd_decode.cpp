// orvald-cli decode FILE [--tz-offset SECONDS]
// The identity, the point count and the segments grid of a raw file, tab-separated.

#include <cstdio>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/raw_file.h"
#include "tracklog/raw_image.h"
#include "tracklog/grid_text.h"

namespace orvald::cli {
namespace {

void AppendRow(std::string& text, const std::string* cells, int count) {
  for (int i = 0; i < count; ++i) {
    if (i > 0) text += '\t';
    text += cells[i];
  }
  text += '\n';
}

}  // namespace

bool DecodeReport(const std::string& path, long _timezone, std::string& text, std::string& error,
                  DecodeResult* decoded) {
  TrackTable table;
  DecodeResult result;
  const bool read = DecodeRawFileForCommand(path, _timezone, table, result, error);
  if (decoded != nullptr) *decoded = result;
  if (!read) return false;

  text += "serial\t" + SafeDisplayText(table.serialText) + "\ntype\t" + SafeDisplayText(table.typeText) +
          "\npoints\t" + std::to_string(table.pointCount) + "\n";
  std::string headings[kGridColumns];
  for (int i = 0; i < kGridColumns; ++i) headings[i] = kGridHeadings[i];
  AppendRow(text, headings, kGridColumns);
  for (int i = 0; i < table.segmentCount; ++i) {
    const auto cells = SegmentRowCells(i, table.segments()[i]);
    AppendRow(text, cells.data(), kGridColumns);
  }
  if (result.segments.limitReached) {
    std::fprintf(stderr, "orvald-cli: %d segments is the most a log can show; later points are in none\n",
                 kMaxSegments);
  }
  return true;
}

int RunDecode(const std::vector<std::string>& args) {
  const ParsedArgs parsed = ParseArgs(args, {"tz-offset"});
  if (!parsed.error.empty()) return UsageError("decode", parsed.error);
  if (parsed.positional.size() != 1) return UsageError("decode", "expects exactly one FILE");
  long _timezone = 0;
  std::string error;
  if (!TimezoneOption(parsed, _timezone, error)) return UsageError("decode", error);

  std::string text;
  DecodeResult decoded;
  if (!DecodeReport(parsed.positional[0], _timezone, text, error, &decoded)) return Failure(error);
  ReportDecodeNotices(parsed.positional[0], decoded);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return kExitOk;
}

}  // namespace orvald::cli
