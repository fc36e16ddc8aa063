// Choosing segments by a task's date and time window, and refilling the task
// chooser.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "export/igc_writer.h"
#include "export/task_window.h"
#include "igc_test_table.h"
#include "support/temp_dir.h"

namespace orvald {
namespace {

constexpr int64_t kApril10 = 1176163200;  // 2007/04/10 00:00:00 UTC

constexpr int64_t At(int hour, int minute, int second = 0) {
  return kApril10 + hour * 3600 + minute * 60 + second;
}

TrackSegment Segment(int64_t start, int64_t finish, int points, int events) {
  TrackSegment s{};
  s.start = static_cast<int32_t>(start);
  s.finish = static_cast<int32_t>(finish);
  s.points = points;
  s.events = events;
  return s;
}

// Six segments of one flying day with gaps between them.
const std::vector<TrackSegment> kDay = {
    Segment(At(8, 0), At(9, 0), 100, 1),     // 0
    Segment(At(9, 30), At(10, 0), 50, 0),    // 1
    Segment(At(10, 10), At(11, 0), 300, 2),  // 2
    Segment(At(11, 5), At(12, 0), 400, 3),   // 3
    Segment(At(12, 10), At(13, 0), 500, 4),  // 4
    Segment(At(14, 0), At(15, 0), 60, 0),    // 5
};

TaskWindowMatch Match(const char* from, const char* to, const char* date = "2007/04/10") {
  return MatchTaskWindow(kDay.data(), static_cast<int>(kDay.size()), date, from, to);
}

void ExpectSelected(const TaskWindowMatch& m, int first, int last) {
  EXPECT_TRUE(m.selected());
  EXPECT_EQ(m.firstSegment, first);
  EXPECT_EQ(m.lastSegment, last);
  int64_t points = 0, events = 0;
  for (int i = first; i <= last; ++i) {
    points += kDay[i].points;
    events += kDay[i].events;
  }
  EXPECT_EQ(m.pointsTotal, points);
  EXPECT_EQ(m.eventsTotal, events);
}

void ExpectNothing(const TaskWindowMatch& m) {
  EXPECT_FALSE(m.selected());
  EXPECT_EQ(m.firstSegment, -1);
  EXPECT_EQ(m.lastSegment, -1);
  EXPECT_EQ(m.pointsTotal, 0);
  EXPECT_EQ(m.eventsTotal, 0);
}

TEST(TaskWindowTime, ReadsTheDateAndTimeAsUtc) {
  EXPECT_EQ(TaskWindowTime("2007/04/10", "10:30:00"), At(10, 30));
  EXPECT_EQ(TaskWindowTime("2007/04/10", "23:59:59"), At(23, 59, 59));
  EXPECT_EQ(TaskWindowTime("1970/01/01", "00:00:00"), 0);
  EXPECT_EQ(TaskWindowTime("2000/02/29", "12:00:00"), 951825600);
}

TEST(TaskWindowTime, ReadsFixedPlacesWhateverTheSeparators) {
  EXPECT_EQ(TaskWindowTime("2007-04-10", "10.30.00"), At(10, 30));
  EXPECT_EQ(TaskWindowTime("2007/04/10xyz", "10:30:00 UTC"), At(10, 30));
}

TEST(TaskWindowTime, OutOfRangeFieldsCarryOverLikeACalendar) {
  EXPECT_EQ(TaskWindowTime("2007/13/01", "00:00:00"), 1199145600);  // 2008/01/01
  EXPECT_EQ(TaskWindowTime("2007/04/00", "00:00:00"), 1175299200);  // 2007/03/31
  EXPECT_EQ(TaskWindowTime("2007/04/10", "24:00:00"), At(24, 0));
  EXPECT_EQ(TaskWindowTime("2007/04/10", "10:75:00"), At(11, 15));
}

TEST(TaskWindowTime, SpacesAndPlacesPastTheEndReadAsZero) {
  EXPECT_EQ(TaskWindowTime("2007/04/10", " 9:30:00"), At(9, 30));
  EXPECT_EQ(TaskWindowTime("2007/04/10", "10:30"), At(10, 30));
  EXPECT_EQ(TaskWindowTime("2007/04/10", ""), At(0, 0));
  EXPECT_EQ(TaskWindowTime("2007/04/10", "  :  :  "), At(0, 0));
  // Other characters count as their code minus that of '0', unchecked: 'A' is 17.
  EXPECT_EQ(TaskWindowTime("2007/04/10", "0A:00:00"), At(17, 0));
}

TEST(TaskWindowMatching, AWindowInsideOneSegmentSelectsIt) {
  ExpectSelected(Match("10:20:00", "10:50:00"), 2, 2);
  ExpectSelected(Match("08:00:01", "08:59:59"), 0, 0);
}

TEST(TaskWindowMatching, AWindowOverPartsOfSeveralSegmentsSelectsThemWhole) {
  TaskWindowMatch m = Match("10:30:00", "12:30:00");
  ExpectSelected(m, 2, 4);
  EXPECT_EQ(m.pointsTotal, 1200);
  EXPECT_EQ(m.eventsTotal, 9);
  EXPECT_EQ(m.windowStart, At(10, 30));
  EXPECT_EQ(m.windowEnd, At(12, 30));
}

TEST(TaskWindowMatching, WindowsThatBeginOrEndInGapsSelectTheSegmentsBetween) {
  ExpectSelected(Match("09:10:00", "10:05:00"), 1, 1);
  ExpectSelected(Match("07:00:00", "08:30:00"), 0, 0);
  ExpectSelected(Match("13:30:00", "18:00:00"), 5, 5);
  ExpectSelected(Match("00:00:00", "23:59:59"), 0, 5);
}

TEST(TaskWindowMatching, AWindowInAGapBeforeOrAfterTheSegmentsSelectsNothing) {
  ExpectNothing(Match("13:10:00", "13:50:00"));
  ExpectNothing(Match("06:00:00", "07:00:00"));
  ExpectNothing(Match("16:00:00", "17:00:00"));
  ExpectNothing(Match("10:30:00", "12:30:00", "2007/04/11"));
}

TEST(TaskWindowMatching, AnEndBeforeTheStartSelectsAtMostOneSegment) {
  // The entry after the start is segment 2's finish; the one before the end
  // is segment 1's start, which gives way to the first.
  ExpectSelected(Match("10:20:00", "09:40:00"), 2, 2);
  // The end precedes every other entry.
  ExpectNothing(Match("10:20:00", "05:00:00"));
  // The start follows every other entry.
  ExpectNothing(Match("16:00:00", "08:30:00"));
  // Told apart, so that a save by task can refuse such a window.
  EXPECT_TRUE(TaskWindowEndsBeforeStart("2007/04/10", "10:20:01", "10:20:00"));
  EXPECT_FALSE(TaskWindowEndsBeforeStart("2007/04/10", "10:20:00", "10:20:00"));
}

// The totals shown beside the chooser are what Save then writes: one B record
// per point and one E record per event mark of the selected segments.
TEST(TaskWindowMatching, TotalsEqualTheRecordsTheSavedFileHolds) {
  TrackTable table;
  // Segments at 08:00 to 13:00 of 3 to 8 one-second points, every second
  // point marked.
  for (int hour = 8; hour <= 13; ++hour) {
    std::vector<testing::PointSpec> pointSpecs;
    for (int second = 0; second < hour - 5; ++second)
      pointSpecs.push_back({.hour = hour, .minute = 0, .second = second, .event = uint8_t(second % 2)});
    TrackSegment& s = table.segments()[table.segmentCount];
    s = TrackSegment{};
    s.start = static_cast<int32_t>(At(hour, 0));
    s.firstPoint = table.pointCount;
    for (const auto& pointSpec : pointSpecs) {
      table.points()[table.pointCount++] = testing::MakePoint(pointSpec);
      s.events += pointSpec.event;
    }
    s.lastPoint = table.pointCount - 1;
    s.points = s.lastPoint - s.firstPoint + 1;
    s.finish = s.start + s.points - 1;
    table.segmentCount++;
  }

  TaskWindowMatch m = MatchTaskWindow(table, "2007/04/10", "10:00:02", "12:00:01");
  ASSERT_TRUE(m.selected());
  EXPECT_EQ(m.firstSegment, 2);
  EXPECT_EQ(m.lastSegment, 4);
  EXPECT_EQ(m.pointsTotal, 5 + 6 + 7);
  EXPECT_EQ(m.eventsTotal, 2 + 3 + 3);

  testing::TempDir dir;
  IgcSaveRequest request;
  request.firstSegment = m.firstSegment;
  request.lastSegment = m.lastSegment;
  request.competNo = "007";
  request.taskText = "03";
  request.directory = dir.path();
  IgcSaveResult saved = WriteIgcFile(table, request);
  ASSERT_TRUE(saved.saved()) << saved.error;

  std::ifstream in(dir / saved.fileName, std::ios::binary);
  int64_t bRecords = 0, eRecords = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind('B', 0) == 0) ++bRecords;
    if (line.rfind('E', 0) == 0) ++eRecords;
  }
  EXPECT_EQ(bRecords, m.pointsTotal);
  EXPECT_EQ(eRecords, m.eventsTotal);
}

