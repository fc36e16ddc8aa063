#include "sim/replay_script.h"

#include "link/exchange_log.h"

namespace orvald::sim {

bool ReplayScript::Load(const std::string& path, std::string& error) {
  const ExchangeLogRead read = ReadExchangeLog(path);
  if (!read.ok) {
    error = read.error;
    return false;
  }
  if (read.exchanges.empty()) {
    error = path + ": no exchanges in it";
    return false;
  }
  entries_.clear();
  for (const LoggedExchange& exchange : read.exchanges) entries_.push_back({exchange.request, exchange.received});
  next_ = 0;
  unmatched_ = 0;
  return true;
}

std::vector<uint8_t> ReplayScript::Answer(const std::vector<uint8_t>& requestFrame) {
  for (size_t i = next_; i < entries_.size(); ++i) {
    if (entries_[i].request != requestFrame) continue;
    next_ = i + 1;
    return entries_[i].reply;
  }
  ++unmatched_;
  return {};
}

}  // namespace orvald::sim
