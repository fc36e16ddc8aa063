#pragma once
// Which faults hit which request: each fault kind fires always, with a
// probability, or at listed request numbers (1 = first request the logger
// accepted). Decisions come from one seeded generator that is drawn the same
// number of times for every request, so a seed replays the same run.

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace orvald::sim {

enum class FaultKind {
  kDrop,       // no reply
  kNoIdentity, // identify requests get no reply
  kNoRateAck,  // set-rate: the rate changes but no echo is sent
  kGarbage,    // random bytes instead of the reply (never a valid frame)
  kOversize,   // a 300-byte reply: a frame announcing 255 data bytes, then filler
  kBadChecksum,
  kShort,      // memory reads: a valid frame with fewer data bytes than asked
  kTrailing,   // extra bytes after the end byte, in the same write
  kSplit,      // the reply in pieces with pauses between them
  kStall,      // the reply only after a pause longer than the 300 ms limit
  kEmpty,      // a valid frame with no data bytes: F0 00 00 F2
  kForeign,    // a valid frame whose first data byte is not the command's
  kWrongEnds,  // start and end bytes wrong, length and checksum right
  kTruncate,   // only the first few bytes of the reply, the rest never comes
};
inline constexpr int kFaultKindCount = 14;

const char* FaultName(FaultKind kind);
bool FaultFromName(const std::string& name, FaultKind& kind);

struct FaultRule {
  FaultKind kind = FaultKind::kDrop;
  bool always = false;
  double probability = 0.0;
  std::set<uint64_t> atRequests;
};

// "always", a probability such as 0.25, or "@3,7,12". False on a bad text.
bool ParseFaultRule(FaultKind kind, const std::string& text, FaultRule& rule);

// 64-bit generator with a fixed algorithm (splitmix64), so results do not
// depend on the standard library's distributions.
class SimRandom {
 public:
  explicit SimRandom(uint64_t seed) : state_(seed) {}
  uint64_t Next();
  double NextUnit();                  // [0, 1)
  uint64_t Below(uint64_t bound);     // [0, bound), bound > 0

 private:
  uint64_t state_;
};

class FaultPlan {
 public:
  FaultPlan(std::vector<FaultRule> rules, uint64_t seed);

  // The faults that fire for request number `requestNumber`, as a bit set
  // indexed by FaultKind. Whether they apply to the command is the caller's.
  uint32_t Decide(uint64_t requestNumber);
  SimRandom& random() { return random_; }
  bool empty() const { return rules_.empty(); }

 private:
  std::vector<FaultRule> rules_;
  SimRandom random_;
  SimRandom decisions_;
};

inline bool Has(uint32_t set, FaultKind kind) { return (set >> static_cast<int>(kind)) & 1u; }
inline uint32_t Bit(FaultKind kind) { return 1u << static_cast<int>(kind); }

}  // namespace orvald::sim
