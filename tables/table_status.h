#pragma once
// What loading or saving a table file came to. The dialog shows `message` in
// an error box; `reason` says what the system reported, for logs and tools.

#include <string>

namespace orvald {

enum class TableFileStatus { kOk, kCannotRead, kCannotWrite };

struct TableFileResult {
  TableFileStatus status = TableFileStatus::kOk;
  std::string message;  // the box text, e.g. "Can't read Loggers file"; empty when ok
  std::string reason;   // "<path>: <system error>"; empty when ok
  // Not read because the file does not exist: the first write creates it.
  bool missing = false;
  // The file began with a UTF-8 byte-order mark, as a spreadsheet saves it.
  bool byteOrderMark = false;
  bool ok() const { return status == TableFileStatus::kOk; }
};

}  // namespace orvald
