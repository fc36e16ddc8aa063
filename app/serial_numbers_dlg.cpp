#include "app/serial_numbers_dlg.h"

#include <QPushButton>

#include "app/table_dialog_layout.h"
#include "app/table_grid_view.h"
#include "app/text_grid_model.h"
#include "tables/loggers_table.h"

namespace orvald {

TSerialNumbersDlg::TSerialNumbersDlg(LoggersTable& table, Prompts& prompts, QWidget* parent)
    : QDialog(parent), table_(table), prompts_(prompts) {
  setObjectName("SerialNumbersDlg");
  setWindowTitle("Serial Numbers");

  model_ = new TextGridModel(table_.grid(), this);
  TableGridHooks hooks;
  hooks.getEditMask = [this](int column) { return SerialNumGridGetEditMask(column); };
  hooks.setEditText = [this](int column, int row, const std::string& text) {
    SerialNumGridSetEditText(column, row, text);
  };
  hooks.keyDown = [this](GridKey key, int row) { return SerialNumGridKeyDown(key, row); };
  SerialNumGrid = new TableGridView(model_, std::move(hooks), {110, 54, 202}, this);
  SerialNumGrid->setObjectName("SerialNumGrid");

  Button2 = NewDialogButton("Button2", "OK", this);
  Button1 = NewDialogButton("Button1", "Cancel", this);
  HelpBtn = NewDialogButton("HelpBtn", "&Help", this);
  LayOutTableDialog(this, SerialNumGrid, Button2, Button1, HelpBtn);
  connect(Button2, &QPushButton::clicked, this, [this] { OKBtnClick(); });
  connect(Button1, &QPushButton::clicked, this, [this] { CancelBtnClick(); });
  connect(HelpBtn, &QPushButton::clicked, this, [this] { HelpBtnClick(); });

  LoadLoggers();
}

TSerialNumbersDlg::~TSerialNumbersDlg() { SerialNumGrid->DetachHooks(); }

void TSerialNumbersDlg::LoadLoggers() {
  const TableFileResult result = table_.LoadLoggers();
  SerialNumGrid->TableReloaded();
  if (!result.ok()) ShowTableFileError(prompts_, result.message);
}

void TSerialNumbersDlg::SaveLoggers() {
  const TableFileResult result = table_.SaveLoggers();
  if (!result.ok()) ShowTableFileError(prompts_, result.message);
}

void TSerialNumbersDlg::OKBtnClick() {
  SaveLoggers();
  done(QDialog::Accepted);  // closes after a failed write too; the edits stay in memory
}

void TSerialNumbersDlg::CancelBtnClick() {
  if (modified()) {
    if (!ConfirmDiscardChanges(prompts_)) return;
    LoadLoggers();
  }
  done(QDialog::Rejected);
}

// No help file exists, so there is nothing to show.
void TSerialNumbersDlg::HelpBtnClick() {}

void TSerialNumbersDlg::FormShow() { table_.FormShow(); }

std::string TSerialNumbersDlg::SerialNumGridGetEditMask(int column) const { return LoggersTable::GetEditMask(column); }

GridKeyEffect TSerialNumbersDlg::SerialNumGridKeyDown(GridKey key, int selectionBottomRow) {
  return table_.KeyDown(key, selectionBottomRow);
}

void TSerialNumbersDlg::SerialNumGridSetEditText(int column, int row, const std::string& text) {
  table_.SetEditText(column, row, text);
}

bool TSerialNumbersDlg::modified() const { return table_.modified(); }

void TSerialNumbersDlg::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TSerialNumbersDlg::reject() { CancelBtnClick(); }

}  // namespace orvald
