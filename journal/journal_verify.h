#pragma once
// Checking a data folder against its day journal: the chain line by line,
// every file a line names (there, and with the same SHA-256), and the raw
// and IGC files the journal does not know. Each problem is one line in the
// desk's words; the last line says what was checked.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "files/system_error.h"

namespace orvald {

struct FolderCheck {
  std::vector<std::string> problems;  // "line 14: chain broken", "X.igc: missing", ...
  int lines = 0;                      // journal lines read
  int files = 0;                      // files the journal names, checked
  // The files the journal names that are gone or hold other bytes now.
  std::set<std::string> unmatched;
  bool ok() const { return problems.empty(); }
  // "Checked 14 journal lines and 9 files: 2 problems" (or "nothing wrong").
  std::string Summary() const;
};

// Digests remembered by name, size and modification time, so that a window
// checking the folder after every change reads only the files that changed.
class DigestCache {
 public:
  std::string Digest(const std::string& path, const std::string& name, SystemError& error);

 private:
  struct Entry {
    int64_t size;
    int64_t modifiedNs;  // the change time, as nanoseconds
    std::string hex;
  };
  std::map<std::string, Entry> entries_;
};

// `cache`, when given, spares reading the files that did not change.
FolderCheck CheckDataFolder(const std::string& directory, DigestCache* cache = nullptr);

}  // namespace orvald
