// Scanning a raw image: the header, byte-wise resynchronisation, the drop
// rules, the point capacity, and reading files in chunks.

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "files/file_reader.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>

#include "fix_fixtures.h"
#include "tracklog/calendar.h"
#include "tracklog/memory_image.h"

namespace orvald {
namespace {

using testing::Fix;
using testing::RawStream;
using testing::Record;

int Decode(const RawStream& stream, TrackTable& table, TimeBasis basis = testing::Utc()) {
  return DecodeRawImage(stream.bytes().data(), stream.bytes().size(), table, basis).pointCount;
}

RawFix At(int latitudeE5, int longitudeE5, int second) {
  RawFix fix = Fix(2021, 8, 1, 10, 0, second);
  fix.latitudeE5 = latitudeE5;
  fix.longitudeE5 = longitudeE5;
  return fix;
}

std::string TempPath(const std::string& name) {
  return std::string(ORVALD_BINARY_DIR) + "/tracklog-test-" + name;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// --- Header and identity ------------------------------------------------------

TEST(DecodeImage, IdentityComesFromTheHeader) {
  TrackTable table;
  Decode(RawStream("00000012345", "abcd5.1A").Add(Fix(2021, 8, 1, 10, 0, 0)), table);
  EXPECT_EQ(table.serialText, "00000012345");
  EXPECT_EQ(table.typeText, "5.1A");
  EXPECT_EQ(table.pointCount, 1);
}

TEST(DecodeImage, TheHeaderIsNeverScannedForRecords) {
  // A record placed inside the 32 header bytes is not found.
  std::vector<uint8_t> bytes(32, 0);
  const Record r = EncodeFixRecord(Fix(2021, 8, 1, 10, 0, 0));
  std::copy(r.begin(), r.end(), bytes.begin() + 14);
  TrackTable table;
  EXPECT_EQ(DecodeRawImage(bytes.data(), bytes.size(), table, testing::Utc()).pointCount, 0);
  // Shorter than a header: the missing bytes are zero, and there is no record.
  EXPECT_EQ(DecodeRawImage(bytes.data(), 10, table, testing::Utc()).pointCount, 0);
  EXPECT_EQ(table.typeText, "0.0");
}

// --- Resynchronisation ----------------------------------------------------------

TEST(DecodeImage, FindsRecordsBetweenJunkAtAnyOffset) {
  for (int junk = 0; junk <= 18; ++junk) {
    RawStream stream;
    stream.Add(std::vector<uint8_t>(junk, 0x00));
    stream.Add(Fix(2021, 8, 1, 10, 0, 0));
    stream.Add(std::vector<uint8_t>(junk, 0xFF));
    stream.Add(Fix(2021, 8, 1, 10, 0, 1));
    stream.Add(std::vector<uint8_t>(junk, 0x5A));
    TrackTable table;
    EXPECT_EQ(Decode(stream, table), 2) << junk << " junk bytes";
    EXPECT_EQ(table.points()[1].second, 1);
  }
}

TEST(DecodeImage, ErasedRunsAndATruncatedTailFindNothing) {
  RawStream stream;
  stream.Add(std::vector<uint8_t>(4096, 0xFF));
  const Record r = EncodeFixRecord(Fix(2021, 8, 1, 10, 0, 0));
  stream.Add(std::vector<uint8_t>(r.begin(), r.begin() + 17));  // one byte short
  TrackTable table;
  EXPECT_EQ(Decode(stream, table), 0);
  EXPECT_EQ(table.segmentCount, 0);
}

TEST(DecodeImage, AcceptedRecordIsSkippedWhole) {
  // Find a record A such that A[1..17] followed by A[0] is a valid record too
  // (the XOR of that window is then zero by construction). After accepting A
  // the scan must go on 18 bytes further, never at the overlapping window.
  std::mt19937 random(99);
  std::uniform_int_distribution<int> latitude(-8000000, 8000000), longitude(-17000000, 17000000);
  std::uniform_int_distribution<int> secondOfDay(10000, 86399);
  for (int attempt = 0; attempt < 200000; ++attempt) {
    RawFix fix = Fix(2017, 2, 10, 0, 0, 0);
    const int s = secondOfDay(random);
    fix.hour = s / 3600;
    fix.minute = s / 60 % 60;
    fix.second = s % 60;
    fix.fixStatus = 2;
    fix.latitudeE5 = latitude(random);
    fix.longitudeE5 = longitude(random);
    const Record a = EncodeFixRecord(fix);
    Record shifted;
    std::copy(a.begin() + 1, a.end(), shifted.begin());
    shifted[17] = a[0];
    FixDecodeState state{testing::Utc(), 0};
    TrackPoint p{};
    if (DecodeFixRecord(shifted.data(), p, state) != 0 || std::abs(p.latitudeE5) < 100000 || p.second == fix.second) continue;

    RawStream stream;
    stream.Add(a).Add(std::vector<uint8_t>{a[0]});
    TrackTable table;
    EXPECT_EQ(Decode(stream, table), 1);
    // Shifted by one junk byte, the overlapping window is the first valid one.
    RawStream shiftedStream;
    shiftedStream.Add(std::vector<uint8_t>{0x00}).Add(shifted);
    EXPECT_EQ(Decode(shiftedStream, table), 1);
    EXPECT_EQ(table.points()[0].second, p.second);
    return;
  }
  FAIL() << "no overlapping record found";
}

// --- Drop rules ---------------------------------------------------------------

TEST(DecodeImageDrops, RepeatedMinuteAndSecond) {
  RawStream stream;
  stream.Add(Fix(2021, 8, 1, 10, 0, 0));
  stream.Add(Fix(2021, 8, 1, 10, 0, 0));   // the same record again
  stream.Add(Fix(2021, 8, 1, 11, 0, 0));   // one hour later: same minute and second
  stream.Add(Fix(2021, 8, 2, 10, 0, 0));   // one day later: the same again
  stream.Add(Fix(2021, 8, 2, 10, 0, 1));
  stream.Add(Fix(2021, 8, 2, 10, 0, 0));   // compared with the point just before only
  TrackTable table;
  ASSERT_EQ(Decode(stream, table), 3);
  EXPECT_EQ(table.points()[0].hour, 10);
  EXPECT_EQ(table.points()[1].second, 1);
  EXPECT_EQ(table.points()[2].second, 0);
  EXPECT_EQ(table.points()[2].day, 2);
}

TEST(DecodeImageDrops, NearTheOriginBothCoordinatesUnderOneDegree) {
  RawStream stream;
  stream.Add(At(50000, 50000, 0));     // 0.5 N 0.5 E: dropped
  stream.Add(At(-99999, -99999, 1));   // both just under 1 in magnitude: dropped
  stream.Add(At(50000, 100000, 2));    // 1.0 E: kept
  stream.Add(At(100000, 0, 3));        // 1.0 N, 0 E: kept
  TrackTable table;
  ASSERT_EQ(Decode(stream, table), 2);
  EXPECT_EQ(table.points()[0].second, 2);
  EXPECT_EQ(table.points()[1].second, 3);
}

TEST(DecodeImageDrops, NorthPoleAtZeroEast) {
  RawStream stream;
  stream.Add(At(9000000, 0, 0));   // dropped
  stream.Add(At(9000000, 1, 1));   // 0.00001 E: kept
  stream.Add(At(-9000000, 0, 2));  // south pole: kept
  TrackTable table;
  ASSERT_EQ(Decode(stream, table), 2);
  EXPECT_EQ(table.points()[0].second, 1);
  EXPECT_EQ(table.points()[1].second, 2);
}

TEST(DecodeImageDrops, DroppedPointIsNoReferenceForTheNext) {
  // The duplicate test compares with the last retained point, not the last record.
  RawStream stream;
  stream.Add(At(4000000, 800000, 5));
  stream.Add(At(10, 10, 6));         // dropped near 0/0
  stream.Add(At(4000000, 800000, 6));  // kept: the point before it is :05
  TrackTable table;
  EXPECT_EQ(Decode(stream, table), 2);
}

TEST(DecodeImageDrops, AuxStateFollowsDroppedPoints) {
  RawFix first = Fix(2021, 8, 1, 10, 0, 0);
  RawFix repeat = first;
  repeat.aux = 230;  // dropped as a repeat, but announces the wrap
  RawFix next = Fix(2021, 8, 1, 10, 0, 1);
  next.aux = 10;
  RawStream stream;
  stream.Add(first).Add(repeat).Add(next);
  TrackTable table;
  ASSERT_EQ(Decode(stream, table), 2);
  EXPECT_EQ(table.points()[1].aux, 230);  // 266 x 0.86842
}

// --- Capacity and reuse -----------------------------------------------------------

TEST(DecodeImage, StopsSilentlyAtThePointCapacity) {
  RawStream stream;
  for (int i = 0; i < kMaxPoints + 10; ++i) {
    const int s = i % 86400;
    stream.Add(Fix(2021, 1, 1 + i / 86400, s / 3600, s / 60 % 60, s % 60));
  }
  TrackTable table;
  const DecodeResult result = DecodeRawImage(stream.bytes().data(), stream.bytes().size(), table, testing::Utc());
  EXPECT_TRUE(result.ok());
  EXPECT_EQ(result.pointCount, kMaxPoints);
  EXPECT_EQ(table.pointCount, kMaxPoints);
  EXPECT_EQ(table.points()[kMaxPoints - 1].day, 2);  // 116447 s after 1 Jan 00:00
}

TEST(DecodeImage, FullLoggerMemoryFillsTheTableExactly) {
  // 32 full blocks, one fix a second: every record is found across the block
  // joins (where two erased bytes end each block) and the table is full.
  std::vector<RawFix> fixes;
  const int64_t start = SecondsFromCivil({2024, 6, 1, 6, 0, 0});
  for (int i = 0; i < kMaxPoints; ++i) {
    const CivilDateTime t = CivilFromSeconds(start + i);
    fixes.push_back(Fix(t.year, t.month, t.day, t.hour, t.minute, t.second));
  }
  MemoryLayout layout;
  layout.startBlock = 17;
  const auto raw = ExpectedRawFile(BuildMemoryImage(fixes, layout), "FULL", "");
  ASSERT_EQ(raw.size(), 32u + 32u * 65504u);
  TrackTable table;
  const DecodeResult result = DecodeRawImage(raw.data(), raw.size(), table, testing::Utc());
  EXPECT_EQ(result.pointCount, kMaxPoints);
  EXPECT_EQ(result.segments.segmentCount, 1);
  EXPECT_EQ(table.segments()[0].start, start);
  EXPECT_EQ(table.segments()[0].finish, start + kMaxPoints - 1);
}

TEST(DecodeImage, ASecondDecodeLeavesNothingOfTheFirst) {
  TrackTable table;
  RawStream big;
  for (int i = 0; i < 100; ++i) big.Add(Fix(2021, 8, 1, 10, i / 60, i % 60 * 1));
  for (int i = 0; i < 100; ++i) big.Add(Fix(2021, 8, 1, 12, i / 60, i % 60));
  ASSERT_EQ(Decode(big, table), 200);
  ASSERT_EQ(table.segmentCount, 2);

  RawStream small("NEW", "");
  small.Add(Fix(2021, 8, 2, 9, 0, 0));
  ASSERT_EQ(Decode(small, table), 1);
  EXPECT_EQ(table.serialText, "NEW");
  EXPECT_EQ(table.typeText, "0.0");
  EXPECT_EQ(table.segmentCount, 1);
  EXPECT_EQ(table.segments()[1].points, 0);
  EXPECT_EQ(table.segments()[1].start, 0);
  EXPECT_EQ(table.points()[0].day, 2);
}

// Pages of [begin, begin + bytes) in memory; -1 when the system cannot tell.
long ResidentPages(const void* begin, size_t bytes) {
  const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t start = reinterpret_cast<uintptr_t>(begin) & ~(page - 1);
  const size_t length = reinterpret_cast<uintptr_t>(begin) + bytes - start;
  std::vector<unsigned char> resident((length + page - 1) / page);
  if (mincore(reinterpret_cast<void*>(start), length, resident.data()) != 0) return -1;
  return std::count_if(resident.begin(), resident.end(), [](unsigned char r) { return (r & 1) != 0; });
}

// Exits 0 when building, clearing and a three-point decode leave the storage
// untouched but for the pages written; otherwise says what was touched.
[[noreturn]] void ExitAfterAShortDecode() {
#if defined(__GLIBC__)
  mallopt(M_MMAP_THRESHOLD, 256 * 1024);  // fixed: large blocks are always mapped afresh
#endif
  TrackTable table;
  table.Clear();
  RawStream stream;
  for (int i = 0; i < 3; ++i) stream.Add(Fix(2021, 8, 1, 10, 0, i));
  Decode(stream, table);
  table.Clear();
  const int count = Decode(stream, table);
  // Filled in advance, the points would be some 700 pages and the segments 160.
  const long points = ResidentPages(table.points(), kMaxPoints * sizeof(TrackPoint));
  const long segments = ResidentPages(table.segments(), kMaxSegments * sizeof(TrackSegment));
  std::fprintf(stderr, "%d points decoded; resident pages: %ld of points, %ld of segments\n", count, points,
               segments);
  std::_Exit(count == 3 && points >= 0 && points <= 2 && segments >= 0 && segments <= 2 ? 0 : 1);
}

TEST(DecodeImage, BuildingClearingAndAShortDecodeTouchOnlyThePointsWritten) {
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "ThreadSanitizer's allocator touches the pages it hands out";
#endif
  // In a process of its own: in this one, earlier tests' freed (and written)
  // memory may come back as the table's storage.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(ExitAfterAShortDecode(), ::testing::ExitedWithCode(0), "");
}

// --- Files --------------------------------------------------------------------------

TEST(DecodeFile, MissingFileLeavesAnEmptyTable) {
  TrackTable table;
  RawStream stream("OLD");
  stream.Add(Fix(2021, 8, 1, 10, 0, 0)).Add(Fix(2021, 8, 1, 10, 0, 1));
  ASSERT_EQ(Decode(stream, table), 2);
  ASSERT_EQ(table.segmentCount, 1);

  const DecodeResult result = DecodeRawFile(TempPath("does-not-exist.G00"), table, testing::Utc());
  EXPECT_EQ(result.status, DecodeStatus::kCannotOpen);
  EXPECT_EQ(result.error.number, ENOENT);
  EXPECT_EQ(result.pointCount, 0);
  EXPECT_EQ(table.pointCount, 0);
  EXPECT_EQ(table.segmentCount, 0);
  EXPECT_EQ(table.segments()[0].points, 0);
  EXPECT_EQ(table.segments()[0].finish, 0);
  EXPECT_EQ(table.serialText, "");
  EXPECT_EQ(table.typeText, "");
}

TEST(DecodeFile, OnlyRegularFilesAreReadOthersLeaveAnEmptyTable) {
  // A folder, a device that never ends and a FIFO without a writer (which
  // would block the opener) are refused at once.
  const std::string fifo = std::string(ORVALD_BINARY_DIR) + "/decode-test-fifo";
  ::unlink(fifo.c_str());
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::pair<std::string, int> refused[] = {
      {ORVALD_BINARY_DIR, EISDIR}, {"/dev/zero", kNotRegularFile}, {fifo, kNotRegularFile}};
  for (const auto& [path, error] : refused) {
    TrackTable table;
    RawStream stream("OLD");
    stream.Add(Fix(2021, 8, 1, 10, 0, 0));
    ASSERT_EQ(Decode(stream, table), 1);
    const DecodeResult result = DecodeRawFile(path, table, testing::Utc());
    EXPECT_EQ(result.status, DecodeStatus::kCannotOpen) << path;
    EXPECT_EQ(result.error.number, error) << path;
    EXPECT_EQ(table.pointCount, 0);
    EXPECT_EQ(table.segmentCount, 0);
    EXPECT_EQ(table.serialText, "");
  }
  ::unlink(fifo.c_str());
}

TEST(DecodeFile, ChunkedReadingEqualsDecodingInMemory) {
  // Several chunks of junk with records at every alignment, so that windows
  // and records straddle the chunk boundaries.
  std::mt19937 random(7);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> gap(0, 40);
  RawStream stream("CHUNKS", "abcd4.2C");
  int second = 0;
  while (stream.bytes().size() < 300000) {
    std::vector<uint8_t> junk(gap(random));
    for (auto& b : junk) b = static_cast<uint8_t>(byte(random));
    stream.Add(junk);
    const int s = second++;
    stream.Add(Fix(2021, 8, 1, s / 3600, s / 60 % 60, s % 60));
  }
  const std::string path = TempPath("chunks.G00");
  WriteFile(path, stream.bytes());

  TrackTable fromMemory, fromFile;
  const DecodeResult inMemory = DecodeRawImage(stream.bytes().data(), stream.bytes().size(), fromMemory, testing::Utc());
  const DecodeResult inFile = DecodeRawFile(path, fromFile, testing::Utc());
  std::remove(path.c_str());

  ASSERT_TRUE(inFile.ok());
  EXPECT_GE(inMemory.pointCount, second - 5);  // junk may hide a record now and then
  ASSERT_EQ(inFile.pointCount, inMemory.pointCount);
  EXPECT_EQ(fromFile.serialText, "CHUNKS");
  EXPECT_EQ(fromFile.typeText, "4.2C");
  for (int i = 0; i < inFile.pointCount; ++i) {
    const TrackPoint& a = fromMemory.points()[i];
    const TrackPoint& b = fromFile.points()[i];
    ASSERT_EQ(PointSeconds(a), PointSeconds(b)) << i;
    ASSERT_EQ(a.latitudeE5, b.latitudeE5) << i;
    ASSERT_EQ(a.aux, b.aux) << i;
  }
  ASSERT_EQ(fromFile.segmentCount, fromMemory.segmentCount);
}

TEST(DecodeFile, FileShorterThanAHeader) {
  const std::string path = TempPath("short.G00");
  const FileHeader h = BuildFileHeader("ABCDEFGHIJK", "abcd5.1A");
  WriteFile(path, std::vector<uint8_t>(h.begin(), h.begin() + 21));
  TrackTable table;
  const DecodeResult result = DecodeRawFile(path, table, testing::Utc());
  std::remove(path.c_str());
  EXPECT_TRUE(result.ok());
  EXPECT_EQ(result.pointCount, 0);
  EXPECT_EQ(table.serialText, "ABC");
  EXPECT_EQ(table.typeText, "5.1A");
}

}  // namespace
}  // namespace orvald
