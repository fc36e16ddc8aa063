#pragma once
// Who the logger is: its serial text and firmware version, and the type text
// derived from the version that names the hardware model.

#include <cstdint>
#include <string>

namespace orvald {

struct LoggerIdentity {
  std::string serialText;   // at most 11 characters
  std::string versionText;  // at most 8 characters, as received
  uint8_t firmwareByte = 0; // major digit high, minor digit low
  char versionSuffix = 0;
  std::string typeText;     // "M.mS"
};

LoggerIdentity MakeLoggerIdentity(std::string serialText, std::string versionText);

}  // namespace orvald
