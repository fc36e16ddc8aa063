// orvald-cli igc FILE --segments FIRST[-LAST] [--compet TEXT] [--task TEXT]
//                     [--pilot TEXT] [--loggers LOGGERS.tsv] [--dir DIR] [--tz-offset SECONDS]
//                     [--also-kml] [--also-gpx]
// Writes grid rows FIRST..LAST of a raw (or IGC) file as an IGC file and prints its name.
// With --tasks the rows come from a task's window instead (cmd_igc_task.cpp).

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/commands.h"
#include "export/igc_writer.h"
#include "cli/igc_task.h"
#include "cli/raw_file.h"

namespace orvald::cli {

int RunIgc(const std::vector<std::string>& args) {
  const ParsedArgs parsed =
      ParseArgs(args, {"segments", "compet", "task", "pilot", "dir", "tz-offset", "tasks", "loggers"},
                {"also-kml", "also-gpx"});
  if (!parsed.error.empty()) return UsageError("igc", parsed.error);
  if (parsed.positional.size() != 1) return UsageError("igc", "expects exactly one FILE");
  if (parsed.has("tasks")) return RunIgcByTask(parsed);
  if (!parsed.has("segments")) return UsageError("igc", "--segments is required");
  long first = 0;
  long last = 0;
  if (!ParseSegmentRange(parsed.options.at("segments"), first, last)) {
    return UsageError("igc", "--segments takes a grid row or a range of rows, such as 2 or 1-3");
  }
  long _timezone = 0;
  std::string error;
  if (!TimezoneOption(parsed, _timezone, error)) return UsageError("igc", error);

  TrackTable table;
  DecodeResult decoded;
  if (!DecodeRawFileForCommand(parsed.positional[0], _timezone, table, decoded, error)) return Failure(error);
  ReportDecodeNotices(parsed.positional[0], decoded);
  if (last > table.segmentCount) {
    return Failure(parsed.positional[0] + " has " + std::to_string(table.segmentCount) + " segments; row " +
                   std::to_string(last) + " does not exist");
  }

  return SaveSelectedSegments(parsed, table, _timezone, static_cast<int>(first - 1), static_cast<int>(last - 1));
}

}  // namespace orvald::cli
