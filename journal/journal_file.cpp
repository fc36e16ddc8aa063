#include "journal/journal_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>

#include "files/file_reader.h"
#include "files/file_writer.h"
#include "files/path_in.h"
#include "journal/sha256.h"

namespace orvald {

namespace {

// A day of a big competition is a few thousand lines.
constexpr size_t kLargestJournal = 256u << 20;

// Closes the journal, which drops its lock.
class LockedJournal {
 public:
  explicit LockedJournal(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0) {
      error_ = {errno, path};
      return;
    }
    // flock belongs to the open file, so two threads of one program with
    // their own opens wait for each other as two programs do.
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno == EINTR) continue;
      error_ = {errno, path};
      Close();
      return;
    }
  }
  ~LockedJournal() { Close(); }
  LockedJournal(const LockedJournal&) = delete;
  LockedJournal& operator=(const LockedJournal&) = delete;

  bool open() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  const SystemError& error() const { return error_; }

 private:
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  std::string path_;
  int fd_ = -1;
  SystemError error_;
};

bool ReadAll(int fd, off_t size, std::string& bytes) {
  bytes.assign(static_cast<size_t>(size), '\0');
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

JournalText SplitLines(const std::string& bytes) {
  JournalText journal;
  journal.exists = true;
  size_t at = 0;
  while (at < bytes.size()) {
    const size_t end = bytes.find("\r\n", at);
    if (end == std::string::npos) {
      journal.lines.push_back({bytes.substr(at), false});
      break;
    }
    journal.lines.push_back({bytes.substr(at, end - at), true});
    at = end + 2;
  }
  return journal;
}

bool WriteWhole(int fd, const std::string& text, int& error) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? errno : ENOSPC;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::string LastChainHash(const JournalText& journal) {
  for (auto line = journal.lines.rbegin(); line != journal.lines.rend(); ++line) {
    if (!line->terminated) continue;
    if (const std::optional<JournalLine> parsed = ParseJournalLine(line->text)) return parsed->chain;
  }
  return kFirstChainHash;
}

JournalAppendResult AppendJournalEntry(const std::string& directory, const JournalEntry& entry) {
  JournalAppendResult result;
  const std::string path = PathIn(directory, kJournalFileName);
  LockedJournal journal(path);
  if (!journal.open()) {
    result.error = journal.error();
    return result;
  }
  struct stat info {};
  if (::fstat(journal.fd(), &info) != 0) {
    result.error = {errno, path};
    return result;
  }
  std::string bytes;
  if (!ReadAll(journal.fd(), info.st_size, bytes)) {
    result.error = {errno != 0 ? errno : EIO, path};
    return result;
  }
  const JournalText text = SplitLines(bytes);
  // A cut last line is left as it is, for verify to report; the new line
  // goes on a line of its own and chains to the last complete one.
  result.afterCutLine = !bytes.empty() && !text.lines.back().terminated;
  result.line = JournalLineText(entry, LastChainHash(text));
  const std::string written = (result.afterCutLine ? "\r\n" : "") + result.line;
  int error = 0;
  if (!WriteWhole(journal.fd(), written, error)) {
    // Half a line would be a cut line of our own making: it is taken back.
    if (::ftruncate(journal.fd(), info.st_size) != 0) {}
    result.error = {error, path};
    return result;
  }
  if (::fsync(journal.fd()) != 0) {
    result.error = {errno, path};
    return result;
  }
  if (info.st_size == 0) SyncDirectory(directory);
  result.ok = true;
  return result;
}

JournalText ReadJournal(const std::string& directory) {
  const std::string path = PathIn(directory, kJournalFileName);
  const WholeFile file = ReadWholeFile(path, kLargestJournal);
  if (!file.ok) {
    JournalText missing;
    missing.exists = file.opened || file.error.number != ENOENT;
    if (missing.exists) missing.error = file.error;
    return missing;
  }
  return SplitLines(file.bytes);
}

DayJournal::DayJournal(std::string directory, std::function<std::time_t()> utcNow)
    : directory_(std::move(directory)), utcNow_(std::move(utcNow)) {
  if (!utcNow_) utcNow_ = [] { return std::time(nullptr); };
}

JournalAppendResult DayJournal::Record(JournalEntry entry, const std::string& path) const {
  entry.time = JournalTimeText(utcNow_());
  if (!path.empty()) {
    const FileDigest digest = Sha256OfFile(path);
    if (!digest.ok) {
      JournalAppendResult unread;
      unread.error = digest.error;
      return unread;
    }
    entry.file = std::filesystem::path(path).filename().string();
    entry.sha256 = digest.hex;
  }
  return AppendJournalEntry(directory_, entry);
}

}  // namespace orvald
