#include "cli/download_station.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "cli/commands.h"
#include "cli/raw_file.h"
#include "cli/standard_output.h"
#include "tracklog/log_file.h"
#include "tracklog/raw_image.h"
#include "tracklog/safe_text.h"

namespace orvald::cli {

namespace {

std::string ReadOptions(const char* command, const ParsedArgs& parsed, StationOptions& options) {
  if (!parsed.positional.empty()) return "takes no file arguments";
  if (std::string(command) == "watch") {
    const std::string portError = ReadPortChoices(parsed, options.ports);
    if (!portError.empty()) return portError;
  } else {
    PortChoice port;
    const std::string portError = ReadPortChoice(parsed, port);
    if (!portError.empty()) return portError;
    options.ports = {port};
  }
  if (parsed.has("rate")) {
    const std::string& rate = parsed.options.at("rate");
    if (rate != std::to_string(kDownloadRate) && rate != std::to_string(kFastDownloadRate)) {
      return "--rate takes " + std::to_string(kDownloadRate) + " or " + std::to_string(kFastDownloadRate);
    }
    options.downloadRate = static_cast<uint32_t>(std::stoul(rate));
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
  if (error.empty()) error = ReadOptions(command, parsed, options);
  if (error.empty()) return true;
  status = UsageError(command, error);
  return false;
}

std::unique_ptr<LoggersFileLookup> MakeLoggersLookup(const StationOptions& options) {
  std::function<void(const std::string&)> report;
  if (options.loggersNamed) report = [](const std::string& text) { std::fprintf(stderr, "orvald-cli: %s\n", text.c_str()); };
  return std::make_unique<LoggersFileLookup>(options.loggersPath, std::move(report));
}

bool OpenExchangeLog(ExchangeLog& log, const std::string& path, Link& link) {
  std::string error;
  if (!log.Open(path, error)) {
    std::fprintf(stderr, "orvald-cli: can't write the exchange log: %s\n", error.c_str());
    return false;
  }
  log.onWriteFailure = [](const std::string& failure) { std::fprintf(stderr, "orvald-cli: %s\n", failure.c_str()); };
  log.Attach(link);
  return true;
}

std::string DownloadedText(const LoadLogResult& result, const TrackTable& table, bool& decoded) {
  std::string text = "file\t" + SafeDisplayText(result.path) + "\n";
  if (result.incomplete()) text += "incomplete\t" + SafeDisplayText(result.incompleteReason) + "\n";
  // The session has just decoded the file into `table`: printed from there,
  // not decoded a second time.
  decoded = result.decode.ok();
  if (decoded) {
    AppendTableReport(table, text);
  } else {
    std::fprintf(stderr, "orvald-cli: %s\n", DecodeFailureText(result.path, result.decode).c_str());
  }
  return text;
}

Station::Station(const StationOptions& options)
    : link(MakeLink(options.ports.front())),
      view(
          [this] {
            interrupts.Take();
            return interrupts.requested();
          },
          &session.cancellation()),
      waiter(interrupts, session.cancellation()),
      commands(*link),
      lookup(MakeLoggersLookup(options)),
      session(DownloadSessionSetup{commands, *lookup, view, table, options.dataDir,
                                   TimeBasisAt(std::time(nullptr), options._timezone), SystemLocalTime,
                                   [] { return std::time(nullptr); }, "", options.downloadRate}),
      options_(options) {
  link->SetWaiter(waiter);
  // A file-size limit then fails the write, which is reported and keeps what
  // arrived, instead of killing the program mid-download.
  std::signal(SIGXFSZ, SIG_IGN);
}

int Station::PrintDownloaded(const LoadLogResult& result) const {
  bool decoded = false;
  // The file is kept either way; a lost output fails the command at its end.
  WriteOutput(DownloadedText(result, table, decoded));
  return decoded ? kExitOk : kExitFailure;
}

}  // namespace orvald::cli
