#pragma once
// The download session: the detection cycle and LoadLog, which brings a log
// in from the logger (or from a saved raw file), writes the .G00 file,
// decodes it into the track table and fills the view.

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "journal/journal_file.h"
#include "logger/folder_room.h"
#include "link/cancellation.h"
#include "logger/load_log_result.h"
#include "logger/logger_claims.h"
#include "logger/logger_commands.h"
#include "logger/session_view.h"
#include "logger/logger_lookup.h"
#include "tracklog/decoder.h"
#include "tracklog/time_basis.h"
#include "tracklog/track_table.h"

namespace orvald {

class FileWriter;

// The status text for a log whose serial no row of the loggers table names.
std::string NotInLoggersTableText(const std::string& serialText);

// Detection cycles are this far apart, counted from the end of the last one;
// the first comes kFirstDetectionMs after start-up.
inline constexpr int kDetectionIntervalMs = 2000;
inline constexpr int kFirstDetectionMs = 5000;
inline constexpr uint32_t kDownloadRate = 57600;
// The faster rate a desk may choose; a logger that does not confirm it is
// downloaded at kDownloadRate.
inline constexpr uint32_t kFastDownloadRate = 115200;
inline constexpr int kReadAttempts = 4;
// Switches to the usual download rate tried, after the rate asked for failed,
// before the download is given up for this poll.
inline constexpr int kRateRounds = 2;
// Headers the scan may fail to read one after the other before it takes the
// logger for gone.
inline constexpr int kUnreadHeadersToGiveUp = 2;

// The computer's local date and time, asked once per download for the file name.
using LocalClock = std::function<std::tm()>;
std::tm SystemLocalTime();

struct DownloadSessionSetup {
  LoggerCommands& commands;
  LoggerLookup& lookup;
  SessionView& view;
  TrackTable& table;
  std::string dataDir;             // where raw files are made; empty: the working directory
  TimeBasis basis;                 // for decoding
  LocalClock localNow = SystemLocalTime;
  // The clock in UTC seconds. When given, every decode takes its current
  // year from it (at the basis's offset), so a station running over New
  // Year accepts the fixes of the new year; otherwise basis.currentYear holds.
  std::function<std::time_t()> utcNow;
  // The serial text taken as already downloaded at the start.
  std::string lastSerialText;
  // The rate the download asks the logger for (kDownloadRate or kFastDownloadRate).
  uint32_t downloadRate = kDownloadRate;
  // Shared by the stations of several ports: a logger is downloaded by one
  // of them at a time. Null for a lone station.
  LoggerClaims* claims = nullptr;
  std::string stationName;  // how the other stations name this one ("COM2")
  // The data folder's day journal: every raw file kept is appended to it
  // (download or incomplete) before the download is reported. None: no journal.
  std::optional<DayJournal> journal;
  // Looked at before a logger is read into a folder that failed a download
  // (a create or write refused): the logger is left alone until it passes.
  FolderRoomCheck folderCheck = CheckFolderRoom;
};

// The room a folder that failed must have again before a download is tried:
// one block's, or what the failed download planned to write when that is more.
inline constexpr uint64_t kFolderRoomFloor = 65536;

class DownloadSession {
 public:
  explicit DownloadSession(DownloadSessionSetup setup);
  // Its cancel reports progress to this session's view.
  DownloadSession(const DownloadSession&) = delete;
  DownloadSession& operator=(const DownloadSession&) = delete;

  // One detection cycle: probe, then download the logger that answered, or
  // say that none did (or why the port could not be used). True when a
  // logger answered. The caller keeps the cycles apart (the window's timer,
  // the command line's pause).
  bool PollOnce();

  // The probe of a detection cycle: at the detection rate, and when nothing
  // answers there, once at each download rate, where a logger stays when a
  // download was cut off before it could be put back. The rate it answered
  // at, 0 when none did (the last serial is then forgotten: whatever is
  // plugged in next, the same logger too, is downloaded).
  uint32_t DetectLogger();

