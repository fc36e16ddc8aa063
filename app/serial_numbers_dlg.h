#pragma once
// The Serial Numbers dialog: the loggers table for the whole run, so the
// download's FindLogger sees every edit, saved or not.

#include "app/table_dialog.h"

namespace orvald {

class LoggersTable;

class TSerialNumbersDlg : public TTableDialog {
  Q_OBJECT
 public:
  // Reads the file at once; a missing file is reported here, during start-up.
  TSerialNumbersDlg(LoggersTable& table, Prompts& prompts, QWidget* parent = nullptr);

  void LoadLoggers() { Load(); }
  void SaveLoggers() { Save(); }
  // Puts the cursor on the row of the logger `serialText` (added when the
  // table has none), on its competition number.
  void ShowLogger(const std::string& serialText);

 private:
  LoggersTable& loggers_;
};

}  // namespace orvald
