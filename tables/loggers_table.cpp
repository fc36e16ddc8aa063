#include "tables/loggers_table.h"

#include <utility>

#include "tables/grid_file.h"

namespace orvald {

LoggersTable::LoggersTable(std::string filePath)
    : filePath_(std::move(filePath)), grid_({"Serial Number", "Comp #", "Comp Name(s)"}) {}

TableFileResult LoggersTable::LoadLoggers() { return LoadGrid(grid_, filePath_, kCantReadLoggers); }

TableFileResult LoggersTable::SaveLoggers() const { return SaveGrid(grid_, filePath_, kCantWriteLoggers); }

bool LoggersTable::RowIsBlank(int row) const {
  for (int column = 0; column < grid_.columnCount(); ++column)
    if (!TrimBlanks(grid_.Cell(column, row)).empty()) return false;
  return true;
}

LoggerTableMatch LoggersTable::FindLogger(const std::string& serialText) const {
  LoggerTableMatch match;
  for (int row = 1; row < grid_.rowCount(); ++row) {
    const std::string& serialCell = grid_.Cell(kLoggerSerialColumn, row);
    // An empty text occurs in every serial number: a blank row added with the
    // Down key would otherwise claim every logger.
    if (TrimBlanks(serialCell).empty()) continue;
    if (serialText.find(serialCell) == std::string::npos) continue;
    match.found = true;
    match.row = row;
    match.competNo = grid_.Cell(kLoggerCompetColumn, row);
    match.pilotNames = grid_.Cell(kLoggerNamesColumn, row);
  }
  return match;
}

GridKeyEffect LoggersTable::KeyDown(GridKey key, int selectionBottomRow) {
  return ApplyGridKey(grid_, key, selectionBottomRow, RowIsBlank(grid_.lastRow()));
}

std::string LoggersTable::GetEditMask(int column) {
  return column == kLoggerCompetColumn ? "000;1;?" : "";
}

}  // namespace orvald
