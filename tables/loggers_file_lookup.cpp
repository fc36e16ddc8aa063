#include "tables/loggers_file_lookup.h"

namespace orvald {

LoggerMatch LoggersFileLookup::FindLogger(const std::string& serialText) {
  const TableFileResult loaded = table_.Load();
  if (!loaded.ok() && onUnreadable_ && !reported_) {
    onUnreadable_(loaded.message + " (" + loaded.reason + ")");
    reported_ = true;
  }
  return table_.FindLogger(serialText);
}

}  // namespace orvald
