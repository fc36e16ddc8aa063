#pragma once
// The task windows table: on which date and between which times of day (UTC)
// each task was flown. Held in memory for the whole run as the grid the Task
// Windows dialog shows, and read from and written to tasks.tsv.

#include <string>
#include <vector>

#include "tables/edited_table.h"

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

class TasksTable : public EditedTable {
 public:
  // `filePath` defaults to the bare name, read in the working directory.
  explicit TasksTable(std::string filePath = kTasksFileName);

  // Date, start and finish texts of the first row whose task number equals
  // `taskNumber` exactly (case-sensitive, untrimmed); empty when none does.
  std::string TaskDate(const std::string& taskNumber) const;
  std::string TaskStart(const std::string& taskNumber) const;
  std::string TaskFinish(const std::string& taskNumber) const;

  // The task number column, heading in place 0, as the task chooser is filled.
  std::vector<std::string> TaskNumberColumn() const { return grid_.Column(kTaskNumberColumn); }

  // Empty task number after trimming, and date and times empty or exactly as
  // their masks leave them unfilled (compared untrimmed: a lone space is text).
  bool LastRowRemovable() const override;

  // "00", "0000/00/00", "90:00:00", "90:00:00".
  std::string EditMask(int column) const override;

 private:
  // The first row whose task number is `taskNumber`, or -1.
  int FindTaskRow(const std::string& taskNumber) const;
  std::string TaskCell(const std::string& taskNumber, int column) const;
};

}  // namespace orvald
