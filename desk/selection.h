#pragma once
// What the scoring desk has chosen of the log on show: which page chooses
// (the operator's highlight on the manual page, or a task's time window),
// the run of segments Save writes, when each Save may be pressed, and why a
// save is refused. The window shows what this says; it keeps no rule of its
// own about the run.

#include <cstdint>
#include <string>
#include <vector>

#include "export/igc_writer.h"
#include "export/task_window.h"
#include "tracklog/track_table.h"

namespace orvald {

// Date, start and end texts of a task; empty when the task is not in the table.
struct TaskWindowTexts {
  std::string date;
  std::string timeFrom;
  std::string timeTo;
};

struct RunTotals {
  int64_t points = 0;
  int64_t events = 0;
};

// What saving segments `first`..`last` of the table's log writes: always
// the decoded log's own logger. The caller adds the clock and the folder.
IgcSaveRequest RunSaveRequest(const TrackTable& table, int firstSegment, int lastSegment, const std::string& competNo,
                              const std::string& pilotNames, const std::string& taskText);

// The rows a highlight spans once a key extends it to `targetRow` (the first
// or the last row): it grows from its anchor, the end away from the cursor,
// as a Shift+click or Shift+PgDown does; with nothing highlighted, from the
// cursor. Rows of the grid's data, from 0; first <= last.
struct RowSpan {
  int first = -1;
  int last = -1;
};
RowSpan ExtendedHighlight(RowSpan highlighted, int cursorRow, int targetRow);

class DeskSelection {
 public:
  // The table is the decoded log's; it is read afresh at every choice.
  explicit DeskSelection(const TrackTable& table) : table_(table) {}

  // True while the Manual Selection page chooses the run.
  bool manualMode() const { return manualMode_; }
  // The run, as segment indexes (grid row - 1); both -1 when none is chosen.
  int firstSegment() const { return firstSegment_; }
  int lastSegment() const { return lastSegment_; }
  bool saveEnabled() const { return saveEnabled_; }     // btnSave, on the task page
  bool manSaveEnabled() const { return manSaveEnabled_; }  // btnManSave, on the manual page
  // Points and events of the run's segments that the table holds.
  RunTotals runTotals() const;

  // A new log: no run on either page, both Saves off.
  void Forget();
  // The manual page came to the front: it starts with no run, and the task
  // page's Save goes off with the task's rows.
  void ShowManualPage();
  // The task page came to the front: the manual run and its Save go; the
  // task chosen next makes the run.
  void ShowTaskPage();

  // The grid rows the operator highlighted, as segment indexes in any order;
  // `shownSegments` is how many data rows the grid has. Only the manual page
  // takes the highlight: false when it was ignored. The run is then the
  // rows' span, or none when it starts past the log's segments.
  bool ChooseHighlighted(const std::vector<int>& segments, int shownSegments);
  // The task's window picks the segments it overlaps among the first
  // `shownSegments`; the run is those, and btnSave goes on when there are any.
  TaskWindowMatch ChooseTaskWindow(const TaskWindowTexts& task, int shownSegments);

  // What Save writes: the run and the decoded log's own logger, never what
  // a box kept from another log. The caller adds the clock and the folder.
  IgcSaveRequest SaveRequest(const std::string& competNo, const std::string& pilotNames,
                             const std::string& taskText) const;
  // Why Save cannot write that request, in the operator's words; empty when it can.
  std::string SaveRefusal(const IgcSaveRequest& request) const;

 private:
  void ChooseRun(int first, int last);

  const TrackTable& table_;
  bool manualMode_ = true;
  int firstSegment_ = -1;
  int lastSegment_ = -1;
  bool saveEnabled_ = false;
  bool manSaveEnabled_ = false;
};

}  // namespace orvald
