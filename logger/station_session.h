#pragma once
// What every station is made of, wired in one place: the link on its port,
// the commands over it, the table it decodes into and the download session.
// A station on a thread of its own (PortStation), the command line's one
// download, and the window's Stations rows are all built from a
// StationSetup; only the main window's port, whose commands come from the
// window's environment, builds its session itself.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "link/link.h"
#include "link/waiter.h"
#include "logger/commands.h"
#include "logger/download_session.h"
#include "tracklog/track_table.h"

namespace orvald {

struct StationSetup {
  std::string name;            // "COM2" or a device path: in messages and claims
  std::unique_ptr<Link> link;  // on the station's port, port already chosen
  LoggerLookup& lookup;
  std::string dataDir;  // where raw files are made; empty: the working directory
  long _timezone = 0;
  uint32_t downloadRate = kDownloadRate;
  LoggerClaims* claims = nullptr;  // shared by the stations of several ports
  std::string lastSerialText;      // taken as already downloaded at the start
  LocalClock localNow = SystemLocalTime;
  std::optional<DayJournal> journal;  // the data folder's, for the raw files kept
};

class StationSession {
 public:
  // The session talks to `view` (the caller's own, or one wrapped around
  // it) and the link waits with `waiter`; both must outlive the station.
  StationSession(StationSetup setup, SessionView& view, Waiter& waiter);
  StationSession(const StationSession&) = delete;
  StationSession& operator=(const StationSession&) = delete;

  const std::string& name() const { return name_; }
  Link& link() { return *link_; }
  const Link& link() const { return *link_; }
  DownloadSession& session() { return session_; }
  // The table the last download was decoded into.
  const TrackTable& table() const { return table_; }

 private:
  std::string name_;
  std::unique_ptr<Link> link_;
  LinkLoggerCommands commands_;
  TrackTable table_;
  DownloadSession session_;
};

}  // namespace orvald
