#include "logger/raw_file_writer.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace orvald {

RawFileWriter::~RawFileWriter() { CloseFile(); }

std::string RawFileWriter::PartPathFor(const std::string& finalPath) { return finalPath + ".part"; }

bool RawFileWriter::Create(const std::string& finalPath) {
  CloseFile();
  finalPath_ = finalPath;
  partPath_ = PartPathFor(finalPath);
  errorNumber_ = 0;
  bytesWritten_ = 0;
  do {
    fd_ = ::open(partPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) {
    errorNumber_ = errno;
    return false;
  }
  return true;
}

bool RawFileWriter::Write(const uint8_t* bytes, size_t count) {
  if (fd_ < 0 || errorNumber_ != 0) {
    if (errorNumber_ == 0) errorNumber_ = EBADF;
    return false;
  }
  while (count > 0) {
    ssize_t written = ::write(fd_, bytes, count);
    if (written < 0) {
      if (errno == EINTR) continue;
      errorNumber_ = errno;
      return false;
    }
    if (written == 0) {  // a regular file that takes nothing is full
      errorNumber_ = ENOSPC;
      return false;
    }
    bytes += written;
    count -= static_cast<size_t>(written);
    bytesWritten_ += static_cast<uint64_t>(written);
  }
  return true;
}

bool RawFileWriter::CloseFile() {
  if (fd_ < 0) return true;
  int result = ::close(fd_);
  fd_ = -1;
  if (result != 0 && errno != EINTR) {
    if (errorNumber_ == 0) errorNumber_ = errno;
    return false;
  }
  return true;
}

bool RawFileWriter::Finish() {
  if (fd_ < 0) {
    if (errorNumber_ == 0) errorNumber_ = EBADF;
    return false;
  }
  if (errorNumber_ != 0) {
    CloseFile();
    return false;
  }
  // The rename must not reach the disk before the data does.
  if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
    errorNumber_ = errno;
    CloseFile();
    return false;
  }
  if (!CloseFile()) return false;
  if (::rename(partPath_.c_str(), finalPath_.c_str()) != 0) {
    errorNumber_ = errno;
    return false;
  }
  return true;
}

void RawFileWriter::CloseKeepingPart() { CloseFile(); }

void RawFileWriter::Discard() {
  CloseFile();
  if (!partPath_.empty()) ::unlink(partPath_.c_str());
}

}  // namespace orvald
