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

void PrintRow(const std::string* cells, int count) {
  std::string line;
  for (int i = 0; i < count; ++i) {
    if (i > 0) line += '\t';
    line += cells[i];
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stdout);
}

}  // namespace

int RunDecode(const std::vector<std::string>& args) {
  const ParsedArgs parsed = ParseArgs(args, {"tz-offset"});
  if (!parsed.error.empty()) return UsageError("decode", parsed.error);
  if (parsed.positional.size() != 1) return UsageError("decode", "expects exactly one FILE");
  long _timezone = 0;
  std::string error;
  if (!TimezoneOption(parsed, _timezone, error)) return UsageError("decode", error);

  TrackTable table;
  DecodeResult result;
  if (!DecodeRawFileForCommand(parsed.positional[0], _timezone, table, result, error)) return Failure(error);

  std::printf("serial\t%s\ntype\t%s\npoints\t%d\n", SafeDisplayText(table.serialText).c_str(),
              SafeDisplayText(table.typeText).c_str(),
              table.pointCount);
  std::string headings[kGridColumns];
  for (int i = 0; i < kGridColumns; ++i) headings[i] = kGridHeadings[i];
  PrintRow(headings, kGridColumns);
  for (int i = 0; i < table.segmentCount; ++i) {
    const auto cells = SegmentRowCells(i, table.segments()[i]);
    PrintRow(cells.data(), kGridColumns);
  }
  if (result.segments.limitReached) {
    std::fprintf(stderr, "orvald-cli: %d segments is the most a log can show; later points are in none\n",
                 kMaxSegments);
  }
  return kExitOk;
}

}  // namespace orvald::cli
