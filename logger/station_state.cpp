#include "logger/station_state.h"

#include <cstdio>

#include "tracklog/safe_text.h"

namespace orvald {

void ApplyWaiting(StationState& state, const std::string& portProblem) {
  if (state.phase == StationPhase::kWaiting) state.waitingFor = portProblem;
}

namespace {
// Enough for a day's re-plugs of one port; the oldest go first.
constexpr size_t kEarlierFailuresKept = 20;
}  // namespace

void ApplyStarted(StationState& state, const DownloadStart& start, const LoggerMatch& row) {
  std::vector<EarlierFailure> earlier = std::move(state.earlierFailures);
  if (state.phase == StationPhase::kFailed) earlier.push_back({state.endedAt, state.failure, state.path});
  if (earlier.size() > kEarlierFailuresKept) earlier.erase(earlier.begin());
  state = StationState{};
  state.earlierFailures = std::move(earlier);
  state.phase = StationPhase::kDownloading;
  state.serial = start.serialText;
  state.file = start.fileName;
  if (row.found) {
    state.competNo = row.competNo;
    state.pilot = row.pilotNames;
  }
}

void ApplyBlockStarted(StationState& state, int counter, int total) {
  state.block = counter;
  state.blocks = total;
}

void ApplyProgress(StationState& state, int percent) {
  if (state.downloading()) state.percent = percent;
}

void ApplyIdentified(StationState& state, const Identification& who) {
  state.serial = who.serialText;
  state.competNo = who.competNo;
  state.pilot = who.pilotNames;
}

void ApplyFinished(StationState& state, const LoadLogResult& result, const std::tm& at) {
  if (result.end == LoadLogEnd::kFolderUnusable) {
    // Said as a failure of this port, as the one that made the folder
    // suspect was; the file that failure kept stays on its row.
    state.phase = StationPhase::kFailed;
    state.failure = result.reason;
    state.endedAt = at;
    return;
  }
  if (result.keptFile() || result.end == LoadLogEnd::kCannotCreate) {
    state.endedAt = at;
    state.phase = result.end == LoadLogEnd::kComplete ? StationPhase::kDone : StationPhase::kFailed;
    state.failure = result.reason;
    state.path = result.path;
    state.file = result.path.substr(result.path.rfind('/') + 1);
    return;
  }
  const std::string nothingDone = NothingDoneText(result);
  // A stopped station goes with its row; Force download is the main port's.
  if (!nothingDone.empty() && result.end != LoadLogEnd::kAborted) ApplyWaiting(state, nothingDone);
}

void ApplyEnded(StationState& state) {
  // A download that ended without a file (aborted) leaves the port waiting.
  if (state.downloading()) {
    state.phase = StationPhase::kWaiting;
    state.waitingFor.clear();
  }
}

std::string StationStateText(const StationState& state) {
  switch (state.phase) {
    case StationPhase::kWaiting:
      return state.waitingFor.empty() ? "waiting" : "waiting (" + SafeDisplayText(state.waitingFor) + ")";
    case StationPhase::kDownloading:
      if (state.blocks <= 0 || state.percent < 0) return "downloading";
      return "downloading block " + std::to_string(state.block) + " of " + std::to_string(state.blocks) + ", " +
             std::to_string(state.percent) + " %";
    case StationPhase::kDone:
      return "done";
    case StationPhase::kFailed:
      return "failed: " + SafeDisplayText(state.failure);
  }
  return "";
}

std::string EarlierFailuresText(const StationState& state) {
  std::string text;
  for (auto failure = state.earlierFailures.rbegin(); failure != state.earlierFailures.rend(); ++failure) {
    char time[16];
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", failure->at.tm_hour, failure->at.tm_min, failure->at.tm_sec);
    if (!text.empty()) text += "\n";
    text += std::string(time) + " failed: " + SafeDisplayText(failure->reason);
    if (!failure->path.empty()) text += " (" + SafeDisplayText(failure->path.substr(failure->path.rfind('/') + 1)) + ")";
  }
  return text;
}

}  // namespace orvald
