// Line and field cutting of the table files, and the safe replacement of a
// table file on disk.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <signal.h>
#include <sys/resource.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "tables/table_file.h"
#include "tables/text_grid.h"
#include "tables/tsv_format.h"

namespace orvald {
namespace {

using Lines = std::vector<std::string_view>;
using Fields = std::vector<std::string>;

TEST(TsvLines, LfCrLfAndAMissingLastLineEndAllEndLines) {
  EXPECT_EQ(SplitTsvLines("one\r\ntwo\nthree"), (Lines{"one", "two", "three"}));
  EXPECT_EQ(SplitTsvLines("one\r\n"), (Lines{"one"}));
  EXPECT_EQ(SplitTsvLines(""), Lines{});
}

TEST(TsvLines, EmptyLinesAreLinesAndALoneCrEndsALineToo) {
  EXPECT_EQ(SplitTsvLines("\r\n\n"), (Lines{"", ""}));
  EXPECT_EQ(SplitTsvLines("a\rb\r\n"), (Lines{"a", "b"}));
  EXPECT_EQ(SplitTsvLines("a\r"), (Lines{"a"}));
  // A file from an editor that ends lines with CR alone: one row a line, no CR in a cell.
  EXPECT_EQ(SplitTsvLines("QA712\t007\tCrew One\rQB9\t008\tCrew Two\r"),
            (Lines{"QA712\t007\tCrew One", "QB9\t008\tCrew Two"}));
  EXPECT_EQ(SplitTsvLines("a\r\rb"), (Lines{"a", "", "b"}));
}

TEST(TsvLines, ALineOfAnyLengthStaysOneLine) {
  for (size_t length : {77u, 78u, 79u, 100u, 5000u}) {
    const std::string bytes = std::string(length, 'x') + "\r\n" + "next\r\n";
    Lines lines = SplitTsvLines(bytes);
    ASSERT_EQ(lines.size(), 2u) << length;
    EXPECT_EQ(lines[0].size(), length);
    EXPECT_EQ(lines[1], "next");
  }
}

TEST(TsvFields, EveryTabSeparatesAndEmptyFieldsKeepTheirColumn) {
  EXPECT_EQ(SplitTsvFields("QA712\t\tCrew One", 3), (Fields{"QA712", "", "Crew One"}));
  EXPECT_EQ(SplitTsvFields("\t007\tCrew One", 3), (Fields{"", "007", "Crew One"}));
  EXPECT_EQ(SplitTsvFields("\t\t", 3), (Fields{"", "", ""}));
  EXPECT_EQ(SplitTsvFields("", 3), (Fields{"", "", ""}));
}

TEST(TsvFields, MissingFieldsAreEmptyAndFurtherFieldsAreDropped) {
  EXPECT_EQ(SplitTsvFields("QA712", 3), (Fields{"QA712", "", ""}));
  EXPECT_EQ(SplitTsvFields("a\tb\tc\td\te", 3), (Fields{"a", "b", "c"}));
  EXPECT_EQ(SplitTsvFields("a\tb\tc\t", 3), (Fields{"a", "b", "c"}));
  EXPECT_EQ(SplitTsvFields("a b\t c ", 2), (Fields{"a b", " c "}));
}

TEST(TsvFormat, WritesEveryDataRowWithCrLfAndBlankRowsAsBareTabs) {
  TextGrid grid({"A", "B", "C"});
  grid.SetRowCount(3);
  grid.SetCell(0, 1, "QA712");
  grid.SetCell(2, 1, "Crew One");
  EXPECT_EQ(FormatTsv(grid), "QA712\t\tCrew One\r\n\t\t\r\n");
}

TEST(TextGridRows, AtLeastOneDataRowAndShrinkingKeepsTheRemainingCells) {
  TextGrid grid({"A", "B"});
  EXPECT_EQ(grid.rowCount(), 2);
  grid.SetRowCount(4);
  grid.SetCell(1, 1, "kept");
  grid.SetCell(1, 3, "dropped");
  grid.SetRowCount(0);
  EXPECT_EQ(grid.rowCount(), 2);
  EXPECT_EQ(grid.Cell(1, 1), "kept");
  grid.RemoveLastRow();
  EXPECT_EQ(grid.rowCount(), 2);
  grid.AddRow();
  EXPECT_EQ(grid.Cell(1, 2), "");
  EXPECT_EQ(grid.Cell(5, 1), "");
  EXPECT_EQ(grid.Cell(0, 9), "");
  EXPECT_EQ(grid.Column(0), (Fields{"A", "", ""}));
}

TEST(TrimBlanks, RemovesSpacesAndControlCharactersAtBothEndsOnly) {
  EXPECT_EQ(TrimBlanks("   "), "");
  EXPECT_EQ(TrimBlanks(" a b \r"), "a b");
  EXPECT_EQ(TrimBlanks("\xC3\xA9"), "\xC3\xA9");
}

TEST(ReplaceFileSafely, ReplacesTheWholeFileAndLeavesNoTemporaryBehind) {
  testing::TempDir dir;
  dir.Write("t.tsv", std::string(500, 'o'));
  FileWriteResult result = ReplaceFileSafely((dir / "t.tsv"), "new\r\n");
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(testing::ReadWholeFile(dir / "t.tsv"), "new\r\n");
  EXPECT_EQ(dir.Entries(), std::set<std::string>{"t.tsv"});
}

TEST(ReplaceFileSafely, ACreateFailureSaysWhy) {
  testing::TempDir dir;
  FileWriteResult result = ReplaceFileSafely((dir / "missing/t.tsv"), "x");
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error.find("missing/t.tsv: "), std::string::npos) << result.error;
}

// A file size limit makes the write itself fail part way, as a full disk
// would, even for a privileged user.
TEST(ReplaceFileSafely, AFailedWriteKeepsTheOldFileAndRemovesThePartialOne) {
  testing::TempDir dir;
  const std::string old = "QA712\t007\tCrew One\r\n";
  dir.Write("t.tsv", old);

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit tight = saved;
  tight.rlim_cur = 64;
  auto previousHandler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
  FileWriteResult result = ReplaceFileSafely((dir / "t.tsv"), std::string(4096, 'n'));
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previousHandler);

