#include "files/file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace orvald {

int OpenRegularFile(const std::string& path, SystemError& error) {
  error = SystemError{0, path};
  // Non-blocking, so that opening a FIFO with no writer returns at once.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error.number = errno;
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    error.number = S_ISDIR(info.st_mode) ? EISDIR : kNotRegularFile;
    ::close(fd);
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

WholeFile ReadWholeFile(const std::string& path, size_t limit) {
  WholeFile result;
  auto fail = [&](int error) {
    result.error = SystemError{error, path};
    result.bytes.clear();
    return result;
  };
  SystemError openError;
  const int fd = OpenRegularFile(path, openError);
  if (fd < 0) {
    result.error = openError;
    return result;
  }
  result.opened = true;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && static_cast<unsigned long long>(info.st_size) > limit) {
    ::close(fd);
    return fail(EFBIG);
  }
  result.bytes.reserve(static_cast<size_t>(info.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int readError = errno;
      ::close(fd);
      return fail(readError);
    }
    if (n == 0) break;
    if (result.bytes.size() + static_cast<size_t>(n) > limit) {  // grew while we read
      ::close(fd);
      return fail(EFBIG);
    }
    result.bytes.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  result.ok = true;
  return result;
}

}  // namespace orvald
