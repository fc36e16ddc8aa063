#include "cli/raw_file.h"

#include <ctime>

#include "files/file_reader.h"

#include "tracklog/time_basis.h"

namespace orvald::cli {

bool DecodeRawFileForCommand(const std::string& path, long _timezone, TrackTable& table, DecodeResult& result,
                             std::string& error) {
  result = DecodeRawFile(path, table, TimeBasisAt(std::time(nullptr), _timezone));
  if (result.ok()) return true;
  const char* what = result.status == DecodeStatus::kCannotOpen ? "can't open " : "can't read ";
  error = what + result.error.Text();
  return false;
}

}  // namespace orvald::cli
