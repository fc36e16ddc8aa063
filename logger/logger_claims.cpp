#include "logger/logger_claims.h"

namespace orvald {

bool LoggerClaims::Claim(const std::string& serialText, const std::string& station, std::string* holder) {
  if (serialText.empty()) return true;
  std::lock_guard<std::mutex> lock(mutex_);
  const auto [at, added] = holders_.emplace(serialText, station);
  if (added || at->second == station) return true;
  if (holder != nullptr) *holder = at->second;
  return false;
}

void LoggerClaims::Release(const std::string& serialText, const std::string& station) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto at = holders_.find(serialText);
  if (at != holders_.end() && at->second == station) holders_.erase(at);
}

}  // namespace orvald
