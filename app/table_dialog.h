#pragma once
// The frame both table dialogs share: the table's grid filling the dialog
// with its always-open cell editor, OK, Cancel and Help in a row beneath it,
// and the rules of the buttons. Created hidden at start-up (which reads the
// file), shown without blocking the main window, hidden again by OK or
// Cancel. The grid shows the table itself, so every query sees every edit,
// saved or not. The dialogs differ only in their table, columns and what
// follows a read or a write.

#include <QDialog>
#include <string>
#include <vector>

#include "tables/grid_keys.h"

class QPushButton;

namespace orvald {

class EditedTable;
class Prompts;
class TableGridView;
class TextGridModel;

struct TableDialogNames {
  const char* dialog;     // the dialog's object name
  const char* caption;
  const char* grid;       // the grid's object name
  const char* okButton;   // and the buttons'
  const char* cancelButton;
};

class TTableDialog : public QDialog {
  Q_OBJECT
 public:
  ~TTableDialog() override;

  // ---- Handlers, as the controls name them.
  void OKBtnClick();
  void CancelBtnClick();
  void HelpBtnClick();
  void FormShow();

  bool modified() const;

 protected:
  TTableDialog(EditedTable& table, Prompts& prompts, const TableDialogNames& names,
               const std::vector<int>& columnWidths, QWidget* parent);

  // Reads the table's file (reporting a failure); then TableRead.
  void Load();
  // Writes it (reporting a failure); then TableWritten.
  void Save();
  // What follows a read and a write, whether or not it worked.
  virtual void TableRead() {}
  virtual void TableWritten() {}
  // Why OK must not write the table as it stands; empty when it may.
  virtual std::string Refusal() const { return {}; }

  void showEvent(QShowEvent* event) override;
  // Escape and the close box answer like Cancel, so edits are never dropped unasked.
  void reject() override;

  TableGridView* grid_;

 private:
  EditedTable& table_;
  Prompts& prompts_;
  TextGridModel* model_;
};

}  // namespace orvald
