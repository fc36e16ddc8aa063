#include "plot/track_plot.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <limits>

#include "tracklog/calendar.h"
#include "tracklog/decoder.h"

namespace orvald {
namespace {

std::string PointsText(int points) { return std::to_string(points) + (points == 1 ? " point" : " points"); }

constexpr double kEarthRadius = 6371000.0;
constexpr double kRadians = 3.14159265358979323846 / 180.0;

// Longitude difference folded into -180..180, so a log near the date line
// does not stretch round the earth.
double LongitudeDifference(double longitude, double centre) {
  double d = std::fmod(longitude - centre, 360.0);
  if (d < -180.0) d += 360.0;
  if (d >= 180.0) d -= 360.0;
  return d;
}

// Room round a range so that nothing sits on a panel's edge; an empty range
// gets `least` either way.
void Widen(double& from, double& to, double fraction, double least) {
  const double pad = std::max((to - from) * fraction, to - from < least ? least : 0.0);
  from -= pad;
  to += pad;
}

// A coordinate of the table (hundred-thousandths of a degree) with its five
// decimals, "-8.12345".
std::string DegreesText(int32_t e5) {
  const uint64_t magnitude = e5 < 0 ? 0 - static_cast<uint64_t>(static_cast<int64_t>(e5)) : static_cast<uint64_t>(e5);
  char text[24];
  std::snprintf(text, sizeof text, "%s%" PRIu64 ".%05" PRIu64, e5 < 0 ? "-" : "", magnitude / 100000,
                magnitude % 100000);
  return text;
}

}  // namespace

int TrackPlotData::SegmentOf(int point) const {
  const auto after = std::upper_bound(segments.begin(), segments.end(), point,
                                      [](int p, const TrackSegment& s) { return p < s.firstPoint; });
  if (after == segments.begin()) return -1;
  const int index = static_cast<int>(after - segments.begin()) - 1;
  return point <= segments[index].lastPoint ? index : -1;
}

TrackPlotData BuildTrackPlotData(const TrackTable& table, long _timezone) {
  TrackPlotData data;
  const int segmentCount = std::clamp(table.segmentCount, 0, kMaxSegments);
  for (int s = 0; s < segmentCount; ++s) {
    const TrackSegment& segment = table.segments()[s];
    if (segment.firstPoint < 0 || segment.lastPoint < segment.firstPoint || segment.lastPoint >= table.pointCount) {
      break;  // never from the decoder; a table that does not hold together is drawn up to here
    }
    data.segments.push_back(segment);
  }
  if (data.segments.empty()) return data;
  const int count = data.segments.back().lastPoint + 1;
  const TrackPoint* points = table.points();

  double minLat = 90, maxLat = -90, minLon = 180, maxLon = -180;
  for (const TrackSegment& s : data.segments) {
    for (int i = s.firstPoint; i <= s.lastPoint; ++i) {
      minLat = std::min(minLat, LatitudeDegrees(points[i]));
      maxLat = std::max(maxLat, LatitudeDegrees(points[i]));
      minLon = std::min(minLon, LongitudeDegrees(points[i]));
      maxLon = std::max(maxLon, LongitudeDegrees(points[i]));
    }
  }
  data.centreLatitude = (minLat + maxLat) / 2;
  data.centreLongitude = (minLon + maxLon) / 2;
  const double metresPerDegreeNorth = kEarthRadius * kRadians;
  const double metresPerDegreeEast = metresPerDegreeNorth * std::cos(data.centreLatitude * kRadians);

  data.east.assign(count, 0.0f);
  data.north.assign(count, 0.0f);
  data.altitude.assign(count, 0.0f);
  data.utc.assign(count, 0);
  data.minEast = data.minNorth = data.minAltitude = std::numeric_limits<float>::max();
  data.maxEast = data.maxNorth = data.maxAltitude = std::numeric_limits<float>::lowest();
  data.firstUtc = std::numeric_limits<int64_t>::max();
  data.lastUtc = std::numeric_limits<int64_t>::min();
  for (const TrackSegment& s : data.segments) {
    for (int i = s.firstPoint; i <= s.lastPoint; ++i) {
      const TrackPoint& p = points[i];
      data.east[i] =
          static_cast<float>(LongitudeDifference(LongitudeDegrees(p), data.centreLongitude) * metresPerDegreeEast);
      data.north[i] = static_cast<float>((LatitudeDegrees(p) - data.centreLatitude) * metresPerDegreeNorth);
      data.altitude[i] = static_cast<float>(AltitudeMetres(p.altitudeFeet));
      data.utc[i] = PointUtcTime(p, _timezone);
      data.minEast = std::min(data.minEast, data.east[i]);
      data.maxEast = std::max(data.maxEast, data.east[i]);
      data.minNorth = std::min(data.minNorth, data.north[i]);
      data.maxNorth = std::max(data.maxNorth, data.north[i]);
      data.minAltitude = std::min(data.minAltitude, data.altitude[i]);
      data.maxAltitude = std::max(data.maxAltitude, data.altitude[i]);
      data.firstUtc = std::min(data.firstUtc, data.utc[i]);
      data.lastUtc = std::max(data.lastUtc, data.utc[i]);
      if (p.event != 0) data.events.push_back(i);
    }
  }
  return data;
}

PlotPoint PictureLayout::GroundPixel(const TrackPlotData& data, int point) const {
  return {static_cast<float>(groundX0 + data.east[point] * pixelsPerMetre),
          static_cast<float>(groundY0 - data.north[point] * pixelsPerMetre)};
}

double PictureLayout::TimeX(int64_t utc) const {
  return altitude.left + static_cast<double>(utc - timeFrom) * altitude.width / static_cast<double>(timeTo - timeFrom);
}

double PictureLayout::AltitudeY(double metres) const {
  return altitude.bottom() - (metres - altitudeFrom) * altitude.height / (altitudeTo - altitudeFrom);
}

PlotPoint PictureLayout::AltitudePixel(const TrackPlotData& data, int point) const {
  return {static_cast<float>(TimeX(data.utc[point])), static_cast<float>(AltitudeY(data.altitude[point]))};
}

PictureLayout LayOutPicture(const TrackPlotData& data, double width, double height, double textHeight,
                            double labelWidth) {
  PictureLayout layout;
  const double margin = std::max(4.0, textHeight / 2);
  const double usable = std::max(1.0, height - 2 * margin);
  const double groundHeight = std::max(1.0, std::floor(usable * 0.6) - margin);
  layout.frame = {margin, margin, std::max(1.0, width - 2 * margin), groundHeight};
  // A line of text above the track (the caption) and below it (the scale bar).
  const double inset = textHeight * 1.5;
  layout.ground = {layout.frame.left + margin, layout.frame.top + inset,
                   std::max(1.0, layout.frame.width - 2 * margin), std::max(1.0, groundHeight - 2 * inset)};
  const double altitudeTop = layout.frame.bottom() + margin + textHeight;  // the axis caption above
  const double left = margin + labelWidth + margin;
  layout.altitude = {left, altitudeTop, std::max(1.0, width - left - 2 * margin),
                     std::max(1.0, height - margin - textHeight * 1.4 - altitudeTop)};

  double e0 = data.minEast, e1 = data.maxEast, n0 = data.minNorth, n1 = data.maxNorth;
  if (data.empty()) e0 = e1 = n0 = n1 = 0;
  Widen(e0, e1, 0.02, 500.0);
  Widen(n0, n1, 0.02, 500.0);
  layout.pixelsPerMetre = std::min(layout.ground.width / (e1 - e0), layout.ground.height / (n1 - n0));
  // Centred both ways: the equal scale leaves room along one of them.
  layout.groundX0 = layout.ground.left + layout.ground.width / 2 - (e0 + e1) / 2 * layout.pixelsPerMetre;
  layout.groundY0 = layout.ground.top + layout.ground.height / 2 + (n0 + n1) / 2 * layout.pixelsPerMetre;

  double a0 = data.minAltitude, a1 = data.maxAltitude;
  if (data.empty()) a0 = a1 = 0;
  Widen(a0, a1, 0.05, 50.0);
  layout.altitudeFrom = a0;
  layout.altitudeTo = a1;
  layout.timeFrom = data.empty() ? 0 : data.firstUtc;
  layout.timeTo = data.empty() ? 3600 : std::max(data.lastUtc, layout.timeFrom + 60);
  return layout;
}

void GroundPath(const TrackPlotData& data, const PictureLayout& layout, int firstPoint, int lastPoint,
                std::vector<PlotPoint>& out) {
  out.clear();
  for (int i = firstPoint; i <= lastPoint; ++i) {
    const PlotPoint p = layout.GroundPixel(data, i);
    if (out.empty() || i == lastPoint || std::fabs(p.x - out.back().x) >= 0.5f || std::fabs(p.y - out.back().y) >= 0.5f) {
      out.push_back(p);
    }
  }
}

void AltitudePath(const TrackPlotData& data, const PictureLayout& layout, int firstPoint, int lastPoint,
                  std::vector<PlotPoint>& out) {
  out.clear();
  int first = -1, last = -1, low = -1, high = -1;
  double column = std::numeric_limits<double>::quiet_NaN();
  auto flush = [&] {
    if (first < 0) return;
    int picks[4] = {first, low, high, last};
    std::sort(picks, picks + 4);
    for (int k = 0; k < 4; ++k) {
      if (k == 0 || picks[k] != picks[k - 1]) out.push_back(layout.AltitudePixel(data, picks[k]));
    }
  };
  for (int i = firstPoint; i <= lastPoint; ++i) {
    const PlotPoint p = layout.AltitudePixel(data, i);
    const double c = std::floor(p.x);
    if (c != column) {
      flush();
      column = c;
      first = last = low = high = i;
      continue;
    }
    last = i;
    // Pixel y grows downwards: the lowest altitude has the largest y.
    if (data.altitude[i] < data.altitude[low]) low = i;
    if (data.altitude[i] > data.altitude[high]) high = i;
  }
  flush();
}

int NearestFix(const TrackPlotData& data, const PictureLayout& layout, double x, double y, double reach) {
  int best = -1;
  if (layout.frame.Contains(x, y)) {
    double bestDistance = reach * reach;
    for (const TrackSegment& s : data.segments) {
      for (int i = s.firstPoint; i <= s.lastPoint; ++i) {
        const PlotPoint p = layout.GroundPixel(data, i);
        const double d = (p.x - x) * (p.x - x) + (p.y - y) * (p.y - y);
        if (d <= bestDistance) {
          bestDistance = d;
          best = i;
        }
      }
    }
    return best;
  }
  const PlotRect& a = layout.altitude;
  if (x < a.left || x > a.right() || y < a.top - reach || y > a.bottom() + reach) return -1;
  // The nearest in time (to the pixel column), then in height.
  double bestColumns = std::numeric_limits<double>::max();
  double bestRise = std::numeric_limits<double>::max();
  for (const TrackSegment& s : data.segments) {
    for (int i = s.firstPoint; i <= s.lastPoint; ++i) {
      const PlotPoint p = layout.AltitudePixel(data, i);
      const double columns = std::floor(std::fabs(p.x - x));
      const double rise = std::fabs(p.y - y);
      if (columns < bestColumns || (columns == bestColumns && rise < bestRise)) {
        bestColumns = columns;
        bestRise = rise;
        best = i;
      }
    }
  }
  return best;
}

double ScaleBarMetres(double pixelsPerMetre, double maxPixels) {
  if (!(pixelsPerMetre > 0) || !(maxPixels > 0)) return 0;
  const double most = maxPixels / pixelsPerMetre;
  const double decade = std::pow(10.0, std::floor(std::log10(most)));
  for (double m : {5.0, 2.0, 1.0}) {
    if (m * decade <= most) return m * decade;
  }
  return decade;
}

std::string DistanceText(double metres) {
  char text[32];
  if (metres >= 1000) {
    std::snprintf(text, sizeof text, "%g km", metres / 1000);
  } else {
    std::snprintf(text, sizeof text, "%g m", metres);
  }
  return text;
}

int64_t TimeStep(int64_t span, double pixels, double minPixels) {
  static constexpr int64_t kSteps[] = {1,    2,    5,    10,   15,    30,    60,    120,   300,
                                       600,  900,  1800, 3600, 7200,  10800, 21600, 43200, 86400};
  for (int64_t step : kSteps) {
    if (span <= 0 || static_cast<double>(step) / static_cast<double>(span) * pixels >= minPixels) return step;
  }
  const int64_t days = span / 86400 + 1;
  return 86400 * std::max<int64_t>(1, static_cast<int64_t>(std::ceil(days * minPixels / std::max(1.0, pixels))));
}

double ValueStep(double span, double pixels, double minPixels) {
  if (!(span > 0) || !(pixels > 0)) return 1;
  const double least = span * minPixels / pixels;
  const double decade = std::pow(10.0, std::floor(std::log10(least)));
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    if (m * decade >= least) return m * decade;
  }
  return 10 * decade;
}

