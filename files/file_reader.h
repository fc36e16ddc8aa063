#pragma once
// Opening and reading the files the program is given (raw images, tables).
// Only regular files are read: a device such as /dev/zero never ends, a FIFO
// blocks its opener, and neither is a flight or a table.

#include <cstddef>
#include <string>

namespace orvald {

// errno-style code for "that is not a regular file" (a device, FIFO, folder).
inline constexpr int kNotRegularFile = -1;

// A descriptor open for reading on a regular file, or -1 with `error` set
// (an errno value, or kNotRegularFile). Never blocks in the open.
int OpenRegularFile(const std::string& path, int& error);

// The reason text for an error of OpenRegularFile or ReadWholeFile.
std::string FileErrorText(int error);

struct WholeFile {
  bool ok = false;
  std::string bytes;
  int errorNumber = 0;   // errno value, kNotRegularFile, or EFBIG beyond the limit
  std::string error;     // "<path>: <reason>" when not ok
};

// The complete contents of a regular file of at most `limit` bytes.
WholeFile ReadWholeFile(const std::string& path, size_t limit);

}  // namespace orvald