  // Empty name: download the logger on the link, then decode. A name: decode
  // that file without touching the link.
  LoadLogResult LoadLog(const std::string& fileName);

  // Shows the decoded log's serial and type with what the loggers table says
  // of it now (also after the table was edited); false when no row names it.
  bool IdentifyDecodedLog();

  // The abort key (Escape, Ctrl-C) and a station's stop: the download asks
  // whether to stop before its next piece, and ends long waits on the line
  // early. Every way of cancelling raises this one object.
  Cancellation& cancellation() { return cancel_; }
  void RequestCancel() { cancel_.Request(); }
  bool cancelRequested() const { return cancel_.requested(); }

  // From the next download on (the desk's line-rate choice).
  void SetDownloadRate(uint32_t rate) { setup_.downloadRate = rate; }
  uint32_t downloadRate() const { return setup_.downloadRate; }
  void SetStationName(const std::string& name) { setup_.stationName = name; }
  // The data folder was changed (on the session's thread): raw files and
  // the journal go there from the next download on, and a failure of the
  // folder before is forgotten, so the next poll tries again.
  void SetDataFolder(const std::string& dataDir);

  // Force download: the logger downloaded last is downloaded again.
  void ForgetLastLogger() { lastSerialText_.clear(); }
  // The serial text of the last complete (or aborted) download.
  const std::string& lastSerialText() const { return lastSerialText_; }

  // Whether the last PollOnce found a logger, and what its LoadLog came to.
  bool lastCycleFoundLogger() const { return lastCycleFoundLogger_; }
  const LoadLogResult& lastResult() const { return lastResult_; }

 private:
  enum class ReadEnd { kRead, kFailed, kAborted, kOtherLogger };
  // Whether the logger that answers now is the one the download began with.
  enum class SameLogger { kSame, kOther, kNoAnswer };
  // How the download of the blocks ended, before the abort flag is looked at.
  enum class PassEnd { kComplete, kReadError, kWriteError, kOtherLogger, kCancelled };
  struct Run;

  LoadLogResult Download();
  bool SwitchToDownloadRate();
  std::string QueryWithAttempts(const std::function<std::string()>& query);
  ReadEnd ReadWithAttempts(Run& run, uint8_t* destination, int count, int block, int offset);
  SameLogger CheckSameLogger(Run& run);
  void OtherLoggerAnswered(Run& run);
  void ReportOnce(const std::string& cause, const std::string& text, PromptIcon icon);
  // The data folder refused the file: said once, and remembered so the
  // next polls leave the logger alone while the folder still fails.
  void FolderFailed(const std::string& cause, const std::string& text, uint64_t neededBytes);
  // True (and `result` a kFolderUnusable end) while a remembered failure lasts.
  bool FolderStillUnusable(LoadLogResult& result);
  void ScanHeaders(Run& run);
  void DownloadBlocks(Run& run);
  void WriteFailed(Run& run);
  // Tells the view the share of the planned pieces that has arrived, when it changed.
  void ShareOf(Run& run);
  void Finish(Run& run, LoadLogResult& result);
  // Appends the kept raw file to the journal; why it could not, or empty.
  std::string JournalRawFile(const char* event, const std::string& path, const std::string& serialText);
  DecodeResult Decode(const std::string& path, const std::string& shownName, const std::string& notice);

  DownloadSessionSetup setup_;
  std::string lastSerialText_;
  Cancellation cancel_;
  LoadLogResult lastResult_;
  bool lastCycleFoundLogger_ = false;
  uint32_t foundAtRate_ = 0;
  // The cause of the last failure the operator was told of: the same one is
  // not said again at every poll while it lasts.
  std::string lastReportedCause_;
  struct FolderFailure {
    std::string folder;  // setup_.dataDir when it failed
    std::string text;    // what the operator was told
    uint64_t neededBytes = kFolderRoomFloor;
  };
  std::optional<FolderFailure> folderFailure_;
};

}  // namespace orvald
