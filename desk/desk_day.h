#pragma once
// The scoring desk's day, apart from any widget: the day's task, the log on
// show and whose it is, what became of it for the task (judged, saved or
// not), and a download arriving. The window's banner, its status-bar
// notices and its questions before a save are read from here, so the rules
// hold the same for every way a log comes on show.

#include <string>
#include <vector>

#include "desk/verdict.h"
#include "tracklog/track_table.h"

namespace orvald {

// Who flies the log on show, as the loggers table names its logger.
struct DeskLog {
  std::string serial;
  std::string competNo;  // empty: the loggers table does not name the logger
  std::string pilotNames;
  std::string rawFile;  // the file shown, without its folder
};

enum class BannerTone {
  kBlank,    // nothing on show
  kBusy,     // a download is arriving (grey)
  kPlain,    // a log on show, no verdict for the task
  kOk,       // green
  kCheck,    // amber
  kProblem,  // red: not saved, unknown logger, download incomplete
};

struct Banner {
  BannerTone tone = BannerTone::kBlank;
  std::string headline;  // whose flight, which task, saved or "NOT SAVED"
  std::string detail;    // the verdict's own line, when there is one
};

class DeskDay {
 public:
  const std::string& task() const { return task_; }
  // The day's task changed: what was judged or saved for the task before
  // says nothing about this one.
  void ChooseTask(const std::string& task);

  // A download begins, the serial known. Returns the notice owed when the
  // log it replaces was not saved for the task (empty when none is).
  std::string BeginDownload(const std::string& serial);
  void DownloadProgress(int percent);
  // A download that kept nothing: the banner says so until a log is shown.
  void DownloadKeptNothing(const std::string& why);

  // Another log is about to be opened: the notice owed for the one on show.
  std::string ReplacingNotice() const;
  // A log came on show: nothing is known yet of it for the task.
  void Show(const DeskLog& log);
  // What the day's task selects of the log on show, and the task file that
  // already holds those fixes (empty: none does).
  void TaskSelected(bool selectsFixes, const std::string& savedAs);
  // The verdict given for the download on show.
  void Judged(const Verdict& verdict);
  // The operator saved the log on show as `file`, for task `taskText`.
  void Saved(const std::string& file, const std::string& taskText);

  // A verdict or a notice in the status bar stays until something happens:
  // a poll that finds no logger leaves it there, any other line replaces it.
  void HoldStatus() { statusHeld_ = true; }
  bool StatusMayChange(bool idlePoll);

  bool downloading() const { return phase_ == Phase::kDownloading; }
  Banner banner() const;

 private:
  enum class Phase { kEmpty, kDownloading, kFailed, kShown };
  std::string WhoText() const;

  std::string task_;
  Phase phase_ = Phase::kEmpty;
  std::string arriving_;  // the serial of the download running
  int percent_ = -1;
  std::string said_;  // the banner's second line of its own: a notice, a failure, a save
  DeskLog log_;
  bool selectsFixes_ = false;  // the task selects fixes of the log on show
  std::string savedAs_;        // the task file holding the log's flight for the task
  bool judged_ = false;
  Verdict verdict_;
  bool statusHeld_ = false;
};

// The question asked before a manual save whose run lies wholly outside the
// window of the task it is saved for ("The selection 18:01-18:35 UTC lies
// outside task 2's window (19:45-21:00 UTC). Save as task 2?"); empty when
// the run overlaps the window or the task has none to compare with.
std::string OutsideWindowQuestion(const TrackTable& table, int firstSegment, int lastSegment,
                                  const DeskTask& task);

// The question before saving fixes that `existing` already holds.
std::string SaveAgainQuestion(const std::string& existing, char nextVersion);

// The task chosen at start: the remembered one while the tasks table dates
// it today (UTC) or dates no task today, else the first of today's.
struct StartTask {
  std::string task;
  std::string notice;  // for the status bar when the task was changed; empty otherwise
};
StartTask ChooseStartTask(const std::string& remembered, const std::vector<DeskTask>& tasks,
                          const std::string& todayDate);

}  // namespace orvald
