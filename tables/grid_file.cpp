#include "tables/grid_file.h"

#include "tables/table_file.h"
#include "tables/tsv_format.h"

#include <string>
#include <string_view>

namespace orvald {

namespace {
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
}  // namespace

TableFileResult LoadGrid(TextGrid& grid, const std::string& path, const std::string& readMessage) {
  TableFileResult result;
  FileReadResult file = ReadTableFile(path);
  if (!file.ok) {
    grid.SetRowCount(2);
    result.status = TableFileStatus::kCannotRead;
    result.message = readMessage;
    result.reason = file.error;
    result.missing = file.missing;
    return result;
  }
  std::string_view bytes = file.bytes;
  // A spreadsheet puts the mark before the first row; left in, it would be
  // part of the first serial or task number and hide it from every look-up.
  if (bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    bytes.remove_prefix(kByteOrderMark.size());
    result.byteOrderMark = true;
  }
  std::vector<std::string_view> lines = SplitTsvLines(bytes);
  if (lines.empty()) return result;
  grid.SetRowCount(static_cast<int>(lines.size()) + 1);
  for (size_t i = 0; i < lines.size(); ++i) {
    std::vector<std::string> fields = SplitTsvFields(lines[i], grid.columnCount());
    for (int column = 0; column < grid.columnCount(); ++column)
      grid.SetCell(column, static_cast<int>(i) + 1, std::move(fields[column]));
  }
  return result;
}

TableFileResult SaveGrid(const TextGrid& grid, const std::string& path, const std::string& writeMessage,
                         bool byteOrderMark) {
  TableFileResult result;
  FileWriteResult file = ReplaceFileSafely(path, (byteOrderMark ? std::string(kByteOrderMark) : "") + FormatTsv(grid));
  if (!file.ok) {
    result.status = TableFileStatus::kCannotWrite;
    result.message = writeMessage;
    result.reason = file.error;
  }
  return result;
}

}  // namespace orvald
