#pragma once
// The task form of "orvald-cli igc": the segments come from a task's window in
// a tasks table, and the competition number and pilot names may come from a
// loggers table, as the window's Task Window tab and download do.

#include <string>

#include "cli/args.h"
#include "desk/desk_task.h"
#include "export/igc_writer.h"
#include "tracklog/track_table.h"

namespace orvald::cli {

// "igc FILE --task TEXT --tasks TASKS.tsv [--loggers LOGGERS.tsv] [--compet
// TEXT] [--pilot TEXT] [--dir DIR] [--tz-offset SECONDS]", already parsed.
int RunIgcByTask(const ParsedArgs& parsed);

// The window of --task in the --tasks table. False, with `error` set, when
// the table cannot be read or does not hold the task.
bool ReadTaskWindowOption(const ParsedArgs& parsed, std::string& date, std::string& timeFrom, std::string& timeTo,
                          std::string& error);

// With --loggers, fills the request's competition number and pilot names from
// the loggers table row that names the file's serial text; --compet and
// --pilot win over the table. False, with `error` set, when the table cannot
// be read.
bool ApplyLoggersOption(const ParsedArgs& parsed, const TrackTable& table, IgcSaveRequest& request,
                        std::string& error);

// The end both forms of "igc" share: the identification and task from the raw
// file and the options, the file written into --dir, its name printed (and
// the names of the KML and GPX files --also-kml and --also-gpx add, one a line).
// Returns the command's exit status.
int SaveSelectedSegments(const ParsedArgs& parsed, const TrackTable& table, long _timezone, int firstSegment,
                         int lastSegment);

}  // namespace orvald::cli
