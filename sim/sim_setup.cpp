#include "sim/sim_setup.h"

#include <unistd.h>

#include <cstdio>

#include "files/file_reader.h"
#include "sim/memory_sources.h"
#include "tracklog/memory_image.h"

namespace orvald::sim {

namespace {

// Any source the simulator reads is far smaller: a memory dump is 2 MiB.
constexpr size_t kLargestSource = 64u << 20;

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes) {
  const WholeFile file = ReadWholeFile(path, kLargestSource);
  bytes.assign(file.bytes.begin(), file.bytes.end());
  return file.ok;
}

}  // namespace

bool WriteFileWhole(const std::string& path, const std::vector<uint8_t>& bytes) {
  const std::string temp = path + ".part" + std::to_string(getpid());
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = std::fflush(f) == 0 && ok;
  ok = fsync(fileno(f)) == 0 && ok;
  ok = std::fclose(f) == 0 && ok;
  if (ok && std::rename(temp.c_str(), path.c_str()) == 0) return true;
  std::remove(temp.c_str());
  return false;
}

void MakeSwappedLogger(const std::string& serialText, int rate, LoggerConfig& config, std::vector<uint8_t>& memory) {
  config.serialText = serialText;
  config.initialRate = rate;
  for (size_t block = 0; block < static_cast<size_t>(kBlockCount); ++block) {
    const size_t start = block * static_cast<size_t>(kBlockSize);
    for (size_t i = start + kBlockHeaderSize; i < start + static_cast<size_t>(kBlockSize); ++i) {
      memory[i] = static_cast<uint8_t>(~memory[i]);
    }
  }
}

bool BuildLogger(const SimOptions& options, LoggerConfig& config, std::vector<uint8_t>& memory, std::string& error,
                 std::string& notes) {
  config = options.logger;
  switch (options.source) {
    case MemorySource::kSynthetic:
      memory = BuildMemoryImage(SyntheticFlight(), options.layout);
      break;
    case MemorySource::kIgc: {
      std::vector<uint8_t> bytes;
      if (!ReadFileBytes(options.sourcePath, bytes)) {
        error = "cannot read " + options.sourcePath;
        return false;
      }
      std::vector<RawFix> fixes;
      std::string why;
      if (!ParseIgcFixes(std::string(bytes.begin(), bytes.end()), fixes, why)) {
        error = options.sourcePath + ": " + why;
        return false;
      }
      const size_t room = static_cast<size_t>(kBlockCount) * static_cast<size_t>(options.layout.recordsPerBlock);
      if (fixes.size() > room) {
        notes += "only the first " + std::to_string(room) + " of " + std::to_string(fixes.size()) +
                 " fixes fit the memory\n";
      }
      memory = BuildMemoryImage(fixes, options.layout);
      break;
    }
    case MemorySource::kRawFile: {
      std::vector<uint8_t> bytes;
      if (!ReadFileBytes(options.sourcePath, bytes)) {
        error = "cannot read " + options.sourcePath;
        return false;
      }
      RawFileMemory rebuilt = MemoryFromRawFile(bytes);
      if (!rebuilt.exact) {
        notes += options.sourcePath + ": no block layout gives this size; a download will differ from the file\n";
      }
      memory = std::move(rebuilt.memory);
      if (!options.serialGiven) config.serialText = rebuilt.serialText;
      if (!options.versionGiven) config.versionText = rebuilt.versionText;
      ApplyHeaderOverrides(memory, options.layout);
      break;
    }
    case MemorySource::kDump: {
      if (!ReadFileBytes(options.sourcePath, memory)) {
        error = "cannot read " + options.sourcePath;
        return false;
      }
      if (memory.size() != static_cast<size_t>(kMemorySize)) {
        error = options.sourcePath + ": a memory dump holds " + std::to_string(kMemorySize) + " bytes, not " +
                std::to_string(memory.size());
        return false;
      }
      ApplyHeaderOverrides(memory, options.layout);
      break;
    }
  }
  return true;
}

}  // namespace orvald::sim
