// The loggers table: its file, its queries, its key rules and change tracking.

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "support/temp_dir.h"
#include "tables/loggers_table.h"

namespace orvald {
namespace {

struct LoadedLoggers {
  testing::TempDir dir;
  LoggersTable table;
  TableFileResult loaded;

  explicit LoadedLoggers(const std::string& bytes) : table((dir / "loggers.tsv")) {
    dir.Write("loggers.tsv", bytes);
    loaded = table.Load();
  }
  std::string SaveAndRead() {
    TableFileResult saved = table.Save();
    EXPECT_TRUE(saved.ok()) << saved.reason;
    return testing::ReadWholeFile(dir / "loggers.tsv");
  }
  std::string Cell(int column, int row) const { return table.grid().Cell(column, row); }
};

TEST(LoggersFile, HeadingsAreTheThreeColumnNames) {
  LoggersTable table;
  EXPECT_EQ(table.filePath(), "loggers.tsv");
  EXPECT_EQ(table.grid().columnCount(), 3);
  EXPECT_EQ(table.grid().Column(0)[0], "Serial Number");
  EXPECT_EQ(table.grid().Cell(1, 0), "Comp #");
  EXPECT_EQ(table.grid().Cell(2, 0), "Comp Name(s)");
  EXPECT_EQ(table.grid().rowCount(), 2);
}

TEST(LoggersFile, LoadsEachFieldIntoItsColumnAndSavesTheSameBytes) {
  const std::string bytes =
      "QA712\t007\tCrew One\r\n"
      "QB100\t\tNo Number Yet\r\n"
      "\t012\tSerial Unknown\r\n"
      "QC9\t044\t\r\n";
  LoadedLoggers t(bytes);
  ASSERT_TRUE(t.loaded.ok());
  ASSERT_EQ(t.table.grid().rowCount(), 5);
  EXPECT_EQ(t.Cell(0, 1), "QA712");
  EXPECT_EQ(t.Cell(1, 1), "007");
  EXPECT_EQ(t.Cell(2, 1), "Crew One");
  EXPECT_EQ(t.Cell(0, 2), "QB100");
  EXPECT_EQ(t.Cell(1, 2), "");
  EXPECT_EQ(t.Cell(2, 2), "No Number Yet");
  EXPECT_EQ(t.Cell(0, 3), "");
  EXPECT_EQ(t.Cell(1, 3), "012");
  EXPECT_EQ(t.Cell(2, 4), "");
  EXPECT_EQ(t.SaveAndRead(), bytes);
}

TEST(LoggersFile, LongLinesStayOneRowAndSurviveASave) {
  for (size_t namesLength : {60u, 64u, 65u, 200u, 3000u}) {
    std::string line = "QA712\t007\t" + std::string(namesLength, 'N');
    LoadedLoggers t(line + "\r\nQB1\t002\tTwo\r\n");
    ASSERT_EQ(t.table.grid().rowCount(), 3) << line.size();
    EXPECT_EQ(t.Cell(2, 1).size(), namesLength);
    EXPECT_EQ(t.Cell(0, 2), "QB1");
    EXPECT_EQ(t.SaveAndRead(), line + "\r\nQB1\t002\tTwo\r\n");
  }
}

TEST(LoggersFile, LfLinesAndALastLineWithoutLineEndLoadAndAreWrittenWithCrLf) {
  LoadedLoggers t("QA712\t007\tCrew One\nQB1\t002\tTwo");
  ASSERT_TRUE(t.loaded.ok());
  ASSERT_EQ(t.table.grid().rowCount(), 3);
  EXPECT_EQ(t.Cell(2, 1), "Crew One");
  EXPECT_EQ(t.Cell(2, 2), "Two");
  EXPECT_EQ(t.SaveAndRead(), "QA712\t007\tCrew One\r\nQB1\t002\tTwo\r\n");
}

TEST(LoggersFile, FieldsPastTheThirdAreIgnored) {
  LoadedLoggers t("QA712\t007\tCrew One\tnote\textra\r\n");
  ASSERT_EQ(t.table.grid().rowCount(), 2);
  EXPECT_EQ(t.Cell(2, 1), "Crew One");
  EXPECT_EQ(t.SaveAndRead(), "QA712\t007\tCrew One\r\n");
}

TEST(LoggersFile, EmptyLinesAreBlankRowsAndAnEmptyFileKeepsTheRowsThere) {
  LoadedLoggers t("QA712\t007\tCrew One\r\n\r\n");
  EXPECT_EQ(t.table.grid().rowCount(), 3);
  EXPECT_TRUE(t.table.RowIsBlank(2));

  LoadedLoggers empty("");
  EXPECT_TRUE(empty.loaded.ok());
  EXPECT_EQ(empty.table.grid().rowCount(), 2);
  EXPECT_TRUE(empty.table.RowIsBlank(1));
}

TEST(LoggersFile, AMissingFileReportsAndLeavesOneDataRowWithItsCells) {
  testing::TempDir dir;
  LoggersTable table((dir / "loggers.tsv"));
  TableFileResult first = table.Load();
  EXPECT_EQ(first.status, TableFileStatus::kCannotRead);
  EXPECT_EQ(first.message, "Can't read Loggers file");
  EXPECT_NE(first.reason.find("loggers.tsv"), std::string::npos);
  EXPECT_EQ(table.grid().rowCount(), 2);
  EXPECT_TRUE(table.RowIsBlank(1));

  // A discard after the file vanished: the table shrinks to its first row.
  dir.Write("loggers.tsv", "QA712\t007\tCrew One\r\nQB1\t002\tTwo\r\n");
  ASSERT_TRUE(table.Load().ok());
  std::remove((dir / "loggers.tsv").c_str());
  EXPECT_EQ(table.Load().status, TableFileStatus::kCannotRead);
  EXPECT_EQ(table.grid().rowCount(), 2);
  EXPECT_EQ(table.grid().Cell(0, 1), "QA712");
}

TEST(LoggersFile, TheDefaultNameIsReadAndWrittenInTheWorkingDirectory) {
  testing::TempDir dir;
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  LoggersTable table;
  table.grid().SetCell(0, 1, "QA712");
  TableFileResult saved = table.Save();
  LoggersTable reread;
  TableFileResult loaded = reread.Load();
  ASSERT_EQ(chdir(previous), 0);
  EXPECT_TRUE(saved.ok());
  EXPECT_TRUE(loaded.ok());
  EXPECT_EQ(testing::ReadWholeFile(dir / "loggers.tsv"), "QA712\t\t\r\n");
  EXPECT_EQ(reread.grid().Cell(0, 1), "QA712");
}

TEST(LoggersFile, AFailedSaveReportsAndKeepsTheOldFileAndTheEdits) {
  LoadedLoggers t("QA712\t007\tCrew One\r\n");
  t.table.SetFilePath((t.dir / "no-such-folder/loggers.tsv"));
  t.table.grid().SetCell(1, 1, "008");
  TableFileResult saved = t.table.Save();
  EXPECT_EQ(saved.status, TableFileStatus::kCannotWrite);
  EXPECT_EQ(saved.message, "Can't write Loggers file");
  EXPECT_FALSE(saved.reason.empty());
  EXPECT_EQ(t.table.FindLogger("QA712").competNo, "008");
  EXPECT_EQ(testing::ReadWholeFile(t.dir / "loggers.tsv"), "QA712\t007\tCrew One\r\n");
}

TEST(FindLogger, TheLastRowWhoseSerialOccursInTheTextWins) {
  LoadedLoggers partFirst("712\t001\tPart\r\nQA712\t002\tWhole\r\n");
  LoggerTableMatch match = partFirst.table.FindLogger("QA712");
  ASSERT_TRUE(match.found);
  EXPECT_EQ(match.row, 2);
  EXPECT_EQ(match.competNo, "002");
  EXPECT_EQ(match.pilotNames, "Whole");

  LoadedLoggers wholeFirst("QA712\t002\tWhole\r\n712\t001\tPart\r\n");
  match = wholeFirst.table.FindLogger("QA712");
  ASSERT_TRUE(match.found);
  EXPECT_EQ(match.competNo, "001");
  EXPECT_EQ(match.pilotNames, "Part");
}

TEST(FindLogger, ASpreadsheetsByteOrderMarkAndBlanksAroundTheSerialDoNotHideTheLogger) {
  for (const std::string file : {"\xEF\xBB\xBFQA712\t007\tCrew\r\n", " QA712  \t007\tCrew\r\n"}) {
    LoadedLoggers t(file);
    EXPECT_EQ(t.table.FindLogger("QA712").competNo, "007") << file;
    EXPECT_EQ(t.SaveAndRead(), file) << "an unedited table is written back as it was";
  }
}

TEST(FindLogger, SaysWhichRowIsUsedAndWhichOthersNameTheLoggerToo) {
  LoadedLoggers t("712\t001\tPart\r\n\t\t\r\nQB1\t002\tOne\r\nQA712\t003\tWhole\r\nQA7\t004\tStart\r\n");
  const LoggerTableMatch match = t.table.FindLogger("QA712");
  EXPECT_EQ(SeveralRowsText("QA712", match), "Serial QA712 is in rows 1, 4 and 5 of the loggers table; row 5 is used");
  EXPECT_EQ(SeveralRowsText("QA712", t.table.FindLogger("QB1")), "") << "one row is no news";
}

TEST(FindLogger, IsCaseSensitiveAndReportsNoMatch) {
  LoadedLoggers t("qa712\t001\tLower\r\nQB\t002\tOther\r\n");
  EXPECT_FALSE(t.table.FindLogger("QA712").found);
  EXPECT_EQ(t.table.FindLogger("QA712").row, -1);
  EXPECT_TRUE(t.table.FindLogger("xqa7123").found);
}

TEST(FindLogger, RowsWithABlankSerialNeverMatch) {
  LoadedLoggers t("QA712\t007\tCrew One\r\n\t\t\r\n   \t099\tSpaces\r\n");
  LoggerTableMatch match = t.table.FindLogger("QA712");
  ASSERT_TRUE(match.found);
  EXPECT_EQ(match.row, 1);
  EXPECT_EQ(match.pilotNames, "Crew One");
  EXPECT_FALSE(t.table.FindLogger("ZZ999").found);
  EXPECT_FALSE(t.table.FindLogger("").found);
}

TEST(FindLogger, SeesEditsThatAreNotSaved) {
  LoadedLoggers t("QA712\t007\tCrew One\r\n");
  t.table.grid().SetCell(2, 1, "Crew Two");
  EXPECT_EQ(t.table.FindLogger("QA712").pilotNames, "Crew Two");
}

TEST(LoggersKeys, DownOnTheLastRowAddsARowThatIsSavedAsTwoTabs) {
  LoadedLoggers t("QA712\t007\tCrew One\r\n");
  EXPECT_EQ(t.table.KeyDown(GridKey::kDown, 1), GridKeyEffect::kRowAdded);
  EXPECT_EQ(t.table.grid().rowCount(), 3);
  EXPECT_EQ(t.SaveAndRead(), "QA712\t007\tCrew One\r\n\t\t\r\n");
}

TEST(LoggersKeys, KeysActOnlyWhenTheSelectionEndsOnTheLastRow) {
  LoadedLoggers t("QA712\t007\tCrew One\r\n\t\t\r\n");
  EXPECT_EQ(t.table.KeyDown(GridKey::kDown, 1), GridKeyEffect::kNone);
  EXPECT_EQ(t.table.KeyDown(GridKey::kUp, 1), GridKeyEffect::kNone);
  EXPECT_EQ(t.table.KeyDown(GridKey::kOther, 2), GridKeyEffect::kNone);
  EXPECT_EQ(t.table.grid().rowCount(), 3);
}

TEST(LoggersKeys, UpRemovesABlankLastRowButNeverTextOrTheOnlyRow) {
  LoadedLoggers t("QA712\t007\tCrew One\r\n");
  t.table.KeyDown(GridKey::kDown, 1);
  t.table.grid().SetCell(1, 2, "   ");  // an unfilled three-digit mask
  EXPECT_EQ(t.table.KeyDown(GridKey::kUp, 2), GridKeyEffect::kRowRemoved);
  EXPECT_EQ(t.table.grid().rowCount(), 2);

  t.table.KeyDown(GridKey::kDown, 1);
  t.table.grid().SetCell(2, 2, " x ");
  EXPECT_EQ(t.table.KeyDown(GridKey::kUp, 2), GridKeyEffect::kNone);
  EXPECT_EQ(t.table.grid().rowCount(), 3);

  LoadedLoggers single("\t\t\r\n");
  EXPECT_EQ(single.table.KeyDown(GridKey::kUp, 1), GridKeyEffect::kNone);
  EXPECT_EQ(single.table.grid().rowCount(), 2);
}

TEST(LoggersEditTracking, OnlyAChangeWithinOneCellCountsAsAnEdit) {
  LoggersTable table;
  table.SetEditText(0, 1, "QA712");  // the editor opens on a cell
  table.SetEditText(0, 1, "QA712");  // same text again
  EXPECT_FALSE(table.modified());
  table.SetEditText(2, 1, "Crew");  // moving to another cell only records it
  EXPECT_FALSE(table.modified());
  table.SetEditText(2, 1, "Crew One");
  EXPECT_TRUE(table.modified());
}

TEST(LoggersEditTracking, ShowingTheFormClearsModifiedButKeepsTheRememberedCell) {
  LoggersTable table;
  table.SetEditText(1, 1, "007");
  table.SetEditText(1, 1, "008");
  ASSERT_TRUE(table.modified());
  table.StartEditing();
  EXPECT_FALSE(table.modified());
  table.SetEditText(1, 1, "009");
  EXPECT_TRUE(table.modified());
}

TEST(LoggersEditMask, OnlyTheCompetitionNumberIsMasked) {
  EXPECT_EQ(LoggersTable().EditMask(0), "");
  EXPECT_EQ(LoggersTable().EditMask(1), "000;1;?");
  EXPECT_EQ(LoggersTable().EditMask(2), "");
}

}  // namespace
}  // namespace orvald
