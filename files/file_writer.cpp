#include "files/file_writer.h"
#include "files/path_in.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace orvald {

namespace {

std::string DirectoryPart(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool Exists(const std::string& path) {
  struct stat info;
  // Any other failure (no such folder, no access) leaves the name to the
  // publishing step, which then reports the real reason.
  return ::lstat(path.c_str(), &info) == 0;
}

// File systems without hard links (FAT on a USB stick) refuse link(2) with
// one of these.
bool NoHardLinks(int error) { return error == EPERM || error == EOPNOTSUPP || error == ENOSYS || error == EMLINK; }

// rename(2) that fails with EEXIST instead of replacing; EINVAL or ENOSYS
// where the file system or kernel cannot do that.
int RenameNoReplace(const char* from, const char* to) {
#ifdef SYS_renameat2
  return static_cast<int>(::syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE));
#else
  errno = ENOSYS;
  return -1;
#endif
}

}  // namespace

CandidateNames NumberedNames(const std::string& name, const std::string& extension) {
  const bool hasExtension =
      name.size() >= extension.size() && name.compare(name.size() - extension.size(), extension.size(), extension) == 0;
  const std::string stem = hasExtension ? name.substr(0, name.size() - extension.size()) : name;
  const std::string tail = hasExtension ? extension : std::string();
  return [stem, tail](int k) -> std::string {
    if (k < 0 || k >= 10000) return {};
    return k == 0 ? stem + tail : stem + "-" + std::to_string(k + 1) + tail;
  };
}

std::string FileWriter::PathIn(const std::string& name) const { return orvald::PathIn(directory_, name); }

bool FileWriter::Fail(int error, const std::string& path) {
  if (!error_.failed()) error_ = SystemError{error, path};
  return false;
}

bool FileWriter::Begin(const std::string& directory, const std::string& temporaryName) {
  Cancel();
  directory_ = directory;
  temporaryPath_.clear();
  finalPath_.clear();
  error_ = SystemError{};
  bytesWritten_ = 0;
  committed_ = kept_ = noFreeName_ = false;

  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = attempt == 0 ? temporaryName
                                          : temporaryName + "." + std::to_string(::getpid()) + "-" +
                                                std::to_string(counter++) + ".part";
    const std::string path = PathIn(name);
    do {
      fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ >= 0) {
      temporaryPath_ = path;
      return true;
    }
    if (errno != EEXIST) return Fail(errno, PathIn(temporaryName));
  }
  return Fail(EEXIST, PathIn(temporaryName));
}

bool FileWriter::Write(const void* bytes, size_t count) {
  if (fd_ < 0) return Fail(EBADF, temporaryPath_);
  if (error_.failed()) return false;
  const auto* next = static_cast<const uint8_t*>(bytes);
  while (count > 0) {
    const ssize_t written = ::write(fd_, next, count);
    if (written < 0) {
      if (errno == EINTR) continue;
      return Fail(errno, temporaryPath_);
    }
    if (written == 0) return Fail(ENOSPC, temporaryPath_);  // a regular file that takes nothing is full
    next += written;
    count -= static_cast<size_t>(written);
    bytesWritten_ += static_cast<uint64_t>(written);
  }
  return true;
}

bool FileWriter::FlushAndClose() {
  if (fd_ < 0) return Fail(EBADF, temporaryPath_);
  bool ok = !error_.failed();
  // The name must not reach the disk before the data does. Some file
  // systems cannot sync at all (EINVAL, EROFS); their data is as safe as it gets.
  if (ok && ::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) ok = Fail(errno, temporaryPath_);
  if (::close(fd_) != 0 && errno != EINTR && ok) ok = Fail(errno, temporaryPath_);
  fd_ = -1;
  return ok;
}

bool FileWriter::PublishAs(const std::string& path, bool& taken) {
  taken = false;
  if (::link(temporaryPath_.c_str(), path.c_str()) == 0) {
    ::unlink(temporaryPath_.c_str());
    return true;
  }
  int error = errno;
  if (error == EEXIST) {
    taken = true;
    return false;
  }
  if (!NoHardLinks(error)) return Fail(error, path);
  if (RenameNoReplace(temporaryPath_.c_str(), path.c_str()) == 0) return true;
  error = errno;
  if (error == EEXIST) {
    taken = true;
    return false;
  }
  if (error != EINVAL && error != ENOSYS) return Fail(error, path);
  // Neither links nor an exclusive rename: claim the name with an empty file
  // of our own, then move the finished file over it.
  const int placeholder = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (placeholder < 0) {
    if (errno == EEXIST) {
      taken = true;
      return false;
    }
    return Fail(errno, path);
  }
  ::close(placeholder);
  if (::rename(temporaryPath_.c_str(), path.c_str()) != 0) {
    error = errno;
    ::unlink(path.c_str());
    return Fail(error, path);
  }
  return true;
}

bool FileWriter::CommitNew(const CandidateNames& names) {
  if (committed_) return true;
  if (!FlushAndClose()) return false;
  return Publish(names);
}

bool FileWriter::CommitWritten(const CandidateNames& names) {
  if (committed_) return true;
  const SystemError writeError = std::exchange(error_, SystemError{});
  if (fd_ >= 0 && !FlushAndClose()) return false;
  if (!Publish(names)) return false;
  error_ = writeError;  // why the file is short is still the thing to tell
  return true;
}

bool FileWriter::Publish(const CandidateNames& names) {
  for (int k = 0;; ++k) {
    const std::string name = names(k);
    if (name.empty()) break;
    const std::string path = PathIn(name);
    if (Exists(path)) continue;
    bool taken = false;
    if (PublishAs(path, taken)) {
      finalPath_ = path;
      committed_ = true;
      SyncDirectory(DirectoryPart(path));
      return true;
    }
    if (!taken) return false;
  }
  noFreeName_ = true;
  return Fail(EEXIST, PathIn(names(0)));
}

bool FileWriter::CommitReplacing(const std::string& name) {
  if (committed_) return true;
  const std::string path = PathIn(name);
  struct stat old {};
  // Keeping the old permission bits is a courtesy, not a reason to fail.
  if (fd_ >= 0 && ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) (void)::fchmod(fd_, old.st_mode & 07777);
  if (!FlushAndClose()) return false;
  if (::rename(temporaryPath_.c_str(), path.c_str()) != 0) return Fail(errno, path);
  finalPath_ = path;
  committed_ = true;
  SyncDirectory(DirectoryPart(path));
  return true;
}

void FileWriter::Cancel() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!committed_ && !kept_ && !temporaryPath_.empty()) ::unlink(temporaryPath_.c_str());
  temporaryPath_.clear();
}

void FileWriter::Keep() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  kept_ = true;
}

std::string FileWriter::finalName() const {
  const size_t slash = finalPath_.rfind('/');
  return slash == std::string::npos ? finalPath_ : finalPath_.substr(slash + 1);
}

void SyncDirectory(const std::string& directory) {
  const int fd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace orvald
