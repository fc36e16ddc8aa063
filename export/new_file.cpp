#include "export/new_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace orvald {
namespace {

std::string PathIn(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  return directory.back() == '/' ? directory + name : directory + "/" + name;
}

// What the operator reads: the file as they would find it.
std::string Shown(const std::string& directory, const std::string& name) {
  return directory.empty() || directory == "." ? name : PathIn(directory, name);
}

bool Exists(const std::string& path) {
  struct stat info;
  // Any other failure (no such directory, no access) leaves the name to the
  // create step, which then reports the real reason.
  return lstat(path.c_str(), &info) == 0;
}

bool WriteAll(int fd, const std::string& content) {
  const char* data = content.data();
  size_t left = content.size();
  while (left > 0) {
    const ssize_t n = write(fd, data, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = EIO;
      return false;
    }
    data += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

// Writes, syncs and closes; the descriptor is closed whatever happens.
bool FillAndClose(int fd, const std::string& content) {
  const bool ok = WriteAll(fd, content) && fsync(fd) == 0;
  const int savedErrno = errno;
  const bool closed = close(fd) == 0;
  if (!ok) errno = savedErrno;
  return ok && closed;
}

void SyncDirectory(const std::string& directory) {
  const int fd = open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);  // the file is complete either way; this only makes its name durable sooner
  close(fd);
}

// Opens a fresh hidden file in the directory; honours the umask like any new file.
int CreateTemporary(const std::string& directory, std::string& path) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    path = PathIn(directory, ".orvald-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".part");
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// File systems without hard links (FAT on a USB stick) cannot take the
// temporary route; there the file is created under its final name exclusively
// and removed again if anything fails.
bool NoHardLinks(int error) { return error == EPERM || error == EOPNOTSUPP || error == ENOSYS; }

NewFileResult Failure(NewFileStatus status, const std::string& what, const std::string& directory,
                      const std::string& name, int error) {
  NewFileResult result;
  result.status = status;
  result.fileName = name;
  result.error = what + " " + Shown(directory, name) + ": " + std::strerror(error);
  return result;
}

NewFileResult WriteDirectly(const std::string& directory, const std::vector<std::string>& names, size_t from,
                            const std::string& content) {
  for (size_t i = from; i < names.size(); ++i) {
    const std::string path = PathIn(directory, names[i]);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return Failure(NewFileStatus::CannotCreate, "Can't create file", directory, names[i], errno);
    }
    if (!FillAndClose(fd, content)) {
      const int error = errno;
      unlink(path.c_str());
      return Failure(NewFileStatus::WriteFailed, "Can't write file", directory, names[i], error);
    }
    SyncDirectory(directory);
    NewFileResult result;
    result.status = NewFileStatus::Written;
    result.fileName = names[i];
    return result;
  }
  NewFileResult result;
  result.status = NewFileStatus::NoFreeName;
  result.error = "No free file name is left: " + Shown(directory, names.empty() ? "" : names.back()) +
                 " and every earlier version exist.";
  return result;
}

}  // namespace

NewFileResult WriteNewFile(const std::string& directory, const std::vector<std::string>& candidateNames,
                           const std::string& content) {
  size_t next = 0;
  while (next < candidateNames.size() && Exists(PathIn(directory, candidateNames[next]))) ++next;
  if (next == candidateNames.size()) return WriteDirectly(directory, candidateNames, next, content);

  std::string temporary;
  const int fd = CreateTemporary(directory, temporary);
  if (fd < 0) return Failure(NewFileStatus::CannotCreate, "Can't create file", directory, candidateNames[next], errno);
  if (!FillAndClose(fd, content)) {
    const int error = errno;
    unlink(temporary.c_str());
    return Failure(NewFileStatus::WriteFailed, "Can't write file", directory, candidateNames[next], error);
  }

  for (; next < candidateNames.size(); ++next) {
    if (link(temporary.c_str(), PathIn(directory, candidateNames[next]).c_str()) == 0) {
      unlink(temporary.c_str());
      SyncDirectory(directory);
      NewFileResult result;
      result.status = NewFileStatus::Written;
      result.fileName = candidateNames[next];
      return result;
    }
    const int error = errno;
    if (error == EEXIST) continue;  // taken since we looked
    unlink(temporary.c_str());
    if (NoHardLinks(error)) return WriteDirectly(directory, candidateNames, next, content);
    return Failure(NewFileStatus::CannotCreate, "Can't create file", directory, candidateNames[next], error);
  }
  unlink(temporary.c_str());
  return WriteDirectly(directory, candidateNames, next, content);
}

}  // namespace orvald
