#pragma once
// Hand-built track tables for the IGC writer tests.

#include <cstdint>
#include <initializer_list>
#include <memory>

#include "tracklog/track_table.h"

namespace orvald::testing {

struct PointSpec {
  int hour, minute, second;  // local standard time
  int32_t latitudeE5 = 5150000;  // 51.5 N
  int32_t longitudeE5 = 725000;  // 7.25 E
  int16_t altitudeFeet = 1000;
  uint8_t event = 0;
  uint8_t fixStatus = 1;
};

inline TrackPoint MakePoint(const PointSpec& s) {
  TrackPoint p{};
  p.latitudeE5 = s.latitudeE5;
  p.longitudeE5 = s.longitudeE5;
  p.altitudeFeet = s.altitudeFeet;
  p.year = 2007;
  p.month = 4;
  p.day = 10;
  p.hour = static_cast<uint8_t>(s.hour);
  p.minute = static_cast<uint8_t>(s.minute);
  p.second = static_cast<uint8_t>(s.second);
  p.event = s.event;
  p.fixStatus = s.fixStatus;
  return p;
}

// Appends points and closes them as one segment starting at `startUtc`.
// Only the fields the writer reads are filled in.
inline void AddSegment(TrackTable& table, int32_t startUtc, std::initializer_list<PointSpec> pointSpecs) {
  TrackSegment& s = table.segments()[table.segmentCount];
  s = TrackSegment{};
  s.start = startUtc;
  s.firstPoint = table.pointCount;
  for (const PointSpec& pointSpec : pointSpecs) {
    table.points()[table.pointCount++] = MakePoint(pointSpec);
    if (pointSpec.event) ++s.events;
  }
  s.lastPoint = table.pointCount - 1;
  s.points = s.lastPoint - s.firstPoint + 1;
  s.finish = s.start + s.points - 1;
  s.recorded = s.finish - s.start;
  ++table.segmentCount;
}

inline constexpr int32_t kApril10th2007 = 1176163200;  // 2007-04-10 00:00:00 UTC

}  // namespace orvald::testing