std::string UtcClockText(int64_t utc, bool withSeconds) {
  const CivilDateTime t = CivilFromSeconds(utc);
  char text[16];
  if (withSeconds) {
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  } else {
    std::snprintf(text, sizeof text, "%02d:%02d", t.hour, t.minute);
  }
  return text;
}

std::string PictureCaption(const TrackTable& table, int firstSegment, int lastSegment) {
  if (table.segmentCount <= 0) return {};  // the picture says that nothing is decoded
  std::string text = "Logger " + (table.serialText.empty() ? std::string("(no serial)") : table.serialText);
  if (!table.typeText.empty()) text += " (" + table.typeText + ")";
  const int segments = std::clamp(table.segmentCount, 0, kMaxSegments);
  text += ", " + std::to_string(segments) + (segments == 1 ? " segment" : " segments");
  if (firstSegment < 0 || lastSegment < firstSegment || lastSegment >= segments) return text;
  const TrackSegment& first = table.segments()[firstSegment];
  const TrackSegment& last = table.segments()[lastSegment];
  text += firstSegment == lastSegment ? "; selected " + std::to_string(firstSegment + 1)
                                      : "; selected " + std::to_string(firstSegment + 1) + " to " +
                                            std::to_string(lastSegment + 1);
  text += ", " + UtcClockText(first.start, true) + " to " + UtcClockText(last.finish, true) + " UTC, " +
          PointsText(last.lastPoint - first.firstPoint + 1);
  return text;
}

std::string FixText(const TrackTable& table, long _timezone, int point) {
  if (point < 0 || point >= table.pointCount) return {};
  const TrackPoint& p = table.points()[point];
  const auto hemisphere = [](int32_t e5, const char* positive, const char* negative) {
    return DegreesText(e5 < 0 ? -e5 : e5) + (e5 < 0 ? negative : positive);
  };
  return UtcClockText(PointUtcTime(p, _timezone), true) + " UTC   " +
         std::to_string(AltitudeMetres(p.altitudeFeet)) + " m   " + hemisphere(p.latitudeE5, " N", " S") + "  " +
         hemisphere(p.longitudeE5, " E", " W");
}

}  // namespace orvald
