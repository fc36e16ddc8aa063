// orvald-table-save loggers|tasks FILE: loads a table file, adds one row and
// saves it the way the dialogs do, so scripts can save a table onto a full
// or read-only disk. Prints "saved FILE" (exit 0), or the dialog's message and
// the system's reason on stderr (exit 1).

#include <cstdio>
#include <cstring>
#include <string>

#include "tables/loggers_table.h"
#include "tables/tasks_table.h"

namespace {

int AddRowAndSave(orvald::EditedTable& table, const std::vector<std::string>& cells) {
  table.Load();  // a missing file is an empty table, as in the dialog
  orvald::TextGrid& grid = table.grid();
  grid.AddRow();
  for (size_t column = 0; column < cells.size(); ++column)
    grid.SetCell(static_cast<int>(column), grid.lastRow(), cells[column]);
  const orvald::TableFileResult saved = table.Save();
  if (!saved.ok()) {
    std::fprintf(stderr, "%s (%s)\n", saved.message.c_str(), saved.reason.c_str());
    return 1;
  }
  std::printf("saved %s\n", table.filePath().c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[1], "loggers") != 0 && std::strcmp(argv[1], "tasks") != 0)) {
    std::fputs("usage: orvald-table-save loggers|tasks FILE\n", stderr);
    return 2;
  }
  if (std::strcmp(argv[1], "loggers") == 0) {
    orvald::LoggersTable table(argv[2]);
    return AddRowAndSave(table, {"00000099999", "999", "Added Pilot"});
  }
  orvald::TasksTable table(argv[2]);
  return AddRowAndSave(table, {"99", "2026/07/20", "10:00:00", "11:00:00"});
}
