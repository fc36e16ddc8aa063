#include "app/task_windows_dlg.h"

#include "export/task_window.h"
#include "tables/tasks_table.h"

namespace orvald {

TTaskWindowsDlg::TTaskWindowsDlg(TasksTable& table, Prompts& prompts, FillTaskListFn fillTaskList, QWidget* parent)
    : TTableDialog(table, prompts, {"TaskWindowsDlg", "Task Windows", "TaskWindowsGrid", "Button1", "CancelBtn"},
                   {48, 109, 128, 128}, parent),
      tasks_(table),
      fillTaskList_(std::move(fillTaskList)) {
  LoadTasks();
}

std::string TTaskWindowsDlg::Refusal() const {
  const std::vector<std::string> numbers = tasks_.TaskNumberColumn();
  for (size_t row = 1; row < numbers.size(); ++row) {
    const std::string& number = numbers[row];
    const std::string from = tasks_.TaskStart(number);
    const std::string to = tasks_.TaskFinish(number);
    if (number.empty() || !TaskWindowEndsBeforeStart(tasks_.TaskDate(number), from, to)) continue;
    return "Task " + number + " ends before it starts (" + from + "-" + to +
           "): correct its times, then press OK again.";
  }
  return {};
}

void TTaskWindowsDlg::FillTaskList() {
  if (fillTaskList_) fillTaskList_(tasks_.TaskNumberColumn());
}

}  // namespace orvald
