#include "raw_file.h"

#include <cstring>

#include "tracklog/time_basis.h"

namespace orvald::cli {

bool DecodeRawFileForCommand(const std::string& path, long timezoneOffset, TrackTable& table, DecodeResult& result,
                             std::string& error) {
  TimeBasis basis = SystemTimeBasis();
  basis._timezone = timezoneOffset;
  result = DecodeRawFile(path, table, basis);
  if (result.ok()) return true;
  const char* what = result.status == DecodeStatus::CannotOpen ? "can't open " : "can't read ";
  error = what + path + ": " + std::strerror(result.errorNumber);
  return false;
}

}  // namespace orvald::cli
