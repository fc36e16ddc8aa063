#include "desk/verdict.h"

#include <sys/stat.h>

#include <algorithm>

#include "desk/selection.h"
#include "desk/utc_text.h"
#include "export/igc_file_name.h"
#include "export/igc_text.h"
#include "export/igc_writer.h"
#include "export/task_window.h"
#include "files/file_reader.h"
#include "journal/journal_file.h"
#include "tables/day_status.h"
#include "tracklog/grid_text.h"
#include "tracklog/safe_text.h"

namespace orvald {

// Today and the desk call the same files gaps: one limit for both.
static_assert(kGapSeconds == kDayGapSeconds);

namespace {

// A task file is a few MB at the most; anything larger is not one of ours.
constexpr size_t kLargestTaskFile = 64u << 20;

std::string Trimmed(std::string text) {
  text.erase(0, text.find_first_not_of(' '));
  return text;
}

// The B records of an IGC text, in order.
std::vector<std::string_view> BRecords(std::string_view text) {
  std::vector<std::string_view> records;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty() && line.front() == 'B') records.push_back(line);
    at = end + 1;
  }
  return records;
}

bool Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

IgcSaveRequest SaveRequest(const TrackTable& table, const VerdictInput& input, const TaskWindowMatch& match) {
  IgcSaveRequest request = RunSaveRequest(table, match.firstSegment, match.lastSegment, input.competNo,
                                          input.pilotNames, input.task.number);
  request.now = input.now;
  request._timezone = input._timezone;
  request.directory = input.directory;
  return request;
}

}  // namespace

const char* VerdictLevelName(VerdictLevel level) {
  switch (level) {
    case VerdictLevel::kOk: return "ok";
    case VerdictLevel::kCheck: return "check";
    case VerdictLevel::kNone: return "none";
    case VerdictLevel::kUnknown: return "unknown";
    case VerdictLevel::kIncomplete: return "incomplete";
    case VerdictLevel::kFailed: return "failed";
  }
  return "";
}

std::string SavedWithSameFixes(const TrackTable& table, const IgcSaveRequest& request) {
  // The file this request would write is made only once a candidate exists:
  // the first download of a pilot for a task has none.
  std::string wanted;
  std::vector<std::string_view> wantedRecords;
  for (char version = '1'; version != 0; version = NextVersionChar(version)) {
    const std::string name = IgcFileName(request.competNo, request.taskText, version, request.pilotNames);
    const std::string path = request.directory + "/" + name;
    if (!Exists(path)) continue;
    if (wanted.empty()) {
      wanted = IgcFileText(table, request);
      wantedRecords = BRecords(wanted);
    }
    const WholeFile file = ReadWholeFile(path, kLargestTaskFile);
    if (file.ok && BRecords(file.bytes) == wantedRecords) return name;
  }
  return {};
}

Verdict JudgeLog(const TrackTable& table, const VerdictInput& input) {
  Verdict verdict;
  if (!input.downloadComplete) {
    verdict.level = VerdictLevel::kIncomplete;
    verdict.text = "Download incomplete (" + input.incompleteReason +
                   "): not saved; the logger is downloaded again at the next poll";
    return verdict;
  }
  if (!input.inLoggersTable) {
    verdict.level = VerdictLevel::kUnknown;
    verdict.text = table.serialText.empty()
                       ? "The log carries no serial number, so no row of the loggers table names its pilot: not saved"
                       : "Serial " + SafeDisplayText(table.serialText) + " is not in the loggers table: add it with Edit";
    return verdict;
  }
  const TaskWindowMatch match = MatchTaskWindow(table, input.task.date, input.task.timeFrom, input.task.timeTo);
  const TrackSegment* segments = table.segments();
  if (!match.selected() || TaskWindowEndsBeforeStart(input.task.date, input.task.timeFrom, input.task.timeTo)) {
    verdict.level = VerdictLevel::kNone;
    const std::string window = SafeDisplayText(input.task.date) + " " + UtcMinuteText(match.windowStart) + "-" +
                               UtcMinuteText(match.windowEnd) + " UTC";
    const std::string held = table.segmentCount == 0
                                 ? "the log holds no fixes"
                                 : "the log holds " +
                                       UtcSpanText(segments[0].start, segments[table.segmentCount - 1].finish) + " UTC";
    verdict.text = "No fix inside task " + SafeDisplayText(input.task.number) + "'s window (" + window + "); " + held;
    return verdict;
  }
  verdict.firstSegment = match.firstSegment;
  verdict.lastSegment = match.lastSegment;

  int gaps = 0;
  int longest = 0;
  int64_t longestAt = 0;
  for (int s = match.firstSegment + 1; s <= match.lastSegment; ++s) {
    if (segments[s].blind <= kGapSeconds) continue;
    ++gaps;
    if (segments[s].blind > longest) {
      longest = segments[s].blind;
      longestAt = segments[s].start;
    }
  }
  const std::string flight = UtcClockText(segments[match.firstSegment].start) + "-" +
                             UtcClockText(segments[match.lastSegment].finish) + " UTC, " +
                             std::to_string(match.pointsTotal) + (match.pointsTotal == 1 ? " fix" : " fixes");
  const std::string gapText = std::to_string(gaps) + (gaps == 1 ? " gap" : " gaps") +
                              " in the task's flight, longest " + Trimmed(FormatDuration(longest)) + " at " +
                              UtcClockText(longestAt) + " UTC";
  verdict.level = gaps > 0 ? VerdictLevel::kCheck : VerdictLevel::kOk;
  auto finish = [&](const std::string& what) {
    verdict.text = gaps > 0 ? what + "; " + gapText : what + ", " + flight;
  };

  const IgcSaveRequest request = SaveRequest(table, input, match);
  if (const std::string existing = SavedWithSameFixes(table, request); !existing.empty()) {
    verdict.igcFile = existing;
    finish("already saved as " + existing);
    return verdict;
  }
  if (!input.autoSave) {
    finish("not saved (automatic saving is off)");
    return verdict;
  }
  const FlightFilesResult saved = WriteFlightFiles(table, request, input.companions);
  if (!saved.igc.saved()) {
    verdict.level = VerdictLevel::kFailed;
    verdict.text = "NOT SAVED: " + saved.igc.error;
    return verdict;
  }
  verdict.igcFile = saved.igc.fileName;
  verdict.savedNow = true;
  verdict.companions = saved.companions;
  finish("saved " + saved.igc.fileName);
  if (!saved.companionError.empty()) verdict.text += " (" + saved.companionError + ")";
  if (input.journal) {
    const DayJournal journal(input.directory, [now = input.now] { return now; });
    const JournalAppendResult appended =
        journal.Record(SaveEntry(input.port, table.serialText, input.competNo, input.pilotNames, input.rawFile,
                                 match.firstSegment, match.lastSegment, VerdictLevelName(verdict.level)),
                       input.directory + "/" + saved.igc.fileName);
    if (!appended.ok) verdict.text += " (the journal could not be written: " + appended.error.Text() + ")";
  }
  return verdict;
}

}  // namespace orvald
