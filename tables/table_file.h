#pragma once
// Whole-file reading and crash-safe replacement for the small table files.

#include <string>

namespace orvald {

struct FileReadResult {
  bool ok = false;
  std::string bytes;
  std::string error;  // "<path>: <reason>" when not ok
  bool missing = false;  // the file does not exist (yet)
};

// Tables are small; a file larger than this is no table (and reading
// /dev/urandom would never end).
inline constexpr size_t kMaxTableFileBytes = 16 * 1024 * 1024;

// The complete contents of `path`, or why they could not be read: only a
// regular file of at most kMaxTableFileBytes is read.
FileReadResult ReadTableFile(const std::string& path);

struct FileWriteResult {
  bool ok = false;
  std::string error;  // "<path>: <reason>" when not ok
};

// Replaces `path` with `bytes` so that the name always refers to either the
// complete old file or the complete new one: the bytes go to a new file beside
// it, every write is checked and flushed to the disk, and only then is the new
// file renamed over the old. On failure the old file is left as it was and the
// temporary file is removed. A replaced file keeps its permission bits.
FileWriteResult ReplaceFileSafely(const std::string& path, const std::string& bytes);

}  // namespace orvald
