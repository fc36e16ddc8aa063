// orvald-cli watch (--port DEVICE | --com N) [--dir DIR] [--loggers FILE]
// A headless download station: the detection cycle every 2 s, each logger that
// is plugged in downloaded once (the same logger again only after another one),
// until Ctrl-C or SIGTERM. Each download prints its file and decode on stdout.

#include <cstdio>
#include <string>
#include <vector>

#include "args.h"
#include "cli/download_station.h"
#include "commands.h"

namespace orvald::cli {

int RunWatch(const std::vector<std::string>& args) {
  const ParsedArgs parsed = ParseArgs(args, {"port", "com", "dir", "loggers"});
  if (!parsed.error.empty()) return UsageError("watch", parsed.error);
  StationOptions options;
  const std::string error = ReadStationOptions(parsed, options);
  if (!error.empty()) return UsageError("watch", error);

  Station station(options);
  station.view.set_quietRepeats(true);
  while (!station.interrupts.requested()) {
    station.session.Timer1Timer();
    if (station.session.lastCycleFoundLogger()) {
      const LoadLogResult& result = station.session.lastResult();
      if (result.end == LoadLogEnd::Complete || result.incomplete()) station.PrintDownloaded(result);
    }
    if (station.interrupts.requested()) break;
    station.interrupts.Sleep(station.view.detectionInterval());
  }
  return kExitOk;
}

}  // namespace orvald::cli
