// Block fill masks, the file header, the download order and the raw file name.

#include <gtest/gtest.h>

#include <cstring>

#include "tracklog/raw_file_name.h"
#include "tracklog/raw_image.h"
#include "tracklog/safe_text.h"

namespace orvald {
namespace {

BlockHeader MakeBlockHeader(uint8_t status, int32_t sequence, uint16_t fillMask) {
  BlockHeader h;
  h.fill(0xFF);
  h[0] = status;
  const uint32_t s = static_cast<uint32_t>(sequence);
  h[8] = s & 0xFF;
  h[9] = (s >> 8) & 0xFF;
  h[10] = (s >> 16) & 0xFF;
  h[11] = (s >> 24) & 0xFF;
  h[16] = fillMask & 0xFF;
  h[17] = fillMask >> 8;
  return h;
}

using Headers = std::array<std::optional<BlockHeader>, kBlockCount>;

Headers NoUsedBlocks() {
  Headers headers;
  for (auto& h : headers) h = MakeBlockHeader(0xFF, -1, 0xFFFF);
  return headers;
}

TEST(BlockFillBytes, CleanPrefixesCountTheirPages) {
  EXPECT_EQ(BlockFillBytes(0xFFFE), 4096);
  EXPECT_EQ(BlockFillBytes(0xFFFC), 8192);
  EXPECT_EQ(BlockFillBytes(0xFF00), 32768);
  EXPECT_EQ(BlockFillBytes(0x8000), 61440);
}

TEST(BlockFillBytes, EverythingElseIsTheWholeBlock) {
  EXPECT_EQ(BlockFillBytes(0x0000), 65536);
  EXPECT_EQ(BlockFillBytes(0xFFFD), 65536);  // hole: page 1 written, page 0 not
  EXPECT_EQ(BlockFillBytes(0xFF0F), 65536);
  EXPECT_EQ(BlockFillBytes(0x7FFE), 65536);  // top bit cleared out of order
}

TEST(BlockHeaderParse, InUseOnlyWithHighNibbleOne) {
  EXPECT_TRUE(ParseBlockHeader(MakeBlockHeader(0x10, 1, 0xFFFE).data()).used());
  EXPECT_TRUE(ParseBlockHeader(MakeBlockHeader(0x1F, 1, 0xFFFE).data()).used());
  EXPECT_FALSE(ParseBlockHeader(MakeBlockHeader(0x20, 1, 0xFFFE).data()).inUse);
  EXPECT_FALSE(ParseBlockHeader(MakeBlockHeader(0x0F, 1, 0xFFFE).data()).inUse);
  // In use but holding nothing.
  const BlockHeaderInfo empty = ParseBlockHeader(MakeBlockHeader(0x10, 1, 0xFFFF).data());
  EXPECT_TRUE(empty.inUse);
  EXPECT_FALSE(empty.used());
}

TEST(BlockHeaderParse, SequenceIsSignedLittleEndian) {
  EXPECT_EQ(ParseBlockHeader(MakeBlockHeader(0x10, 0x01020304, 0).data()).sequence, 0x01020304);
  EXPECT_EQ(ParseBlockHeader(MakeBlockHeader(0x10, -5, 0).data()).sequence, -5);
  EXPECT_EQ(ParseBlockHeader(MakeBlockHeader(0x10, 0, 0x8000).data()).fillMask, 0x8000);
}

TEST(DownloadPlan, WrapsFromTheLowestSequence) {
  Headers headers = NoUsedBlocks();
  headers[30] = MakeBlockHeader(0x10, 7, 0x0000);
  headers[31] = MakeBlockHeader(0x10, 8, 0x0000);
  headers[0] = MakeBlockHeader(0x10, 9, 0x0000);
  headers[1] = MakeBlockHeader(0x10, 10, 0xFFFE);
  const DownloadPlan plan = PlanDownload(headers);
  EXPECT_EQ(plan.usedBlocks, 4);
  EXPECT_EQ(plan.startBlock, 30);
  ASSERT_EQ(plan.visitOrder.size(), 32u);
  EXPECT_EQ(plan.visitOrder[0], 30);
  EXPECT_EQ(plan.visitOrder[1], 31);
  EXPECT_EQ(plan.visitOrder[2], 0);
  EXPECT_EQ(plan.visitOrder[3], 1);
  EXPECT_EQ(plan.visitOrder[31], 29);
}

TEST(DownloadPlan, EqualSequenceNumbersKeepTheLowerBlock) {
  Headers headers = NoUsedBlocks();
  headers[5] = MakeBlockHeader(0x10, 3, 0x0000);
  headers[12] = MakeBlockHeader(0x10, 3, 0x0000);
  headers[20] = MakeBlockHeader(0x10, 4, 0x0000);
  EXPECT_EQ(PlanDownload(headers).startBlock, 5);
}

TEST(DownloadPlan, PassesOverUnusableBlocks) {
  Headers headers = NoUsedBlocks();
  headers[2] = MakeBlockHeader(0x10, 1, 0xFFFF);  // in use, no data: not counted
  headers[3] = MakeBlockHeader(0x20, 1, 0x0000);  // not in use
  headers[4] = std::nullopt;                      // header could not be read
  headers[9] = MakeBlockHeader(0x10, 2, 0xFFFD);  // hole: still used
  const DownloadPlan plan = PlanDownload(headers);
  EXPECT_EQ(plan.usedBlocks, 1);
  EXPECT_EQ(plan.startBlock, 9);
}

TEST(DownloadPlan, NoStartWithoutAUsedBlockBelowTheLimit) {
  EXPECT_EQ(PlanDownload(NoUsedBlocks()).usedBlocks, 0);
  EXPECT_EQ(PlanDownload(NoUsedBlocks()).startBlock, -1);
  EXPECT_TRUE(PlanDownload(NoUsedBlocks()).visitOrder.empty());

  // Used, but no sequence number below 0x0FFFFFFF: counted, yet nothing to fetch.
  Headers headers = NoUsedBlocks();
  headers[7] = MakeBlockHeader(0x10, kNoStartSequence, 0x0000);
  headers[8] = MakeBlockHeader(0x10, 0x7FFFFFFF, 0x0000);
  const DownloadPlan plan = PlanDownload(headers);
  EXPECT_EQ(plan.usedBlocks, 2);
  EXPECT_EQ(plan.startBlock, -1);
  EXPECT_TRUE(plan.visitOrder.empty());
}

TEST(DownloadPlan, NegativeSequenceIsOldest) {
  Headers headers = NoUsedBlocks();
  headers[0] = MakeBlockHeader(0x10, 5, 0x0000);
  headers[17] = MakeBlockHeader(0x10, -2, 0x0000);
  EXPECT_EQ(PlanDownload(headers).startBlock, 17);
}

TEST(FileHeader, LayoutOfSerialAndVersion) {
  const FileHeader h = BuildFileHeader("00000012345", "xxxx5.1A");
  for (int i = 0; i < 16; ++i) EXPECT_EQ(h[i], 0) << i;
  EXPECT_EQ(h[16], 0x51);
  EXPECT_EQ(h[17], 'A');
  EXPECT_EQ(std::memcmp(h.data() + 18, "00000012345", 11), 0);
  for (int i = 29; i < 32; ++i) EXPECT_EQ(h[i], 0) << i;
  const FileHeaderIdentity id = ReadFileHeader(h.data(), h.size());
  EXPECT_EQ(id.serialText, "00000012345");
  EXPECT_EQ(id.typeText, "5.1A");
}

TEST(FileHeader, SerialIsCutToElevenAndZeroFilled) {
  const FileHeader longSerial = BuildFileHeader("ABCDEFGHIJKLMN", "");
  EXPECT_EQ(ReadFileHeader(longSerial.data(), longSerial.size()).serialText, "ABCDEFGHIJK");
  const FileHeader shortSerial = BuildFileHeader("AB", "");
  EXPECT_EQ(shortSerial[20], 0);
  EXPECT_EQ(ReadFileHeader(shortSerial.data(), shortSerial.size()).serialText, "AB");
}

TEST(FileHeader, NoVersionReadsBackAsThreeCharacters) {
  const FileHeader h = BuildFileHeader("", "");
  EXPECT_EQ(h[16], 0);
  EXPECT_EQ(h[17], 0);
  const FileHeaderIdentity id = ReadFileHeader(h.data(), h.size());
  EXPECT_EQ(id.serialText, "");
  EXPECT_EQ(id.typeText, "0.0");
}

TEST(FileHeader, MinorNibbleIsReducedMajorIsNot) {
  FileHeader h{};
  h[16] = 0x5C;
  h[17] = 'B';
  EXPECT_EQ(ReadFileHeader(h.data(), h.size()).typeText, "5.2B");
  h[16] = 0xC3;
  EXPECT_EQ(ReadFileHeader(h.data(), h.size()).typeText, "<.3B");
}

TEST(FileHeader, ShortFileCountsMissingBytesAsZero) {
  FileHeader h = BuildFileHeader("12345678901", "abcd4.2C");
  EXPECT_EQ(ReadFileHeader(h.data(), 20).serialText, "12");
  EXPECT_EQ(ReadFileHeader(h.data(), 17).typeText, "4.2");
  EXPECT_EQ(ReadFileHeader(h.data(), 0).typeText, "0.0");
}

TEST(FileHeader, VersionCharactersAreNotChecked) {
  // Characters beyond a short text count as zero bytes: ('\0'-'0')*16 + ... wraps.
  EXPECT_EQ(FirmwareByteFromVersion("V1.2"), static_cast<uint8_t>((0 - '0') * 16 + (0 - '0')));
  EXPECT_EQ(VersionSuffixFromVersion("V1.2"), 0);
  EXPECT_EQ(FirmwareByteFromVersion("abcd3.xQ"), static_cast<uint8_t>(3 * 16 + ('x' - '0')));
  EXPECT_EQ(VersionSuffixFromVersion("abcd3.xQ"), 'Q');
  EXPECT_EQ(FirmwareByteFromVersion(""), 0);
}

TEST(RawFileName, StampsSerialAndLocalTime) {
  std::tm t{};
  t.tm_year = 107;
  t.tm_mon = 3;
  t.tm_mday = 10;
  t.tm_hour = 15;
  t.tm_min = 30;
  t.tm_sec = 12;
  EXPECT_EQ(RawFileName("00000012345", t), "00000012345-20070410-153012.G00");
  EXPECT_EQ(RawFileName("", t), "-20070410-153012.G00");
  EXPECT_EQ(RawFileName("../a/b\\c", t), ".._a_b_c-20070410-153012.G00");
  // What the download names, the day's status reads back as it was meant.
  RawFileInfo info;
  ASSERT_TRUE(ParseRawFileName(IncompleteRawFileName(RawFileName("PK-1", t)), info));
  EXPECT_EQ(info.serial, "PK-1");
  EXPECT_EQ(SecondsFromCivil(info.localTime), SecondsFromCivil({2007, 4, 10, 15, 30, 12}));
  EXPECT_TRUE(info.incomplete);
}

TEST(RawFileName, ReadsBackEveryFormTheDownloadWrites) {
  struct Case {
    const char* name;
    const char* serial;
    int second;
    int copy;
    bool incomplete;
  } cases[] = {{"QA712-20260314-101500.G00", "QA712", 0, 1, false},
               {"QA712-20260314-101501-incomplete.G00", "QA712", 1, 1, true},
               {"QA712-20260314-101502-2.G00", "QA712", 2, 2, false},
               {"QA712-20260314-101503-incomplete-3.G00", "QA712", 3, 3, true},
               {"PK-TEST01-20260314-101504.G00.part", "PK-TEST01", 4, 1, true},
               {"-20260314-101505.G00", "", 5, 1, false},
               {"20-20260314-101506-12.G00", "20", 6, 12, false}};
  for (const Case& c : cases) {
    RawFileInfo info;
    ASSERT_TRUE(ParseRawFileName(c.name, info)) << c.name;
    EXPECT_EQ(info.serial, c.serial) << c.name;
    EXPECT_EQ(info.localTime.hour * 10000 + info.localTime.minute * 100 + info.localTime.second, 101500 + c.second);
    EXPECT_EQ(info.localTime.day, 14);
    EXPECT_EQ(info.copy, c.copy) << c.name;
    EXPECT_EQ(info.incomplete, c.incomplete) << c.name;
  }
  RawFileInfo info;
  for (const char* name : {"flight.G00", "QA712-20261314-101500.G00", "QA712-20260314-101500.igc",
                           "QA712-2026031-101500.G00", "QA712-20260314-101500-incomplete.G00.bak"}) {
    EXPECT_FALSE(ParseRawFileName(name, info)) << name;
  }
}

TEST(SafeFileNameText, ReplacesUnsafeCharacters) {
  EXPECT_EQ(SafeFileNameText("a/b\\c:d*e?f\"g<h>i|j"), "a_b_c_d_e_f_g_h_i_j");
  EXPECT_EQ(SafeFileNameText(std::string("x\ty\x01z\x7F", 6)), "x_y_z_");
  EXPECT_EQ(SafeFileNameText("SN 12-ok.A"), "SN 12-ok.A");
  EXPECT_EQ(SafeFileNameText("SN\xC3\xA9\xFF"), "SN___");  // a logger's bytes beyond ASCII, one '_' each
}

}  // namespace
}  // namespace orvald
