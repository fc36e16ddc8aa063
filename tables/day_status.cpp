#include "tables/day_status.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "export/igc_writer.h"
#include "files/file_reader.h"
#include "tables/loggers_table.h"
#include "files/path_in.h"

namespace orvald {
namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool AllDigits(const std::string& s, size_t pos, size_t count) {
  if (pos + count > s.size()) return false;
  return std::all_of(s.begin() + static_cast<long>(pos), s.begin() + static_cast<long>(pos + count),
                     [](char c) { return c >= '0' && c <= '9'; });
}

int Number(const std::string& s, size_t pos, size_t count) { return std::stoi(s.substr(pos, count)); }

// Competition numbers as the desk reads them: 7 before 12 before 101, and
// "007" with 7; texts that are not numbers after all numbers, in text order.
bool CompetBefore(const std::string& a, const std::string& b) {
  const auto number = [](const std::string& s, unsigned long long& value) {
    if (s.empty() || s.size() > 18 || !AllDigits(s, 0, s.size())) return false;
    value = std::stoull(s);
    return true;
  };
  unsigned long long x = 0, y = 0;
  const bool xn = number(a, x), yn = number(b, y);
  if (xn != yn) return xn;
  if (xn && x != y) return x < y;
  return a < b;
}

// Only a regular file is read: an IGC name on a FIFO would block the status
// for good, and one on a device such as /dev/zero would never end.
int CountBRecords(const std::string& path) {
  SystemError error;
  const int fd = OpenRegularFile(path, error);
  if (fd < 0) return -1;
  int count = 0;
  bool lineStart = true;
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return -1;
    }
    if (n == 0) break;
    for (ssize_t i = 0; i < n; ++i) {
      if (lineStart && buffer[i] == 'B') ++count;
      lineStart = buffer[i] == '\n' || buffer[i] == '\r';
    }
  }
  close(fd);
  return count;
}

std::string LocalTimeText(const CivilDateTime& t) {
  char text[40];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  return text;
}

}  // namespace

const std::array<const char*, kDayColumns> kDayHeadings = {
    "No.", "Pilot", "Logger", "Downloaded (local time)", "Download", "IGC file", "Version", "Points", "Note"};

bool ParseRawFileName(const std::string& name, RawFileInfo& info) {
  std::string stem = name;
  bool incomplete = false;
  if (EndsWith(stem, ".part")) {
    stem.resize(stem.size() - 5);
    incomplete = true;
  }
  if (!EndsWith(stem, ".G00") && !EndsWith(stem, ".g00")) return false;
  stem.resize(stem.size() - 4);

  int copy = 1;
  // "-incomplete" and "-N" in either order, each at most once.
  for (int pass = 0; pass < 2; ++pass) {
    if (EndsWith(stem, "-incomplete") && stem.size() > 11) {
      stem.resize(stem.size() - 11);
      incomplete = true;
      continue;
    }
    const size_t dash = stem.rfind('-');
    // A copy number follows the time, which is 6 digits; a short number after a dash is a copy.
    if (copy == 1 && dash != std::string::npos && stem.size() - dash - 1 >= 1 && stem.size() - dash - 1 <= 4 &&
        AllDigits(stem, dash + 1, stem.size() - dash - 1) && dash >= 16) {
      copy = Number(stem, dash + 1, stem.size() - dash - 1);
      stem.resize(dash);
    }
  }

  // "-YYYYMMDD-HHMMSS" at the end, the serial before it.
  if (stem.size() < 16) return false;
  const size_t date = stem.size() - 15;
  if (stem[date - 1] != '-' || stem[date + 8] != '-' || !AllDigits(stem, date, 8) || !AllDigits(stem, date + 9, 6)) {
    return false;
  }
  CivilDateTime t{Number(stem, date, 4),     Number(stem, date + 4, 2),  Number(stem, date + 6, 2),
                  Number(stem, date + 9, 2), Number(stem, date + 11, 2), Number(stem, date + 13, 2)};
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > DaysInMonth(t.year, t.month) || t.hour > 23 ||
      t.minute > 59 || t.second > 60) {
    return false;
  }
  info.fileName = name;
  info.serial = stem.substr(0, date - 1);
  info.localTime = t;
  info.copy = copy;
  info.incomplete = incomplete;
  return true;
}

bool IsLaterDownload(const RawFileInfo& a, const RawFileInfo& b) {
  const int64_t ta = SecondsFromCivil(a.localTime), tb = SecondsFromCivil(b.localTime);
  if (ta != tb) return ta > tb;
  return a.copy > b.copy;
}

bool FindTaskIgc(const std::vector<std::string>& names, const std::string& competNo, const std::string& task,
                 IgcFileInfo& found) {
  // The writer's own rule, with a placeholder where the version goes.
  const std::string sample = IgcFileName(competNo, task, '#', "");
  const std::string prefix = sample.substr(0, sample.size() - 5);  // without "#.igc"
  bool any = false;
  for (const std::string& name : names) {
    if (name.size() < prefix.size() + 5 || name.compare(0, prefix.size(), prefix) != 0) continue;
    const char version = name[prefix.size()];
    if (!((version >= '1' && version <= '9') || (version >= 'A' && version <= 'Z'))) continue;
    const std::string rest = name.substr(prefix.size() + 1);
    if (rest != ".igc" && !(rest[0] == '_' && EndsWith(rest, ".igc"))) continue;
    if (!any || version > found.version) {
      found.fileName = name;
      found.version = version;
      any = true;
    }
  }
  return any;
}

