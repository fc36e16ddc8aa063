#include "tables/tsv_format.h"

namespace orvald {

std::vector<std::string_view> SplitTsvLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  size_t begin = 0;
  while (begin < bytes.size()) {
    // CR LF, LF, and a lone CR (as old editors write) each end a line.
    size_t end = bytes.find_first_of("\r\n", begin);
    if (end == std::string_view::npos) end = bytes.size();
    size_t next = end;
    if (next < bytes.size()) next += bytes[next] == '\r' && next + 1 < bytes.size() && bytes[next + 1] == '\n' ? 2 : 1;
    lines.push_back(bytes.substr(begin, end - begin));
    begin = next;
  }
  return lines;
}

std::vector<std::string> SplitTsvFields(std::string_view line, int fieldCount) {
  std::vector<std::string> fields(fieldCount > 0 ? fieldCount : 0);
  size_t begin = 0;
  for (int field = 0; field < fieldCount; ++field) {
    size_t tab = line.find('\t', begin);
    size_t end = tab == std::string_view::npos ? line.size() : tab;
    fields[field] = std::string(line.substr(begin, end - begin));
    if (tab == std::string_view::npos) break;
    begin = tab + 1;
  }
  return fields;
}

std::string FormatTsv(const TextGrid& grid) {
  std::string bytes;
  for (int row = 1; row < grid.rowCount(); ++row) {
    for (int column = 0; column < grid.columnCount(); ++column) {
      if (column > 0) bytes += '\t';
      bytes += grid.Cell(column, row);
    }
    bytes += "\r\n";
  }
  return bytes;
}

}  // namespace orvald
