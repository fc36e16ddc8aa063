// LoadLog with a file name (File > Open): decoding without the link, the
// grid rows, the identity look-up and the segment limit.

#include <gtest/gtest.h>

#include "logger/download_fixture.h"
#include "tracklog/track_table.h"

namespace orvald::testing {
namespace {

TEST_F(DownloadTest, OpeningASavedFileDecodesItWithoutTouchingTheLink) {
  const std::string saved = dataDir / "flight.dat";
  WriteBytes(saved, ExpectedRawFile(BuildMemoryImage(FlightFixes(1000, 300)), "00000012345", "ORVL4.2x"));
  view.rows[7] = {"stale"};

  const LoadLogResult result = Session().LoadLog(saved);

  EXPECT_EQ(result.end, LoadLogEnd::kOpened);
  EXPECT_TRUE(logger.requests.empty());
  EXPECT_EQ(view.statusText, "Decoding file : " + saved + "...");
  EXPECT_EQ(view.gridResets, 1);
  EXPECT_EQ(view.rowCount, 5);
  EXPECT_EQ(view.rows.count(7), 0u);
  EXPECT_EQ(view.rows[4][0], "4");
  EXPECT_EQ(view.rows[2][3], " 0:01:01");  // blind: the 60-second gap plus the one second of the step
  EXPECT_EQ(view.fileCaption, "flight.dat");
  EXPECT_EQ(view.identification, (std::array<std::string, 4>{"007", "Crew One", "00000012345", "4.2x"}));
  EXPECT_EQ(view.beeps, 0);
  EXPECT_EQ(Session().lastSerialText(), "");
  EXPECT_TRUE(std::filesystem::exists(saved));
}

TEST_F(DownloadTest, EveryLogCarriesItsOwnLoggerAndAnUnknownOneNoPilot) {
  const std::string known = dataDir / "known.G00";
  WriteBytes(known, ExpectedRawFile(BuildMemoryImage(FlightFixes(100)), "00000012345", "ORVL5.1A"));
  Session().LoadLog(known);
  EXPECT_EQ(view.identification, (std::array<std::string, 4>{"007", "Crew One", "00000012345", "5.1A"}));

  // Another logger, not in the table: its own serial and type, no pilot left
  // from the log before, and the status bar says which serial is unknown.
  const std::string other = dataDir / "other.G00";
  WriteBytes(other, ExpectedRawFile(BuildMemoryImage(FlightFixes(100)), "99999", "ORVL4.2x"));
  Session().LoadLog(other);
  EXPECT_EQ(view.identification, (std::array<std::string, 4>{"", "", "99999", "4.2x"}));
  EXPECT_EQ(view.statusText, "Serial 99999 is not in the loggers table");

  // The row added to the table: looking the log up again names the pilot.
  lookup.rows["99999"] = LoggerMatch{true, "042", "Anna Berg"};
  EXPECT_TRUE(Session().IdentifyDecodedLog());
  EXPECT_EQ(view.identification, (std::array<std::string, 4>{"042", "Anna Berg", "99999", "4.2x"}));
}

TEST_F(DownloadTest, WhatAnIgcImportCouldNotKeepIsInTheStatusBar) {
  const std::string saved = dataDir / "high.igc";
  ASSERT_TRUE(WriteWholeFile(saved, "AXXXXXX 5.1A,00000012345\r\nHFDTE100407\r\nB1000004700000N00800000EA0000012000\r\n"));
  Session().LoadLog(saved);
  EXPECT_EQ(view.statusText, "1 altitude beyond +/-9987 m was clamped");
}

TEST_F(DownloadTest, FileWithoutSegmentsLeavesTheGridAtItsHeadingAndOneEmptyRow) {
  const std::string saved = dataDir / "empty.G00";
  WriteBytes(saved, ExpectedRawFile(ErasedMemory(), "00000012345", "ORVL5.1A"));
  view.rowCount = 9;
  Session().LoadLog(saved);
  EXPECT_EQ(view.rowCount, 2);
  EXPECT_TRUE(view.rows.empty());
  EXPECT_EQ(table.pointCount, 0);
}

TEST_F(DownloadTest, TooManySegmentsStopsAtTheLimitAndStillShowsTheLogsIdentity) {
  // Fixes ten seconds apart: every one of them closes a segment of its own.
  const std::string saved = dataDir / "many.G00";
  MemoryLayout layout;
  WriteBytes(saved, ExpectedRawFile(BuildMemoryImage(FlightFixes(kMaxSegments + 50, 1 << 30, 10), layout),
                                    "00000012345", "ORVL5.1A"));

  Session().LoadLog(saved);

  ASSERT_EQ(view.scripted.asked.size(), 1u);
  EXPECT_EQ(view.scripted.asked[0].caption, "Logger Download");
  EXPECT_EQ(view.scripted.asked[0].text, "ERROR: TO MANY TRACKS");
  EXPECT_EQ(view.scripted.asked[0].buttons, PromptButtons::kOk);
  EXPECT_EQ(view.rowCount, kMaxSegments + 1);
  EXPECT_EQ(view.rows.size(), static_cast<size_t>(kMaxSegments));
  EXPECT_EQ(view.identification, (std::array<std::string, 4>{"007", "Crew One", "00000012345", "5.1A"}));
  EXPECT_EQ(view.fileCaption, "many.G00");
}

TEST_F(DownloadTest, MissingFileGivesAnEmptyTable) {
  const std::string saved = dataDir / "gone.G00";
  WriteBytes(saved, ExpectedRawFile(BuildMemoryImage(FlightFixes(300, 100)), "00000012345", "ORVL5.1A"));
  Session().LoadLog(saved);
  ASSERT_GT(table.pointCount, 0);
  Session().LoadLog(dataDir / "no-such.G00");
  EXPECT_EQ(table.pointCount, 0);
  EXPECT_EQ(view.rowCount, 2);
  EXPECT_EQ(view.fileCaption, "no-such.G00");
}

}  // namespace
}  // namespace orvald::testing