  EXPECT_FALSE(result.ok);
  EXPECT_FALSE(result.error.empty());
  EXPECT_EQ(testing::ReadWholeFile(dir / "t.tsv"), old);
  EXPECT_EQ(dir.Entries(), std::set<std::string>{"t.tsv"});
}

TEST(ReadTableFile, ReadsEveryByteOfARegularFileAndNothingElse) {
  testing::TempDir dir;
  std::string bytes(200000, 'a');
  bytes[123456] = '\0';
  dir.Write("big", bytes);
  FileReadResult read = ReadTableFile((dir / "big"));
  ASSERT_TRUE(read.ok);
  EXPECT_EQ(read.bytes, bytes);

  FileReadResult missing = ReadTableFile((dir / "none"));
  EXPECT_FALSE(missing.ok);
  EXPECT_NE(missing.error.find("none: "), std::string::npos);
  EXPECT_FALSE(ReadTableFile(dir.path()).ok);
  // Devices and FIFOs never end or block: refused at once.
  EXPECT_EQ(ReadTableFile("/dev/zero").error, "/dev/zero: not a regular file");
  EXPECT_EQ(ReadTableFile("/dev/urandom").error, "/dev/urandom: not a regular file");
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_EQ(ReadTableFile((dir / "fifo")).error, (dir / "fifo") + ": not a regular file");
  // A table is small; a file past 16 MiB is none.
  ASSERT_EQ(truncate((dir / "big").c_str(), static_cast<off_t>(kMaxTableFileBytes) + 1), 0);
  EXPECT_EQ(ReadTableFile((dir / "big")).error, (dir / "big") + ": larger than 16 MiB, no table");
}

}  // namespace
}  // namespace orvald
