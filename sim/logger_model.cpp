#include "sim/logger_model.h"

#include <algorithm>
#include <utility>

#include "sim/frame.h"
#include "tracklog/memory_image.h"

namespace orvald::sim {
namespace {

constexpr int kRates[] = {9600, 19200, 38400, 57600, 115200};

}  // namespace

int RateFromCode(uint8_t code) { return code < 5 ? kRates[code] : -1; }

int CodeFromRate(int rate) {
  for (int code = 0; code < 5; ++code) {
    if (kRates[code] == rate) return code;
  }
  return 0;
}

const std::vector<uint8_t>& ErasePattern() {
  static const std::vector<uint8_t> pattern = [] {
    std::vector<uint8_t> p = {0x80, 0x00, 0x80, 0x00, 0x21, 0x08, 0x21, 0x08};
    for (int i = 0; i < 28; ++i) {
      p.push_back(0x10);
      p.push_back(0x12);
    }
    return p;
  }();
  return pattern;
}

CommandKind ClassifyRequest(const std::vector<uint8_t>& r) {
  if (r.size() == 1 && r[0] == 0x78) return CommandKind::kVersion;
  if (r.size() == 1 && r[0] == 0x49) return CommandKind::kIdentify;
  if (r.size() == 3 && r[0] == 0xC1 && r[1] == 0x41) return CommandKind::kSetRate;
  if (r.size() == 6 && r[0] == 0xB1 && r[1] == 0x52) return CommandKind::kReadMemory;
  if (r.size() == 67 && r[0] == 0xB1 && r[1] == 0x46 && r[2] == 0x20) return CommandKind::kErase;
  return CommandKind::kUnknown;
}

const char* CommandName(CommandKind kind) {
  switch (kind) {
    case CommandKind::kVersion: return "version";
    case CommandKind::kIdentify: return "identify";
    case CommandKind::kSetRate: return "set-rate";
    case CommandKind::kReadMemory: return "read-memory";
    case CommandKind::kErase: return "erase";
    case CommandKind::kUnknown: break;
  }
  return "unknown";
}

LoggerModel::LoggerModel(LoggerConfig config, std::vector<uint8_t> memory)
    : config_(std::move(config)), memory_(std::move(memory)), rate_(config_.initialRate) {
  memory_.resize(kMemorySize, 0xFF);
}

std::optional<ModelReply> LoggerModel::ReadMemory(const std::vector<uint8_t>& r) const {
  const size_t block = r[2];
  const size_t offset = r[3] | (static_cast<size_t>(r[4]) << 8);
  const size_t count = r[5];
  // The reply must fit one frame: B1 52 plus the bytes.
  if (count + 2 > kMaxFrameData) return std::nullopt;
  ModelReply reply;
  reply.data.reserve(count + 2);
  reply.data.push_back(0xB1);
  reply.data.push_back(0x52);
  // Reads run on into the next block; beyond the last block the flash reads
  // as erased.
  const size_t start = block * kBlockSize + offset;
  for (size_t i = 0; i < count; ++i) {
    const size_t at = start + i;
    reply.data.push_back(at < memory_.size() ? memory_[at] : 0xFF);
  }
  return reply;
}

std::optional<ModelReply> LoggerModel::Answer(const std::vector<uint8_t>& r) {
  switch (ClassifyRequest(r)) {
    case CommandKind::kVersion: {
      ModelReply reply{{0x78}, 0};
      reply.data.insert(reply.data.end(), config_.versionText.begin(), config_.versionText.end());
      return reply;
    }
    case CommandKind::kIdentify: {
      ModelReply reply{{0x49}, 0};
      reply.data.insert(reply.data.end(), config_.serialText.begin(), config_.serialText.end());
      return reply;
    }
    case CommandKind::kSetRate: {
      const int newRate = RateFromCode(r[2]);
      if (newRate < 0 || (config_.maxRate > 0 && newRate > config_.maxRate)) return std::nullopt;
      return ModelReply{r, newRate};
    }
    case CommandKind::kReadMemory:
      return ReadMemory(r);
    case CommandKind::kErase: {
      if (!std::equal(ErasePattern().begin(), ErasePattern().end(), r.begin() + 3)) return std::nullopt;
      const bool agrees = config_.eraseReply == std::vector<uint8_t>{0xB1, 0x46};
      if (agrees) memory_.assign(kMemorySize, 0xFF);
      return ModelReply{config_.eraseReply, 0};
    }
    case CommandKind::kUnknown:
      break;
  }
  return std::nullopt;
}

}  // namespace orvald::sim
