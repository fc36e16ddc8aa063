#pragma once
// The download session: the detection cycle and LoadLog, which brings a log
// in from the logger (or from a saved raw file), writes the .G00 file,
// decodes it into the track table and fills the view.

#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "logger/download_view.h"
#include "logger/logger_commands.h"
#include "logger/logger_lookup.h"
#include "tracklog/time_basis.h"
#include "tracklog/track_table.h"

namespace orvald {

class FileWriter;

// The status text for a log whose serial no row of the loggers table names.
std::string NotInLoggersTableText(const std::string& serialText);

inline constexpr int kDetectionIntervalMs = 2000;
inline constexpr uint32_t kDownloadRate = 57600;
inline constexpr uint32_t kDetectionRate = 9600;
inline constexpr int kReadAttempts = 4;
// Headers the scan may fail to read one after the other before it takes the
// logger for gone.
inline constexpr int kUnreadHeadersToGiveUp = 2;

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
  // The clock in UTC seconds. When given, every decode takes its current
  // year from it (at the basis's offset), so a station running over New
  // Year accepts the fixes of the new year; otherwise basis.currentYear holds.
  std::function<std::time_t()> utcNow;
};

// How a LoadLog call ended; the window ignores it, the command line and the
// tests read it.
enum class LoadLogEnd {
  SameLogger,        // serial text equal to lastSerialText: nothing done
  CannotCreate,      // the raw file could not be made; reported, lastSerialText kept as before
  Aborted,           // Escape confirmed: file deleted, table untouched
  Complete,          // every used block arrived; decoded
  ReadError,         // the logger stopped answering (a header or piece failed 4 times): kept as incomplete, decoded
  WriteError,        // writing the file failed: what was written kept as incomplete, decoded
  Opened,            // a saved file was decoded (File > Open)
};

struct LoadLogResult {
  LoadLogEnd end = LoadLogEnd::SameLogger;
  std::string path;              // the file decoded or deleted, with the data directory; empty before the file
  std::string incompleteReason;  // why a download is incomplete; empty when it is not
  int piecesRead = 0;
  int usedBlocks = 0;
  bool incomplete() const { return end == LoadLogEnd::ReadError || end == LoadLogEnd::WriteError; }
};

class DownloadSession {
 public:
  explicit DownloadSession(DownloadSessionSetup setup);

  // One tick of the detection timer: stop it, probe, download or report that
  // no logger answered (or why the port could not be used), re-arm it at 2000 ms.
  void Timer1Timer();

  // Empty name: download the logger on the link, then decode. A name: decode
  // that file without touching the link.
  LoadLogResult LoadLog(const std::string& fileName);

  // Shows the decoded log's serial and type with what the loggers table says
  // of it now (also after the table was edited); false when no row names it.
  bool IdentifyDecodedLog();

  // Whether the last Timer1Timer found a logger, and what its LoadLog came to.
  bool lastCycleFoundLogger() const { return lastCycleFoundLogger_; }
  const LoadLogResult& lastResult() const { return lastResult_; }

 private:
  enum class ReadEnd { Read, Failed, Aborted };
  // How the download of the blocks ended, before the abort flag is looked at.
  enum class PassEnd { Complete, ReadError, WriteError, Cancelled };
  struct Run;

  LoadLogResult Download();
  std::string QueryWithAttempts(const std::function<std::string()>& query);
  ReadEnd ReadWithAttempts(uint8_t* destination, int count, int block, int offset);
  void ScanHeaders(Run& run);
  void DownloadBlocks(Run& run);
  void WriteFailed(Run& run);
  void Finish(Run& run, LoadLogResult& result);
  void Decode(const std::string& path, const std::string& shownName, const std::string& notice);

  DownloadSessionSetup setup_;
  LoadLogResult lastResult_;
  bool lastCycleFoundLogger_ = false;
};

}  // namespace orvald
