#include "desk/desk_task.h"

#include <algorithm>
#include <vector>

#include "tables/tasks_table.h"

namespace orvald {

bool ReadDeskTask(const std::string& tasksPath, const std::string& number, DeskTask& task, std::string& error) {
  TasksTable tasks(tasksPath);
  const TableFileResult loaded = tasks.Load();
  if (!loaded.ok()) {
    error = loaded.message + " (" + loaded.reason + ")";
    return false;
  }
  const std::vector<std::string> numbers = tasks.TaskNumberColumn();
  if (std::find(numbers.begin() + 1, numbers.end(), number) == numbers.end()) {
    error = "task '" + number + "' is not in " + tasks.filePath();
    return false;
  }
  task = {number, tasks.TaskDate(number), tasks.TaskStart(number), tasks.TaskFinish(number)};
  return true;
}

}  // namespace orvald
