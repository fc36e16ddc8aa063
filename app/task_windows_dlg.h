#pragma once
// The Task Windows dialog: the task windows table for the whole run, so the
// Task Window page's queries see every edit, saved or not. Created last at
// start-up: reading tasks.tsv fills the main window's task list, and so does
// every later read or write.

#include <functional>
#include <string>
#include <vector>

#include "app/table_dialog.h"

namespace orvald {

class TasksTable;

class TTaskWindowsDlg : public TTableDialog {
  Q_OBJECT
 public:
  // Takes the task number column, heading first, whenever the table was read or written.
  using FillTaskListFn = std::function<void(const std::vector<std::string>&)>;

  // Reads the file at once; a missing file is reported here, during start-up.
  TTaskWindowsDlg(TasksTable& table, Prompts& prompts, FillTaskListFn fillTaskList, QWidget* parent = nullptr);

  void LoadTasks() { Load(); }
  void SaveTasks() { Save(); }

 protected:
  // The list follows the grid as read or edited, written or not.
  void TableRead() override { FillTaskList(); }
  void TableWritten() override { FillTaskList(); }
  // A task that ends before it starts would shade the wrong hours and cut no flight.
  std::string Refusal() const override;

 private:
  void FillTaskList();

  TasksTable& tasks_;
  FillTaskListFn fillTaskList_;
};

}  // namespace orvald
