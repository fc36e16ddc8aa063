#pragma once
// The one way this program writes a file. The bytes go to a temporary file
// beside the final one; every write is checked; Commit() flushes them to the
// disk and only then gives them their final name, and syncs the folder so the
// name lasts too. Whatever is not committed is removed again (Cancel, or the
// destructor), so a crash, a full disk or an abort never leaves a file under
// a final name that looks complete but is not.
//
// Two ways to give the final name:
//  - a new name that never replaces anything: the first of the candidate
//    names that does not exist yet (anything of that name counts, even a file
//    we may not read), taken atomically so two writers never share one;
//  - replacing one existing file atomically: readers see the whole old file
//    or the whole new one, and the new one keeps the old one's permissions.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "files/system_error.h"

namespace orvald {

// The k-th name to try (k = 0, 1, ...); an empty text when there is none left.
using CandidateNames = std::function<std::string(int k)>;

// "name" for k = 0, then "name-2", "name-3", ... with the number placed
// before `extension` (which `name` must end with).
CandidateNames NumberedNames(const std::string& name, const std::string& extension);

class FileWriter {
 public:
  FileWriter() = default;
  ~FileWriter() { Cancel(); }
  FileWriter(const FileWriter&) = delete;
  FileWriter& operator=(const FileWriter&) = delete;

  // Opens the temporary file in `directory` (empty: the working directory).
  // `temporaryName` is the preferred name, made exclusively; when another
  // writer holds it, a name of this process's own beside it is used.
  bool Begin(const std::string& directory, const std::string& temporaryName);

  // Appends every byte; false (and nothing more written) once any failed.
  bool Write(const void* bytes, size_t count);
  bool Write(const std::string& text) { return Write(text.data(), text.size()); }

  // Gives the finished file the first free name of `names`. False when it
  // could not (errorNumber() says why, NoFreeName() when every name was
  // taken); the temporary file is then still there for Cancel() or Keep().
  bool CommitNew(const CandidateNames& names);
  // As CommitNew, for what was written so far even after a write failed:
  // keeping a download that broke off under a name that says so.
  bool CommitWritten(const CandidateNames& names);
  // Renames the finished file over `name`, replacing what was there.
  bool CommitReplacing(const std::string& name);

  // Removes the temporary file (nothing once committed or kept).
  void Cancel();
  // Closes the temporary file and leaves it where it is, for whoever wants
  // to look at what arrived.
  void Keep();

  bool isOpen() const { return fd_ >= 0; }
  bool committed() const { return committed_; }
  bool noFreeName() const { return noFreeName_; }
  // The last failure and the file it was about.
  const SystemError& error() const { return error_; }
  int errorNumber() const { return error_.number; }
  uint64_t bytesWritten() const { return bytesWritten_; }
  // With the directory, as given to Begin.
  const std::string& temporaryPath() const { return temporaryPath_; }
  const std::string& finalPath() const { return finalPath_; }
  // The final name without the directory.
  std::string finalName() const;
  // "<path>: <reason>" for the last failure.
  std::string errorText() const { return error_.failed() ? error_.Text() : std::string(); }

 private:
  bool FlushAndClose();
  bool Publish(const CandidateNames& names);
  bool Fail(int error, const std::string& path);
  bool PublishAs(const std::string& path, bool& taken);
  std::string PathIn(const std::string& name) const;

  std::string directory_;
  std::string temporaryPath_;
  std::string finalPath_;
  SystemError error_;
  int fd_ = -1;
  uint64_t bytesWritten_ = 0;
  bool committed_ = false;
  bool noFreeName_ = false;
  bool kept_ = false;
};

// Makes a change of names in `directory` durable; a folder that refuses to be
// synced does not undo what already happened.
void SyncDirectory(const std::string& directory);

}  // namespace orvald
