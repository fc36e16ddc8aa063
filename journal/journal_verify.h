#pragma once
// Checking a data folder against its day journal: the chain line by line,
// every file a line names (there, and with the same SHA-256), and the raw
// and IGC files the journal does not know. Each problem is one line in the
// desk's words; the last line says what was checked.

#include <string>
#include <vector>

namespace orvald {

struct FolderCheck {
  std::vector<std::string> problems;  // "line 14: chain broken", "X.igc: missing", ...
  int lines = 0;                      // journal lines read
  int files = 0;                      // files the journal names, checked
  bool ok() const { return problems.empty(); }
  // "Checked 14 journal lines and 9 files: 2 problems" (or "nothing wrong").
  std::string Summary() const;
};

FolderCheck CheckDataFolder(const std::string& directory);

}  // namespace orvald
