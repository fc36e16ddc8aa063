#include "tables/loggers_table.h"

#include <utility>


namespace orvald {

LoggersTable::LoggersTable(std::string filePath)
    : EditedTable(std::move(filePath), {"Serial Number", "Comp #", "Comp Name(s)"}, kCantReadLoggers,
                  kCantWriteLoggers) {}

bool LoggersTable::RowIsBlank(int row) const {
  for (int column = 0; column < grid_.columnCount(); ++column)
    if (!TrimBlanks(grid_.Cell(column, row)).empty()) return false;
  return true;
}

LoggerTableMatch LoggersTable::FindLogger(const std::string& serialText) const {
  LoggerTableMatch match;
  for (int row = 1; row < grid_.rowCount(); ++row) {
    // Blanks typed around a serial in a spreadsheet are no part of it. An
    // empty text occurs in every serial number: a blank row added with the
    // Down key would otherwise claim every logger.
    const std::string serialCell = TrimBlanks(grid_.Cell(kLoggerSerialColumn, row));
    if (serialCell.empty()) continue;
    if (serialText.find(serialCell) == std::string::npos) continue;
    if (match.found) match.otherRows.push_back(match.row);
    match.found = true;
    match.row = row;
    match.competNo = grid_.Cell(kLoggerCompetColumn, row);
    match.pilotNames = grid_.Cell(kLoggerNamesColumn, row);
  }
  return match;
}

int LoggersTable::RowToEditFor(const std::string& serialText) {
  if (const LoggerTableMatch match = FindLogger(serialText); match.found) return match.row;
  if (!RowIsBlank(grid_.lastRow())) grid_.AddRow();
  const int row = grid_.lastRow();
  FillCell(kLoggerSerialColumn, row, TrimBlanks(serialText));
  return row;
}

std::string LoggersTable::EditMask(int column) const {
  return column == kLoggerCompetColumn ? "000;1;?" : "";
}

}  // namespace orvald
