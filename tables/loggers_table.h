#pragma once
// The loggers table: which competition number and pilot names go with a
// logger's serial number. It is held in memory for the whole run as the grid
// the Serial Numbers dialog shows, and read from and written to loggers.tsv.

#include <string>

#include "logger/logger_lookup.h"
#include "tables/edited_table.h"

namespace orvald {

inline constexpr const char* kLoggersFileName = "loggers.tsv";
inline constexpr const char* kCantReadLoggers = "Can't read Loggers file";
inline constexpr const char* kCantWriteLoggers = "Can't write Loggers file";

inline constexpr int kLoggerSerialColumn = 0;
inline constexpr int kLoggerCompetColumn = 1;
inline constexpr int kLoggerNamesColumn = 2;

using LoggerTableMatch = LoggerMatch;

class LoggersTable : public EditedTable {
 public:
  // `filePath` defaults to the bare name, read in the working directory.
  explicit LoggersTable(std::string filePath = kLoggersFileName);

  // All three cells empty after trimming blanks.
  bool RowIsBlank(int row) const;
  bool LastRowRemovable() const override { return RowIsBlank(grid_.lastRow()); }

  // The last row whose serial cell, without blanks around it, occurs inside
  // `serialText`, and the other rows whose cells do. A row whose serial cell
  // is blank names no logger and never matches.
  LoggerTableMatch FindLogger(const std::string& serialText) const;

  // The row the operator edits for the logger `serialText`: its own row when
  // the table has one, else a blank row at the end that holds the serial,
  // ready for its number and names (an edit, so Cancel asks before dropping it).
  int RowToEditFor(const std::string& serialText);

  // Three required digits for the competition number.
  std::string EditMask(int column) const override;
};

}  // namespace orvald
