#include "raw_file.h"

#include "tracklog/log_file.h"
#include "tracklog/time_basis.h"

namespace orvald::cli {

bool DecodeRawFileForCommand(const std::string& path, long timezoneOffset, TrackTable& table, DecodeResult& result,
                             std::string& error) {
  TimeBasis basis = SystemTimeBasis();
  basis._timezone = timezoneOffset;
  result = DecodeLogFile(path, table, basis);
  if (result.ok()) return true;
  error = DecodeFailureText(path, result);
  return false;
}

}  // namespace orvald::cli
