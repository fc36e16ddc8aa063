#include "app/task_windows_dlg.h"

#include "tables/tasks_table.h"

namespace orvald {

TTaskWindowsDlg::TTaskWindowsDlg(TasksTable& table, Prompts& prompts, FillTaskListFn fillTaskList, QWidget* parent)
    : TTableDialog(table, prompts, {"TaskWindowsDlg", "Task Windows", "TaskWindowsGrid", "Button1", "CancelBtn"},
                   {48, 109, 128, 128}, parent),
      tasks_(table),
      fillTaskList_(std::move(fillTaskList)) {
  LoadTasks();
}

void TTaskWindowsDlg::FillTaskList() {
  if (fillTaskList_) fillTaskList_(tasks_.TaskNumberColumn());
}

}  // namespace orvald
