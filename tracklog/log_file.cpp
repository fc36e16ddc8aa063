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

namespace {

std::string Counted(int n, const char* one, const char* many) { return std::to_string(n) + (n == 1 ? one : many); }

void Join(std::string& text, const std::string& part, const char* separator) {
  if (part.empty()) return;
  if (!text.empty()) text += separator;
  text += part;
}

std::string DamageText(const DamageSigns& damage) {
  if (!damage.any()) return {};
  std::string signs;
  if (damage.garbledIdentity) signs = "the serial number is garbled";
  if (const int n = damage.backwardSegments; n > 0) {
    Join(signs, Counted(n, " segment ends", " segments end") + " before " + (n == 1 ? "it starts" : "they start"),
         "; ");
  }
  if (const int n = damage.implausibleAltitudes; n > 0) {
    Join(signs,
         Counted(n, " altitude is", " altitudes are") + " beyond " + std::to_string(kLowestPlausibleMetres) + ".." +
             std::to_string(kHighestPlausibleMetres) + " m",
         "; ");
  }
  return "it does not look like a log: " + signs;
}

}  // namespace

std::string DecodeNoticeText(const DecodeResult& result) {
  std::string text = ImportLossText(result);
  if (const int n = result.unreadableFixes; n > 0) {
    Join(text, Counted(n, " B record", " B records") + " could not be read", "; ");
  }
  Join(text, DamageText(result.damage), "; ");
  return text;
}

std::string DecodeWarningText(const std::string& path, const DecodeResult& result) {
  return result.ok() ? DecodeNoticeText(result) : DecodeFailureText(path, result);
}

}  // namespace orvald
