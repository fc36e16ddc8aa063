// Cutting the retained points into segments at time gaps, and the two time
// scales a point is read on.

#include <gtest/gtest.h>

#include <vector>

#include "tracklog/calendar.h"
#include "tracklog/decoder.h"

namespace orvald {
namespace {

TrackPoint PointAt(int year, int month, int day, int hour, int minute, int second, uint8_t event = 0) {
  TrackPoint p{};
  p.latitudeE5 = 4700000;
  p.longitudeE5 = 800000;
  p.year = static_cast<int16_t>(year);
  p.month = static_cast<uint8_t>(month);
  p.day = static_cast<uint8_t>(day);
  p.hour = static_cast<uint8_t>(hour);
  p.minute = static_cast<uint8_t>(minute);
  p.second = static_cast<uint8_t>(second);
  p.event = event;
  return p;
}

// Points on 1 August 2021 at the given seconds after 10:00:00 local.
void FillAt(TrackTable& table, const std::vector<int>& secondsAfterTen, const std::vector<uint8_t>& events = {}) {
  table.pointCount = static_cast<int>(secondsAfterTen.size());
  for (size_t i = 0; i < secondsAfterTen.size(); ++i) {
    const int s = 36000 + secondsAfterTen[i];
    table.points()[i] = PointAt(2021, 8, 1, s / 3600, s / 60 % 60, s % 60, i < events.size() ? events[i] : 0);
  }
}

constexpr int32_t kTenOClock = 1627812000;  // 2021-08-01 10:00:00 UTC

struct Cut {
  int first, last;
};

std::vector<Cut> Cuts(const TrackTable& table) {
  std::vector<Cut> cuts;
  for (int i = 0; i < table.segmentCount; ++i) cuts.push_back({table.segments()[i].firstPoint, table.segments()[i].lastPoint});
  return cuts;
}

bool operator==(const Cut& a, const Cut& b) { return a.first == b.first && a.last == b.last; }
std::ostream& operator<<(std::ostream& out, const Cut& c) { return out << c.first << "-" << c.last; }

TEST(BuildSegments, GapCutsAndTheLastPointsCloseAFinalSegment) {
  TrackTable table;
  FillAt(table, {0, 1, 2, 10, 11, 12});
  const BuildResult result = BuildSegments(table, 0);
  EXPECT_EQ(result.segmentCount, 2);
  EXPECT_FALSE(result.limitReached);
  ASSERT_EQ(Cuts(table), (std::vector<Cut>{{0, 2}, {3, 5}}));

  const TrackSegment& first = table.segments()[0];
  EXPECT_EQ(first.start, kTenOClock);
  EXPECT_EQ(first.finish, kTenOClock + 2);
  EXPECT_EQ(first.recorded, 2);
  EXPECT_EQ(first.blind, 0);
  EXPECT_EQ(first.points, 3);
  const TrackSegment& second = table.segments()[1];
  EXPECT_EQ(second.start, kTenOClock + 10);
  EXPECT_EQ(second.finish, kTenOClock + 12);
  EXPECT_EQ(second.blind, 8);
  EXPECT_EQ(second.recorded, 2);
  EXPECT_EQ(second.points, 3);
  EXPECT_EQ(table.segments()[2].points, 0);  // zero beyond the last
}

TEST(BuildSegments, FewPoints) {
  TrackTable table;
  FillAt(table, {0, 1});
  EXPECT_EQ(BuildSegments(table, 0).segmentCount, 1);
  EXPECT_EQ(Cuts(table), (std::vector<Cut>{{0, 1}}));

  FillAt(table, {0});
  EXPECT_EQ(BuildSegments(table, 0).segmentCount, 1);
  EXPECT_EQ(Cuts(table), (std::vector<Cut>{{0, 0}}));
  EXPECT_EQ(table.segments()[0].recorded, 0);

  FillAt(table, {});
  EXPECT_EQ(BuildSegments(table, 0).segmentCount, 0);
  EXPECT_EQ(table.segmentCount, 0);
  EXPECT_EQ(table.segments()[0].points, 0);
}

TEST(BuildSegments, OnlyAForwardStepOfMoreThanFiveSecondsCuts) {
  TrackTable table;
  FillAt(table, {0, 5, 10, 16, 3, 4, 30});
  // 10 -> 16 cuts; 16 -> 3 goes back and does not; 4 -> 30 cuts.
  BuildSegments(table, 0);
  EXPECT_EQ(Cuts(table), (std::vector<Cut>{{0, 2}, {3, 5}, {6, 6}}));
  // A segment whose clock went back shows a negative recorded time.
  EXPECT_EQ(table.segments()[1].recorded, 4 - 16);
}

TEST(BuildSegments, LastPointEarlierThanTheOneBeforeStaysInTheFinalSegment) {
  TrackTable table;
  FillAt(table, {0, 1, 2, 20, 21, 19});
  BuildSegments(table, 0);
  EXPECT_EQ(Cuts(table), (std::vector<Cut>{{0, 2}, {3, 5}}));
  EXPECT_EQ(table.segments()[1].finish, kTenOClock + 19);
}

TEST(BuildSegments, CountsEventsPerSegment) {
  TrackTable table;
  FillAt(table, {0, 1, 2, 10, 11}, {0, 3, 1, 0, 15});
  BuildSegments(table, 0);
  EXPECT_EQ(table.segments()[0].events, 2);
  EXPECT_EQ(table.segments()[1].events, 1);
}

TEST(BuildSegments, TimesAreUtcWhateverTheLocalShift) {
  // Local fields 10:00 with the zone one hour east of UTC are 09:00 UTC.
  TrackTable table;
  FillAt(table, {0, 1});
  BuildSegments(table, -3600);
  EXPECT_EQ(table.segments()[0].start, kTenOClock - 3600);
  EXPECT_EQ(table.segments()[0].finish, kTenOClock - 3599);
}

TEST(BuildSegments, NoCutAcrossMidnightOrTheYearEnd) {
  TrackTable table;
  table.pointCount = 4;
  table.points()[0] = PointAt(2021, 12, 31, 23, 59, 58);
  table.points()[1] = PointAt(2022, 1, 1, 0, 0, 1);
  table.points()[2] = PointAt(2022, 1, 1, 0, 0, 3);
  table.points()[3] = PointAt(2022, 1, 1, 0, 0, 9);
  BuildSegments(table, 0);
  EXPECT_EQ(Cuts(table), (std::vector<Cut>{{0, 2}, {3, 3}}));
  EXPECT_EQ(table.segments()[0].recorded, 5);
}

TEST(BuildSegments, SinkReceivesEverySegmentInOrder) {
  TrackTable table;
  FillAt(table, {0, 10, 20, 21, 40});
  std::vector<int> indices;
  std::vector<int32_t> firstPoints;
  BuildSegments(table, 0, [&](int index, const TrackSegment& s) {
    indices.push_back(index);
    firstPoints.push_back(s.firstPoint);
  });
  EXPECT_EQ(indices, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(firstPoints, (std::vector<int32_t>{0, 1, 2, 4}));
}

TEST(BuildSegments, RebuildingClearsOlderSegments) {
  TrackTable table;
  FillAt(table, {0, 10, 20, 30});
  BuildSegments(table, 0);
  ASSERT_EQ(table.segmentCount, 4);
  FillAt(table, {0, 1, 2, 3});
  BuildSegments(table, 0);
  EXPECT_EQ(table.segmentCount, 1);
  EXPECT_EQ(table.segments()[1].firstPoint, 0);
  EXPECT_EQ(table.segments()[3].start, 0);
}

// Every point ten seconds after the one before: one segment per point.
void FillGapped(TrackTable& table, int count) {
  table.pointCount = count;
  for (int i = 0; i < count; ++i) {
    const int64_t local = 1627812000LL + 10LL * i;
    const CivilDateTime t = CivilFromSeconds(local);
    table.points()[i] = PointAt(t.year, t.month, t.day, t.hour, t.minute, t.second);
  }
}

TEST(BuildSegments, StopsAtTheSegmentLimitWithPointsLeftOver) {
  TrackTable table;
  FillGapped(table, kMaxSegments + 5);
  int handed = 0;
  const BuildResult result = BuildSegments(table, 0, [&](int, const TrackSegment&) { ++handed; });
  EXPECT_TRUE(result.limitReached);
  EXPECT_EQ(result.segmentCount, kMaxSegments);
  EXPECT_EQ(handed, kMaxSegments);
  EXPECT_EQ(table.segmentCount, kMaxSegments);
  EXPECT_EQ(table.segments()[kMaxSegments - 1].lastPoint, kMaxSegments - 1);
}

TEST(BuildSegments, FinalSegmentMayBeTheTwentyThousandth) {
  TrackTable table;
  FillGapped(table, kMaxSegments);
  const BuildResult result = BuildSegments(table, 0);
  EXPECT_FALSE(result.limitReached);
  EXPECT_EQ(result.segmentCount, kMaxSegments);
  EXPECT_EQ(table.segments()[kMaxSegments - 1].firstPoint, kMaxSegments - 1);
}

// --- Time scales ---------------------------------------------------------------

TEST(PointTimes, SecondsScaleIsContinuousOverCalendarEnds) {
  EXPECT_EQ(JulianDayNumber(2000, 1, 1), 2451545);
  EXPECT_EQ(JulianDayNumber(1970, 1, 1), 2440588);
  EXPECT_EQ(PointSeconds(PointAt(2024, 3, 1, 0, 0, 0)) - PointSeconds(PointAt(2024, 2, 28, 23, 59, 59)), 86401);
  EXPECT_EQ(PointSeconds(PointAt(2023, 3, 1, 0, 0, 0)) - PointSeconds(PointAt(2023, 2, 28, 23, 59, 59)), 1);
  EXPECT_EQ(PointSeconds(PointAt(2022, 1, 1, 0, 0, 0)) - PointSeconds(PointAt(2021, 12, 31, 23, 59, 59)), 1);
}

TEST(PointTimes, UtcTimeAddsTheOffsetBack) {
  EXPECT_EQ(PointUtcTime(PointAt(2007, 4, 10, 13, 30, 12), 0), 1176211812);
  EXPECT_EQ(PointUtcTime(PointAt(2007, 4, 10, 13, 30, 12), -7200), 1176211812 - 7200);
  EXPECT_EQ(PointUtcTime(PointAt(2026, 1, 1, 1, 30, 0), -7200), PointUtcTime(PointAt(2025, 12, 31, 23, 30, 0), 0));
}

}  // namespace
}  // namespace orvald
