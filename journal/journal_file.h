#pragma once
// Appending to the day journal and reading it back. Several stations of one
// window, and several programs, append to the same journal.tsv: each append
// holds an exclusive lock on the file, chains to the last complete line,
// writes its line in one write and has it on the disk before it returns.

#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "files/system_error.h"
#include "journal/journal_line.h"

namespace orvald {

struct JournalAppendResult {
  bool ok = false;
  SystemError error;  // why not
  std::string line;   // what was written, CR LF included
  // The journal's last line had no CR LF (a disk that filled, a crash): the
  // new line was started on a line of its own and verify reports the cut one.
  bool afterCutLine = false;
};

// Appends `entry` to `directory`/journal.tsv (made when missing). Never
// throws; a short write is taken back, so no half line stays behind.
JournalAppendResult AppendJournalEntry(const std::string& directory, const JournalEntry& entry);

// The journal's lines as they are on the disk.
struct JournalText {
  bool exists = false;
  SystemError error;  // it exists but could not be read
  struct Line {
    std::string text;         // without its CR LF
    bool terminated = false;  // ended by CR LF (only the last line may not be)
  };
  std::vector<Line> lines;
};
JournalText ReadJournal(const std::string& directory);

// The chain hash a new line continues: that of the last complete line that
// reads as a journal line, or the first line's when there is none.
std::string LastChainHash(const JournalText& journal);

// What the programs hold to write the journal of their data folder.
class DayJournal {
 public:
  explicit DayJournal(std::string directory, std::function<std::time_t()> utcNow = {});

  // Appends `entry` at the clock's time; with a `path`, the entry names that
  // file and its SHA-256 (a file that cannot be read is not journalled: the
  // result says why).
  JournalAppendResult Record(JournalEntry entry, const std::string& path = "") const;

  const std::string& directory() const { return directory_; }

 private:
  std::string directory_;
  std::function<std::time_t()> utcNow_;
};

}  // namespace orvald
