#include "desk/desk_day.h"

#include "desk/utc_text.h"
#include "export/task_window.h"
#include "tables/text_grid.h"
#include "tracklog/safe_text.h"

namespace orvald {

namespace {

const char* const kDash = " \xE2\x80\x94 ";  // an em dash between the banner's parts

bool Saves(VerdictLevel level) { return level == VerdictLevel::kOk || level == VerdictLevel::kCheck; }

}  // namespace

void DeskDay::ChooseTask(const std::string& task) {
  if (task == task_) return;
  task_ = task;
  selectsFixes_ = false;
  savedAs_.clear();
  judged_ = false;
  verdict_ = {};
}

std::string DeskDay::BeginDownload(const std::string& serial) {
  std::string notice = ReplacingNotice();
  phase_ = Phase::kDownloading;
  arriving_ = serial;
  percent_ = -1;
  log_ = {};
  selectsFixes_ = false;
  savedAs_.clear();
  judged_ = false;
  verdict_ = {};
  said_ = notice;  // said under the download's line while it lasts
  return notice;
}

void DeskDay::DownloadProgress(int percent) { percent_ = percent; }

void DeskDay::DownloadKeptNothing(const std::string& why) {
  if (phase_ != Phase::kDownloading) return;
  phase_ = Phase::kFailed;
  said_ = why;
}

std::string DeskDay::ReplacingNotice() const {
  if (phase_ != Phase::kShown || task_.empty() || !savedAs_.empty() || !selectsFixes_) return {};
  return "The flight shown before (" + WhoText() + ", " + SafeDisplayText(log_.rawFile) +
         ") was not saved for task " + SafeDisplayText(task_) + "; its raw file stays in the data folder";
}

void DeskDay::Show(const DeskLog& log) {
  phase_ = Phase::kShown;
  log_ = log;
  selectsFixes_ = false;
  savedAs_.clear();
  judged_ = false;
  verdict_ = {};
  said_.clear();
}

void DeskDay::TaskSelected(bool selectsFixes, const std::string& savedAs) {
  selectsFixes_ = selectsFixes;
  savedAs_ = selectsFixes ? savedAs : std::string();
}

void DeskDay::Judged(const Verdict& verdict) {
  judged_ = true;
  verdict_ = verdict;
  if (verdict.level == VerdictLevel::kNone) selectsFixes_ = false;
  if (verdict.firstSegment >= 0) selectsFixes_ = true;
  if (!verdict.igcFile.empty()) savedAs_ = verdict.igcFile;
}

void DeskDay::Saved(const std::string& file, const std::string& taskText) {
  if (phase_ != Phase::kShown) return;
  if (TrimBlanks(taskText) != TrimBlanks(task_)) {
    said_ = "saved " + file + " for task " + SafeDisplayText(taskText);
    return;
  }
  savedAs_ = file;
  selectsFixes_ = true;
  said_ = "saved " + file;
}

bool DeskDay::StatusMayChange(bool idlePoll) {
  if (idlePoll) return !statusHeld_;
  statusHeld_ = false;
  return true;
}

std::string DeskDay::WhoText() const {
  if (!TrimBlanks(log_.competNo).empty()) {
    return SafeDisplayText(TrimBlanks(log_.competNo)) + " " + SafeDisplayText(TrimBlanks(log_.pilotNames));
  }
  if (log_.serial.empty()) return "a logger without serial";
  return SafeDisplayText(log_.serial) + " (not in the loggers table)";
}

Banner DeskDay::banner() const {
  Banner banner;
  switch (phase_) {
    case Phase::kEmpty:
      return banner;
    case Phase::kDownloading:
      banner.tone = BannerTone::kBusy;
      banner.headline = "Downloading " + (arriving_.empty() ? std::string() : SafeDisplayText(arriving_) + " ") + "...";
      if (percent_ >= 0) banner.headline += " " + std::to_string(percent_) + " %";
      banner.detail = said_;
      return banner;
    case Phase::kFailed:
      banner.tone = BannerTone::kProblem;
      banner.headline = (arriving_.empty() ? std::string("The logger") : SafeDisplayText(arriving_)) +
                        kDash + "NOTHING DOWNLOADED";
      banner.detail = said_;
      return banner;
    case Phase::kShown:
      break;
  }
  banner.headline = WhoText();
  if (task_.empty()) {
    banner.tone = BannerTone::kPlain;
    banner.headline += std::string(kDash) + "no task chosen";
    return banner;
  }
  banner.headline += kDash + ("task " + SafeDisplayText(task_)) + kDash;
  const bool saved = !savedAs_.empty();
  banner.headline += saved ? "saved " + savedAs_ : std::string("NOT SAVED");
  banner.detail = judged_ ? verdict_.text : std::string();
  if (!said_.empty()) banner.detail = said_;  // the operator's own save, said last
  if (judged_) {
    if (saved) {
      banner.tone = verdict_.level == VerdictLevel::kCheck ? BannerTone::kCheck : BannerTone::kOk;
    } else {
      // A flight judged fit but left unsaved (automatic saving off) waits for the operator.
      banner.tone = Saves(verdict_.level) ? BannerTone::kCheck : BannerTone::kProblem;
    }
    return banner;
  }
  banner.tone = saved ? BannerTone::kOk : BannerTone::kPlain;
  if (!saved && !selectsFixes_) banner.detail = "No fix of this log lies inside task " + SafeDisplayText(task_) + "'s window";
  return banner;
}

std::string OutsideWindowQuestion(const TrackTable& table, int firstSegment, int lastSegment, const DeskTask& task) {
  if (firstSegment < 0 || lastSegment < firstSegment || lastSegment >= table.segmentCount) return {};
  if (task.date.empty() || TaskWindowEndsBeforeStart(task.date, task.timeFrom, task.timeTo)) return {};
  const TrackSegment* run = table.segments() + firstSegment;
  const int count = lastSegment - firstSegment + 1;
  const TaskWindowMatch match = MatchTaskWindow(run, count, task.date, task.timeFrom, task.timeTo);
  if (match.selected()) return {};
  const int64_t from = run[0].start;
  const int64_t to = run[count - 1].finish;
  const bool sameDay = UtcDateAndMinuteText(from).substr(0, 10) == UtcDateAndMinuteText(match.windowStart).substr(0, 10);
  const std::string selection = sameDay ? UtcMinuteText(from) + "-" + UtcMinuteText(to) : UtcSpanText(from, to);
  const std::string window = sameDay ? UtcMinuteText(match.windowStart) + "-" + UtcMinuteText(match.windowEnd)
                                     : UtcSpanText(match.windowStart, match.windowEnd);
  const std::string number = SafeDisplayText(task.number);
  return "The selection " + selection + " UTC lies outside task " + number + "'s window (" + window +
         " UTC). Save as task " + number + "?";
}

std::string SaveAgainQuestion(const std::string& existing, char nextVersion) {
  return "Already saved as " + existing + ". Save again as V" + std::string(1, nextVersion) + "?";
}

StartTask ChooseStartTask(const std::string& remembered, const std::vector<DeskTask>& tasks,
                          const std::string& todayDate) {
  const DeskTask* firstToday = nullptr;
  for (const DeskTask& task : tasks) {
    if (TrimBlanks(task.date) != todayDate) continue;
    if (task.number == remembered) return {remembered, {}};
    if (firstToday == nullptr) firstToday = &task;
  }
  if (firstToday == nullptr) return {remembered, {}};
  std::string notice = "Task " + SafeDisplayText(firstToday->number) + " chosen: the first of today's tasks (" +
                       todayDate + ")";
  if (!remembered.empty()) notice += "; task " + SafeDisplayText(remembered) + " is not today's";
  return {firstToday->number, notice};
}

}  // namespace orvald
