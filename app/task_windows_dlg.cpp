#include "app/task_windows_dlg.h"

#include <QPushButton>

#include "app/table_dialog_layout.h"
#include "app/table_grid_view.h"
#include "app/text_grid_model.h"
#include "tables/tasks_table.h"

namespace orvald {

TTaskWindowsDlg::TTaskWindowsDlg(TasksTable& table, Prompts& prompts, FillTaskListFn fillTaskList, QWidget* parent)
    : QDialog(parent), table_(table), prompts_(prompts), fillTaskList_(std::move(fillTaskList)) {
  setObjectName("TaskWindowsDlg");
  setWindowTitle("Task Windows");

  model_ = new TextGridModel(table_.grid(), this);
  TableGridHooks hooks;
  hooks.getEditMask = [this](int column) { return TaskWindowsGridGetEditMask(column); };
  hooks.setEditText = [this](int column, int row, const std::string& text) {
    TaskWindowsGridSetEditText(column, row, text);
  };
  hooks.keyDown = [this](GridKey key, int row) { return TaskWindowsGridKeyDown(key, row); };
  TaskWindowsGrid = new TableGridView(model_, std::move(hooks), {48, 109, 128, 128}, this);
  TaskWindowsGrid->setObjectName("TaskWindowsGrid");

  Button1 = NewDialogButton("Button1", "OK", this);
  CancelBtn = NewDialogButton("CancelBtn", "Cancel", this);
  HelpBtn = NewDialogButton("HelpBtn", "&Help", this);
  LayOutTableDialog(this, TaskWindowsGrid, Button1, CancelBtn, HelpBtn);
  connect(Button1, &QPushButton::clicked, this, [this] { OKBtnClick(); });
  connect(CancelBtn, &QPushButton::clicked, this, [this] { CancelBtnClick(); });
  connect(HelpBtn, &QPushButton::clicked, this, [this] { HelpBtnClick(); });

  LoadTasks();
}

TTaskWindowsDlg::~TTaskWindowsDlg() { TaskWindowsGrid->DetachHooks(); }

void TTaskWindowsDlg::LoadTasks() {
  const TableFileResult result = table_.LoadTasks();
  TaskWindowsGrid->TableReloaded();
  if (!result.ok()) ShowTableFileError(prompts_, result.message);
  FillTaskList();
}

void TTaskWindowsDlg::SaveTasks() {
  const TableFileResult result = table_.SaveTasks();
  if (!result.ok()) ShowTableFileError(prompts_, result.message);
  FillTaskList();  // the list follows the grid as edited, written or not
}

void TTaskWindowsDlg::FillTaskList() {
  if (fillTaskList_) fillTaskList_(table_.TaskNumberColumn());
}

void TTaskWindowsDlg::OKBtnClick() {
  SaveTasks();
  done(QDialog::Accepted);  // closes after a failed write too; the edits stay in memory
}

void TTaskWindowsDlg::CancelBtnClick() {
  if (modified()) {
    if (!ConfirmDiscardChanges(prompts_)) return;
    LoadTasks();
  }
  done(QDialog::Rejected);
}

// No help file exists, so there is nothing to show.
void TTaskWindowsDlg::HelpBtnClick() {}

void TTaskWindowsDlg::FormShow() { table_.FormShow(); }

std::string TTaskWindowsDlg::TaskWindowsGridGetEditMask(int column) const { return TasksTable::GetEditMask(column); }

GridKeyEffect TTaskWindowsDlg::TaskWindowsGridKeyDown(GridKey key, int selectionBottomRow) {
  return table_.KeyDown(key, selectionBottomRow);
}

void TTaskWindowsDlg::TaskWindowsGridSetEditText(int column, int row, const std::string& text) {
  table_.SetEditText(column, row, text);
}

bool TTaskWindowsDlg::modified() const { return table_.modified(); }

void TTaskWindowsDlg::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TTaskWindowsDlg::reject() { CancelBtnClick(); }

}  // namespace orvald
