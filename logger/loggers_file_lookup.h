#pragma once
// FindLogger over a loggers.tsv file, for front ends without the loggers
// dialog (the command line). The file is read again at every look-up, so
// edits made while a station runs are seen by the next download.

#include <string>

#include "logger/logger_lookup.h"

namespace orvald {

class LoggersFileLookup : public LoggerLookup {
 public:
  // An empty path, or a file that cannot be read, matches nothing.
  explicit LoggersFileLookup(std::string path) : path_(std::move(path)) {}
  // The last row whose serial cell occurs inside `serialText` (case-sensitive).
  LoggerMatch FindLogger(const std::string& serialText) override;

 private:
  std::string path_;
};

}  // namespace orvald
