#pragma once
// The logger itself, without any line: a request's data bytes in, the reply's
// data bytes out (or no reply). The pty server wraps it in frames and timing.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvald::sim {

inline constexpr int kDefaultLineRate = 9600;

// Rate code of the set-rate command (0..4) and back; -1 / 0 for unknown.
int RateFromCode(uint8_t code);
int CodeFromRate(int rate);

enum class CommandKind { kVersion, kIdentify, kSetRate, kReadMemory, kErase, kUnknown };
CommandKind ClassifyRequest(const std::vector<uint8_t>& request);
const char* CommandName(CommandKind kind);

// The 64 bytes that follow B1 46 20 in an erase request.
const std::vector<uint8_t>& ErasePattern();

struct LoggerConfig {
  std::string serialText = "00000012345";
  std::string versionText = "VER 5.1A";
  int initialRate = kDefaultLineRate;
  // The fastest rate the logger switches to; a request for a faster one is
  // not answered and changes nothing (an older logger). 0: any rate.
  int maxRate = 0;
  // Reply data to an erase request; memory is wiped only when it is B1 46.
  std::vector<uint8_t> eraseReply = {0xB1, 0x46};
};

struct ModelReply {
  std::vector<uint8_t> data;
  int newRate = 0;  // non-zero: the line rate after this reply has been sent
};

class LoggerModel {
 public:
  LoggerModel(LoggerConfig config, std::vector<uint8_t> memory);

  // The reply to one request, or nothing for a request the logger ignores.
  // Applies the request's effect (erase) at once; a rate change is returned
  // in the reply and takes effect through ApplyRate.
  std::optional<ModelReply> Answer(const std::vector<uint8_t>& request);

  int rate() const { return rate_; }
  void ApplyRate(int rate) { rate_ = rate; }
  // Power cycle: the line rate goes back to where it starts.
  void Restart() { rate_ = config_.initialRate; }

  const std::vector<uint8_t>& memory() const { return memory_; }
  const LoggerConfig& config() const { return config_; }

 private:
  std::optional<ModelReply> ReadMemory(const std::vector<uint8_t>& request) const;

  LoggerConfig config_;
  std::vector<uint8_t> memory_;
  int rate_;
};

}  // namespace orvald::sim
