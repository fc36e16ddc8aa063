#pragma once
// What `download` and `watch` share: their options, the link on a chosen
// port, the session with its terminal view, the loggers table, the exchange
// log, and what is printed for a downloaded file.

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/interrupts.h"
#include "cli/port_choice.h"
#include "cli/terminal_download_view.h"
#include "desk/verdict.h"
#include "link/exchange_log.h"
#include "link/link.h"
#include "logger/download_session.h"
#include "logger/station_session.h"
#include "tables/loggers_file_lookup.h"
#include "tracklog/track_table.h"

namespace orvald::cli {

// The options `download` and `watch` take alike.
// (`auto` is both: --auto alone or --auto=DIR; only watch takes it.)
inline const std::set<std::string> kStationOptions = {"port", "com", "dir", "loggers", "tz-offset", "log", "rate",
                                                      "task", "tasks", "auto"};
inline const std::set<std::string> kStationSwitches = {"also-kml", "also-gpx", "auto"};

struct StationOptions {
  std::vector<PortChoice> ports;  // `download`: exactly one; `watch --auto`: maybe none
  // watch --auto[=DIR]: every device link in this folder is a station while it lasts.
  std::string autoFolder;  // empty: none
  std::string dataDir;            // empty: the working directory
  std::string loggersPath;
  bool loggersNamed = false;
  bool timezoneGiven = false;
  long _timezone = 0;
  std::string logPath;  // --log, or ORVALD_TRANSCRIPT; empty: none
  uint32_t downloadRate = kDownloadRate;
  // --task: each download is judged against this task of the tasks table
  // (read again at every download, so the day's edits count) and saved.
  std::string task;
  std::string tasksPath;
  CompanionFormats companions;
};

// Reads the station options of `command` (download or watch; only watch
// takes several ports). False, with the usage error reported and `status`
// set, when they do not read.
bool ReadStationOptions(const char* command, const std::vector<std::string>& args, StationOptions& options,
                        int& status);

// The loggers table of the options; a file named on the command line that
// cannot be read is reported once on stderr.
std::unique_ptr<LoggersFileLookup> MakeLoggersLookup(const StationOptions& options);

// Opens the exchange log at `path` for `link`. False with the reason on stderr.
bool OpenExchangeLog(ExchangeLog& log, const std::string& path, Link& link);

// "file<TAB>PATH", for a download that ended early "incomplete<TAB>REASON",
// then what `decode` prints for PATH; with --task, the verdict's lines
// after it ("verdict<TAB>LEVEL<TAB>TEXT", "igc<TAB>NAME", "kml<TAB>NAME",
// "gpx<TAB>NAME"). One block, printed at once. `verdict` is the task's
// verdict, or null without --task.
struct DownloadedBlock {
  std::string text;
  bool decoded = false;
  std::optional<Verdict> verdict;
};
// `port` names the port in the journal's save line.
DownloadedBlock DownloadedText(const StationOptions& options, const LoadLogResult& result, const TrackTable& table,
                               LoggerLookup& lookup, const std::string& port);

// `download`: one port, on the command's own thread, built as every
// station is; Ctrl-C aborts it.
class SingleDownload {
 public:
  explicit SingleDownload(const StationOptions& options);

  bool OpenExchangeLog() {
    return options_.logPath.empty() || cli::OpenExchangeLog(exchangeLog_, options_.logPath, parts_.link());
  }
  // The detection cycle's probe: the rate the logger answered at, 0 when none did.
  uint32_t DetectLogger() { return parts_.session().DetectLogger(); }
  // Why the port could not be used; empty when it could.
  std::string PortProblem() const { return parts_.link().PortProblem(); }
  bool interrupted() const { return interrupts_.requested(); }
  LoadLogResult Download() { return parts_.session().LoadLog(""); }
  // Prints DownloadedText on stdout; the exit status of the decode.
  int PrintDownloaded(const LoadLogResult& result);

 private:
  StationOptions options_;
  Interrupts interrupts_;
  ExchangeLog exchangeLog_;  // outlives every exchange of the link below
  std::unique_ptr<LoggersFileLookup> lookup_;
  StationSession parts_;
  TerminalDownloadView view_;
  InterruptibleWaiter waiter_;
};

}  // namespace orvald::cli
