#pragma once
// The task windows table: on which date and between which times of day (UTC)
// each task was flown. Held in memory for the whole run as the grid the Task
// Windows dialog shows, and read from and written to tasks.tsv.

#include <string>
#include <utility>
#include <vector>

#include "tables/edit_tracker.h"
#include "tables/grid_keys.h"
#include "tables/table_status.h"
#include "tables/text_grid.h"

namespace orvald {

inline constexpr const char* kTasksFileName = "tasks.tsv";
inline constexpr const char* kCantReadTasks = "Can't read Tasks file";
inline constexpr const char* kCantWriteTasks = "Can't write tasks file";

inline constexpr int kTaskNumberColumn = 0;
inline constexpr int kTaskDateColumn = 1;
inline constexpr int kTaskStartColumn = 2;
inline constexpr int kTaskFinishColumn = 3;

// What masked cells hold when the operator leaves them without digits.
inline constexpr const char* kBlankMaskedDate = "    /  /  ";
inline constexpr const char* kBlankMaskedTime = "  :  :  ";

class TasksTable {
 public:
  // `filePath` defaults to the bare name, read in the working directory.
  explicit TasksTable(std::string filePath = kTasksFileName);

  const std::string& filePath() const { return filePath_; }
  void SetFilePath(std::string filePath) { filePath_ = std::move(filePath); }

  // Fills the table from the file. A missing or unreadable file leaves one
  // data row and reports "Can't read Tasks file". Either way the caller then
  // refills the task chooser from TaskNumberColumn().
  TableFileResult LoadTasks();
  // Writes every data row, blank ones too. A failed write leaves the old file
  // and the table in memory as they were and reports "Can't write tasks file".
  TableFileResult SaveTasks() const;

  // Date, start and finish texts of the first row whose task number equals
  // `taskNumber` exactly (case-sensitive, untrimmed); empty when none does.
  std::string TaskDate(const std::string& taskNumber) const;
  std::string TaskStart(const std::string& taskNumber) const;
  std::string TaskFinish(const std::string& taskNumber) const;

  // The task number column, heading in place 0, as the task chooser is filled.
  std::vector<std::string> TaskNumberColumn() const { return grid_.Column(kTaskNumberColumn); }

  // Empty task number after trimming, and date and times empty or exactly as
  // their masks leave them unfilled (compared untrimmed: a lone space is text).
  bool LastRowRemovable() const;

  // Down on the last row adds a row; Up removes the last row while
  // LastRowRemovable() holds, unless it is the only data row.
  GridKeyEffect KeyDown(GridKey key, int selectionBottomRow);

  // Change tracking fed by the cell editor; see EditTracker.
  void SetEditText(int column, int row, const std::string& text) { tracker_.SetEditText(column, row, text); }
  void FormShow() { tracker_.FormShow(); }
  bool modified() const { return tracker_.modified(); }

  // The cell editor's masks: "00", "0000/00/00", "90:00:00", "90:00:00".
  static std::string GetEditMask(int column);

  TextGrid& grid() { return grid_; }
  const TextGrid& grid() const { return grid_; }

 private:
  // The first row whose task number is `taskNumber`, or -1.
  int FindTaskRow(const std::string& taskNumber) const;
  std::string TaskCell(const std::string& taskNumber, int column) const;

  std::string filePath_;
  TextGrid grid_;
  EditTracker tracker_;
};

}  // namespace orvald
