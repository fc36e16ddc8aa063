#pragma once
// What `download` and `watch` share: their options, the link on a chosen
// port, the session with its terminal view, the loggers table, the exchange
// log, and what is printed for a downloaded file.

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/interrupts.h"
#include "cli/port_choice.h"
#include "cli/terminal_download_view.h"
#include "link/exchange_log.h"
#include "link/link.h"
#include "logger/commands.h"
#include "logger/download_session.h"
#include "tables/loggers_file_lookup.h"
#include "tracklog/track_table.h"

namespace orvald::cli {

// The options `download` and `watch` take alike.
inline const std::set<std::string> kStationOptions = {"port", "com", "dir", "loggers", "tz-offset", "log", "rate"};

struct StationOptions {
  std::vector<PortChoice> ports;  // `download`: exactly one
  std::string dataDir;            // empty: the working directory
  std::string loggersPath;
  bool loggersNamed = false;
  bool timezoneGiven = false;
  long _timezone = 0;
  std::string logPath;  // --log, or ORVALD_TRANSCRIPT; empty: none
  uint32_t downloadRate = kDownloadRate;
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
// then what `decode` prints for PATH: one block, printed at once.
std::string DownloadedText(const LoadLogResult& result, const TrackTable& table, bool& decoded);

// `download`: one port, on the command's own thread.
class Station {
 public:
  explicit Station(const StationOptions& options);

  bool OpenExchangeLog() { return options_.logPath.empty() || cli::OpenExchangeLog(exchangeLog, options_.logPath, *link); }
  // Prints DownloadedText on stdout; the exit status of the decode.
  int PrintDownloaded(const LoadLogResult& result) const;

  Interrupts interrupts;
  ExchangeLog exchangeLog;  // outlives every exchange of the link below
  std::unique_ptr<Link> link;
  TerminalDownloadView view;
  InterruptibleWaiter waiter;
  LinkLoggerCommands commands;
  std::unique_ptr<LoggersFileLookup> lookup;
  TrackTable table;
  DownloadSession session;

 private:
  StationOptions options_;
};

}  // namespace orvald::cli
