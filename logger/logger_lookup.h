#pragma once
// How the download session asks the loggers table who flies a logger.

#include <string>
#include <vector>

namespace orvald {

// The row that names a logger, with its competition number and pilot names.
struct LoggerMatch {
  bool found = false;
  std::string competNo;
  std::string pilotNames;
  int row = -1;  // the table row used, counted from 1
  // Further rows that name the logger too, in table order: two pilots with
  // one logger is a mistake in the table that the desk must hear of.
  std::vector<int> otherRows;
};

// "Serial QA712 is in rows 3 and 9 of the loggers table; row 9 is used";
// empty when no other row names the logger.
std::string SeveralRowsText(const std::string& serialText, const LoggerMatch& match);

class LoggerLookup {
 public:
  virtual ~LoggerLookup() = default;
  virtual LoggerMatch FindLogger(const std::string& serialText) = 0;
};

}  // namespace orvald
