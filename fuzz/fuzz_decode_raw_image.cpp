// Arbitrary bytes as a raw image: the decoder must never read outside them,
// and whatever it keeps must be a table the grid and the writer can rely on.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "tracklog/decoder.h"
#include "fuzz/require.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static orvald::TrackTable table;
  const orvald::TimeBasis basis{-3600, 2026};
  int segmentsSeen = 0;
  int nextFirstPoint = 0;
  const orvald::DecodeResult result =
      orvald::DecodeRawImage(data, size, table, basis, [&](int index, const orvald::TrackSegment& segment) {
        // Segments arrive in order and cover the points without gaps or overlaps.
        Require(index == segmentsSeen);
        Require(segment.firstPoint == nextFirstPoint);
        Require(segment.lastPoint >= segment.firstPoint);
        Require(segment.points == segment.lastPoint - segment.firstPoint + 1);
        Require(segment.events >= 0 && segment.events <= segment.points);
        nextFirstPoint = segment.lastPoint + 1;
        ++segmentsSeen;
      });
  Require(result.ok());
  Require(result.pointCount == table.pointCount);
  Require(table.pointCount >= 0 && table.pointCount <= static_cast<int>(size / orvald::kFixRecordSize));
  Require(result.segments.segmentCount == segmentsSeen);
  Require(table.segmentCount == segmentsSeen);
  Require(nextFirstPoint <= table.pointCount);
  if (!result.segments.limitReached) Require(nextFirstPoint == table.pointCount);
  return 0;
}
