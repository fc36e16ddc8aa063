// The fix-record encoder's byte layout and the logger memory images built from
// fixes, with the raw file a download of them must produce.

#include <gtest/gtest.h>

#include <algorithm>

#include "tracklog/memory_image.h"

namespace orvald {
namespace {

RawFix FixAt(int secondOfDay) {
  RawFix fix;
  fix.year = 2023;
  fix.month = 7;
  fix.day = 16;
  fix.hour = secondOfDay / 3600;
  fix.minute = secondOfDay % 3600 / 60;
  fix.second = secondOfDay % 60;
  fix.latitudeE5 = 4350420;
  fix.longitudeE5 = -8026585;
  fix.altitudeFeet = 1437;
  return fix;
}

std::vector<RawFix> Fixes(int count) {
  std::vector<RawFix> fixes;
  for (int i = 0; i < count; ++i) fixes.push_back(FixAt(36000 + i));
  return fixes;
}

const uint8_t* BlockAt(const std::vector<uint8_t>& memory, int block) {
  return memory.data() + static_cast<size_t>(block) * kBlockSize;
}

uint16_t MaskOf(const std::vector<uint8_t>& memory, int block) {
  return static_cast<uint16_t>(BlockAt(memory, block)[16] | BlockAt(memory, block)[17] << 8);
}

int32_t SequenceOf(const std::vector<uint8_t>& memory, int block) {
  const uint8_t* h = BlockAt(memory, block);
  return static_cast<int32_t>(h[8] | h[9] << 8 | h[10] << 16 | static_cast<uint32_t>(h[11]) << 24);
}

bool AllErased(const uint8_t* begin, const uint8_t* end) {
  return std::all_of(begin, end, [](uint8_t b) { return b == 0xFF; });
}

// --- Encoder -------------------------------------------------------------

TEST(EncodeFixRecord, DateTimeAndStatusFields) {
  RawFix fix = FixAt(12 * 3600 + 34 * 60 + 56);  // second of the day 45296
  fix.year = 2007;
  fix.month = 12;
  fix.day = 31;
  fix.fixStatus = 3;
  const auto r = EncodeFixRecord(fix);
  EXPECT_EQ(r[0], (27 << 1) | 1);            // year - 1980, month bit 3
  EXPECT_EQ(r[1], (4 << 5) | 31);            // month bits 2..0, day
  EXPECT_EQ(r[2], 0x34);                     // status 3, ten-thousands 4
  EXPECT_EQ(r[3], 0x52);
  EXPECT_EQ(r[4], 0x96);
}

TEST(EncodeFixRecord, CoordinateDigitsAndHemispheres) {
  RawFix fix = FixAt(0);
  fix.latitudeE5 = -5123456;
  fix.longitudeE5 = 234567;
  auto r = EncodeFixRecord(fix);
  EXPECT_EQ(r[5], 0x05);
  EXPECT_EQ(r[6], 0x12);
  EXPECT_EQ(r[7], 0x34);
  EXPECT_EQ(r[8], 0x56);
  EXPECT_EQ(r[9], 0x10);
  EXPECT_EQ(r[10], 0x02);
  EXPECT_EQ(r[11], 0x34);
  EXPECT_EQ(r[12], 0x56);
  EXPECT_EQ(r[13], 0x7F);  // no event: low nibble 0xF

  fix.latitudeE5 = 5123456;
  fix.longitudeE5 = -17999999;
  fix.event = 1;
  r = EncodeFixRecord(fix);
  EXPECT_EQ(r[5], 0x15);
  EXPECT_EQ(r[9], 0x01);
  EXPECT_EQ(r[10], 0x79);
  EXPECT_EQ(r[13], 0x9E);
}

TEST(EncodeFixRecord, AuxAltitudeAndCheckByte) {
  RawFix fix = FixAt(100);
  fix.aux = 230;
  fix.altitudeFeet = -10;
  const auto r = EncodeFixRecord(fix);
  EXPECT_EQ(r[14], 230);
  EXPECT_EQ(r[15], 0xFF);
  EXPECT_EQ(r[16], 0xF6);
  uint8_t x = 0;
  for (uint8_t b : r) x ^= b;
  EXPECT_EQ(x, 0);
}

// --- Memory image ---------------------------------------------------------

TEST(BuildMemoryImage, EmptyListLeavesErasedFlash) {
  const auto memory = BuildMemoryImage({});
  ASSERT_EQ(memory.size(), static_cast<size_t>(kMemorySize));
  EXPECT_TRUE(AllErased(memory.data(), memory.data() + memory.size()));
  EXPECT_EQ(ExpectedRawFile(memory, "SN1", "").size(), 32u);
}

TEST(BuildMemoryImage, OneFixMarksOnePage) {
  const std::vector<RawFix> fixes = Fixes(1);
  const auto memory = BuildMemoryImage(fixes);
  const uint8_t* block = BlockAt(memory, 0);
  EXPECT_EQ(block[0], 0x10);
  EXPECT_EQ(SequenceOf(memory, 0), 1);
  EXPECT_EQ(MaskOf(memory, 0), 0xFFFE);
  const auto record = EncodeFixRecord(fixes[0]);
  EXPECT_TRUE(std::equal(record.begin(), record.end(), block + 32));
  EXPECT_TRUE(AllErased(block + 50, block + kBlockSize));
  EXPECT_TRUE(AllErased(BlockAt(memory, 1), memory.data() + memory.size()));

  const auto file = ExpectedRawFile(memory, "SN1", "");
  ASSERT_EQ(file.size(), 32u + 4064u);
  EXPECT_TRUE(std::equal(record.begin(), record.end(), file.begin() + 32));
}

TEST(BuildMemoryImage, MaskCoversEveryTouchedPage) {
  // 32 + 225 * 18 = 4082 bytes fit the first page; one more record spills over.
  EXPECT_EQ(MaskOf(BuildMemoryImage(Fixes(225)), 0), 0xFFFE);
  EXPECT_EQ(MaskOf(BuildMemoryImage(Fixes(226)), 0), 0xFFFC);
  // A full block writes into all 16 pages; the next fix opens block 1.
  const auto memory = BuildMemoryImage(Fixes(kRecordsPerBlock + 1));
  EXPECT_EQ(MaskOf(memory, 0), 0x0000);
  EXPECT_EQ(MaskOf(memory, 1), 0xFFFE);
  EXPECT_EQ(SequenceOf(memory, 1), 2);
  EXPECT_EQ(BlockAt(memory, 0)[kBlockSize - 2], 0xFF);  // 2 bytes too few for a record
}

TEST(BuildMemoryImage, WrapsFromTheStartBlockAndDownloadsOldestFirst) {
  MemoryLayout layout;
  layout.startBlock = 30;
  layout.firstSequence = 7;
  layout.recordsPerBlock = 10;
  const auto fixes = Fixes(35);
  const auto memory = BuildMemoryImage(fixes, layout);
  EXPECT_EQ(SequenceOf(memory, 30), 7);
  EXPECT_EQ(SequenceOf(memory, 31), 8);
  EXPECT_EQ(SequenceOf(memory, 0), 9);
  EXPECT_EQ(SequenceOf(memory, 1), 10);
  EXPECT_EQ(BlockAt(memory, 2)[0], 0xFF);

  const auto file = ExpectedRawFile(memory, "SN", "abcd5.1A");
  ASSERT_EQ(file.size(), 32u + 4u * 4064u);
  EXPECT_EQ(file[16], 0x51);
  // The first record of each block's payload is fix 0, 10, 20, 30 in turn.
  for (int i = 0; i < 4; ++i) {
    const auto record = EncodeFixRecord(fixes[i * 10]);
    EXPECT_TRUE(std::equal(record.begin(), record.end(), file.begin() + 32 + i * 4064)) << "block " << i;
  }
}

TEST(BuildMemoryImage, FixesBeyondThirtyTwoBlocksAreLeftOut) {
  MemoryLayout layout;
  layout.recordsPerBlock = 2;
  const auto memory = BuildMemoryImage(Fixes(70), layout);
  for (int block = 0; block < kBlockCount; ++block) EXPECT_EQ(SequenceOf(memory, block), 1 + block);
  EXPECT_EQ(ExpectedRawFile(memory, "", "").size(), 32u + 32u * 4064u);
}

TEST(ExpectedRawFile, HoleDownloadsTheWholeBlockAndEmptyMaskNothing) {
  MemoryLayout layout;
  layout.recordsPerBlock = 1;
  layout.fillMaskOverrides = {{0, 0xFFFD}, {1, 0xFFFF}};
  const auto memory = BuildMemoryImage(Fixes(3), layout);
  const auto file = ExpectedRawFile(memory, "", "");
  EXPECT_EQ(file.size(), 32u + 65504u + 4064u);
}

TEST(ExpectedRawFile, BlockNotInUseIsSkipped) {
  MemoryLayout layout;
  layout.recordsPerBlock = 1;
  layout.statusByteOverrides = {{1, 0x00}};
  const auto fixes = Fixes(3);
  const auto file = ExpectedRawFile(BuildMemoryImage(fixes, layout), "", "");
  ASSERT_EQ(file.size(), 32u + 2u * 4064u);
  const auto third = EncodeFixRecord(fixes[2]);
  EXPECT_TRUE(std::equal(third.begin(), third.end(), file.begin() + 32 + 4064));
}

TEST(ExpectedRawFile, EqualSequencesStartAtTheLowerBlock) {
  MemoryLayout layout;
  layout.recordsPerBlock = 1;
  layout.startBlock = 3;
  layout.sequenceOverrides = {{3, 50}, {4, 50}, {5, 50}};  // all equal
  const auto fixes = Fixes(3);
  auto memory = BuildMemoryImage(fixes, layout);
  auto file = ExpectedRawFile(memory, "", "");
  auto first = EncodeFixRecord(fixes[0]);
  EXPECT_TRUE(std::equal(first.begin(), first.end(), file.begin() + 32));

  // The newest block given the lowest number becomes the start.
  layout.sequenceOverrides = {{5, 0}};
  memory = BuildMemoryImage(fixes, layout);
  file = ExpectedRawFile(memory, "", "");
  first = EncodeFixRecord(fixes[2]);
  EXPECT_TRUE(std::equal(first.begin(), first.end(), file.begin() + 32));
}

TEST(ExpectedRawFile, NoSequenceBelowTheLimitGivesOnlyTheHeader) {
  MemoryLayout layout;
  layout.firstSequence = kNoStartSequence;
  EXPECT_EQ(ExpectedRawFile(BuildMemoryImage(Fixes(5), layout), "", "").size(), 32u);
}

}  // namespace
}  // namespace orvald
