// orvald-cli watch (--port DEVICE | --com N)... [--auto[=DIR]] [--dir DIR] [--loggers FILE] [--tz-offset SECONDS]
//                  [--log FILE] [--rate 57600|115200] [--task TEXT [--tasks FILE] [--also-kml] [--also-gpx]]
// A headless download station on one port or several at once: on each, the
// detection cycle every 2 s and each logger that is plugged in downloaded
// once (the same logger again only after another one, or when its download
// ended early), until Ctrl-C or SIGTERM. Each download prints its file and
// decode (with --task, its verdict and task file) on stdout as one block; a reader that goes away stops the printing,
// not the station. With --auto every device link in DIR (by default
// /dev/serial/by-path) is a station from the moment it appears until it goes.

#include <poll.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/download_station.h"
#include "cli/standard_output.h"
#include "link/device_links.h"
#include "logger/port_station.h"

namespace orvald::cli {

namespace {

// With several ports each gets its own exchange log: "day.log" becomes
// "day-COM2.log", so each log still replays as one logger's download.
std::string LogPathFor(const std::string& path, const PortChoice& port, bool several) {
  if (!several) return path;
  std::string tag = port.Name();
  for (char& c : tag) {
    if (c == '/') c = '_';
  }
  while (!tag.empty() && tag.front() == '_') tag.erase(tag.begin());
  const std::filesystem::path given(path);
  std::filesystem::path tagged = given;
  tagged.replace_filename(given.stem().string() + "-" + tag + given.extension().string());
  return tagged.string();
}

// Everything one port's station uses; the station goes first, so nothing
// it uses goes before it.
struct WatchedPort {
  std::string device;    // the device it opens, for the one-device-one-port rule
  DeviceLink link;       // --auto: the link it was plugged in as; empty name otherwise
  ExchangeLog exchangeLog;
  std::unique_ptr<LoggersFileLookup> lookup;
  std::unique_ptr<TerminalDownloadView> view;
  std::unique_ptr<PortStation> station;
};

// The stations of one watch: the ports named on the command line and,
// with --auto, one for each adapter while it is plugged in.
class Watch {
 public:
  explicit Watch(const StationOptions& options) : options_(options) {}

  // Starts a station on `choice`; false with the reason on stderr.
  bool Add(const PortChoice& choice, bool withUsbAdapter, const DeviceLink& link = {}) {
    auto port = std::make_unique<WatchedPort>();
    port->device = choice.DevicePath();
    port->link = link;
    port->lookup = MakeLoggersLookup(options_);
    port->view = std::make_unique<TerminalDownloadView>(nullptr, nullptr);
    port->view->SetQuietRepeats(true);
    if (tagged()) port->view->SetPortTag(choice.Name());
    std::unique_ptr<Link> line = MakeLink(choice, withUsbAdapter);
    if (!options_.logPath.empty() &&
        !OpenExchangeLog(port->exchangeLog, LogPathFor(options_.logPath, choice, tagged()), *line)) {
      return false;
    }
    PortStationSetup setup{
        .station = {.name = choice.Name(),
                    .link = std::move(line),
                    .lookup = *port->lookup,
                    .dataDir = options_.dataDir,
                    ._timezone = options_._timezone,
                    .downloadRate = options_.downloadRate,
                    .claims = &claims_,
                    .journal = DayJournal(options_.dataDir)},
        .view = *port->view,
        .onDownloaded =
            [this, lookup = port->lookup.get(), name = choice.Name()](const LoadLogResult& result,
                                                                      const TrackTable& table) {
              // A reader that went away costs the printed block, never the downloads.
              WriteOutput(DownloadedText(options_, result, table, *lookup, name).text);
            },
    };
    port->station = std::make_unique<PortStation>(std::move(setup));
    port->station->Start();
    ports_.push_back(std::move(port));
    return true;
  }

