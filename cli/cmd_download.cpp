// orvald-cli download (--port DEVICE | --com N) [--dir DIR] [--loggers FILE] [--tz-offset SECONDS] [--log FILE]
// Probes for a logger, downloads whatever logger answers into DIR, and prints
// the file's name and its decode. Ctrl-C aborts the download and deletes the file.
// --log (or ORVALD_TRANSCRIPT) writes a hex log of every exchange.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "args.h"
#include "cli/download_station.h"
#include "commands.h"
#include "link/exchange_log.h"

namespace orvald::cli {

int RunDownload(const std::vector<std::string>& args) {
  const ParsedArgs parsed = ParseArgs(args, {"port", "com", "dir", "loggers", "tz-offset", "log"});
  if (!parsed.error.empty()) return UsageError("download", parsed.error);
  StationOptions options;
  const std::string error = ReadStationOptions(parsed, options);
  if (!error.empty()) return UsageError("download", error);

  // Declared before the station so that it outlives every exchange.
  ExchangeLog exchangeLog;
  const char* logFromEnvironment = std::getenv(kExchangeLogVariable);
  const std::string logPath = parsed.has("log") ? parsed.options.at("log")
                              : logFromEnvironment != nullptr ? logFromEnvironment
                                                              : "";
  std::string logError;
  if (!logPath.empty() && !exchangeLog.Open(logPath, logError))
    return Failure("can't write the exchange log: " + logError);
  exchangeLog.onWriteFailure = [](const std::string& error) { std::fprintf(stderr, "orvald-cli: %s\n", error.c_str()); };

  Station station(options);
  if (exchangeLog.isOpen()) exchangeLog.Attach(station.link);
  if (!station.commands.ProbeLogger()) {
    const std::string problem = station.link.PortProblem();
    return Failure(problem.empty() ? "No logger found to download" : "No logger found to download: " + problem);
  }
  if (station.interrupts.requested()) return Failure("Downloading aborted!");

  const LoadLogResult result = station.session.LoadLog("");
  switch (result.end) {
    case LoadLogEnd::Complete:
      return station.PrintDownloaded(result);
    case LoadLogEnd::ReadError:
    case LoadLogEnd::WriteError:
      // What arrived is kept and decoded, but the download did not succeed.
      station.PrintDownloaded(result);
      return Failure("the download is incomplete (" + result.incompleteReason + "): " + result.path);
    case LoadLogEnd::Aborted:
      return kExitFailure;  // "Downloading aborted!" is already on stderr
    case LoadLogEnd::CannotCreate:
      return kExitFailure;  // the reason is already on stderr
    case LoadLogEnd::SameLogger:
    case LoadLogEnd::Opened:
      break;
  }
  return Failure("nothing downloaded");
}

}  // namespace orvald::cli
