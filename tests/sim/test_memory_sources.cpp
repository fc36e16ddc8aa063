// Memories built from IGC flights and raw image files, and header edits.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "export/coordinates.h"
#include "sim/memory_sources.h"
#include "tracklog/decoder.h"
#include "tracklog/memory_image.h"

namespace orvald::sim {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(IgcSource, ReadsEveryBRecordOfARealFlight) {
  const std::string text = ReadText(std::string(ORVALD_FLIGHTS_DIR) + "/27GLQKF3.igc");
  ASSERT_FALSE(text.empty());
  std::vector<RawFix> fixes;
  std::string error;
  ASSERT_TRUE(ParseIgcFixes(text, fixes, error)) << error;
  size_t bRecords = 0;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) bRecords += !line.empty() && line[0] == 'B';
  EXPECT_EQ(fixes.size(), bRecords);
  // B1941314350420N08026585WA004380046300712000018009 on HFDTE160722
  const RawFix& first = fixes.front();
  EXPECT_EQ(first.year, 2022);
  EXPECT_EQ(first.month, 7);
  EXPECT_EQ(first.day, 16);
  EXPECT_EQ(first.hour, 19);
  EXPECT_EQ(first.minute, 41);
  EXPECT_EQ(first.second, 31);
  // 43 deg 50.420 min N and 80 deg 26.585 min W: the values whose IGC text
  // (minutes truncated to thousandths) is the text read.
  EXPECT_EQ(first.latitudeE5, 4384034);
  EXPECT_EQ(first.longitudeE5, -8044309);
  EXPECT_EQ(first.altitudeFeet, 1519);                               // GNSS 463 m
  EXPECT_EQ(first.fixStatus, 1);

  // Every fix gives back its own B record's coordinates when written as IGC.
  size_t fix = 0;
  std::istringstream again(text);
  for (std::string line; std::getline(again, line) && fix < fixes.size();) {
    if (line.empty() || line[0] != 'B') continue;
    ASSERT_EQ(FormatLatitude(fixes[fix].latitudeE5) + FormatLongitude(fixes[fix].longitudeE5),
              line.substr(7, 17))
        << "B record " << fix;
    ++fix;
  }
}

TEST(IgcSource, RollsOverMidnightMarksEventsAndReadsSouthWest) {
  const std::string text =
      "AXXX\r\nHFDTEDATE:311223,01\r\n"
      "B2359583412345S01801234WA0010000120\r\n"
      "E2359590PEV\r\n"
      "B0000023412346S01801235WV-001500000\r\n"
      "B000004garbage\r\n";
  std::vector<RawFix> fixes;
  std::string error;
  ASSERT_TRUE(ParseIgcFixes(text, fixes, error)) << error;
  ASSERT_EQ(fixes.size(), 2u);
  EXPECT_EQ(fixes[0].day, 31);
  EXPECT_EQ(fixes[0].event, 0);
  EXPECT_LT(fixes[0].latitudeE5, 0);
  EXPECT_LT(fixes[0].longitudeE5, 0);
  EXPECT_EQ(fixes[0].altitudeFeet, 394);  // GNSS 120 m
  EXPECT_EQ(fixes[1].year, 2024);
  EXPECT_EQ(fixes[1].month, 1);
  EXPECT_EQ(fixes[1].day, 1);
  EXPECT_NE(fixes[1].event, 0);
  EXPECT_EQ(fixes[1].fixStatus, 0);
  EXPECT_EQ(fixes[1].altitudeFeet, -49);  // no GNSS altitude: pressure -15 m

  EXPECT_FALSE(ParseIgcFixes("B2359583412345S01801234WA0010000120\n", fixes, error));  // no date
  EXPECT_FALSE(ParseIgcFixes("HFDTE010203\nLXXX\n", fixes, error));                 // no fixes
}

TEST(IgcSource, TheBuiltInFlightDecodesToTwoSegments) {
  const auto fixes = SyntheticFlight();
  ASSERT_EQ(fixes.size(), 1200u);
  const auto file = ExpectedRawFile(BuildMemoryImage(fixes), "00000012345", "VER 5.1A");
  EXPECT_EQ(file.size(), 32u + 6 * 4096 - 32);
  TrackTable table;
  const DecodeResult result = DecodeRawImage(file.data(), file.size(), table, TimeBasis{0, 2026});
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(table.pointCount, 1200);
  ASSERT_EQ(result.segments.segmentCount, 2);
  EXPECT_EQ(table.segments()[0].points, 900);
  EXPECT_EQ(table.segments()[0].events, 1);
  EXPECT_EQ(table.segments()[1].blind, 602);
  EXPECT_EQ(table.serialText, "00000012345");
  EXPECT_EQ(table.typeText, "5.1A");
}

// Raw files of several shapes: downloading the rebuilt memory gives them back.
TEST(RawFileSource, RebuildsAMemoryThatDownloadsTheSameFile) {
  const auto fixes = SyntheticFlight();
  struct Case {
    MemoryLayout layout;
    std::string serial, version;
  };
  std::vector<Case> cases;
  cases.push_back({MemoryLayout{}, "00000012345", "VER 5.1A"});
  MemoryLayout spread;
  spread.startBlock = 29;
  spread.recordsPerBlock = 150;  // blocks 29 to 4, one page each
  cases.push_back({spread, "SN1", "ABCD4.7X"});
  MemoryLayout holes = spread;
  holes.fillMaskOverrides = {{30, 0xFFFD}, {1, 0x0000}};
  cases.push_back({holes, "", ""});
  for (const Case& c : cases) {
    const auto file = ExpectedRawFile(BuildMemoryImage(fixes, c.layout), c.serial, c.version);
    const RawFileMemory rebuilt = MemoryFromRawFile(file);
    EXPECT_TRUE(rebuilt.exact);
    EXPECT_EQ(rebuilt.serialText, c.serial);
    EXPECT_EQ(ExpectedRawFile(rebuilt.memory, rebuilt.serialText, rebuilt.versionText), file) << c.serial;
  }
}

TEST(RawFileSource, AForeignSizeIsServedWholeButNotExact) {
  std::vector<uint8_t> file(32 + 1000, 0x42);
  const RawFileMemory rebuilt = MemoryFromRawFile(file);
  EXPECT_FALSE(rebuilt.exact);
  const auto download = ExpectedRawFile(rebuilt.memory, "", "");
  ASSERT_EQ(download.size(), 4096u);  // one page, the rest erased
  EXPECT_TRUE(std::equal(file.begin() + 32, file.end(), download.begin() + 32));
  EXPECT_EQ(download.back(), 0xFF);
  EXPECT_EQ(MemoryFromRawFile(std::vector<uint8_t>(32, 0)).usedBlocks, 0);
}

TEST(HeaderOverrides, EditMaskSequenceAndStatus) {
  auto memory = ErasedMemory();
  MemoryLayout edits;
  edits.fillMaskOverrides = {{3, 0xFFFD}};
  edits.sequenceOverrides = {{3, -2}};
  edits.statusByteOverrides = {{3, 0x17}};
  ApplyHeaderOverrides(memory, edits);
  const uint8_t* h = memory.data() + 3 * kBlockSize;
  const BlockHeaderInfo info = ParseBlockHeader(h);
  EXPECT_TRUE(info.inUse);
  EXPECT_EQ(info.fillMask, 0xFFFD);
  EXPECT_EQ(info.sequence, -2);
  EXPECT_EQ(memory[2 * kBlockSize], 0xFF);  // other blocks untouched
}

}  // namespace
}  // namespace orvald::sim
