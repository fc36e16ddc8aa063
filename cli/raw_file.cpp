#include "cli/raw_file.h"

#include <cstdio>
#include <ctime>

#include "tracklog/log_file.h"
#include "tracklog/raw_image.h"
#include "tracklog/time_basis.h"

namespace orvald::cli {

bool DecodeRawFileForCommand(const std::string& path, long _timezone, TrackTable& table, DecodeResult& result,
                             std::string& error) {
  result = DecodeLogFile(path, table, TimeBasisAt(std::time(nullptr), _timezone));
  if (result.ok()) return true;
  error = DecodeFailureText(path, result);
  return false;
}

void ReportDecodeNotices(const std::string& path, const DecodeResult& result) {
  const std::string shown = SafeDisplayText(path);
  const size_t slash = path.rfind('/');
  if (IsIncompleteRawFileName(slash == std::string::npos ? path : path.substr(slash + 1))) {
    std::fprintf(stderr, "orvald-cli: %s is an incomplete download: fixes may be missing\n", shown.c_str());
  }
  const std::string losses = ImportLossText(result);
  if (!losses.empty()) std::fprintf(stderr, "orvald-cli: %s: %s\n", shown.c_str(), losses.c_str());
}

}  // namespace orvald::cli
