#pragma once
// What `download` and `watch` share: the link on the chosen port, the
// session with its terminal view, the loggers table, and Ctrl-C handling.

#include <memory>
#include <string>
#include <vector>

#include "args.h"
#include "cli/interrupts.h"
#include "cli/terminal_download_view.h"
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

struct StationOptions {
  std::string device;  // --port; empty with --com
  int portNo = 1;      // --com
  std::string dataDir;  // empty: the working directory
  std::string loggersPath;
  bool loggersNamed = false;
  bool timezoneGiven = false;
  long timezoneOffset = 0;
};

// Reads --port/--com, --dir, --loggers and (when allowed) --tz-offset.
// Returns an empty text, or the usage error.
std::string ReadStationOptions(const ParsedArgs& parsed, StationOptions& options);

class Station {
 public:
  explicit Station(const StationOptions& options);

  Interrupts interrupts;
  TerminalDownloadView view;
  InterruptibleWaiter waiter;
  Link link;
  LinkLoggerCommands commands;
  LoggersFileLookup lookup;
  TrackTable table;
  DownloadSession session;

  // Prints "file<TAB>PATH", for a download that ended early
  // "incomplete<TAB>REASON", then the decode of PATH on stdout.
  int PrintDownloaded(const LoadLogResult& result) const;

 private:
  StationOptions options_;
};

// A serial text no logger can send (they are at most 11 characters): with it
// as the last one seen, even a logger that gives no identity is downloaded.
inline const std::string kNoLoggerSeenYet = "<none seen yet>";

}  // namespace orvald::cli
