#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/standard_output.h"
#include "program/conventions.h"

namespace orvald::cli {
namespace {

void PrintUsage(std::FILE* to) {
  std::fputs("Usage:\n", to);
  for (const Command& c : Commands()) std::fprintf(to, "  orvald-cli %s %s\n", c.name, c.usage);
}

std::string CommandUsage(const Command& c) {
  return std::string("Usage: orvald-cli ") + c.name + " " + c.usage + "\n";
}

}  // namespace

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"decode", "FILE [--tz-offset SECONDS]", RunDecode},
      {"igc",
       "FILE --segments FIRST[-LAST] [--compet TEXT] [--task TEXT] [--pilot TEXT] [--loggers LOGGERS.tsv] "
       "[--dir DIR] [--tz-offset SECONDS] [--also-kml] [--also-gpx]\n"
       "  orvald-cli igc FILE --task TEXT --tasks TASKS.tsv [--loggers LOGGERS.tsv] [--compet TEXT] [--pilot TEXT] "
       "[--dir DIR] [--tz-offset SECONDS] [--also-kml] [--also-gpx]",
       RunIgc},
      {"plot",
       "FILE [--segments FIRST[-LAST] | --task TEXT --tasks TASKS.tsv] --out PICTURE.png [--size WIDTHxHEIGHT] "
       "[--tz-offset SECONDS]",
       RunPlot},
      {"status", "[--dir DIR] [--task TEXT]", RunStatus},
      {"download",
       "(--port DEVICE | --com N) [--dir DIR] [--loggers FILE] [--tz-offset SECONDS] [--log FILE] [--rate 57600|115200] "
       "[--task TEXT [--tasks TASKS.tsv] [--also-kml] [--also-gpx]]",
       RunDownload},
      {"watch",
       "(--port DEVICE | --com N)... [--auto[=DIR]] [--dir DIR] [--loggers FILE] [--tz-offset SECONDS] [--log FILE] "
       "[--rate 57600|115200] [--task TEXT [--tasks TASKS.tsv] [--also-kml] [--also-gpx]]",
       RunWatch},
      {"erase", "(--port DEVICE | --com N) [--yes]", RunErase},
      {"doctor", "[--port DEVICE | --com N]...", RunDoctor},
      {"verify", "[--dir DIR]\n  orvald-cli verify FILE.igc [--tz-offset SECONDS]", RunVerify},
  };
  return commands;
}

int UsageError(const char* commandName, const std::string& reason) {
  std::fprintf(stderr, "orvald-cli %s: %s\n", commandName, reason.c_str());
  for (const Command& c : Commands()) {
    if (std::strcmp(c.name, commandName) == 0) std::fprintf(stderr, "Usage: orvald-cli %s %s\n", c.name, c.usage);
  }
  return kExitUsage;
}

int Failure(const std::string& reason) {
  std::fprintf(stderr, "orvald-cli: %s\n", reason.c_str());
  return kExitFailure;
}

}  // namespace orvald::cli

int main(int argc, char** argv) {
  using namespace orvald::cli;
  KeepRunningWithoutReader();
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    PrintUsage(stdout);
    return kExitOk;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("%s\n", orvald::program::VersionLine("orvald-cli").c_str());
    return kExitOk;
  }
  if (argc < 2) {
    std::fputs("orvald-cli: no command given\n", stderr);
    PrintUsage(stderr);
    return kExitUsage;
  }
  for (const Command& c : Commands()) {
    if (std::strcmp(argv[1], c.name) != 0) continue;
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (auto answered = orvald::program::AnswerHelpOrVersion("orvald-cli", args, CommandUsage(c))) return *answered;
    const int status = c.run(args);
    // Output that never reached its reader is a failure too (a full disk, a closed pipe).
    if (!FinishOutput()) return kExitFailure;
    return status;
  }
  std::fprintf(stderr, "orvald-cli: unknown command '%s'\n", argv[1]);
  PrintUsage(stderr);
  return kExitUsage;
}
