// The day at a glance from a data folder: the IGC file of a competition
// number for a task, counts and order.
#include <gtest/gtest.h>

#include <map>

#include "support/temp_dir.h"
#include "tables/day_status.h"

namespace orvald {
namespace {

using testing::TempDir;

TEST(DayStatus, TheTaskIgcIsTheHighestVersionOfThatNumberAndTask) {
  const std::vector<std::string> names = {"12T3V1_Anna.igc",  "12T3V9_Anna.igc", "12T3VB.igc",  "112T3V1.igc",
                                          "12T31V4.igc",      "12T3VC.kml",      "12T3Vab.igc", "12T3V1_Anna.igc.part",
                                          "A_B12T3V1.igc",    "A_BT3VZ.igc"};
  IgcFileInfo found;
  ASSERT_TRUE(FindTaskIgc(names, "12", "3", found));
  EXPECT_EQ(found.fileName, "12T3VB.igc");
  EXPECT_EQ(found.version, 'B');
  ASSERT_TRUE(FindTaskIgc(names, "A B", "3", found));  // the writer's "_" for the space
  EXPECT_EQ(found.fileName, "A_BT3VZ.igc");
  EXPECT_FALSE(FindTaskIgc(names, "12", "4", found));
  EXPECT_FALSE(FindTaskIgc(names, "2", "3", found));
}

TEST(DayStatus, FolderListsTableLoggersByNumberThenStrangersWithCounts) {
  TempDir dir;
  dir.Write("loggers.tsv", "QA712\t12\tAnna\r\nQB100\t007\tBo\r\nQC5\t101\tCy\r\n\t\t\r\nQD9\t9\tDi\r\n");
  dir.Write("QA712-20260314-090000.G00", "");
  dir.Write("QA712-20260314-101500-incomplete.G00", "");
  dir.Write("QB100-20260314-080000.G00", "");
  dir.Write("XX1-20260314-080000.G00", "");
  dir.Write("-20260314-080000.G00", "");
  dir.Write("12T3V1_Anna.igc", "AXXXXXX\r\nB1\r\nE2\r\nB3\r\n");
  dir.Write("12T3V2_Anna.igc", "B1\nB2\nB3\n");
  dir.Write("9T3V1_Di.igc", "B2359500\r\nB0000100\r\nE0001000\r\nB0001310\r\nB0001400\r\n");  // 81 s silent

  IgcPointCounter counter;
  DayStatus status = ReadDayStatus(dir.path(), "3", counter);
  EXPECT_TRUE(status.problem.empty()) << status.problem;
  EXPECT_EQ(status.loggers, 4);
  EXPECT_EQ(status.downloaded, 2);
  EXPECT_EQ(status.saved, 1);
  EXPECT_EQ(status.toCheck, 1);
  EXPECT_EQ(status.notInTable, 2);
  EXPECT_EQ(DaySummaryText(status),
            "1 of 4 saved for task 3, 1 to check, 2 missing, 2 downloaded loggers not in loggers.tsv");
  ASSERT_EQ(status.rows.size(), 6u);
  std::vector<std::string> order;
  for (const DayRow& row : status.rows) order.push_back(row.competNo + "/" + row.serial);
  EXPECT_EQ(order, (std::vector<std::string>{"007/QB100", "9/QD9", "12/QA712", "101/QC5", "/", "/XX1"}));

  // A later cut download beside a complete one leaves the complete one shown.
  const auto anna = DayRowCells(status, status.rows[2]);
  EXPECT_EQ(anna[2], "saved");
  EXPECT_EQ(anna[3], "12T3V2_Anna.igc");
  EXPECT_EQ(anna[4], "complete (2 files)");
  EXPECT_EQ(anna[6], "2026/03/14 09:00:00");
  EXPECT_EQ(anna[8], "3");
  // Row, then its verdict, note and download cells.
  const std::map<size_t, std::vector<std::string>> verdicts = {
      {0, {"not saved", "", "complete"}},
      {1, {"check", "gap of 81 s", "not downloaded"}},  // across midnight the clock starts again
      {3, {"not downloaded", "", "not downloaded"}},
      {5, {"not in table", "not in loggers.tsv", "complete"}}};
  for (const auto& [index, expected] : verdicts) {
    const auto cells = DayRowCells(status, status.rows[index]);
    EXPECT_EQ((std::vector<std::string>{cells[2], cells[9], cells[4]}), expected) << index;
  }
  EXPECT_EQ(DayRowCells(status, status.rows[3])[3], "not saved");
  EXPECT_EQ(DayRowCells(status, status.rows[4])[5], "(no serial)");

  // A file rewritten in place is counted again.
  dir.Write("12T3V2_Anna.igc", "B1\nB2\n");
  status = ReadDayStatus(dir.path(), "3", counter);
  EXPECT_EQ(status.rows[2].igc.points, 2);

  EXPECT_EQ(DaySummaryText(ReadDayStatus(dir.path(), "", counter)),
            "2 of 4 downloaded, 2 downloaded loggers not in loggers.tsv");
  std::remove((dir / "loggers.tsv").c_str());
  EXPECT_FALSE(ReadDayStatus(dir.path(), "3", counter).problem.empty());
}

TEST(DayStatus, AnIgcNameOnAFifoOrADeviceIsUnreadableNeverWaitedFor) {
  for (const bool fifo : {true, false}) {
    TempDir dir;
    dir.Write("loggers.tsv", "QA712\t12\tAnna\r\n");
    const std::string igc = dir / "12T3V1_Anna.igc";  // the task's IGC file
    ASSERT_EQ(fifo ? mkfifo(igc.c_str(), 0600) : symlink("/dev/zero", igc.c_str()), 0);
    IgcPointCounter counter;
    const DayStatus status = ReadDayStatus(dir.path(), "3", counter);
    EXPECT_EQ(DayRowCells(status, status.rows.at(0))[8], "unreadable") << (fifo ? "FIFO" : "/dev/zero");
  }
}

}  // namespace
}  // namespace orvald
