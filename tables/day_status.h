#pragma once
// The day at a glance, for the desk that runs it from a list of who is done:
// every logger of loggers.tsv with its latest raw file and, for one task,
// its IGC file; loggers downloaded but missing from the table are listed too.
// Read from the data folder alone, so the window and `orvald-cli status`
// show the same thing.

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tracklog/raw_file_name.h"

namespace orvald {

// Later download first: by the time in the name, then the copy number.
bool IsLaterDownload(const RawFileInfo& a, const RawFileInfo& b);

struct IgcFileInfo {
  std::string fileName;
  char version = 0;
  int points = -1;  // B records; -1 when the file could not be read
  int longestGapSeconds = 0;  // between consecutive B records
};

// A silence longer than this between two fixes of a saved flight is worth a
// look before the file is scored; the same limit the desk judges downloads by.
inline constexpr int kDayGapSeconds = 60;

// The highest version among `names` of the IGC file that the writer names
// for this competition number and task (IgcFileName with any version
// character and any pilot part). False when there is none.
bool FindTaskIgc(const std::vector<std::string>& names, const std::string& competNo, const std::string& task,
                 IgcFileInfo& found);

struct IgcFixFacts {
  int points = -1;  // -1 when the file could not be read
  int longestGapSeconds = 0;
};

// B records of IGC files, remembered by name, size and modification time so
// that a refresh reads only the files that changed.
class IgcPointCounter {
 public:
  IgcFixFacts Read(const std::string& path);

 private:
  struct Entry {
    int64_t size;
    int64_t modified;
    IgcFixFacts facts;
  };
  std::map<std::string, Entry> cache_;
};

struct DayRow {
  bool inTable = true;
  std::string competNo;
  std::string pilotNames;
  std::string serial;  // the table's serial cell, or the serial of the raw file's name
  int rawFiles = 0;
  // The latest complete raw file; the latest cut one only when no download
  // of this logger ever ended well. Meaningful when rawFiles > 0.
  RawFileInfo latest;
  bool saved = false;
  IgcFileInfo igc;  // meaningful when saved
};

struct DayStatus {
  std::string task;  // empty: no task chosen, nothing about IGC files
  std::vector<DayRow> rows;  // table rows by competition number, then the strangers by serial
  int loggers = 0;      // rows of loggers.tsv
  int downloaded = 0;   // ... with at least one raw file
  int saved = 0;        // ... with an IGC file for the task that needs no look
  int toCheck = 0;      // ... with one that does (a gap, unreadable)
  int notInTable = 0;   // serials of raw files that no row names
  std::string problem;  // what could not be read (the folder, loggers.tsv); empty when all was
};

enum class DayVerdict { kSaved, kCheck, kNotSaved, kIncomplete, kNotDownloaded, kDownloaded, kNotInTable };

DayVerdict VerdictOf(const DayStatus& status, const DayRow& row);
const char* DayVerdictText(DayVerdict verdict);

DayStatus ReadDayStatus(const std::string& directory, const std::string& task, IgcPointCounter& counter);

// "42 of 57 saved for task 3, 2 to check, 13 missing, 2 downloaded loggers not
// in loggers.tsv"; without a task "50 of 57 downloaded, ...".
std::string DaySummaryText(const DayStatus& status);

inline constexpr int kDayColumns = 10;
extern const std::array<const char*, kDayColumns> kDayHeadings;
std::array<std::string, kDayColumns> DayRowCells(const DayStatus& status, const DayRow& row);

}  // namespace orvald
