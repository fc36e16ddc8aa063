#include "tables/table_file.h"

#include "files/file_reader.h"
#include "files/file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace orvald {

FileReadResult ReadTableFile(const std::string& path) {
  WholeFile file = ReadWholeFile(path, kMaxTableFileBytes);
  FileReadResult result;
  result.ok = file.ok;
  result.bytes = std::move(file.bytes);
  if (!file.ok) {
    result.error = file.error.number == EFBIG ? path + ": larger than 16 MiB, no table" : file.error.Text();
    result.missing = file.error.number == ENOENT;
  }
  return result;
}

FileWriteResult ReplaceFileSafely(const std::string& path, const std::string& bytes) {
  FileWriteResult result;
  const size_t slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? "" : path.substr(0, slash == 0 ? 1 : slash);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  FileWriter file;
  if (!file.Begin(directory, name + ".tmp") || !file.Write(bytes) || !file.CommitReplacing(name)) {
    result.error = SystemError{file.errorNumber(), path}.Text();
    return result;
  }
  result.ok = true;
  return result;
}

}  // namespace orvald
