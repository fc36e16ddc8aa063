#pragma once
// The loggers table file as the download session's lookup, read again at
// every look-up so a station sees the edits the desk makes while it runs.
// One per station: a lookup is used on its station's thread only.

#include <functional>
#include <string>

#include "logger/logger_lookup.h"
#include "tables/loggers_table.h"

namespace orvald {

class LoggersFileLookup : public LoggerLookup {
 public:
  // `onUnreadable` hears once of a file that cannot be read.
  LoggersFileLookup(std::string path, std::function<void(const std::string&)> onUnreadable = {})
      : table_(std::move(path)), onUnreadable_(std::move(onUnreadable)) {}
  LoggerMatch FindLogger(const std::string& serialText) override;

 private:
  LoggersTable table_;
  std::function<void(const std::string&)> onUnreadable_;
  bool reported_ = false;
};

}  // namespace orvald
