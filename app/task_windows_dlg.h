#pragma once
// The Task Windows dialog: the task windows table for the whole run. Created
// hidden at start-up as the last window (it reads tasks.tsv and fills the main
// window's task list), shown without blocking the main window, hidden again by
// OK or Cancel. Its grid shows the table itself, so the Task Window page's
// queries see every edit, saved or not.

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "tables/grid_keys.h"

class QPushButton;

namespace orvald {

class Prompts;
class TableGridView;
class TasksTable;
class TextGridModel;

class TTaskWindowsDlg : public QDialog {
  Q_OBJECT
 public:
  // Takes the task number column, heading first, whenever the table was read or written.
  using FillTaskListFn = std::function<void(const std::vector<std::string>&)>;

  // Reads the file at once; a missing file is reported here, during start-up.
  TTaskWindowsDlg(TasksTable& table, Prompts& prompts, FillTaskListFn fillTaskList, QWidget* parent = nullptr);
  ~TTaskWindowsDlg() override;

  void LoadTasks();
  void SaveTasks();

  // ---- Handlers.
  void OKBtnClick();
  void CancelBtnClick();
  void HelpBtnClick();
  void FormShow();
  std::string TaskWindowsGridGetEditMask(int column) const;
  GridKeyEffect TaskWindowsGridKeyDown(GridKey key, int selectionBottomRow);
  void TaskWindowsGridSetEditText(int column, int row, const std::string& text);

  bool modified() const;
  TasksTable& table() { return table_; }

  // ---- Controls.
  TableGridView* TaskWindowsGrid;
  QPushButton* Button1;  // OK
  QPushButton* CancelBtn;
  QPushButton* HelpBtn;

 protected:
  void showEvent(QShowEvent* event) override;
  // Escape and the close box answer like Cancel, so edits are never dropped unasked.
  void reject() override;

 private:
  void FillTaskList();

  TasksTable& table_;
  Prompts& prompts_;
  FillTaskListFn fillTaskList_;
  TextGridModel* model_;
};

}  // namespace orvald
