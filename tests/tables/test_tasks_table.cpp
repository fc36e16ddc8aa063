// The task windows table: its file, its queries, its key rules and change
// tracking, and the task number column the chooser is filled from.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "tables/tasks_table.h"

namespace orvald {
namespace {

struct LoadedTasks {
  testing::TempDir dir;
  TasksTable table;
  TableFileResult loaded;

  explicit LoadedTasks(const std::string& bytes) : table((dir / "tasks.tsv")) {
    dir.Write("tasks.tsv", bytes);
    loaded = table.Load();
  }
  std::string SaveAndRead() {
    TableFileResult saved = table.Save();
    EXPECT_TRUE(saved.ok()) << saved.reason;
    return testing::ReadWholeFile(dir / "tasks.tsv");
  }
  // Fills the last row's four cells.
  void SetLastRow(const std::string& number, const std::string& date, const std::string& start,
                  const std::string& finish) {
    int row = table.grid().lastRow();
    table.grid().SetCell(0, row, number);
    table.grid().SetCell(1, row, date);
    table.grid().SetCell(2, row, start);
    table.grid().SetCell(3, row, finish);
  }
};

TEST(TasksFile, HeadingsAreTheFourColumnNames) {
  TasksTable table;
  EXPECT_EQ(table.filePath(), "tasks.tsv");
  EXPECT_EQ(table.grid().Column(0)[0], "Task #");
  EXPECT_EQ(table.grid().Cell(1, 0), "Date (yyyy/mm/dd)");
  EXPECT_EQ(table.grid().Cell(2, 0), "Start (UTC hh:mm:ss)");
  EXPECT_EQ(table.grid().Cell(3, 0), "Finish (UTC hh:mm:ss)");
}

TEST(TasksFile, ATaskLineLoadsAnswersTheQueriesAndSavesTheSameBytes) {
  const std::string bytes = "03\t2007/04/10\t10:30:00\t16:00:00\r\n";
  LoadedTasks t(bytes);
  ASSERT_TRUE(t.loaded.ok());
  ASSERT_EQ(t.table.grid().rowCount(), 2);
  EXPECT_EQ(t.table.TaskDate("03"), "2007/04/10");
  EXPECT_EQ(t.table.TaskStart("03"), "10:30:00");
  EXPECT_EQ(t.table.TaskFinish("03"), "16:00:00");
  EXPECT_EQ(t.SaveAndRead(), bytes);
}

TEST(TasksFile, EmptyFieldsLongLinesLfAndAMissingLastLineEnd) {
  const std::string longNumber(150, '7');
  LoadedTasks t("01\t\t09:00:00\t12:00:00\n" + longNumber + "\t2007/04/11\t\t\n04\t2007/04/12\t08:00:00");
  ASSERT_EQ(t.table.grid().rowCount(), 4);
  EXPECT_EQ(t.table.TaskDate("01"), "");
  EXPECT_EQ(t.table.TaskStart("01"), "09:00:00");
  EXPECT_EQ(t.table.TaskDate(longNumber), "2007/04/11");
  EXPECT_EQ(t.table.TaskFinish("04"), "");
  EXPECT_EQ(t.table.TaskStart("04"), "08:00:00");
  EXPECT_EQ(t.SaveAndRead(), "01\t\t09:00:00\t12:00:00\r\n" + longNumber +
                                 "\t2007/04/11\t\t\r\n04\t2007/04/12\t08:00:00\t\r\n");
}

TEST(TasksFile, FieldsPastTheFourthAreIgnored) {
  LoadedTasks t("05\t2007/04/13\t10:00:00\t11:00:00\tremark\r\n");
  EXPECT_EQ(t.table.TaskFinish("05"), "11:00:00");
  EXPECT_EQ(t.SaveAndRead(), "05\t2007/04/13\t10:00:00\t11:00:00\r\n");
}

TEST(TasksFile, AMissingFileReportsAndStillGivesATaskNumberColumn) {
  testing::TempDir dir;
  TasksTable table((dir / "tasks.tsv"));
  TableFileResult result = table.Load();
  EXPECT_EQ(result.status, TableFileStatus::kCannotRead);
  EXPECT_EQ(result.message, "Can't read Tasks file");
  EXPECT_EQ(table.grid().rowCount(), 2);
  EXPECT_EQ(table.TaskNumberColumn(), (std::vector<std::string>{"Task #", ""}));
}

TEST(TasksFile, AFailedSaveReportsAndKeepsTheOldFileAndTheEdits) {
  LoadedTasks t("03\t2007/04/10\t10:30:00\t16:00:00\r\n");
  t.table.grid().SetCell(2, 1, "11:00:00");
  t.table.SetFilePath((t.dir / "gone/tasks.tsv"));
  TableFileResult saved = t.table.Save();
  EXPECT_EQ(saved.status, TableFileStatus::kCannotWrite);
  EXPECT_EQ(saved.message, "Can't write tasks file");
  EXPECT_EQ(t.table.TaskStart("03"), "11:00:00");
  EXPECT_EQ(testing::ReadWholeFile(t.dir / "tasks.tsv"), "03\t2007/04/10\t10:30:00\t16:00:00\r\n");
}

TEST(TaskQueries, TaskNumbersCompareExactly) {
  LoadedTasks t("03\t2007/04/10\t10:30:00\t16:00:00\r\n");
  EXPECT_EQ(t.table.TaskDate("3"), "");
  EXPECT_EQ(t.table.TaskStart("03 "), "");
  EXPECT_EQ(t.table.TaskFinish(""), "");
}

TEST(TaskQueries, TheUpperOfTwoEqualTaskNumbersWins) {
  LoadedTasks t(
      "03\t2007/04/10\t10:30:00\t16:00:00\r\n"
      "03\t2007/05/01\t07:00:00\t08:00:00\r\n");
  EXPECT_EQ(t.table.TaskDate("03"), "2007/04/10");
  EXPECT_EQ(t.table.TaskStart("03"), "10:30:00");
  EXPECT_EQ(t.table.TaskFinish("03"), "16:00:00");
}

TEST(TaskQueries, SeeEditsThatAreNotSaved) {
  LoadedTasks t("03\t2007/04/10\t10:30:00\t16:00:00\r\n");
  t.table.grid().SetCell(0, 1, "04");
  EXPECT_EQ(t.table.TaskDate("03"), "");
  EXPECT_EQ(t.table.TaskDate("04"), "2007/04/10");
}

TEST(TaskNumberColumn, HoldsTheHeadingThenEveryRowsNumberInTableOrder) {
  LoadedTasks t("02\t\t\t\r\n01\t\t\t\r\n");
  t.table.KeyDown(GridKey::kDown, 2);
  EXPECT_EQ(t.table.TaskNumberColumn(), (std::vector<std::string>{"Task #", "02", "01", ""}));
}

TEST(TasksKeys, UpRemovesALastRowThatMasksLeftUnfilled) {
  LoadedTasks t("03\t2007/04/10\t10:30:00\t16:00:00\r\n");
  ASSERT_EQ(t.table.KeyDown(GridKey::kDown, 1), GridKeyEffect::kRowAdded);
  t.SetLastRow("  ", "    /  /  ", "  :  :  ", "  :  :  ");
  EXPECT_EQ(t.table.KeyDown(GridKey::kUp, 2), GridKeyEffect::kRowRemoved);
  EXPECT_EQ(t.table.grid().rowCount(), 2);

  t.table.KeyDown(GridKey::kDown, 1);
  t.SetLastRow("", "", "  :  :  ", "");
  EXPECT_EQ(t.table.KeyDown(GridKey::kUp, 2), GridKeyEffect::kRowRemoved);
}

TEST(TasksKeys, UpKeepsALastRowWithAnyOtherText) {
  struct Row {
    const char* number;
    const char* date;
    const char* start;
    const char* finish;
  };
  const Row kept[] = {
      {"", " ", "", ""},                       // a single space is not an unfilled date mask
      {"", "    /  /  ", " ", ""},             // nor an unfilled time mask
      {"", "", "", "  :  :   "},               // one space too many
      {"", "   1/  /  ", "", ""},              // a digit typed
      {"05", "", "", ""},
  };
  for (const Row& row : kept) {
    LoadedTasks t("03\t2007/04/10\t10:30:00\t16:00:00\r\n");
    t.table.KeyDown(GridKey::kDown, 1);
    t.SetLastRow(row.number, row.date, row.start, row.finish);
    EXPECT_EQ(t.table.KeyDown(GridKey::kUp, 2), GridKeyEffect::kNone) << "'" << row.date << "' '" << row.start << "'";
    EXPECT_EQ(t.table.grid().rowCount(), 3);
  }
}

TEST(TasksKeys, TheOnlyDataRowStaysAndOtherRowsDoNotReact) {
  LoadedTasks single("\t\t\t\r\n");
  EXPECT_EQ(single.table.KeyDown(GridKey::kUp, 1), GridKeyEffect::kNone);
  EXPECT_EQ(single.table.grid().rowCount(), 2);

  LoadedTasks two("01\t\t\t\r\n\t\t\t\r\n");
  EXPECT_EQ(two.table.KeyDown(GridKey::kUp, 1), GridKeyEffect::kNone);
  EXPECT_EQ(two.table.KeyDown(GridKey::kDown, 1), GridKeyEffect::kNone);
  EXPECT_EQ(two.table.KeyDown(GridKey::kOther, 2), GridKeyEffect::kNone);
  EXPECT_EQ(two.table.grid().rowCount(), 3);
}

TEST(TasksEditTracking, AnEditIsASecondDifferentReportForTheSameCell) {
  TasksTable table;
  table.SetEditText(1, 1, "    /  /  ");
  EXPECT_FALSE(table.modified());
  table.SetEditText(2, 1, "  :  :  ");
  EXPECT_FALSE(table.modified());
  table.SetEditText(2, 1, "1 :  :  ");
  EXPECT_TRUE(table.modified());
  table.StartEditing();
  EXPECT_FALSE(table.modified());
}

TEST(TasksEditMask, MasksOfTheFourColumns) {
  EXPECT_EQ(TasksTable().EditMask(0), "00");
  EXPECT_EQ(TasksTable().EditMask(1), "0000/00/00");
  EXPECT_EQ(TasksTable().EditMask(2), "90:00:00");
  EXPECT_EQ(TasksTable().EditMask(3), "90:00:00");
  EXPECT_EQ(TasksTable().EditMask(4), "");
}

}  // namespace
}  // namespace orvald
