#pragma once
// What a station's row shows, kept from its session's typed events alone:
// the row never reads a message text or takes a file name apart. Pure, so
// the rule is the same for every window and is tested without one.

#include <ctime>
#include <string>
#include <vector>

#include "logger/load_log_result.h"
#include "logger/logger_lookup.h"
#include "logger/session_view.h"

namespace orvald {

enum class StationPhase { kWaiting, kDownloading, kDone, kFailed };

// A download on the port that failed before the one on show.
struct EarlierFailure {
  std::tm at{};        // local time it ended
  std::string reason;
  std::string path;    // the incomplete file it kept; empty when none
};

struct StationState {
  StationPhase phase = StationPhase::kWaiting;
  // kWaiting: the port's problem, or why the last poll left the logger
  // alone; empty when nothing answered.
  std::string waitingFor;
  std::string failure;  // kFailed: why
  std::string serial;
  std::string competNo;
  std::string pilot;
  std::string file;  // shown
  std::string path;  // opened by a double-click; empty until a download kept a file
  int block = 0;
  int blocks = 0;
  int percent = -1;  // of the pieces; -1 until the first has arrived
  // The desk's verdict on the download for the day's task; empty without one.
  std::string verdict;
  std::string igcFile;  // the task file it names
  std::tm endedAt{};    // local time the download on show ended
  // Failures before the download on show, oldest first: a re-plugged logger
  // that starts again does not wipe out why the last try failed.
  std::vector<EarlierFailure> earlierFailures;
  bool downloading() const { return phase == StationPhase::kDownloading; }
  // A download ended (done or failed) and nothing began since: what it
  // came to stays on show through the polls that follow.
  bool ended() const { return phase == StationPhase::kDone || phase == StationPhase::kFailed; }
};

void ApplyWaiting(StationState& state, const std::string& portProblem);
// `row` is what the loggers table says of the serial as the download begins,
// so the desk sees whose logger it is before the last block is in.
void ApplyStarted(StationState& state, const DownloadStart& start, const LoggerMatch& row = {});
void ApplyBlockStarted(StationState& state, int counter, int total);
void ApplyProgress(StationState& state, int percent);
void ApplyIdentified(StationState& state, const Identification& who);
// `at`: the local time it ended.
void ApplyFinished(StationState& state, const LoadLogResult& result, const std::tm& at = {});
void ApplyEnded(StationState& state);

// "waiting", "waiting (REASON)", "downloading block 3 of 12, 40 %", "done", "failed: REASON".
std::string StationStateText(const StationState& state);
// One line per earlier failure, newest first: "14:02:11 failed: REASON (FILE)".
std::string EarlierFailuresText(const StationState& state);

}  // namespace orvald
