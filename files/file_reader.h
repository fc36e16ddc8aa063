#pragma once
// Opening and reading the files the program is given (raw images, tables).
// Only regular files are read: a device such as /dev/zero never ends, a FIFO
// blocks its opener, and neither is a flight or a table.

#include <cstddef>
#include <string>

#include "files/system_error.h"

namespace orvald {

// A descriptor open for reading on a regular file, or -1 with `error` set
// (an errno value, or kNotRegularFile). Never blocks in the open.
int OpenRegularFile(const std::string& path, SystemError& error);

struct WholeFile {
  bool ok = false;
  bool opened = false;  // false: the open itself failed
  std::string bytes;
  SystemError error;  // EFBIG beyond the limit
};

// The complete contents of a regular file of at most `limit` bytes.
WholeFile ReadWholeFile(const std::string& path, size_t limit);

}  // namespace orvald
