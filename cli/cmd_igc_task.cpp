// orvald-cli igc FILE --task TEXT --tasks TASKS.tsv [--loggers LOGGERS.tsv]
//                     [--compet TEXT] [--pilot TEXT] [--dir DIR] [--tz-offset SECONDS]
// Writes the segments that the task's window selects, exactly as the Task
// Window tab would, and prints the file's name. With this a folder of raw
// files becomes task files in one shell loop.

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "export/flight_files.h"
#include "export/task_window.h"
#include "files/path_in.h"
#include "journal/journal_file.h"
#include "cli/igc_task.h"
#include "cli/raw_file.h"
#include "tables/loggers_table.h"
#include "tables/tasks_table.h"
#include "tables/text_grid.h"

namespace orvald::cli {
namespace {

std::string TableFailure(const TableFileResult& result) { return result.message + " (" + result.reason + ")"; }

}  // namespace

bool ReadTaskWindowOption(const ParsedArgs& parsed, std::string& date, std::string& timeFrom, std::string& timeTo,
                          std::string& error) {
  DeskTask task;
  if (!ReadDeskTask(parsed.options.at("tasks"), parsed.options.at("task"), task, error)) return false;
  date = task.date;
  timeFrom = task.timeFrom;
  timeTo = task.timeTo;
  return true;
}

bool ApplyLoggersOption(const ParsedArgs& parsed, const TrackTable& table, IgcSaveRequest& request,
                        std::string& error) {
  if (parsed.has("loggers")) {
    LoggersTable loggers(parsed.options.at("loggers"));
    const TableFileResult loaded = loggers.Load();
    if (!loaded.ok()) {
      error = TableFailure(loaded);
      return false;
    }
    const LoggerTableMatch match = loggers.FindLogger(table.serialText);
    if (match.found) {
      request.competNo = match.competNo;
      request.pilotNames = match.pilotNames;
    } else {
      // Not a failure: the window keeps its boxes as they were, and so do we,
      // but a shell loop should hear about it.
      std::fprintf(stderr, "orvald-cli: no row of %s names logger %s\n", loggers.filePath().c_str(),
                   table.serialText.c_str());
    }
  }
  if (parsed.has("compet")) request.competNo = parsed.options.at("compet");
  if (parsed.has("pilot")) request.pilotNames = parsed.options.at("pilot");
  return true;
}

int SaveSelectedSegments(const ParsedArgs& parsed, const TrackTable& table, long _timezone, int firstSegment,
                         int lastSegment) {
  IgcSaveRequest request;
  request.firstSegment = firstSegment;
  request.lastSegment = lastSegment;
  request.taskText = parsed.has("task") ? parsed.options.at("task") : "";
  request.loggerSN = table.serialText;
  request.loggerType = table.typeText;
  request.now = std::time(nullptr);
  request._timezone = _timezone;
  request.directory = parsed.has("dir") ? parsed.options.at("dir") : ".";
  std::string error;
  if (!ApplyLoggersOption(parsed, table, request, error)) return Failure(error);
  // The scoring software files a flight by its competition number; the
  // window refuses a save without one, and so does the command line.
  if (TrimBlanks(request.competNo).empty()) return Failure("no competition number: give --compet or a loggers.tsv row");

  const FlightFilesResult saved =
      WriteFlightFiles(table, request, {parsed.has("also-kml"), parsed.has("also-gpx")});
  if (!saved.igc.saved()) return Failure(saved.igc.error);
  std::printf("%s\n", saved.igc.fileName.c_str());
  // A save from a file names no port; the journal is the task file's folder's.
  const DayJournal journal(request.directory, [now = request.now] { return now; });
  const JournalAppendResult appended =
      journal.Record(SaveEntry(kNoField, table.serialText, request.competNo, request.pilotNames, parsed.positional[0],
                               firstSegment, lastSegment, ""),
                     PathIn(request.directory, saved.igc.fileName));
  if (!appended.ok) return Failure("the journal could not be written: " + appended.error.Text());
  for (const std::string& name : saved.companions) std::printf("%s\n", name.c_str());
  if (!saved.companionError.empty()) return Failure(saved.companionError);
  return kExitOk;
}

int RunIgcByTask(const ParsedArgs& parsed) {
  if (parsed.positional.size() != 1) return UsageError("igc", "expects exactly one FILE");
  if (parsed.has("segments")) return UsageError("igc", "--segments and --tasks exclude each other");
  if (!parsed.has("task")) return UsageError("igc", "--tasks needs --task TEXT");
  const std::string& rawPath = parsed.positional[0];
  const std::string& taskText = parsed.options.at("task");
  long _timezone = 0;
  std::string error;
  if (!TimezoneOption(parsed, _timezone, error)) return UsageError("igc", error);

  std::string date, timeFrom, timeTo;
  if (!ReadTaskWindowOption(parsed, date, timeFrom, timeTo, error)) return Failure(error);
  // Such a window still selects a segment, but not the task's flight: the
  // tasks table is to be mended first.
  if (TaskWindowEndsBeforeStart(date, timeFrom, timeTo)) {
    return Failure("task " + taskText + " ends before it starts (" + timeFrom + "-" + timeTo + ")");
  }

  TrackTable table;
  DecodeResult decoded;
  if (!DecodeRawFileForCommand(rawPath, _timezone, table, decoded, error)) return Failure(error);
  ReportDecodeNotices(rawPath, decoded);

  const TaskWindowMatch match = MatchTaskWindow(table, date, timeFrom, timeTo);
  if (!match.selected()) {
    return Failure("no segment of " + rawPath + " lies in the window of task '" + taskText + "' (" + date + " " +
                   timeFrom + " to " + timeTo + ")");
  }

  return SaveSelectedSegments(parsed, table, _timezone, match.firstSegment, match.lastSegment);
}

}  // namespace orvald::cli
