#include "app/serial_numbers_dlg.h"

#include "app/table_grid_view.h"
#include "tables/loggers_table.h"

namespace orvald {

TSerialNumbersDlg::TSerialNumbersDlg(LoggersTable& table, Prompts& prompts, QWidget* parent)
    : TTableDialog(table, prompts, {"SerialNumbersDlg", "Serial Numbers", "SerialNumGrid", "Button2", "Button1"},
                   {110, 54, 202}, parent),
      loggers_(table) {
  LoadLoggers();
}

void TSerialNumbersDlg::ShowLogger(const std::string& serialText) {
  grid_->ShowTableCell(loggers_.RowToEditFor(serialText), kLoggerCompetColumn);
}

}  // namespace orvald
