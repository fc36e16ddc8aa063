#pragma once
// How the download session asks the loggers table who flies a logger.

#include <string>

namespace orvald {

struct LoggerMatch {
  bool found = false;
  std::string competNo;
  std::string pilotNames;
};

class LoggerLookup {
 public:
  virtual ~LoggerLookup() = default;
  virtual LoggerMatch FindLogger(const std::string& serialText) = 0;
};

}  // namespace orvald
