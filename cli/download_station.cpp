#include "cli/download_station.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "cli/commands.h"
#include "tracklog/raw_image.h"

namespace orvald::cli {

LoggerMatch LoggersFileLookup::FindLogger(const std::string& serialText) {
  const TableFileResult loaded = table_.Load();
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

namespace {

std::string ReadOptions(const ParsedArgs& parsed, StationOptions& options) {
  if (!parsed.positional.empty()) return "takes no file arguments";
  const std::string portError = ReadPortChoice(parsed, options.port);
  if (!portError.empty()) return portError;
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
  if (!TimezoneOption(parsed, options._timezone, error)) return error;
  const char* logFromEnvironment = std::getenv(kExchangeLogVariable);
  options.logPath = parsed.has("log") ? parsed.options.at("log")
                    : logFromEnvironment != nullptr ? logFromEnvironment
                                                    : "";
  return "";
}

}  // namespace

bool ReadStationOptions(const char* command, const std::vector<std::string>& args, StationOptions& options,
                        int& status) {
  const ParsedArgs parsed = ParseArgs(args, kStationOptions);
  std::string error = parsed.error;
  if (error.empty()) error = ReadOptions(parsed, options);
  if (error.empty()) return true;
  status = UsageError(command, error);
  return false;
}

Station::Station(const StationOptions& options)
    : link(MakeLink(options.port)),
      view(interrupts, [this] { session.RequestCancel(); }),
      waiter(interrupts, [this] { session.RequestCancel(); }),
      commands(*link),
      lookup(options.loggersPath, options.loggersNamed),
      session(DownloadSessionSetup{commands, lookup, view, table, options.dataDir,
                                   TimeBasisAt(std::time(nullptr), options._timezone), SystemLocalTime,
                                   [] { return std::time(nullptr); }, kNoLoggerSeenYet}),
      options_(options) {
  link->SetWaiter(waiter);
  // A file-size limit then fails the write, which is reported and keeps what
  // arrived, instead of killing the program mid-download.
  std::signal(SIGXFSZ, SIG_IGN);
}

bool Station::OpenExchangeLog() {
  if (options_.logPath.empty()) return true;
  std::string error;
  if (!exchangeLog.Open(options_.logPath, error)) {
    std::fprintf(stderr, "orvald-cli: can't write the exchange log: %s\n", error.c_str());
    return false;
  }
  exchangeLog.onWriteFailure = [](const std::string& failure) {
    std::fprintf(stderr, "orvald-cli: %s\n", failure.c_str());
  };
  exchangeLog.Attach(*link);
  return true;
}

int Station::PrintDownloaded(const LoadLogResult& result) const {
  const std::string& path = result.path;
  std::printf("file\t%s\n", SafeDisplayText(path).c_str());
  if (result.incomplete()) std::printf("incomplete\t%s\n", SafeDisplayText(result.incompleteReason).c_str());
  std::vector<std::string> args{path};
  if (options_.timezoneGiven) {
    args.push_back("--tz-offset");
    args.push_back(std::to_string(options_._timezone));
  }
  const int status = RunDecode(args);
  std::fflush(stdout);
  return status;
}

}  // namespace orvald::cli
