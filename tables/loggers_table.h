#pragma once
// The loggers table: which competition number and pilot names go with a
// logger's serial number. It is held in memory for the whole run as the grid
// the Serial Numbers dialog shows, and read from and written to loggers.tsv.

#include <string>
#include <utility>

#include "tables/edit_tracker.h"
#include "tables/grid_keys.h"
#include "tables/table_status.h"
#include "tables/text_grid.h"

namespace orvald {

inline constexpr const char* kLoggersFileName = "loggers.tsv";
inline constexpr const char* kCantReadLoggers = "Can't read Loggers file";
inline constexpr const char* kCantWriteLoggers = "Can't write Loggers file";

inline constexpr int kLoggerSerialColumn = 0;
inline constexpr int kLoggerCompetColumn = 1;
inline constexpr int kLoggerNamesColumn = 2;

// The row that names a logger, with its competition number and pilot names.
struct LoggerTableMatch {
  bool found = false;
  int row = -1;
  std::string competNo;
  std::string pilotNames;
};

class LoggersTable {
 public:
  // `filePath` defaults to the bare name, read in the working directory.
  explicit LoggersTable(std::string filePath = kLoggersFileName);

  const std::string& filePath() const { return filePath_; }
  void SetFilePath(std::string filePath) { filePath_ = std::move(filePath); }

  // Fills the table from the file. A missing or unreadable file leaves one
  // data row and reports "Can't read Loggers file".
  TableFileResult LoadLoggers();
  // Writes every data row, blank ones too. A failed write leaves the old file
  // and the table in memory as they were and reports "Can't write Loggers file".
  TableFileResult SaveLoggers() const;

  // All three cells empty after trimming blanks.
  bool RowIsBlank(int row) const;

  // The last row whose serial cell occurs inside `serialText`. A row whose
  // serial cell is blank names no logger and never matches.
  LoggerTableMatch FindLogger(const std::string& serialText) const;

  // Down on the last row adds a row; Up removes a blank last row unless it is
  // the only data row.
  GridKeyEffect KeyDown(GridKey key, int selectionBottomRow);

  // Change tracking fed by the cell editor; see EditTracker.
  void SetEditText(int column, int row, const std::string& text) { tracker_.SetEditText(column, row, text); }
  void FormShow() { tracker_.FormShow(); }
  bool modified() const { return tracker_.modified(); }

  // The cell editor's mask: three required digits for the competition number.
  static std::string GetEditMask(int column);

  TextGrid& grid() { return grid_; }
  const TextGrid& grid() const { return grid_; }

 private:
  std::string filePath_;
  TextGrid grid_;
  EditTracker tracker_;
};

}  // namespace orvald
