#include "tracklog/log_file.h"

#include "tracklog/igc_reader.h"

namespace orvald {

bool IsIgcFileName(const std::string& path) {
  if (path.size() < 4) return false;
  const std::string tail = path.substr(path.size() - 4);
  return tail[0] == '.' && (tail[1] | 0x20) == 'i' && (tail[2] | 0x20) == 'g' && (tail[3] | 0x20) == 'c';
}

DecodeResult DecodeLogFile(const std::string& path, TrackTable& table, const TimeBasis& basis,
                           const SegmentSink& sink) {
  return IsIgcFileName(path) ? DecodeIgcFile(path, table, basis, sink) : DecodeRawFile(path, table, basis, sink);
}

std::string DecodeFailureText(const std::string& path, const DecodeResult& result) {
  switch (result.status) {
    case DecodeStatus::kOk: return {};
    case DecodeStatus::kCannotOpen: return "can't open " + result.error.Text();
    case DecodeStatus::kReadError: return "can't read " + result.error.Text();
    case DecodeStatus::kNoFlightDate:
      return path + " has no date record (HFDTE), so its fixes cannot be placed in time";
    case DecodeStatus::kInvalidFlightDate:
      return path + " has an invalid date in its date record " + result.dateRecord +
             ", so its fixes cannot be placed in time";
  }
  return {};
}

std::string ImportLossText(const DecodeResult& result) {
  std::string text;
  if (const int n = result.fixesDropped; n > 0) {
    text = std::to_string(n) + (n == 1 ? " fix" : " fixes") + " beyond the " + std::to_string(kMaxPoints) +
           " a log can hold " + (n == 1 ? "was" : "were") + " left out";
  }
  if (const int n = result.altitudesClamped; n > 0) {
    if (!text.empty()) text += "; ";
    text += std::to_string(n) + (n == 1 ? " altitude" : " altitudes") + " beyond +/-" +
            std::to_string(kMostIgcMetresAPointHolds) + " m " + (n == 1 ? "was" : "were") + " clamped";
  }
  return text;
}

}  // namespace orvald
