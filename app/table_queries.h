#pragma once
// The two tables as the main window asks them: who flies a logger, and a
// task's date and window. The dialogs hold the tables; these only read them,
// so every query sees the cells as they stand, saved or not.

#include <string>

#include "app/main_window.h"
#include "logger/logger_lookup.h"
#include "tables/loggers_table.h"
#include "tables/tasks_table.h"

namespace orvald {

class LoggersTableLookup : public LoggerLookup {
 public:
  explicit LoggersTableLookup(const LoggersTable& table) : table_(table) {}
  LoggerMatch FindLogger(const std::string& serialText) override { return table_.FindLogger(serialText); }

 private:
  const LoggersTable& table_;
};

inline TaskWindowTexts TaskTexts(const TasksTable& table, const std::string& taskNumber) {
  return TaskWindowTexts{table.TaskDate(taskNumber), table.TaskStart(taskNumber), table.TaskFinish(taskNumber)};
}

}  // namespace orvald
