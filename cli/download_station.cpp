#include "cli/download_station.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "cli/commands.h"
#include "cli/igc_task.h"
#include "cli/raw_file.h"
#include "cli/standard_output.h"
#include "desk/desk_task.h"
#include "desk/judge_download.h"
#include "link/device_links.h"
#include "program/conventions.h"
#include "tracklog/log_file.h"
#include "tracklog/raw_image.h"
#include "tracklog/safe_text.h"

namespace orvald::cli {

namespace {

std::string ReadOptions(const char* command, const ParsedArgs& parsed, StationOptions& options) {
  if (!parsed.positional.empty()) return "takes no file arguments";
  if (std::string(command) == "watch") {
    if (parsed.has("auto")) {
      options.autoFolder = parsed.options.at("auto").empty() ? kDeviceLinkFolder : parsed.options.at("auto");
    }
    // --auto alone is a station on every adapter plugged in, and only that.
    const bool portsGiven = parsed.count("port") + parsed.count("com") > 0;
    if (portsGiven || options.autoFolder.empty()) {
      const std::string portError = ReadPortChoices(parsed, options.ports);
      if (!portError.empty()) return options.autoFolder.empty() ? portError + ", or --auto[=DIR]" : portError;
    }
  } else {
    if (parsed.has("auto")) return "--auto goes with watch";
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
  if (parsed.has("task")) {
    options.task = parsed.options.at("task");
    options.tasksPath = parsed.has("tasks")     ? parsed.options.at("tasks")
                        : options.dataDir.empty() ? "tasks.tsv"
                                                  : options.dataDir + "/tasks.tsv";
    // A task the table does not hold is a mistake to hear of now, not at
    // the first pilot's download.
    DeskTask task;
    std::string error;
    if (!ReadDeskTask(options.tasksPath, options.task, task, error)) return error;
  } else if (parsed.has("tasks") || parsed.has("also-kml") || parsed.has("also-gpx")) {
    return "--tasks, --also-kml and --also-gpx go with --task";
  }
  options.companions = {parsed.has("also-kml"), parsed.has("also-gpx")};
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
  const ParsedArgs parsed = ParseArgs(args, kStationOptions, kStationSwitches);
  std::string error = parsed.error;
  if (error.empty()) error = ReadOptions(command, parsed, options);
  if (error.empty() && program::RefuseOutputName(std::string("orvald-cli ") + command, options.logPath)) {
    status = program::kExitRefusedOutput;
    return false;
  }
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

DownloadedBlock DownloadedText(const StationOptions& options, const LoadLogResult& result, const TrackTable& table,
                               LoggerLookup& lookup, const std::string& port) {
  DownloadedBlock block;
  std::string& text = block.text;
  text = "file\t" + SafeDisplayText(result.path) + "\n";
  if (result.incomplete()) text += "incomplete\t" + SafeDisplayText(result.reason) + "\n";
  // The session has just decoded the file into `table`: printed from there,
  // not decoded a second time.
  block.decoded = result.decode.ok();
  if (block.decoded) {
    AppendTableReport(table, text);
  } else {
    std::fprintf(stderr, "orvald-cli: %s\n", DecodeFailureText(result.path, result.decode).c_str());
  }
  if (!options.task.empty()) {
    const DeskJudging judging{.tasksPath = options.tasksPath,
                              .task = options.task,
                              .companions = options.companions,
                              .directory = options.dataDir.empty() ? "." : options.dataDir,
                              ._timezone = options._timezone,
                              .journal = true,
                              .port = port};
    block.verdict = JudgeDownload(judging, result, table, lookup, std::time(nullptr));
    const Verdict& verdict = *block.verdict;
    text += std::string("verdict\t") + VerdictLevelName(verdict.level) + "\t" + SafeDisplayText(verdict.text) + "\n";
    if (!verdict.igcFile.empty()) text += "igc\t" + SafeDisplayText(verdict.igcFile) + "\n";
    for (const std::string& companion : verdict.companions) {
      text += companion.substr(companion.rfind('.') + 1) + "\t" + SafeDisplayText(companion) + "\n";
    }
  }
  return block;
}

SingleDownload::SingleDownload(const StationOptions& options)
    : options_(options),
      lookup_(MakeLoggersLookup(options)),
      // The session only keeps the view and the waiter it is given here;
      // both are made right after it, around its one cancel.
      parts_({.name = options.ports.front().Name(),
              .link = MakeLink(options.ports.front()),
              .lookup = *lookup_,
              .dataDir = options.dataDir,
              ._timezone = options._timezone,
              .downloadRate = options.downloadRate,
              .journal = DayJournal(options.dataDir)},
             view_, waiter_),
      view_(
          [this] {
            interrupts_.Take();
            return interrupts_.requested();
          },
          &parts_.session().cancellation()),
      waiter_(interrupts_, parts_.session().cancellation()) {
  // A file-size limit then fails the write, which is reported and keeps what
  // arrived, instead of killing the program mid-download.
  std::signal(SIGXFSZ, SIG_IGN);
}

int SingleDownload::PrintDownloaded(const LoadLogResult& result) {
  const DownloadedBlock block = DownloadedText(options_, result, parts_.table(), *lookup_, parts_.name());
  // The file is kept either way; a lost output fails the command at its end.
  WriteOutput(block.text);
  if (!block.decoded) return kExitFailure;
  if (!block.verdict) return kExitOk;
  const VerdictLevel level = block.verdict->level;
  return level == VerdictLevel::kOk || level == VerdictLevel::kCheck ? kExitOk : kExitFailure;
}

}  // namespace orvald::cli
