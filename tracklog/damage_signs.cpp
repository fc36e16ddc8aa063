#include "tracklog/damage_signs.h"

#include <algorithm>
#include <string>

namespace orvald {

namespace {

bool Printable(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

}  // namespace

DamageSigns SurveyDamage(const TrackTable& table) {
  DamageSigns signs;
  signs.garbledIdentity = !Printable(table.serialText) || !Printable(table.typeText);
  const TrackSegment* segments = table.segments();
  signs.backwardSegments = static_cast<int>(std::count_if(
      segments, segments + table.segmentCount, [](const TrackSegment& s) { return s.finish < s.start; }));
  const TrackPoint* points = table.points();
  signs.implausibleAltitudes =
      static_cast<int>(std::count_if(points, points + table.pointCount, [](const TrackPoint& p) {
        const int64_t metres = AltitudeMetres(p.altitudeFeet);
        return metres < kLowestPlausibleMetres || metres > kHighestPlausibleMetres;
      }));
  return signs;
}

}  // namespace orvald
