#include "journal/journal_verify.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
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

constexpr std::time_t kSettledSeconds = 2;

std::string DigestCache::Digest(const std::string& path, const std::string& name, SystemError& error) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) {
    // The change time, which no program can set back, and never a file
    // changed within the last seconds: a rewrite inside one tick of the
    // file system's clock would otherwise look unchanged.
    const int64_t changedNs = int64_t{info.st_ctim.tv_sec} * 1'000'000'000 + info.st_ctim.tv_nsec;
    const auto known = entries_.find(name);
    if (known != entries_.end() && known->second.size == info.st_size && known->second.modifiedNs == changedNs) {
      return known->second.hex;
    }
    const FileDigest digest = Sha256OfFile(path);
    if (digest.ok) {
      if (info.st_ctim.tv_sec + kSettledSeconds < std::time(nullptr)) {
        entries_[name] = {static_cast<int64_t>(info.st_size), changedNs, digest.hex};
      } else {
        entries_.erase(name);
      }
      return digest.hex;
    }
    error = digest.error;
    return {};
  }
  // What the stat met (a missing file, a folder that may not be searched)
  // is what opening it would meet: the same error as without a cache.
  error = {errno, path};
  entries_.erase(name);
  return {};
}

FolderCheck CheckDataFolder(const std::string& directory, DigestCache* cache) {
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
    FileDigest digest;
    if (cache != nullptr) {
      digest.hex = cache->Digest(PathIn(directory, file), file, digest.error);
      digest.ok = !digest.hex.empty();
    } else {
      digest = Sha256OfFile(PathIn(directory, file));
    }
    if (!digest.ok) {
      check.problems.push_back(file + (digest.error.number == ENOENT ? ": missing" : ": " + digest.error.Reason()));
      check.unmatched.insert(file);
    } else if (digest.hex != what.sha256) {
      check.problems.push_back(file + ": changed since " + what.time);
      check.unmatched.insert(file);
    }
  }
  for (const std::string& file : FolderFiles(directory)) {
    if (named.count(file) == 0) check.problems.push_back(file + ": not in the journal");
  }
  return check;
}

}  // namespace orvald
