#include "sim/fault_plan.h"

#include <cstdlib>
#include <utility>

namespace orvald::sim {
namespace {

struct NamedFault {
  FaultKind kind;
  const char* name;
};
constexpr NamedFault kNames[] = {
    {FaultKind::kDrop, "drop"},         {FaultKind::kNoIdentity, "no-identity"},
    {FaultKind::kNoRateAck, "no-rate-ack"}, {FaultKind::kGarbage, "garbage"},
    {FaultKind::kOversize, "oversize"}, {FaultKind::kBadChecksum, "bad-checksum"},
    {FaultKind::kShort, "short"},       {FaultKind::kTrailing, "trailing"},
    {FaultKind::kSplit, "split"},       {FaultKind::kStall, "stall"},
    {FaultKind::kEmpty, "empty"},       {FaultKind::kForeign, "foreign"},
    {FaultKind::kWrongEnds, "wrong-ends"}, {FaultKind::kTruncate, "truncate"},
};

bool ParseUnsigned(const std::string& text, uint64_t& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtoull(text.c_str(), &end, 10);
  return end && *end == '\0' && text[0] != '-';
}

}  // namespace

const char* FaultName(FaultKind kind) {
  for (const auto& n : kNames) {
    if (n.kind == kind) return n.name;
  }
  return "?";
}

bool FaultFromName(const std::string& name, FaultKind& kind) {
  for (const auto& n : kNames) {
    if (name == n.name) {
      kind = n.kind;
      return true;
    }
  }
  return false;
}

bool ParseFaultRule(FaultKind kind, const std::string& text, FaultRule& rule) {
  rule = FaultRule{};
  rule.kind = kind;
  if (text.empty() || text == "always") {
    rule.always = true;
    return true;
  }
  if (text[0] == '@') {
    size_t pos = 1;
    while (pos <= text.size()) {
      size_t comma = text.find(',', pos);
      if (comma == std::string::npos) comma = text.size();
      uint64_t n = 0;
      if (!ParseUnsigned(text.substr(pos, comma - pos), n) || n == 0) return false;
      rule.atRequests.insert(n);
      pos = comma + 1;
    }
    return !rule.atRequests.empty();
  }
  char* end = nullptr;
  const double p = std::strtod(text.c_str(), &end);
  if (!end || *end != '\0' || !(p >= 0.0 && p <= 1.0)) return false;
  rule.probability = p;
  return true;
}

uint64_t SimRandom::Next() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double SimRandom::NextUnit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }

uint64_t SimRandom::Below(uint64_t bound) { return bound ? Next() % bound : 0; }

FaultPlan::FaultPlan(std::vector<FaultRule> rules, uint64_t seed)
    : rules_(std::move(rules)), random_(seed ^ 0x5EEDF00Dull), decisions_(seed) {}

uint32_t FaultPlan::Decide(uint64_t requestNumber) {
  uint32_t fired = 0;
  for (const FaultRule& rule : rules_) {
    // One draw per rule and request keeps later decisions independent of
    // which faults fired earlier.
    const double draw = decisions_.NextUnit();
    const bool fires = rule.always || rule.atRequests.count(requestNumber) > 0 ||
                       (rule.probability > 0.0 && draw < rule.probability);
    if (fires) fired |= Bit(rule.kind);
  }
  return fired;
}

}  // namespace orvald::sim