TEST(TaskWindowMatching, TasksMissingFromTheTableSelectNothing) {
  // "--" and unknown task numbers give empty date and time texts.
  ExpectNothing(Match("", "", ""));
  ExpectNothing(MatchTaskWindow(nullptr, 0, "2007/04/10", "10:00:00", "11:00:00"));
}

TEST(TaskWindowMatching, WorksOnTheDecodedTable) {
  TrackTable table;
  for (size_t i = 0; i < kDay.size(); ++i) table.segments()[i] = kDay[i];
  table.segmentCount = static_cast<int>(kDay.size());
  ExpectSelected(MatchTaskWindow(table, "2007/04/10", "10:30:00", "12:30:00"), 2, 4);
  table.segmentCount = 2;
  ExpectNothing(MatchTaskWindow(table, "2007/04/10", "10:30:00", "12:30:00"));
}

TEST(TaskWindowTies, EqualTimesKeepListOrder) {
  std::vector<TrackSegment> same = {Segment(100, 100, 1, 0), Segment(100, 100, 1, 0)};
  std::vector<WindowEvent> events = SortedWindowEvents(100, 100, same.data(), 2);
  ASSERT_EQ(events.size(), 6u);
  const uint8_t kinds[] = {kWindowStartEvent, kWindowEndEvent, kSegmentStartEvent,
                           kSegmentFinishEvent, kSegmentStartEvent, kSegmentFinishEvent};
  const int32_t segments[] = {-1, -1, 0, 0, 1, 1};
  for (size_t i = 0; i < events.size(); ++i) {
    EXPECT_EQ(events[i].kind, kinds[i]) << i;
    EXPECT_EQ(events[i].segment, segments[i]) << i;
  }
}

