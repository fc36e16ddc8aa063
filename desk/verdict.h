#pragma once
// The desk's verdict on a downloaded log for the day's task, given at once
// so the pilot hears "track OK" or "call your second logger" before leaving
// the desk: judged from the download's end, the loggers table and the
// task's window, and, when the flight is there, saved as the Task Window
// page's Save would save it.

#include <ctime>
#include <string>
#include <vector>

#include "export/flight_files.h"
#include "tracklog/track_table.h"

namespace orvald {

enum class VerdictLevel {
  kOk,          // saved (or saved before), no gap in the task's flight
  kCheck,       // saved, but the task's flight has gaps the scorer should look at
  kNone,        // the task's window holds no fix of the log
  kUnknown,     // no row of the loggers table names the logger
  kIncomplete,  // the download ended early
  kFailed,      // the task's flight is there but could not be saved
};

// "ok", "check", "none", "unknown", "incomplete", "failed".
const char* VerdictLevelName(VerdictLevel level);

// A task as the tasks table has it.
struct DeskTask {
  std::string number;
  std::string date;      // "YYYY/MM/DD"
  std::string timeFrom;  // "HH:MM:SS", UTC
  std::string timeTo;
};

struct VerdictInput {
  bool downloadComplete = true;
  std::string incompleteReason;
  bool inLoggersTable = false;
  std::string competNo;
  std::string pilotNames;
  DeskTask task;
  bool autoSave = true;  // off: judged, not saved
  CompanionFormats companions;
  std::string directory = ".";  // where the task files go
  std::time_t now = 0;          // the transfer date and time of a file saved now
  long _timezone = 0;
  // A task file saved now is appended to the journal of `directory`, at `now`.
  bool journal = false;
  std::string port;     // where the log was downloaded ("COM2", a device path)
  std::string rawFile;  // the raw file the log was decoded from
};

struct Verdict {
  VerdictLevel level = VerdictLevel::kNone;
  std::string text;  // one line, the same words everywhere
  // The task file: saved now, or the one that already held the same fixes.
  std::string igcFile;
  bool savedNow = false;
  std::vector<std::string> companions;  // written beside it now
  int firstSegment = -1;                // the task's segments, from 0; -1 when none
  int lastSegment = -1;
};

// A blind time longer than this between two segments of the task's flight
// is a gap the scorer should see.
inline constexpr int kGapSeconds = 60;

Verdict JudgeLog(const TrackTable& table, const VerdictInput& input);

// The task file in `directory` for this competitor and task (any version)
// whose B records are those `request` would write; empty when none is.
std::string SavedWithSameFixes(const TrackTable& table, const IgcSaveRequest& request);

}  // namespace orvald