int IgcPointCounter::Count(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return -1;
  const int64_t modified = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  auto it = cache_.find(path);
  if (it != cache_.end() && it->second.size == info.st_size && it->second.modified == modified) return it->second.points;
  const int points = CountBRecords(path);
  cache_[path] = Entry{static_cast<int64_t>(info.st_size), modified, points};
  return points;
}

DayStatus ReadDayStatus(const std::string& directory, const std::string& task, IgcPointCounter& counter) {
  DayStatus status;
  status.task = task;

  std::vector<std::string> names;
  if (DIR* dir = opendir(directory.empty() ? "." : directory.c_str())) {
    while (const dirent* entry = readdir(dir)) names.emplace_back(entry->d_name);
    closedir(dir);
  } else {
    status.problem = "Can't read the folder " + directory + ": " + std::strerror(errno);
  }
  std::sort(names.begin(), names.end());

  LoggersTable loggers(PathIn(directory, kLoggersFileName));
  const TableFileResult loaded = loggers.Load();
  if (!loaded.ok() && status.problem.empty()) status.problem = loaded.message + " (" + loaded.reason + ")";
  std::map<int, size_t> rowOfTableRow;
  if (loaded.ok()) {
    for (int r = 1; r <= loggers.grid().lastRow(); ++r) {
      if (loggers.RowIsBlank(r)) continue;
      DayRow row;
      row.serial = loggers.grid().Cell(kLoggerSerialColumn, r);
      row.competNo = loggers.grid().Cell(kLoggerCompetColumn, r);
      row.pilotNames = loggers.grid().Cell(kLoggerNamesColumn, r);
      rowOfTableRow[r] = status.rows.size();
      status.rows.push_back(row);
    }
  }
  status.loggers = static_cast<int>(status.rows.size());

  // Each raw file goes to the row that a download of its logger would find.
  std::map<std::string, DayRow> strangers;
  for (const std::string& name : names) {
    RawFileInfo raw;
    if (!ParseRawFileName(name, raw)) continue;
    const LoggerTableMatch match = loggers.FindLogger(raw.serial);
    DayRow* row = nullptr;
    if (match.found && rowOfTableRow.count(match.row) != 0) {
      row = &status.rows[rowOfTableRow[match.row]];
    } else {
      row = &strangers[raw.serial];
      row->inTable = false;
      row->serial = raw.serial;
    }
    if (row->rawFiles == 0 || IsLaterDownload(raw, row->latest)) row->latest = raw;
    ++row->rawFiles;
  }

  for (DayRow& row : status.rows) {
    if (row.rawFiles > 0) ++status.downloaded;
    if (!task.empty() && FindTaskIgc(names, row.competNo, task, row.igc)) {
      row.saved = true;
      row.igc.points = counter.Count(PathIn(directory, row.igc.fileName));
      ++status.saved;
    }
  }
  std::stable_sort(status.rows.begin(), status.rows.end(),
                   [](const DayRow& a, const DayRow& b) { return CompetBefore(a.competNo, b.competNo); });
  for (auto& [serial, row] : strangers) status.rows.push_back(row);
  status.notInTable = static_cast<int>(strangers.size());
  return status;
}

std::string DaySummaryText(const DayStatus& status) {
  const std::string of = " of " + std::to_string(status.loggers);
  std::string text;
  if (!status.task.empty()) text = std::to_string(status.saved) + of + " saved for task " + status.task + ", ";
  text += std::to_string(status.downloaded) + of + " downloaded";
  if (status.notInTable > 0) {
    text += ", " + std::to_string(status.notInTable) +
            (status.notInTable == 1 ? " downloaded logger" : " downloaded loggers") + " not in loggers.tsv";
  }
  return text;
}

std::array<std::string, kDayColumns> DayRowCells(const DayStatus& status, const DayRow& row) {
  std::array<std::string, kDayColumns> cells;
  cells[0] = row.competNo;
  cells[1] = row.pilotNames;
  cells[2] = row.serial.empty() ? "(no serial)" : row.serial;
  if (row.rawFiles > 0) {
    cells[3] = LocalTimeText(row.latest.localTime);
    cells[4] = row.latest.incomplete ? "incomplete" : "complete";
    if (row.rawFiles > 1) cells[4] += " (" + std::to_string(row.rawFiles) + " files)";
  } else {
    cells[4] = "not downloaded";
  }
  if (!status.task.empty() && row.inTable) {
    if (row.saved) {
      cells[5] = row.igc.fileName;
      cells[6] = std::string(1, row.igc.version);
      cells[7] = row.igc.points < 0 ? "unreadable" : std::to_string(row.igc.points);
    } else {
      cells[5] = "not saved";
    }
  }
  if (!row.inTable) cells[8] = "not in loggers.tsv";
  return cells;
}

}  // namespace orvald
