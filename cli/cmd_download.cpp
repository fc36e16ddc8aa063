// orvald-cli download (--port DEVICE | --com N) [--dir DIR] [--loggers FILE] [--tz-offset SECONDS] [--log FILE]
//                     [--rate 57600|115200] [--task TEXT [--tasks FILE] [--also-kml] [--also-gpx]]
// Probes for a logger, downloads whatever logger answers into DIR, and prints
// the file's name and its decode; with --task, the verdict on it for the task
// and the task file saved. Ctrl-C aborts the download and deletes the file.
// --log (or ORVALD_TRANSCRIPT) appends a hex log of every exchange.

#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/download_station.h"

namespace orvald::cli {

int RunDownload(const std::vector<std::string>& args) {
  StationOptions options;
  int status = kExitUsage;
  if (!ReadStationOptions("download", args, options, status)) return status;

  SingleDownload station(options);
  if (!station.OpenExchangeLog()) return kExitFailure;
  if (station.DetectLogger() == 0) {
    const std::string problem = station.PortProblem();
    return Failure(problem.empty() ? "No logger found to download" : "No logger found to download: " + problem);
  }
  if (station.interrupted()) return Failure("Downloading aborted!");

  const LoadLogResult result = station.Download();
  switch (result.end) {
    case LoadLogEnd::kComplete:
      return station.PrintDownloaded(result);
    case LoadLogEnd::kReadError:
    case LoadLogEnd::kWriteError:
    case LoadLogEnd::kOtherLogger:
      // What arrived is kept and decoded, but the download did not succeed.
      station.PrintDownloaded(result);
      return Failure("the download is incomplete (" + result.reason + "): " + result.path);
    case LoadLogEnd::kAborted:
      return kExitFailure;  // "Downloading aborted!" is already on stderr
    case LoadLogEnd::kCannotCreate:
      return kExitFailure;  // the reason is already on stderr
    case LoadLogEnd::kNoRate:
      return Failure("the logger did not confirm a download rate");
    case LoadLogEnd::kSameLogger:
    case LoadLogEnd::kNotBegun:
    case LoadLogEnd::kBusyElsewhere:
    case LoadLogEnd::kFolderUnusable:  // a session of one download remembers no folder failure
    case LoadLogEnd::kOpened:
      break;
  }
  return Failure("nothing downloaded");
}

}  // namespace orvald::cli
