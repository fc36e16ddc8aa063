#include "desk/selection.h"

#include <algorithm>

#include "tables/text_grid.h"
#include "tracklog/safe_text.h"

namespace orvald {

RowSpan ExtendedHighlight(RowSpan highlighted, int cursorRow, int targetRow) {
  int anchor = cursorRow;
  if (highlighted.first >= 0) anchor = cursorRow == highlighted.first ? highlighted.last : highlighted.first;
  if (anchor < 0) anchor = targetRow;
  return {std::min(anchor, targetRow), std::max(anchor, targetRow)};
}

RunTotals DeskSelection::runTotals() const {
  RunTotals totals;
  if (firstSegment_ < 0) return totals;
  // A grid longer than the table (rows not yet decoded) adds nothing.
  const int inTable = std::min(lastSegment_, table_.segmentCount - 1);
  for (int i = firstSegment_; i <= inTable; ++i) {
    totals.points += table_.segments()[i].points;
    totals.events += table_.segments()[i].events;
  }
  return totals;
}

void DeskSelection::Forget() {
  ChooseRun(-1, -1);
  saveEnabled_ = false;
  manSaveEnabled_ = false;
}

void DeskSelection::ShowManualPage() {
  manualMode_ = true;
  saveEnabled_ = false;
  ChooseRun(-1, -1);
}

void DeskSelection::ShowTaskPage() {
  manualMode_ = false;
  manSaveEnabled_ = false;
  ChooseRun(-1, -1);
}

bool DeskSelection::ChooseHighlighted(const std::vector<int>& segments, int shownSegments) {
  if (!manualMode_) return false;  // on the task page the task's window chooses
  int first = -1;
  int last = -1;
  for (int segment : segments) {
    if (segment >= shownSegments) continue;
    first = first < 0 ? segment : std::min(first, segment);
    last = std::max(last, segment);
  }
  if (first < 0 || first >= table_.segmentCount) {
    ChooseRun(-1, -1);
    manSaveEnabled_ = false;
    return true;
  }
  ChooseRun(first, last);
  manSaveEnabled_ = true;
  return true;
}

TaskWindowMatch DeskSelection::ChooseTaskWindow(const TaskWindowTexts& task, int shownSegments) {
  const int segments = std::min(shownSegments, table_.segmentCount);
  const TaskWindowMatch match = MatchTaskWindow(table_.segments(), segments, task.date, task.timeFrom, task.timeTo);
  ChooseRun(match.firstSegment, match.lastSegment);
  saveEnabled_ = match.selected();
  return match;
}

IgcSaveRequest RunSaveRequest(const TrackTable& table, int firstSegment, int lastSegment, const std::string& competNo,
                              const std::string& pilotNames, const std::string& taskText) {
  IgcSaveRequest request;
  request.firstSegment = firstSegment;
  request.lastSegment = lastSegment;
  request.competNo = competNo;
  request.pilotNames = pilotNames;
  request.loggerSN = table.serialText;
  request.loggerType = table.typeText;
  request.taskText = taskText;
  return request;
}

IgcSaveRequest DeskSelection::SaveRequest(const std::string& competNo, const std::string& pilotNames,
                                          const std::string& taskText) const {
  return RunSaveRequest(table_, firstSegment_, lastSegment_, competNo, pilotNames, taskText);
}

std::string DeskSelection::SaveRefusal(const IgcSaveRequest& request) const {
  if (request.firstSegment < 0 || request.lastSegment < 0) {
    return manualMode_ ? "Nothing to save: choose the segments in the grid first."
                       : "Nothing to save: choose a task whose window holds part of this log.";
  }
  if (TrimBlanks(request.competNo).empty()) {
    return "The logger of this log (serial " + SafeDisplayText(request.loggerSN) +
           ") has no competition number in the loggers table. Add it with Edit in the Identification box, "
           "then save again.";
  }
  if (TrimBlanks(request.taskText).empty()) {
    return manualMode_ ? "Type the task number before saving." : "Choose a task before saving.";
  }
  return {};
}

void DeskSelection::ChooseRun(int first, int last) {
  firstSegment_ = first;
  lastSegment_ = last;
}

}  // namespace orvald
