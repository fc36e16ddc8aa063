// The desk's choice of a run: the manual highlight, the task window, the two
// pages and the two Saves, and the reasons a save is refused.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "desk/selection.h"

namespace orvald {
namespace {

constexpr int64_t kDayStart = 1753056000;  // 2025/07/21 00:00:00 UTC

// Four segments at 10:00, 10:20, 10:40 and 11:00, ten minutes each; points
// 10, 20, 30, 40 and events 1, 2, 3, 4.
class DeskSelectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 4; ++i) {
      TrackSegment& s = table.segments()[i];
      s.start = static_cast<int32_t>(kDayStart + 10 * 3600 + i * 1200);
      s.finish = s.start + 600;
      s.points = 10 * (i + 1);
      s.events = i + 1;
    }
    table.segmentCount = 4;
    table.serialText = "PK-1";
  }
  TrackTable table;
  DeskSelection selection{table};
};

TEST_F(DeskSelectionTest, TheHighlightedRowsMakeTheManualRun) {
  struct Case {
    std::vector<int> highlighted;
    int shown;  // data rows of the grid
    int first, last;
    int64_t points, events;
  };
  const Case cases[] = {
      {{2, 0, 1}, 4, 0, 2, 60, 6},  // any order: the span
      {{3}, 4, 3, 3, 40, 4},
      {{1, 3, 2}, 3, 1, 2, 50, 5},  // rows past the grid's are not shown rows
      {{1, 2, 3}, 6, 1, 3, 90, 9},
      {{}, 4, -1, -1, 0, 0},
      {{3}, 3, -1, -1, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(selection.ChooseHighlighted(c.highlighted, c.shown));
    EXPECT_EQ(selection.firstSegment(), c.first) << c.highlighted.size();
    EXPECT_EQ(selection.lastSegment(), c.last);
    EXPECT_EQ(selection.manSaveEnabled(), c.first >= 0);
    EXPECT_EQ(selection.runTotals().points, c.points);
    EXPECT_EQ(selection.runTotals().events, c.events);
    EXPECT_FALSE(selection.saveEnabled());
  }
  // Rows the grid shows beyond the decoded segments never start a run, and
  // add nothing to a run that starts inside the log.
  table.segmentCount = 2;
  selection.ChooseHighlighted({2, 3}, 4);
  EXPECT_EQ(selection.firstSegment(), -1);
  selection.ChooseHighlighted({1, 2, 3}, 4);
  EXPECT_EQ(selection.lastSegment(), 3);
  EXPECT_EQ(selection.runTotals().points, 20);
}

TEST_F(DeskSelectionTest, EachPageStartsWithoutARunAndTurnsTheOtherSaveOff) {
  selection.ChooseHighlighted({1, 2}, 4);
  selection.ShowTaskPage();
  EXPECT_FALSE(selection.manualMode());
  EXPECT_EQ(selection.firstSegment(), -1);
  EXPECT_FALSE(selection.manSaveEnabled());
  // On the task page the highlight chooses nothing.
  EXPECT_FALSE(selection.ChooseHighlighted({0}, 4));
  EXPECT_EQ(selection.firstSegment(), -1);

  selection.ChooseTaskWindow({"2025/07/21", "10:25:00", "10:45:00"}, 4);
  EXPECT_EQ(selection.firstSegment(), 1);
  EXPECT_EQ(selection.lastSegment(), 2);
  EXPECT_TRUE(selection.saveEnabled());
  selection.ShowManualPage();
  EXPECT_TRUE(selection.manualMode());
  EXPECT_EQ(selection.lastSegment(), -1);
  EXPECT_FALSE(selection.saveEnabled());

  selection.ChooseHighlighted({0}, 4);
  selection.Forget();
  EXPECT_EQ(selection.firstSegment(), -1);
  EXPECT_FALSE(selection.manSaveEnabled());
  EXPECT_TRUE(selection.manualMode());
}

TEST_F(DeskSelectionTest, TheTaskWindowPicksAmongTheShownSegments) {
  selection.ShowTaskPage();
  struct Case {
    TaskWindowTexts task;
    int shown;
    int first, last;
  };
  const Case cases[] = {
      {{"2025/07/21", "10:05:00", "11:05:00"}, 4, 0, 3},
      {{"2025/07/21", "10:05:00", "11:05:00"}, 2, 0, 1},
      {{"2025/07/21", "12:00:00", "13:00:00"}, 4, -1, -1},  // after the log
      {{}, 4, -1, -1},                                      // a task the table does not know
  };
  for (const Case& c : cases) {
    const TaskWindowMatch match = selection.ChooseTaskWindow(c.task, c.shown);
    EXPECT_EQ(selection.firstSegment(), c.first) << c.task.timeFrom << " " << c.shown;
    EXPECT_EQ(selection.lastSegment(), c.last);
    EXPECT_EQ(selection.saveEnabled(), c.first >= 0);
    EXPECT_EQ(match.pointsTotal, selection.runTotals().points);
  }
}

TEST_F(DeskSelectionTest, SaveSaysWhyItCannotWrite) {
  struct Case {
    bool manual;
    bool run;
    std::string competNo, task, refusalStart;
  };
  const Case cases[] = {
      {true, false, "12", "3", "Nothing to save: choose the segments"},
      {false, false, "12", "3", "Nothing to save: choose a task"},
      {true, true, "  ", "3", "The logger of this log (serial PK-1)"},
      {true, true, "12", " ", "Type the task number"},
      {false, true, "12", "", "Choose a task before"},
      {true, true, "12", "3", ""},
  };
  for (const Case& c : cases) {
    if (c.manual) {
      selection.ShowManualPage();
      if (c.run) selection.ChooseHighlighted({1, 2}, 4);
    } else {
      selection.ShowTaskPage();
      if (c.run) selection.ChooseTaskWindow({"2025/07/21", "10:25:00", "10:45:00"}, 4);
    }
    const IgcSaveRequest request = selection.SaveRequest(c.competNo, "Pilot", c.task);
    EXPECT_EQ(request.firstSegment, c.run ? 1 : -1);
    EXPECT_EQ(request.loggerSN, "PK-1");
    const std::string refusal = selection.SaveRefusal(request);
    EXPECT_EQ(refusal.substr(0, c.refusalStart.size()), c.refusalStart) << refusal;
    EXPECT_EQ(refusal.empty(), c.refusalStart.empty());
  }
}

}  // namespace
}  // namespace orvald
