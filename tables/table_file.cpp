#include "tables/table_file.h"

#include "files/file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace orvald {

namespace {

std::string Reason(const std::string& path, int error) { return path + ": " + std::strerror(error); }

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool WriteAll(int fd, const std::string& bytes, int& error) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      return false;
    }
    if (n == 0) {
      error = EIO;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// A name beside `path` that no other writer in this process or another one
// picks at the same moment; O_EXCL settles the rest.
std::string TemporaryNameFor(const std::string& path, unsigned attempt) {
  static std::atomic<unsigned> counter{0};
  return path + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter++) + "." +
         std::to_string(attempt);
}

// Makes the rename itself durable; a directory that cannot be synced (some
// file systems refuse) does not undo a replacement that already happened.
void SyncDirectory(const std::string& directory) {
  int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

FileReadResult ReadTableFile(const std::string& path) {
  WholeFile file = ReadWholeFile(path, kMaxTableFileBytes);
  FileReadResult result;
  result.ok = file.ok;
  result.bytes = std::move(file.bytes);
  if (!file.ok) {
    result.error = file.errorNumber == EFBIG ? path + ": larger than 16 MiB, no table" : file.error;
  }
  return result;
}

FileWriteResult ReplaceFileSafely(const std::string& path, const std::string& bytes) {
  FileWriteResult result;
  struct stat old {};
  bool hadOld = ::stat(path.c_str(), &old) == 0;

  std::string temporary;
  int fd = -1;
  for (unsigned attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = TemporaryNameFor(path, attempt);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    result.error = Reason(path, errno);
    return result;
  }

  int error = 0;
  bool written = WriteAll(fd, bytes, error);
  // Keeping the old permission bits is a courtesy, not a reason to fail.
  if (written && hadOld && S_ISREG(old.st_mode)) (void)::fchmod(fd, old.st_mode & 07777);
  if (written && ::fsync(fd) != 0) {
    error = errno;
    written = false;
  }
  if (::close(fd) != 0 && written) {
    error = errno;
    written = false;
  }
  if (written && ::rename(temporary.c_str(), path.c_str()) != 0) {
    error = errno;
    written = false;
  }
  if (!written) {
    ::unlink(temporary.c_str());
    result.error = Reason(path, error);
    return result;
  }
  SyncDirectory(DirectoryOf(path));
  result.ok = true;
  return result;
}

}  // namespace orvald
