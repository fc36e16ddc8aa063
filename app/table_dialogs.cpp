#include "app/table_dialogs.h"

#include "app/main_window.h"
#include "app/table_queries.h"

namespace orvald {

TableDialogs CreateTableDialogs(TfrmMain& frmMain, LoggersTable& loggers, TasksTable& tasks, Prompts& prompts) {
  TableDialogs dialogs;
  dialogs.SerialNumbersDlg = new TSerialNumbersDlg(loggers, prompts, &frmMain);
  TSerialNumbersDlg* serialNumbers = dialogs.SerialNumbersDlg;
  frmMain.SetSerialNumbersDialog(serialNumbers,
                                 [serialNumbers](const std::string& serial) { serialNumbers->ShowLogger(serial); });
  // The row just added (or changed) names the pilot of the log on screen at once.
  QObject::connect(dialogs.SerialNumbersDlg, &QDialog::accepted, &frmMain, [&frmMain] { frmMain.IdentifyDecodedLog(); });

  // The queries first: filling the task list refreshes the task's fields from them.
  frmMain.SetTaskQueries([&tasks](const std::string& task) { return TaskTexts(tasks, task); });
  dialogs.TaskWindowsDlg = new TTaskWindowsDlg(
      tasks, prompts, [&frmMain](const std::vector<std::string>& column) { frmMain.FillTaskList(column); }, &frmMain);
  frmMain.SetTaskWindowsDialog(dialogs.TaskWindowsDlg);
  frmMain.SetTableReload([dialogs] {
    dialogs.SerialNumbersDlg->LoadLoggers();
    dialogs.TaskWindowsDlg->LoadTasks();
  });
  return dialogs;
}

}  // namespace orvald
