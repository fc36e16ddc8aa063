#include "logger/loggers_file_lookup.h"

#include <fstream>
#include <vector>

namespace orvald {

namespace {

// A line cut at runs of TAB (and the line end), leading separators skipped;
// a missing field is empty.
std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  size_t at = 0;
  while (at < line.size() && fields.size() < 3) {
    while (at < line.size() && (line[at] == '\t' || line[at] == '\r')) ++at;
    if (at >= line.size()) break;
    size_t end = line.find('\t', at);
    if (end == std::string::npos) end = line.size();
    std::string field = line.substr(at, end - at);
    if (!field.empty() && field.back() == '\r') field.pop_back();
    fields.push_back(field);
    at = end;
  }
  fields.resize(3);
  return fields;
}

}  // namespace

LoggerMatch LoggersFileLookup::FindLogger(const std::string& serialText) {
  LoggerMatch match;
  if (path_.empty()) return match;
  std::ifstream file(path_, std::ios::binary);
  std::string line;
  while (std::getline(file, line)) {
    const std::vector<std::string> fields = Fields(line);
    // A blank row (left by the dialog's Down key) would match every logger.
    if (fields[0].empty() || serialText.find(fields[0]) == std::string::npos) continue;
    match.found = true;
    match.competNo = fields[1];
    match.pilotNames = fields[2];
  }
  return match;
}

}  // namespace orvald