TEST(TaskWindowTies, ASegmentEndingAtTheWindowStartIsInAndOneStartingAtTheEndIsOut) {
  // Segment 0 finishes at 09:00 exactly; segment 1 starts at 09:30 exactly.
  ExpectSelected(Match("09:00:00", "09:20:00"), 0, 0);
  ExpectNothing(Match("09:10:00", "09:30:00"));
  ExpectSelected(Match("09:00:00", "09:30:00"), 0, 0);
  // A window of no length at a segment's start lies in no segment yet.
  ExpectNothing(Match("09:30:00", "09:30:00"));
}

TEST(TaskWindowTies, TheSameInputAlwaysGivesTheSameSelection) {
  // Many segments share one instant, so an unstable sort would be free to
  // reorder them.
  std::vector<TrackSegment> crowd;
  for (int i = 0; i < 64; ++i) crowd.push_back(Segment(At(10, 0), At(10, 0), i + 1, 0));
  TaskWindowMatch first = MatchTaskWindow(crowd.data(), 64, "2007/04/10", "10:00:00", "10:00:00");
  EXPECT_FALSE(first.selected());
  first = MatchTaskWindow(crowd.data(), 64, "2007/04/10", "09:00:00", "10:00:00");
  // Window start, then the window end (listed before the segments), then the
  // segments: nothing lies inside the window.
  EXPECT_FALSE(first.selected());
  first = MatchTaskWindow(crowd.data(), 64, "2007/04/10", "10:00:00", "11:00:00");
  ASSERT_TRUE(first.selected());
  EXPECT_EQ(first.firstSegment, 0);
  EXPECT_EQ(first.lastSegment, 63);
  EXPECT_EQ(first.pointsTotal, 64 * 65 / 2);
}

TEST(FillTaskList, ListsTheColumnAfterItsHeadingAndKeepsAListedText) {
  TaskListFill fill = FillTaskList("03", {"Task #", "01", "03", "", "03"});
  EXPECT_EQ(fill.entries, (std::vector<std::string>{"01", "03", "", "03"}));
  EXPECT_EQ(fill.text, "03");
  EXPECT_EQ(FillTaskList("", {"Task #", "01", ""}).text, "");
}

TEST(FillTaskList, ShowsTwoDashesWhenTheTextIsNotListedExactly) {
  EXPECT_EQ(FillTaskList("3", {"Task #", "03"}).text, "--");
  EXPECT_EQ(FillTaskList("Task #", {"Task #", "01"}).text, "--");
  TaskListFill none = FillTaskList("01", {"Task #"});
  EXPECT_TRUE(none.entries.empty());
  EXPECT_EQ(none.text, "--");
  EXPECT_TRUE(FillTaskList("01", {}).entries.empty());
}

}  // namespace
}  // namespace orvald
