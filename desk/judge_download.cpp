#include "desk/judge_download.h"

#include "desk/desk_task.h"

namespace orvald {

Verdict JudgeDownload(const DeskJudging& judging, const LoadLogResult& result, const TrackTable& table,
                      LoggerLookup& lookup, std::time_t now) {
  VerdictInput input;
  input.downloadComplete = !result.incomplete();
  input.incompleteReason = result.reason;
  std::string error;
  if (!ReadDeskTask(judging.tasksPath, judging.task, input.task, error)) {
    Verdict unread;
    unread.level = VerdictLevel::kFailed;
    unread.text = "NOT SAVED: " + error;
    return unread;
  }
  const LoggerMatch match = lookup.FindLogger(table.serialText);
  input.inLoggersTable = match.found;
  input.competNo = match.competNo;
  input.pilotNames = match.pilotNames;
  input.autoSave = judging.autoSave;
  input.companions = judging.companions;
  input.directory = judging.directory;
  input.now = now;
  input._timezone = judging._timezone;
  input.journal = judging.journal;
  input.port = judging.port;
  input.rawFile = result.path;
  return JudgeLog(table, input);
}

}  // namespace orvald
