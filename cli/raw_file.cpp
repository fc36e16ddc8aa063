#include "cli/raw_file.h"

#include <cstdio>
#include <ctime>

#include "tracklog/grid_text.h"
#include "tracklog/log_file.h"
#include "tracklog/raw_file_name.h"
#include "tracklog/time_basis.h"
#include "tracklog/safe_text.h"

namespace orvald::cli {

namespace {

void AppendRow(std::string& text, const std::string* cells, int count) {
  for (int i = 0; i < count; ++i) {
    if (i > 0) text += '\t';
    text += cells[i];
  }
  text += '\n';
}

}  // namespace

void AppendTableReport(const TrackTable& table, std::string& text) {
  text += "serial\t" + SafeDisplayText(table.serialText) + "\ntype\t" + SafeDisplayText(table.typeText) +
          "\npoints\t" + std::to_string(table.pointCount) + "\n";
  std::string headings[kGridColumns];
  for (int i = 0; i < kGridColumns; ++i) headings[i] = kGridHeadings[i];
  AppendRow(text, headings, kGridColumns);
  for (int i = 0; i < table.segmentCount; ++i) {
    const auto cells = SegmentRowCells(i, table.segments()[i]);
    AppendRow(text, cells.data(), kGridColumns);
  }
}

bool DecodeReport(const std::string& path, long _timezone, std::string& text, std::string& error,
                  DecodeResult* decoded) {
  TrackTable table;
  DecodeResult result;
  const bool read = DecodeRawFileForCommand(path, _timezone, table, result, error);
  if (decoded != nullptr) *decoded = result;
  if (!read) return false;

  AppendTableReport(table, text);
  if (result.segments.limitReached) {
    std::fprintf(stderr, "orvald-cli: %d segments is the most a log can show; later points are in none\n",
                 kMaxSegments);
  }
  return true;
}

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
  const std::string losses = DecodeNoticeText(result);
  if (!losses.empty()) std::fprintf(stderr, "orvald-cli: %s: %s\n", shown.c_str(), losses.c_str());
}

}  // namespace orvald::cli
