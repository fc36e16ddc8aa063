#include "cli/download_station.h"

#include <csignal>
#include <cstdio>
#include <ctime>

#include "tracklog/raw_image.h"

#include "commands.h"
#include "link/port_names.h"

namespace orvald::cli {

LoggerMatch LoggersFileLookup::FindLogger(const std::string& serialText) {
  const TableFileResult loaded = table_.LoadLoggers();
  if (!loaded.ok() && named_ && !reported_) {
    std::fprintf(stderr, "orvald-cli: %s (%s)\n", loaded.message.c_str(), loaded.reason.c_str());
    reported_ = true;
  }
  const LoggerTableMatch row = table_.FindLogger(serialText);
  LoggerMatch match;
  match.found = row.found;
  match.competNo = row.competNo;
  match.pilotNames = row.pilotNames;
  return match;
}

std::string ReadStationOptions(const ParsedArgs& parsed, StationOptions& options) {
  if (!parsed.positional.empty()) return "takes no file arguments";
  if (parsed.has("port") == parsed.has("com")) return "needs exactly one of --port DEVICE and --com N";
  if (parsed.has("port")) {
    options.device = parsed.options.at("port");
    if (options.device.empty()) return "--port needs a device path";
  } else {
    long portNo = 0;
    if (!ParseInteger(parsed.options.at("com"), 1, 255, portNo)) return "--com takes a port number, 1 to 255";
    options.portNo = static_cast<int>(portNo);
  }
  // Without --dir the files go to the working directory under bare names.
  if (parsed.has("dir")) options.dataDir = parsed.options.at("dir");
  options.loggersNamed = parsed.has("loggers");
  if (options.loggersNamed) {
    options.loggersPath = parsed.options.at("loggers");
  } else {
    options.loggersPath = options.dataDir.empty() ? "loggers.tsv" : options.dataDir + "/loggers.tsv";
  }
  options.timezoneGiven = parsed.has("tz-offset");
  std::string error;
  if (!TimezoneOption(parsed, options.timezoneOffset, error)) return error;
  return "";
}

namespace {

// A named device is the only line used; a port number also lets the USB
// adapter carry the exchanges when it is plugged in.
std::unique_ptr<UsbAdapterBackend> AdapterFor(const StationOptions& options) {
  return options.device.empty() ? MakeSystemUsbAdapter() : nullptr;
}

}  // namespace

Station::Station(const StationOptions& options)
    : view(interrupts),
      waiter(interrupts, [this] { view.Interrupt(); }),
      link(AdapterFor(options)),
      commands(link),
      lookup(options.loggersPath, options.loggersNamed),
      session(DownloadSessionSetup{commands, lookup, view, table, options.dataDir,
                                   TimeBasisAt(std::time(nullptr), options.timezoneOffset), SystemLocalTime,
                                   [] { return std::time(nullptr); }}),
      options_(options) {
  if (!options.device.empty()) {
    link.SetPortResolver(FixedPortResolver(options.device));
    link.SetPortNamedByPath(true);
    link.portNo = 1;
  } else {
    link.portNo = static_cast<uint8_t>(options.portNo);
  }
  link.SetWaiter(waiter);
  view.state().lastSerialText = kNoLoggerSeenYet;
  // A file-size limit then fails the write, which is reported and keeps what
  // arrived, instead of killing the program mid-download.
  std::signal(SIGXFSZ, SIG_IGN);
}

int Station::PrintDownloaded(const LoadLogResult& result) const {
  const std::string& path = result.path;
  std::printf("file\t%s\n", SafeDisplayText(path).c_str());
  if (result.incomplete()) std::printf("incomplete\t%s\n", SafeDisplayText(result.incompleteReason).c_str());
  std::vector<std::string> args{path};
  if (options_.timezoneGiven) {
    args.push_back("--tz-offset");
    args.push_back(std::to_string(options_.timezoneOffset));
  }
  const int status = RunDecode(args);
  std::fflush(stdout);
  return status;
}

}  // namespace orvald::cli
