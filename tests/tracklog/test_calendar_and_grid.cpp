// Integer calendar arithmetic and the texts of the segments grid.

#include <gtest/gtest.h>

#include <ctime>

#include "tracklog/calendar.h"
#include "tracklog/grid_text.h"

namespace orvald {
namespace {

TEST(Calendar, AgreesWithTheCLibraryOverManyYears) {
  // Every 7th hour from 1901 to 2100 against gmtime_r, both directions.
  for (int64_t t = -2145916800LL; t < 4102444800LL; t += 7 * 3600 + 13) {
    const time_t tt = static_cast<time_t>(t);
    std::tm g{};
    ASSERT_NE(gmtime_r(&tt, &g), nullptr);
    const CivilDateTime c = CivilFromSeconds(t);
    ASSERT_EQ(c.year, g.tm_year + 1900) << t;
    ASSERT_EQ(c.month, g.tm_mon + 1) << t;
    ASSERT_EQ(c.day, g.tm_mday) << t;
    ASSERT_EQ(c.hour, g.tm_hour) << t;
    ASSERT_EQ(c.minute, g.tm_min) << t;
    ASSERT_EQ(c.second, g.tm_sec) << t;
    ASSERT_EQ(SecondsFromCivil(c), t);
  }
}

TEST(Calendar, LeapYearsAndMonthLengths) {
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_FALSE(IsLeapYear(2100));
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_FALSE(IsLeapYear(2023));
  EXPECT_EQ(DaysInMonth(2024, 2), 29);
  EXPECT_EQ(DaysInMonth(2100, 2), 28);
  EXPECT_EQ(DaysInMonth(2023, 4), 30);
  EXPECT_EQ(DaysInMonth(2023, 12), 31);
  EXPECT_EQ(DaysInMonth(2023, 13), 0);
}

TEST(Calendar, JulianDayNumberMatchesDaysSince1970) {
  for (int year = 2000; year <= 2040; ++year)
    for (int month = 1; month <= 12; ++month)
      EXPECT_EQ(JulianDayNumber(year, month, 15) - 2440588, DaysFromCivil(year, month, 15));
}

TEST(GridText, DateTimeHasTwoSpacesBetweenDateAndTime) {
  EXPECT_EQ(FormatDateTime(1176211812), "2007/04/10  13:30:12");
  EXPECT_EQ(FormatDateTime(0), "1970/01/01  00:00:00");
}

TEST(GridText, DurationHoursAreNotLimitedAndNegativeWraps) {
  EXPECT_EQ(FormatDuration(754), " 0:12:34");
  EXPECT_EQ(FormatDuration(0), " 0:00:00");
  EXPECT_EQ(FormatDuration(100 * 3600 + 61), "100:01:01");
  EXPECT_EQ(FormatDuration(-1), "1193046:28:15");  // 4294967295 s
}

TEST(GridText, RowCellsLeaveZeroBlindAndEventsEmpty) {
  TrackSegment s{};
  s.start = 1176211812;
  s.finish = 1176211812 + 754;
  s.blind = 0;
  s.recorded = 754;
  s.points = 755;
  s.events = 0;
  auto cells = SegmentRowCells(0, s);
  EXPECT_EQ(cells[0], "1");
  EXPECT_EQ(cells[1], "2007/04/10  13:30:12");
  EXPECT_EQ(cells[2], "2007/04/10  13:42:46");
  EXPECT_EQ(cells[3], "");
  EXPECT_EQ(cells[4], " 0:12:34");
  EXPECT_EQ(cells[5], "755");
  EXPECT_EQ(cells[6], "");

  s.blind = 3600;
  s.events = 2;
  cells = SegmentRowCells(11, s);
  EXPECT_EQ(cells[0], "12");
  EXPECT_EQ(cells[3], " 1:00:00");
  EXPECT_EQ(cells[6], "2");
}

TEST(GridText, Headings) {
  EXPECT_STREQ(kGridHeadings[0], "Sgm");
  EXPECT_STREQ(kGridHeadings[1], "Start");
  EXPECT_STREQ(kGridHeadings[2], "Finish");
  EXPECT_STREQ(kGridHeadings[3], "Blind");
  EXPECT_STREQ(kGridHeadings[4], "Recorded");
  EXPECT_STREQ(kGridHeadings[5], "Points");
  EXPECT_STREQ(kGridHeadings[6], "Events");
}

}  // namespace
}  // namespace orvald
