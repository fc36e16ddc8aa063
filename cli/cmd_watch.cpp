// orvald-cli watch (--port DEVICE | --com N) [--dir DIR] [--loggers FILE] [--tz-offset SECONDS] [--log FILE]
// A headless download station: the detection cycle every 2 s, each logger that
// is plugged in downloaded once (the same logger again only after another one,
// or when its download ended early), until Ctrl-C or SIGTERM. Each download
// prints its file and decode on stdout.

#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/download_station.h"

namespace orvald::cli {

int RunWatch(const std::vector<std::string>& args) {
  StationOptions options;
  int status = kExitUsage;
  if (!ReadStationOptions("watch", args, options, status)) return status;

  Station station(options);
  if (!station.OpenExchangeLog()) return kExitFailure;
  station.view.SetQuietRepeats(true);
  while (!station.interrupts.requested()) {
    if (station.session.PollOnce()) {
      const LoadLogResult& result = station.session.lastResult();
      if (result.end == LoadLogEnd::kComplete || result.incomplete()) station.PrintDownloaded(result);
    }
    if (station.interrupts.requested()) break;
    station.interrupts.Sleep(kDetectionIntervalMs);
  }
  return kExitOk;
}

}  // namespace orvald::cli
