#include "tables/tsv_format.h"

namespace orvald {

std::vector<std::string_view> SplitTsvLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  size_t begin = 0;
  while (begin < bytes.size()) {
    size_t end = bytes.find('\n', begin);
    size_t next = end == std::string_view::npos ? bytes.size() : end + 1;
    if (end == std::string_view::npos) end = bytes.size();
    size_t contentEnd = end;
    if (contentEnd > begin && bytes[contentEnd - 1] == '\r') --contentEnd;
    lines.push_back(bytes.substr(begin, contentEnd - begin));
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
