#include "tables/day_status.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "export/igc_file_name.h"
#include "files/file_reader.h"
#include "files/path_in.h"
#include "tables/loggers_table.h"

namespace orvald {
namespace {

// Competition numbers as the desk reads them: 7 before 12 before 101, and
// "007" with 7; texts that are not numbers after all numbers, in text order.
bool CompetBefore(const std::string& a, const std::string& b) {
  const auto number = [](const std::string& s, unsigned long long& value) {
    const bool digits = std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (s.empty() || s.size() > 18 || !digits) return false;
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
// Seconds of the day of a B record's HHMMSS, or -1 when they are not digits.
int FixSeconds(const std::string& line) {
  if (line.size() < 7) return -1;
  int v[6];
  for (int i = 0; i < 6; ++i) {
    const char c = line[1 + i];
    if (c < '0' || c > '9') return -1;
    v[i] = c - '0';
  }
  return (v[0] * 10 + v[1]) * 3600 + (v[2] * 10 + v[3]) * 60 + v[4] * 10 + v[5];
}

IgcFixFacts ReadBRecords(const std::string& path) {
  IgcFixFacts facts;
  SystemError error;
  const int fd = OpenRegularFile(path, error);
  if (fd < 0) return facts;
  int count = 0;
  int previous = -1;
  std::string line;
  const auto endLine = [&] {
    if (!line.empty() && line[0] == 'B') {
      ++count;
      const int t = FixSeconds(line);
      if (t >= 0 && previous >= 0) {
        const int gap = t >= previous ? t - previous : t + 86400 - previous;  // past midnight UTC
        facts.longestGapSeconds = std::max(facts.longestGapSeconds, gap);
      }
      if (t >= 0) previous = t;
    }
    line.clear();
  };
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return IgcFixFacts{};
    }
    if (n == 0) break;
    for (ssize_t i = 0; i < n; ++i) {
      if (buffer[i] == '\n' || buffer[i] == '\r') {
        endLine();
      } else if (line.size() < 8) {  // the time is all a line is read for
        line += buffer[i];
      }
    }
  }
  endLine();
  close(fd);
  facts.points = count;
  return facts;
}

std::string LocalTimeText(const CivilDateTime& t) {
  char text[40];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  return text;
}

}  // namespace

const std::array<const char*, kDayColumns> kDayHeadings = {
    "No.", "Pilot", "Verdict", "IGC file", "Downloaded", "Logger", "Download time (local)", "Version", "Points",
    "Note"};

bool IsLaterDownload(const RawFileInfo& a, const RawFileInfo& b) {
  const int64_t ta = SecondsFromCivil(a.localTime), tb = SecondsFromCivil(b.localTime);
  if (ta != tb) return ta > tb;
  return a.copy > b.copy;
}

bool FindTaskIgc(const std::vector<std::string>& names, const std::string& competNo, const std::string& task,
                 IgcFileInfo& found) {
  const IgcTaskFileNames taskFiles(competNo, task);
  bool any = false;
  for (const std::string& name : names) {
    const char version = taskFiles.VersionOf(name);
    if (version == 0) continue;
    if (!any || version > found.version) {
      found.fileName = name;
      found.version = version;
      any = true;
    }
  }
  return any;
}

IgcFixFacts IgcPointCounter::Read(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return IgcFixFacts{};
  const int64_t modified = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  auto it = cache_.find(path);
  if (it != cache_.end() && it->second.size == info.st_size && it->second.modified == modified) return it->second.facts;
  const IgcFixFacts facts = ReadBRecords(path);
  cache_[path] = Entry{static_cast<int64_t>(info.st_size), modified, facts};
  return facts;
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
    // A cut download after a good one has not lost the good one.
    const bool better = row->rawFiles == 0 || (row->latest.incomplete && !raw.incomplete) ||
                        (row->latest.incomplete == raw.incomplete && IsLaterDownload(raw, row->latest));
    if (better) row->latest = raw;
    ++row->rawFiles;
  }

  for (DayRow& row : status.rows) {
    if (row.rawFiles > 0) ++status.downloaded;
    if (!task.empty() && FindTaskIgc(names, row.competNo, task, row.igc)) {
      row.saved = true;
      const IgcFixFacts facts = counter.Read(PathIn(directory, row.igc.fileName));
      row.igc.points = facts.points;
      row.igc.longestGapSeconds = facts.longestGapSeconds;
      if (VerdictOf(status, row) == DayVerdict::kCheck) {
        ++status.toCheck;
      } else {
        ++status.saved;
      }
    }
  }
  std::stable_sort(status.rows.begin(), status.rows.end(),
                   [](const DayRow& a, const DayRow& b) { return CompetBefore(a.competNo, b.competNo); });
  for (auto& [serial, row] : strangers) status.rows.push_back(row);
  status.notInTable = static_cast<int>(strangers.size());
  return status;
}

DayVerdict VerdictOf(const DayStatus& status, const DayRow& row) {
  if (!row.inTable) return DayVerdict::kNotInTable;
  if (!status.task.empty() && row.saved) {
    const bool doubtful = row.igc.points < 0 || row.igc.longestGapSeconds > kDayGapSeconds;
    return doubtful ? DayVerdict::kCheck : DayVerdict::kSaved;
  }
  if (row.rawFiles == 0) return DayVerdict::kNotDownloaded;
  if (row.latest.incomplete) return DayVerdict::kIncomplete;
  return status.task.empty() ? DayVerdict::kDownloaded : DayVerdict::kNotSaved;
}

const char* DayVerdictText(DayVerdict verdict) {
  switch (verdict) {
    case DayVerdict::kSaved: return "saved";
    case DayVerdict::kCheck: return "check";
    case DayVerdict::kNotSaved: return "not saved";
    case DayVerdict::kIncomplete: return "incomplete";
    case DayVerdict::kNotDownloaded: return "not downloaded";
    case DayVerdict::kDownloaded: return "downloaded";
    case DayVerdict::kNotInTable: return "not in table";
  }
  return "";
}

std::string DaySummaryText(const DayStatus& status) {
  const std::string of = " of " + std::to_string(status.loggers);
  std::string text;
  if (!status.task.empty()) {
    text = std::to_string(status.saved) + of + " saved for task " + status.task + ", " +
           std::to_string(status.toCheck) + " to check, " +
           std::to_string(status.loggers - status.saved - status.toCheck) + " missing";
  } else {
    text = std::to_string(status.downloaded) + of + " downloaded";
  }
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
  cells[2] = DayVerdictText(VerdictOf(status, row));
  if (row.rawFiles > 0) {
    cells[4] = row.latest.incomplete ? "incomplete" : "complete";
    if (row.rawFiles > 1) cells[4] += " (" + std::to_string(row.rawFiles) + " files)";
    cells[6] = LocalTimeText(row.latest.localTime);
  } else {
    cells[4] = "not downloaded";
  }
  cells[5] = row.serial.empty() ? "(no serial)" : row.serial;
  if (!status.task.empty() && row.inTable) {
    if (row.saved) {
      cells[3] = row.igc.fileName;
      cells[7] = std::string(1, row.igc.version);
      cells[8] = row.igc.points < 0 ? "unreadable" : std::to_string(row.igc.points);
      if (row.igc.longestGapSeconds > kDayGapSeconds) {
        cells[9] = "gap of " + std::to_string(row.igc.longestGapSeconds) + " s";
      }
    } else {
      cells[3] = "not saved";
    }
  }
  if (!row.inTable) cells[9] = "not in loggers.tsv";
  return cells;
}

}  // namespace orvald
