// Arbitrary text as an IGC file: the reader must never read outside it, and
// whatever it keeps must be fixes the picture, the grid and the writers can
// rely on (real dates, coordinates in range, segments covering the points).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "export/igc_text.h"
#include "tracklog/calendar.h"
#include "tracklog/igc_reader.h"
#include "fuzz/require.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static orvald::TrackTable table;
  const orvald::TimeBasis basis{-3600, 2026};
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  int nextFirstPoint = 0;
  const orvald::DecodeResult result =
      orvald::DecodeIgcText(text, table, basis, [&](int, const orvald::TrackSegment& segment) {
        Require(segment.firstPoint == nextFirstPoint && segment.lastPoint >= segment.firstPoint);
        nextFirstPoint = segment.lastPoint + 1;
      });
  Require(result.ok() || result.status == orvald::DecodeStatus::kNoFlightDate ||
          result.status == orvald::DecodeStatus::kInvalidFlightDate);
  Require(table.pointCount == result.pointCount && table.pointCount <= static_cast<int>(size / 35));
  Require(nextFirstPoint == table.pointCount);
  Require(table.serialText.size() <= 11 && table.typeText.size() <= 4);
  for (int i = 0; i < table.pointCount; ++i) {
    const orvald::TrackPoint& p = table.points()[i];
    Require(p.latitudeE5 >= -9000000 && p.latitudeE5 <= 9000000 && p.longitudeE5 >= -18000000 &&
            p.longitudeE5 <= 18000000);
    Require(p.month >= 1 && p.month <= 12 && p.day >= 1 && p.day <= orvald::DaysInMonth(p.year, p.month));
    Require(p.hour < 24 && p.minute < 60 && p.second < 60);
  }
  if (table.segmentCount > 0 && !result.segments.limitReached) {
    orvald::IgcSaveRequest request;
    request.firstSegment = 0;
    request.lastSegment = table.segmentCount - 1;
    // What was read can be written again, and reads back to the same points.
    const std::string again = orvald::IgcFileText(table, request);
    static orvald::TrackTable reread;
    Require(orvald::DecodeIgcText(again, reread, basis).pointCount == table.pointCount);
  }
  return 0;
}
