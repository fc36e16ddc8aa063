#pragma once
// orvald-sim's command line.

#include <cstdint>
#include <string>
#include <vector>

#include "sim/fault_plan.h"
#include "sim/logger_model.h"
#include "sim/pty_server.h"
#include "tracklog/memory_image.h"

namespace orvald::sim {

enum class MemorySource { kSynthetic, kIgc, kRawFile, kDump };

struct SimOptions {
  MemorySource source = MemorySource::kSynthetic;
  std::string sourcePath;
  LoggerConfig logger;
  bool serialGiven = false;
  bool versionGiven = false;
  MemoryLayout layout;
  ServerOptions server;
  std::vector<FaultRule> faults;
  uint64_t seed = 1;
  std::string transcriptPath;
  std::string replayPath;  // answer from a recorded exchange log instead of the memory
  std::string dumpMemoryPath;
  std::string expectRawPath;
  std::string swapSerial = "00000067890";  // the logger plugged in at a swap
  int swapRate = kDefaultLineRate;          // and the rate it is at
  bool asSwapped = false;  // serve and write the files of that logger instead
  bool serve = true;
  bool help = false;
};

// False with a message for the first option that cannot be used.
bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& options, std::string& error);

const char* SimHelpText();

}  // namespace orvald::sim
