// orvald-cli watch (--port DEVICE | --com N)... [--dir DIR] [--loggers FILE] [--tz-offset SECONDS] [--log FILE]
//                  [--rate 57600|115200] [--task TEXT [--tasks FILE] [--also-kml] [--also-gpx]]
// A headless download station on one port or several at once: on each, the
// detection cycle every 2 s and each logger that is plugged in downloaded
// once (the same logger again only after another one, or when its download
// ended early), until Ctrl-C or SIGTERM. Each download prints its file and
// decode (with --task, its verdict and task file) on stdout as one block; a reader that goes away stops the printing,
// not the station.

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/download_station.h"
#include "cli/standard_output.h"
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
  ExchangeLog exchangeLog;
  std::unique_ptr<LoggersFileLookup> lookup;
  std::unique_ptr<TerminalDownloadView> view;
  std::unique_ptr<PortStation> station;
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
  LoggerClaims claims;
  const bool several = options.ports.size() > 1;
  std::vector<std::unique_ptr<WatchedPort>> ports;
  for (size_t i = 0; i < options.ports.size(); ++i) {
    const PortChoice& choice = options.ports[i];
    auto port = std::make_unique<WatchedPort>();
    port->lookup = MakeLoggersLookup(options);
    port->view = std::make_unique<TerminalDownloadView>(nullptr, nullptr);
    port->view->SetQuietRepeats(true);
    if (several) port->view->SetPortTag(choice.Name());
    // The USB adapter, when plugged in, serves the first port alone.
    std::unique_ptr<Link> link = MakeLink(choice, i == 0);
    if (!options.logPath.empty() &&
        !OpenExchangeLog(port->exchangeLog, LogPathFor(options.logPath, choice, several), *link)) {
      return kExitFailure;
    }
    PortStationSetup setup{
        .station = {.name = choice.Name(),
                    .link = std::move(link),
                    .lookup = *port->lookup,
                    .dataDir = options.dataDir,
                    ._timezone = options._timezone,
                    .downloadRate = options.downloadRate,
                    .claims = &claims,
                    .journal = DayJournal(options.dataDir)},
        .view = *port->view,
        .onDownloaded =
            [&options, lookup = port->lookup.get(), name = choice.Name()](const LoadLogResult& result,
                                                                          const TrackTable& table) {
              // A reader that went away costs the printed block, never the downloads.
              WriteOutput(DownloadedText(options, result, table, *lookup, name).text);
            },
    };
    port->station = std::make_unique<PortStation>(std::move(setup));
    ports.push_back(std::move(port));
  }

  for (auto& port : ports) port->station->Start();
  while (!interrupts.Sleep(-1)) {
  }
  // Every port stops at once: partial files removed, each logger put back
  // to its detection rate.
  for (auto& port : ports) port->station->Stop();
  for (auto& port : ports) port->station->Join();
  return kExitOk;
}

}  // namespace orvald::cli
