#pragma once
// Which station is downloading which logger right now. Stations on several
// ports share one; a logger that shows up on a second port while its
// download runs on the first is left alone until that download is over, so
// two files never race for one flight. Safe to use from any thread.

#include <map>
#include <mutex>
#include <string>

namespace orvald {

class LoggerClaims {
 public:
  // True when `station` may download the logger `serialText` (nobody else
  // is downloading it); otherwise false with the station that is in `holder`.
  // A logger without a serial text cannot be told apart and is never refused.
  bool Claim(const std::string& serialText, const std::string& station, std::string* holder = nullptr);
  void Release(const std::string& serialText, const std::string& station);

 private:
  std::mutex mutex_;
  std::map<std::string, std::string> holders_;  // serial text -> station
};

// Holds a claim for one download and gives it back on every way out.
class LoggerClaim {
 public:
  LoggerClaim() = default;
  LoggerClaim(const LoggerClaim&) = delete;
  LoggerClaim& operator=(const LoggerClaim&) = delete;
  ~LoggerClaim() {
    if (claims_ != nullptr) claims_->Release(serialText_, station_);
  }
  // False (holding nothing) when another station has the logger.
  bool Take(LoggerClaims* claims, const std::string& serialText, const std::string& station, std::string* holder) {
    if (claims == nullptr || serialText.empty()) return true;
    if (!claims->Claim(serialText, station, holder)) return false;
    claims_ = claims;
    serialText_ = serialText;
    station_ = station;
    return true;
  }

 private:
  LoggerClaims* claims_ = nullptr;
  std::string serialText_;
  std::string station_;
};

}  // namespace orvald
