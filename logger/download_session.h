#pragma once
// The download session: the detection cycle and LoadLog, which brings a log
// in from the logger (or from a saved raw file), writes the .G00 file,
// decodes it into the track table and fills the view.

#include <ctime>
#include <functional>
#include <string>

#include "logger/download_view.h"
#include "logger/logger_commands.h"
#include "logger/logger_lookup.h"
#include "tracklog/time_basis.h"
#include "tracklog/track_table.h"

namespace orvald {

inline constexpr int kDetectionIntervalMs = 2000;
inline constexpr uint32_t kDownloadRate = 57600;
inline constexpr uint32_t kDetectionRate = 9600;
inline constexpr int kReadAttempts = 4;

// The computer's local date and time, asked once per download for the file name.
using LocalClock = std::function<std::tm()>;
std::tm SystemLocalTime();

struct DownloadSessionSetup {
  LoggerCommands& commands;
  LoggerLookup& lookup;
  DownloadView& view;
  TrackTable& table;
  std::string dataDir;             // where raw files are made; empty: the working directory
  TimeBasis basis;                 // for decoding
  LocalClock localNow = SystemLocalTime;
};

// How a LoadLog call ended; the window ignores it, the command line and the
// tests read it.
enum class LoadLogEnd {
  SameLogger,        // serial text equal to lastSerialText: nothing done
  OverwriteDeclined, // the file existed and the operator said No
  CannotCreate,      // the raw file could not be made; reported, lastSerialText kept as before
  Aborted,           // Escape confirmed: file deleted, table untouched
  Complete,          // every used block arrived; decoded
  ReadError,         // a header or piece failed 4 times; the partial file decoded
  WriteError,        // writing the file failed; what was written kept as "<name>.part" and decoded
  Opened,            // a saved file was decoded (File > Open)
};

struct LoadLogResult {
  LoadLogEnd end = LoadLogEnd::SameLogger;
  std::string path;  // the file decoded or deleted, with the data directory; empty before step 6
  int piecesRead = 0;
  int usedBlocks = 0;
};

class DownloadSession {
 public:
  explicit DownloadSession(DownloadSessionSetup setup);

  // One tick of the detection timer: stop it, probe, download or report that
  // no logger answered, re-arm it at 2000 ms.
  void Timer1Timer();

  // Empty name: download the logger on the link, then decode. A name: decode
  // that file without touching the link.
  LoadLogResult LoadLog(const std::string& fileName);

  // Whether the last Timer1Timer found a logger, and what its LoadLog came to.
  bool lastCycleFoundLogger() const { return lastCycleFoundLogger_; }
  const LoadLogResult& lastResult() const { return lastResult_; }

 private:
  void Decode(const std::string& path, const std::string& shownName);

  DownloadSessionSetup setup_;
  LoadLogResult lastResult_;
  bool lastCycleFoundLogger_ = false;
};

}  // namespace orvald
