#pragma once
// The two table dialogs as start-up creates them: hidden, after the main
// window and the About box, the loggers dialog first. Each reads its file as
// it is created, so a missing file is reported before the main window shows,
// and the task windows dialog fills the main window's task list.

#include "app/serial_numbers_dlg.h"
#include "app/task_windows_dlg.h"

namespace orvald {

class LoggersTable;
class Prompts;
class TasksTable;
class TfrmMain;

struct TableDialogs {
  TSerialNumbersDlg* SerialNumbersDlg = nullptr;  // owned by the main window
  TTaskWindowsDlg* TaskWindowsDlg = nullptr;      // owned by the main window
};

// Creates both dialogs and attaches them and the task table's queries to
// `frmMain`. The tables must outlive the main window.
TableDialogs CreateTableDialogs(TfrmMain& frmMain, LoggersTable& loggers, TasksTable& tasks, Prompts& prompts);

}  // namespace orvald
