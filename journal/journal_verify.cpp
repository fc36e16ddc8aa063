#include "journal/journal_verify.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>
#include <set>

#include "files/path_in.h"
#include "journal/journal_file.h"
#include "journal/sha256.h"
#include "tracklog/log_file.h"

namespace orvald {

namespace {

struct Named {
  std::string sha256;
  std::string time;
};

bool IsRawFileName(const std::string& name) {
  if (name.size() < 4) return false;
  const std::string tail = name.substr(name.size() - 4);
  return tail[0] == '.' && (tail[1] | 0x20) == 'g' && tail[2] == '0' && tail[3] == '0';
}

std::vector<std::string> FolderFiles(const std::string& directory) {
  std::vector<std::string> names;
  if (DIR* folder = ::opendir(directory.empty() ? "." : directory.c_str())) {
    while (const dirent* entry = ::readdir(folder)) {
      const std::string name = entry->d_name;
      if (IsRawFileName(name) || IsIgcFileName(name)) names.push_back(name);
    }
    ::closedir(folder);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string LineText(size_t index) { return "line " + std::to_string(index + 1); }

// The chain, line by line; the files the lines name, last line first.
void CheckLines(const JournalText& journal, FolderCheck& check, std::map<std::string, Named>& named) {
  std::string chain = kFirstChainHash;
  for (size_t i = 0; i < journal.lines.size(); ++i) {
    const JournalText::Line& raw = journal.lines[i];
    ++check.lines;
    const std::optional<JournalLine> line = ParseJournalLine(raw.text);
    if (!raw.terminated || !line) {
      // A line cut by a full disk or a crash: never taken as written.
      check.problems.push_back(LineText(i) + (raw.terminated ? ": not a journal line" : ": incomplete, no line end"));
      continue;
    }
    if (line->previousChain != chain || line->chain != ChainHash(line->previousChain, line->fields)) {
      check.problems.push_back(LineText(i) + ": chain broken");
    }
    // Each line after is checked against what this one says, so one
    // changed line is one problem.
    chain = line->chain;
    const std::string file = FieldValue(line->file());
    if (!file.empty()) named[file] = {line->sha256(), line->time()};
  }
}

}  // namespace

std::string FolderCheck::Summary() const {
  std::string text = "Checked " + std::to_string(lines) + (lines == 1 ? " journal line" : " journal lines") +
                     " and " + std::to_string(files) + (files == 1 ? " file" : " files") + ": ";
  if (problems.empty()) return text + "nothing wrong";
  return text + std::to_string(problems.size()) + (problems.size() == 1 ? " problem" : " problems");
}

FolderCheck CheckDataFolder(const std::string& directory) {
  FolderCheck check;
  const JournalText journal = ReadJournal(directory);
  if (journal.error.failed()) {
    check.problems.push_back(journal.error.Text());
  } else if (!journal.exists) {
    check.problems.push_back(std::string(kJournalFileName) + ": missing");
  }
  std::map<std::string, Named> named;
  CheckLines(journal, check, named);
  for (const auto& [file, what] : named) {
    ++check.files;
    const FileDigest digest = Sha256OfFile(PathIn(directory, file));
    if (!digest.ok) {
      check.problems.push_back(file + (digest.error.number == ENOENT ? ": missing" : ": " + digest.error.Reason()));
    } else if (digest.hex != what.sha256) {
      check.problems.push_back(file + ": changed since " + what.time);
    }
  }
  for (const std::string& file : FolderFiles(directory)) {
    if (named.count(file) == 0) check.problems.push_back(file + ": not in the journal");
  }
  return check;
}

}  // namespace orvald
