#pragma once
// The Serial Numbers dialog: the loggers table for the whole run. Created
// hidden at start-up (which reads loggers.tsv), shown without blocking the
// main window, hidden again by OK or Cancel. Its grid shows the table itself,
// so the download's FindLogger sees every edit, saved or not.

#include <QDialog>
#include <string>

#include "tables/grid_keys.h"

class QPushButton;

namespace orvald {

class LoggersTable;
class Prompts;
class TableGridView;
class TextGridModel;

class TSerialNumbersDlg : public QDialog {
  Q_OBJECT
 public:
  // Reads the file at once; a missing file is reported here, during start-up.
  TSerialNumbersDlg(LoggersTable& table, Prompts& prompts, QWidget* parent = nullptr);
  ~TSerialNumbersDlg() override;

  void LoadLoggers();
  void SaveLoggers();

  // ---- Handlers.
  void OKBtnClick();
  void CancelBtnClick();
  void HelpBtnClick();
  void FormShow();
  std::string SerialNumGridGetEditMask(int column) const;
  GridKeyEffect SerialNumGridKeyDown(GridKey key, int selectionBottomRow);
  void SerialNumGridSetEditText(int column, int row, const std::string& text);

  bool modified() const;
  LoggersTable& table() { return table_; }

  // ---- Controls.
  TableGridView* SerialNumGrid;
  QPushButton* Button2;  // OK
  QPushButton* Button1;  // Cancel
  QPushButton* HelpBtn;

 protected:
  void showEvent(QShowEvent* event) override;
  // Escape and the close box answer like Cancel, so edits are never dropped unasked.
  void reject() override;

 private:
  LoggersTable& table_;
  Prompts& prompts_;
  TextGridModel* model_;
};

}  // namespace orvald
