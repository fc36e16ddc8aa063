// orvald-sim: a flight logger on a pseudo-terminal (see --help).

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sim/fault_plan.h"
#include "sim/logger_model.h"
#include "sim/pty_server.h"
#include "sim/sim_options.h"
#include "sim/sim_setup.h"
#include "sim/transcript.h"
#include "program/conventions.h"
#include "tracklog/memory_image.h"

namespace {

int g_stopPipe[2] = {-1, -1};

void OnStopSignal(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t n = write(g_stopPipe[1], &byte, 1);
}

bool InstallStopSignals() {
  if (pipe(g_stopPipe) != 0) return false;
  for (int fd : g_stopPipe) {
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orvald;
  using namespace orvald::sim;

  const std::vector<std::string> args(argv + 1, argv + argc);
  // Alone, --version is the program's; with a value it stays the logger's.
  if (auto answered = program::AnswerHelpOrVersion("orvald-sim", args, SimHelpText())) return *answered;
  SimOptions options;
  std::string error;
  if (!ParseSimOptions(args, options, error)) {
    std::fprintf(stderr, "orvald-sim: %s\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(SimHelpText(), stdout);
    return 0;
  }
  for (const std::string* output : {&options.transcriptPath, &options.dumpMemoryPath, &options.expectRawPath}) {
    if (program::RefuseOutputName("orvald-sim", *output)) return program::kExitRefusedOutput;
  }

  LoggerConfig config;
  std::vector<uint8_t> memory;
  std::string notes;
  if (!BuildLogger(options, config, memory, error, notes)) {
    std::fprintf(stderr, "orvald-sim: %s\n", error.c_str());
    return 1;
  }
  if (!notes.empty()) std::fprintf(stderr, "orvald-sim: %s", notes.c_str());
  LoggerConfig swappedConfig = config;
  std::vector<uint8_t> swappedMemory = memory;
  MakeSwappedLogger(options.swapSerial, options.swapRate, swappedConfig, swappedMemory);
  if (options.asSwapped) {
    config = swappedConfig;
    memory = swappedMemory;
  }
  if (!options.dumpMemoryPath.empty() && !WriteFileWhole(options.dumpMemoryPath, memory)) {
    std::fprintf(stderr, "orvald-sim: cannot write %s\n", options.dumpMemoryPath.c_str());
    return 1;
  }
  if (!options.expectRawPath.empty() &&
      !WriteFileWhole(options.expectRawPath, ExpectedRawFile(memory, config.serialText, config.versionText))) {
    std::fprintf(stderr, "orvald-sim: cannot write %s\n", options.expectRawPath.c_str());
    return 1;
  }
  if (!options.serve) return 0;

  Transcript transcript;
  if (!options.transcriptPath.empty() && !transcript.Open(options.transcriptPath)) {
    std::fprintf(stderr, "orvald-sim: cannot write %s\n", options.transcriptPath.c_str());
    return 1;
  }
  if (!InstallStopSignals()) {
    std::perror("orvald-sim: pipe");
    return 1;
  }
  ReplayScript replay;
  if (!options.replayPath.empty()) {
    if (!replay.Load(options.replayPath, error)) {
      std::fprintf(stderr, "orvald-sim: cannot replay %s\n", error.c_str());
      return 1;
    }
    options.server.replay = &replay;
  }
  LoggerModel model(config, std::move(memory));
  LoggerModel swapped(swappedConfig, std::move(swappedMemory));
  if (options.server.swapAfter > 0) options.server.swapTo = &swapped;
  FaultPlan plan(options.faults, options.seed);
  PtyServer server(options.server, model, plan, transcript);
  if (!server.Open()) {
    std::fprintf(stderr, "orvald-sim: %s\n", server.error().c_str());
    return 1;
  }
  std::printf("%s\n", server.devicePath().c_str());
  std::fflush(stdout);
  return server.Run(g_stopPipe[0]);
}
