#include "cli/raw_file.h"

#include <ctime>

#include "tracklog/log_file.h"
#include "tracklog/time_basis.h"

namespace orvald::cli {

bool DecodeRawFileForCommand(const std::string& path, long _timezone, TrackTable& table, DecodeResult& result,
                             std::string& error) {
  result = DecodeLogFile(path, table, TimeBasisAt(std::time(nullptr), _timezone));
  if (result.ok()) return true;
  error = DecodeFailureText(path, result);
  return false;
}

}  // namespace orvald::cli
