#pragma once
// The verdict after a download, the same for every port: the window's main
// port, its stations and the command line's download and watch.

#include <ctime>
#include <string>

#include "desk/verdict.h"
#include "logger/load_log_result.h"
#include "logger/logger_lookup.h"
#include "tracklog/track_table.h"

namespace orvald {

// What a port judges its downloads with.
struct DeskJudging {
  std::string tasksPath;  // read at every download
  std::string task;       // the day's task number
  bool autoSave = true;
  CompanionFormats companions;
  std::string directory = ".";  // where the task files go
  long _timezone = 0;
  // Task files saved are appended to the journal of `directory`, with the port.
  bool journal = false;
  std::string port;
};

// The verdict on a download the session has just decoded into `table`; the
// task file saved when the flight is there and saving is on.
Verdict JudgeDownload(const DeskJudging& judging, const LoadLogResult& result, const TrackTable& table,
                      LoggerLookup& lookup, std::time_t now);

}  // namespace orvald