  // An adapter plugged in becomes a station at once, unless its device is
  // served already (another link to it, or a port named on the command line).
  void Serve(const std::vector<DeviceLinkEvent>& events) {
    for (const DeviceLinkEvent& event : events) {
      const std::string adapter = AdapterText(event.link);
      if (event.kind == DeviceLinkEvent::Kind::kGone) {
        const auto served = std::find_if(ports_.begin(), ports_.end(),
                                         [&](const auto& port) { return port->link.path == event.link.path; });
        const bool elsewhere = alsoServed_.erase(event.link.path) != 0;
        if (served == ports_.end() && !elsewhere) continue;
        std::fprintf(stderr, "%s unplugged\n", adapter.c_str());
        if (served == ports_.end()) continue;
        // It ends on its own thread, as at a pulled cable, and is reaped once over.
        (*served)->station->Unplug();
        retired_.push_back(std::move(*served));
        ports_.erase(served);
        continue;
      }
      const auto holder = std::find_if(ports_.begin(), ports_.end(),
                                       [&](const auto& port) { return SamePortDevice(port->device, event.link.device); });
      if (holder != ports_.end()) {
        std::fprintf(stderr, "%s plugged in; %s serves it already\n", adapter.c_str(),
                     (*holder)->station->name().c_str());
        alsoServed_.insert(event.link.path);
        continue;
      }
      std::fprintf(stderr, "%s plugged in\n", adapter.c_str());
      Add(PortChoice{.device = event.link.device}, false, event.link);
    }
    Reap();
  }

  // Every station stops at once: partial files removed, each logger put
  // back to its detection rate.
  void StopAll() {
    for (auto* list : {&ports_, &retired_}) {
      for (auto& port : *list) port->station->Stop();
    }
    for (auto* list : {&ports_, &retired_}) {
      for (auto& port : *list) port->station->Join();
    }
  }

  bool tagged() const { return several_; }
  void SetTagged(bool several) { several_ = several; }

 private:
  void Reap() {
    std::erase_if(retired_, [](const auto& port) { return port->station->finished(); });
  }

  const StationOptions& options_;
  LoggerClaims claims_;
  bool several_ = false;
  std::vector<std::unique_ptr<WatchedPort>> ports_;
  std::vector<std::unique_ptr<WatchedPort>> retired_;  // unplugged, still ending
  std::set<std::string> alsoServed_;                   // links to a device another station serves
};

}  // namespace

int RunWatch(const std::vector<std::string>& args) {
  StationOptions options;
  int status = kExitUsage;
  if (!ReadStationOptions("watch", args, options, status)) return status;

  Interrupts interrupts;
  // A file-size limit then fails the write, which is reported and keeps what
  // arrived, instead of killing the program mid-download.
  std::signal(SIGXFSZ, SIG_IGN);
  const bool automatic = !options.autoFolder.empty();
  DeviceLinkWatcher watcher(options.autoFolder);
  std::string error;
  if (automatic && !watcher.Start(error)) {
    std::fprintf(stderr, "orvald-cli: %s\n", error.c_str());
    return kExitFailure;
  }
  Watch watch(options);
  watch.SetTagged(automatic || options.ports.size() > 1);
  for (size_t i = 0; i < options.ports.size(); ++i) {
    // The USB adapter, when plugged in, serves the first port alone.
    if (!watch.Add(options.ports[i], i == 0)) {
      watch.StopAll();
      return kExitFailure;
    }
  }
  if (automatic) watch.Serve(watcher.TakeEvents());  // what is plugged in already

  // The signal pipe and the folder's changes, both woken on: nothing polls.
  pollfd watched[2] = {{interrupts.fd(), POLLIN, 0}, {watcher.fd(), POLLIN, 0}};
  for (;;) {
    ::poll(watched, automatic ? 2 : 1, -1);
    if (interrupts.Take()) break;
    if (automatic && (watched[1].revents & POLLIN)) watch.Serve(watcher.TakeEvents());
  }
  watch.StopAll();
  return kExitOk;
}

}  // namespace orvald::cli
