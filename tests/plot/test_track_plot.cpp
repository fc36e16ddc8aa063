// The picture's geometry: an equal-aspect ground track, decimation that never
// changes what a screen shows, the fix under the pointer, and axis steps.
#include <gtest/gtest.h>

#include <cmath>

#include "export/igc_test_table.h"
#include "plot/track_plot.h"
#include "tracklog/decoder.h"

namespace orvald {
namespace {

using testing::AddSegment;
using testing::kApril10th2007;

// A full memory: 116448 fixes a second apart circling slowly over 2 km, in 4 segments.
void FillCircling(TrackTable& table) {
  for (int s = 0; s < 4; ++s) {
    TrackSegment& segment = table.segments()[s];
    segment = TrackSegment{};
    segment.firstPoint = s * (kMaxPoints / 4);
    segment.lastPoint = (s + 1) * (kMaxPoints / 4) - 1;
    for (int i = segment.firstPoint; i <= segment.lastPoint; ++i) {
      const int t = 10 * 3600 + i + s * 600;  // ten minutes' gap between segments
      TrackPoint p = testing::MakePoint({t / 3600 % 24, t / 60 % 60, t % 60});
      p.latitudeE5 = static_cast<int32_t>(std::lround((47 + 0.01 * std::sin(i / 600.0)) * 1e5));
      p.longitudeE5 = static_cast<int32_t>(std::lround((8 + 0.014 * std::cos(i / 600.0)) * 1e5));
      p.altitudeFeet = static_cast<int16_t>(3000 + (i % 997));
      p.event = i % 20000 == 0;
      table.points()[i] = p;
    }
  }
  table.pointCount = kMaxPoints;
  table.segmentCount = 4;
}

TEST(TrackPlot, GroundIsEqualAspectAndAltitudeIsInTheFilesMetres) {
  TrackTable table;
  AddSegment(table, kApril10th2007, {{10, 0, 0, 4700000, 800000, 1000, 1}, {10, 0, 1, 4701000, 800000, 2000}});
  AddSegment(table, kApril10th2007 + 60, {{10, 1, 0, 4700000, 801466, -50}});
  const TrackPlotData data = BuildTrackPlotData(table, -3600);
  // 0.01 degree north and 0.01466 east at 47 degrees are both about 1112 m.
  EXPECT_NEAR(data.north[1] - data.north[0], 1112, 2);
  EXPECT_NEAR(data.east[2] - data.east[0], 1112, 2);
  EXPECT_EQ(data.altitude[0], 304);
  EXPECT_EQ(data.altitude[2], -15);
  EXPECT_EQ(data.utc[0], kApril10th2007 + 9 * 3600);  // local 10:00 an hour east of UTC
  EXPECT_EQ(data.events, (std::vector<int32_t>{0}));
  EXPECT_EQ(data.SegmentOf(2), 1);

  const PictureLayout layout = LayOutPicture(data, 800, 600, 16, 40);
  const PlotPoint a = layout.GroundPixel(data, 0), north = layout.GroundPixel(data, 1),
                  east = layout.GroundPixel(data, 2);
  EXPECT_NEAR(a.y - north.y, east.x - a.x, 1.0);  // a kilometre is as long both ways
  EXPECT_LT(north.y, a.y);                       // north is up
  for (PlotPoint p : {a, north, east}) EXPECT_TRUE(layout.ground.Contains(p.x, p.y));
  EXPECT_GT(layout.AltitudePixel(data, 0).y, layout.AltitudePixel(data, 1).y);
  EXPECT_TRUE(BuildTrackPlotData(TrackTable(), 0).empty());
}

TEST(TrackPlot, DecimationKeepsWhatTheScreenShowsOfAFullMemory) {
  static TrackTable table;
  FillCircling(table);
  const TrackPlotData data = BuildTrackPlotData(table, 0);
  const PictureLayout layout = LayOutPicture(data, 800, 500, 16, 40);
  std::vector<PlotPoint> path;
  const TrackSegment& s = data.segments[1];
  GroundPath(data, layout, s.firstPoint, s.lastPoint, path);
  EXPECT_LT(path.size(), static_cast<size_t>(s.lastPoint - s.firstPoint) / 2);  // under half a pixel a fix
  EXPECT_EQ(path.front().x, layout.GroundPixel(data, s.firstPoint).x);
  EXPECT_EQ(path.back().y, layout.GroundPixel(data, s.lastPoint).y);
  for (int i = s.firstPoint; i <= s.lastPoint; i += 97) {  // every fix lies within a pixel of a kept one
    const PlotPoint p = layout.GroundPixel(data, i);
    float nearest = 1e9f;
    for (PlotPoint q : path) nearest = std::min(nearest, std::hypot(p.x - q.x, p.y - q.y));
    ASSERT_LT(nearest, 1.0) << i;
  }

  AltitudePath(data, layout, s.firstPoint, s.lastPoint, path);
  EXPECT_LE(path.size(), 4 * static_cast<size_t>(layout.altitude.width / 4 + 2));
  // Each pixel column keeps the extremes of its fixes.
  float lowest = 1e9f, highest = -1e9f, keptLowest = 1e9f, keptHighest = -1e9f;
  for (int i = s.firstPoint; i <= s.lastPoint; ++i) {
    lowest = std::min(lowest, layout.AltitudePixel(data, i).y);
    highest = std::max(highest, layout.AltitudePixel(data, i).y);
  }
  for (PlotPoint q : path) {
    keptLowest = std::min(keptLowest, q.y);
    keptHighest = std::max(keptHighest, q.y);
  }
  EXPECT_EQ(keptLowest, lowest);
  EXPECT_EQ(keptHighest, highest);
}

TEST(TrackPlot, NearestFixUnderThePointerAndAxisSteps) {
  TrackTable table;
  AddSegment(table, kApril10th2007 + 36000,
             {{10, 0, 0, 4700000, 800000, 1000}, {10, 0, 30, 4701000, 800000, 2000}, {10, 1, 0, 4702000, 800000}});
  const TrackPlotData data = BuildTrackPlotData(table, 0);
  const PictureLayout layout = LayOutPicture(data, 800, 600, 16, 40);
  const PlotPoint second = layout.GroundPixel(data, 1);
  EXPECT_EQ(NearestFix(data, layout, second.x + 3, second.y - 2, 10), 1);
  EXPECT_EQ(NearestFix(data, layout, second.x + 40, second.y, 10), -1);  // too far from the track
  EXPECT_EQ(NearestFix(data, layout, layout.TimeX(kApril10th2007 + 36050), layout.altitude.top + 5, 10), 2);
  EXPECT_EQ(NearestFix(data, layout, 1, 599, 10), -1);  // neither panel

  EXPECT_EQ(ScaleBarMetres(0.1, 300), 2000);  // 3 km fit, 2 km is the longest round length
  EXPECT_EQ(ScaleBarMetres(0.01, 120), 10000);
  EXPECT_EQ(DistanceText(2000), "2 km");
  EXPECT_EQ(DistanceText(500), "500 m");
  EXPECT_EQ(TimeStep(7200, 700, 70), 900);  // 8 labels of a quarter of an hour
  EXPECT_EQ(TimeStep(60, 600, 60), 10);
  EXPECT_EQ(ValueStep(1000, 200, 40), 200);
  EXPECT_EQ(UtcClockText(kApril10th2007 + 3723, true), "01:02:03");
  EXPECT_EQ(FixText(table, -7200, 0), "08:00:00 UTC   304 m   47.00000 N  8.00000 E");
  EXPECT_EQ(PictureCaption(table, 0, 0), "Logger (no serial), 1 segment; selected 1, 10:00:00 to 10:00:02 UTC, 3 points");
  TrackTable single;
  AddSegment(single, kApril10th2007 + 36000, {{10, 0, 0}});
  EXPECT_EQ(PictureCaption(single, 0, 0), "Logger (no serial), 1 segment; selected 1, 10:00:00 to 10:00:00 UTC, 1 point");
}

}  // namespace
}  // namespace orvald
