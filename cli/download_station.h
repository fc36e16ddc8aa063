#pragma once
// What `download` and `watch` share: the link on the chosen port, the
// session with its terminal view, the loggers table, the exchange log, and
// Ctrl-C handling.

#include <memory>
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
#include "logger/logger_lookup.h"
#include "tables/loggers_table.h"
#include "tracklog/track_table.h"

namespace orvald::cli {

// FindLogger over loggers.tsv, read again at every look-up so a station sees
// the edits made while it runs. A file that was named and cannot be read is
// reported once.
class LoggersFileLookup : public LoggerLookup {
 public:
  LoggersFileLookup(std::string path, bool named) : table_(std::move(path)), named_(named) {}
  LoggerMatch FindLogger(const std::string& serialText) override;

 private:
  LoggersTable table_;
  bool named_;
  bool reported_ = false;
};

// The options `download` and `watch` take alike.
inline const std::set<std::string> kStationOptions = {"port", "com", "dir", "loggers", "tz-offset", "log"};

struct StationOptions {
  PortChoice port;
  std::string dataDir;  // empty: the working directory
  std::string loggersPath;
  bool loggersNamed = false;
  bool timezoneGiven = false;
  long _timezone = 0;
  std::string logPath;  // --log, or ORVALD_TRANSCRIPT; empty: none
};

// Reads the station options of `command` (download or watch). False, with
// the usage error reported and `status` set, when they do not read.
bool ReadStationOptions(const char* command, const std::vector<std::string>& args, StationOptions& options,
                        int& status);

class Station {
 public:
  explicit Station(const StationOptions& options);

  // Opens the exchange log, when one was asked for. False with the reason on stderr.
  bool OpenExchangeLog();

  // Prints "file<TAB>PATH", for a download that ended early
  // "incomplete<TAB>REASON", then the decode of PATH on stdout.
  int PrintDownloaded(const LoadLogResult& result) const;

  Interrupts interrupts;
  ExchangeLog exchangeLog;  // outlives every exchange of the link below
  std::unique_ptr<Link> link;
  TerminalDownloadView view;
  InterruptibleWaiter waiter;
  LinkLoggerCommands commands;
  LoggersFileLookup lookup;
  TrackTable table;
  DownloadSession session;

 private:
  StationOptions options_;
};

// A serial text no logger can send (they are at most 11 characters): with it
// as the last one seen, even a logger that gives no identity is downloaded.
inline const std::string kNoLoggerSeenYet = "<none seen yet>";

}  // namespace orvald::cli
