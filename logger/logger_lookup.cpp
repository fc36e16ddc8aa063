#include "logger/logger_lookup.h"

#include <algorithm>

#include "tracklog/raw_image.h"
#include "tracklog/safe_text.h"

namespace orvald {

std::string SeveralRowsText(const std::string& serialText, const LoggerMatch& match) {
  if (match.otherRows.empty()) return "";
  std::vector<int> rows = match.otherRows;
  rows.push_back(match.row);
  std::sort(rows.begin(), rows.end());
  std::string list;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (i > 0) list += i + 1 == rows.size() ? " and " : ", ";
    list += std::to_string(rows[i]);
  }
  return "Serial " + SafeDisplayText(serialText) + " is in rows " + list + " of the loggers table; row " +
         std::to_string(match.row) + " is used";
}

}  // namespace orvald
