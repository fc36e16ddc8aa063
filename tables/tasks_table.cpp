#include "tables/tasks_table.h"

#include <utility>


namespace orvald {

TasksTable::TasksTable(std::string filePath)
    : EditedTable(std::move(filePath), {"Task #", "Date (yyyy/mm/dd)", "Start (UTC hh:mm:ss)", "Finish (UTC hh:mm:ss)"},
                  kCantReadTasks, kCantWriteTasks) {}

int TasksTable::FindTaskRow(const std::string& taskNumber) const {
  for (int row = 1; row < grid_.rowCount(); ++row)
    if (grid_.Cell(kTaskNumberColumn, row) == taskNumber) return row;
  return -1;
}

std::string TasksTable::TaskCell(const std::string& taskNumber, int column) const {
  int row = FindTaskRow(taskNumber);
  return row < 0 ? std::string() : grid_.Cell(column, row);
}

std::string TasksTable::TaskDate(const std::string& taskNumber) const {
  return TaskCell(taskNumber, kTaskDateColumn);
}

std::string TasksTable::TaskStart(const std::string& taskNumber) const {
  return TaskCell(taskNumber, kTaskStartColumn);
}

std::string TasksTable::TaskFinish(const std::string& taskNumber) const {
  return TaskCell(taskNumber, kTaskFinishColumn);
}

bool TasksTable::LastRowRemovable() const {
  int row = grid_.lastRow();
  auto emptyOr = [&](int column, const char* unfilled) {
    const std::string& cell = grid_.Cell(column, row);
    return cell.empty() || cell == unfilled;
  };
  return TrimBlanks(grid_.Cell(kTaskNumberColumn, row)).empty() && emptyOr(kTaskDateColumn, kBlankMaskedDate) &&
         emptyOr(kTaskStartColumn, kBlankMaskedTime) && emptyOr(kTaskFinishColumn, kBlankMaskedTime);
}

std::string TasksTable::EditMask(int column) const {
  switch (column) {
    case kTaskNumberColumn:
      return "00";
    case kTaskDateColumn:
      return "0000/00/00";
    case kTaskStartColumn:
    case kTaskFinishColumn:
      return "90:00:00";
    default:
      return "";
  }
}

}  // namespace orvald
