// IGC files read back into the track table: every file the writer makes
// gives back the same fixes, and the header and record variants other
// recorders write are read leniently.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "export/coordinates.h"
#include "export/igc_text.h"
#include "igc_test_table.h"
#include "support/temp_dir.h"
#include "tracklog/igc_reader.h"
#include "tracklog/log_file.h"

namespace orvald {
namespace {

using testing::AddSegment;
using testing::kApril10th2007;
using testing::TempDir;

const TimeBasis kEastOfUtc{-7200, 2026};  // local = UTC + 2 h, so 22:30 UTC is tomorrow

IgcSaveRequest RequestFor(const TrackTable& table) {
  IgcSaveRequest request;
  request.firstSegment = 0;
  request.lastSegment = table.segmentCount - 1;
  request.loggerType = "5.1A";
  request.loggerSN = "00000012345";
  request.competNo = "12";
  request.now = kApril10th2007 + 86400;
  request._timezone = kEastOfUtc._timezone;
  return request;
}

TEST(IgcImport, EveryFileTheWriterMakesReadsBackToTheSameFile) {
  TrackTable table;
  // Local 00:29:58 .. 00:30:01 is 22:29:58 .. 22:30:01 UTC the day before;
  // south, west, below sea level, an event, a fix without validity.
  AddSegment(table, kApril10th2007 - 5402,
             {{0, 29, 58, -2550000, -12500, -50}, {0, 29, 59, -2550001, -12502, 0, 1}, {0, 30, 0, 1, 150000, 32767},
              {0, 30, 1, 8999999, 17999999, 1, 0, 0}});
  AddSegment(table, kApril10th2007 - 5000, {{0, 36, 40, 4700002, 800004, 3000}, {0, 36, 41, 4700003, 800005, 3001}});
  const IgcSaveRequest request = RequestFor(table);
  const std::string written = IgcFileText(table, request);

  TrackTable imported;
  const DecodeResult result = DecodeIgcText(written, imported, kEastOfUtc);
  ASSERT_TRUE(result.ok());
  ASSERT_EQ(imported.pointCount, table.pointCount);
  ASSERT_EQ(imported.segmentCount, 2);
  EXPECT_EQ(imported.serialText, "00000012345");
  EXPECT_EQ(imported.typeText, "5.1A");
  EXPECT_EQ(imported.points()[1].event, 1);
  EXPECT_EQ(imported.points()[0].day, 10);  // local date, as the raw decode stores it
  EXPECT_EQ(IgcFileText(imported, RequestFor(imported)), written);
}

TEST(IgcImport, AFileIsReadWholeOrNotAtAll) {
  TrackTable table;
  AddSegment(table, kApril10th2007, {{10, 0, 0, 4700000, 800000, 300}, {10, 0, 1, 4700001, 800001, 301}});
  const std::string written = IgcFileText(table, RequestFor(table));
  TempDir dir;
  dir.Write("flight.igc", written);
  TrackTable imported;
  ASSERT_TRUE(DecodeIgcFile(dir / "flight.igc", imported, kEastOfUtc).ok());
  EXPECT_EQ(IgcFileText(imported, RequestFor(imported)), written);

  // Beyond the limit the file is refused, never decoded in part.
  dir.Write("huge.igc", written);
  ASSERT_EQ(::truncate((dir / "huge.igc").c_str(), (64 << 20) + 1), 0);
  DecodeResult result = DecodeIgcFile(dir / "huge.igc", imported, kEastOfUtc);
  EXPECT_EQ(result.status, DecodeStatus::kReadError);
  EXPECT_EQ(result.error.number, EFBIG);
  EXPECT_EQ(imported.pointCount, 0);

  result = DecodeIgcFile("/dev/zero", imported, kEastOfUtc);
  EXPECT_EQ(result.status, DecodeStatus::kCannotOpen);
}

// The writer truncates; the reader must pick the value that truncates back,
// for every thousandth of a minute and every metre a logger can report.
TEST(IgcImport, InversesOfTheWritersTruncationsHoldForEveryValue) {
  for (int m = 0; m < 60000; ++m) {
    char expected[16];
    std::snprintf(expected, sizeof expected, "47%02d%03dN", m / 1000, m % 1000);
    ASSERT_EQ(FormatLatitude(47 * 100000 + HundredThousandthsFromMinutes(m)), expected) << m;
  }
  for (int metres = -9987; metres <= 9987; ++metres) {
    ASSERT_EQ(AltitudeMetres(FeetFromIgcMetres(metres)), metres) << metres;
  }
  EXPECT_EQ(FeetFromIgcMetres(20000), 32767);  // beyond what the table holds: clamped
}

TEST(IgcImport, FixesBeyondTheTableAndAltitudesBeyondItsRangeAreCountedNotLostWithoutAWord) {
  std::string text = "HFDTE100407\r\n";
  char line[48];
  for (int i = 0; i < kMaxPoints + 3; ++i) {  // 10000 m and -9999 m are beyond a point's feet, -9987 m is not
    std::snprintf(line, sizeof line, "B%02d%02d%02d4700000N00800000EA00000%s\r\n", i / 3600 % 24, i / 60 % 60, i % 60,
                  i == 0 ? "10000" : i == 1 ? "-9999" : i == 2 ? "-9987" : "00100");
    text += line;
  }
  text += line;  // a repeat of the fix before, no fix of its own
  static TrackTable table;
  const DecodeResult result = DecodeIgcText(text, table, TimeBasis{0, 2026});
  EXPECT_EQ(table.pointCount, kMaxPoints);
  EXPECT_EQ(ImportLossText(result),
            "3 fixes beyond the 116448 a log can hold were left out; 2 altitudes beyond +/-9987 m were clamped");
}

TEST(IgcImport, RecordsThatCannotBeBRecordsAreRejected) {
  IgcFix fix;
  ASSERT_TRUE(ParseBRecord("B1015302530000S02815000EA0030400305extension", fix));
  EXPECT_EQ(fix.secondOfDay, 36930);
  EXPECT_EQ(fix.latitudeE5, -2550000);
  EXPECT_EQ(fix.longitudeE5, 2825000);
  EXPECT_EQ(fix.pressureMetres, 304);
  EXPECT_EQ(fix.gnssMetres, 305);
  EXPECT_TRUE(ParseBRecord("B1015302530000s02815000wV-0015-0015", fix));
  EXPECT_EQ(fix.gnssMetres, -15);
  EXPECT_FALSE(fix.valid);
  for (const char* line : {"B1015302530000S02815000EA003040030",   // short
                           "B2415302530000S02815000EA0030400304",   // hour 24
                           "B1015309100000N02815000EA0030400304",   // 91 degrees
                           "B1015302560000S02815000EA0030400304",   // minute 60
                           "B1015302530000X02815000EA0030400304",   // hemisphere
                           "B1015302530000S18000001EA0030400304",   // beyond 180
                           "B1015302530000S02815000EX0030400304",   // validity
                           "B10153025300 0S02815000EA0030400304",   // blank in a field
                           "B1015302530000S02815000EA00304--304"}) {
    EXPECT_FALSE(ParseBRecord(line, fix)) << line;
  }
}

TEST(IgcImport, HeaderVariantsLineEndsAndTheUtcDayChange) {
  int year = 0, month = 0, day = 0;
  EXPECT_TRUE(ParseIgcDate("HFDTEDATE:160722,01", year, month, day));
  EXPECT_EQ(year * 10000 + month * 100 + day, 20220716);
  EXPECT_TRUE(ParseIgcDate("HPDTE 290296", year, month, day));  // old files, a leap day
  EXPECT_EQ(year, 1996);
  EXPECT_FALSE(ParseIgcDate("HFDTE310222", year, month, day));
  EXPECT_FALSE(ParseIgcDate("HFDTM100GPSDATUM:WGS84", year, month, day));

  // Byte order mark, CR-only line ends, the date after the first fix, a
  // foreign A record, a receiver hiccup (one second back) and midnight.
  const std::string text =
      "\xEF\xBB\xBF" "ALXNQKFFLIGHT:3\r"
      "B2359584700000N00800000EA0100001000\r"
      "HFDTE311223\r"
      "HFRFWFIRMWAREVERSION:1.60\r"
      "B2359594700001N00800001EA0100001000\r"
      "B2359584700002N00800002EA0100001000\r"
      "garbage that is no record\r"
      "B0000014700003N00800003EA0000001000\r";
  TrackTable table;
  const DecodeResult result = DecodeIgcText(text, table, TimeBasis{0, 2026});
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(table.serialText, "QKF");
  EXPECT_EQ(table.typeText, "1.60");
  ASSERT_EQ(table.pointCount, 4);
  EXPECT_EQ(table.points()[2].day, 31);  // a second back is no new day
  EXPECT_EQ(table.points()[3].year, 2024);
  EXPECT_EQ(table.points()[3].month, 1);
  EXPECT_EQ(table.points()[3].altitudeFeet, FeetFromIgcMetres(1000));  // no GNSS altitude: the pressure one
  EXPECT_EQ(table.segmentCount, 1);

  const DecodeResult undated = DecodeIgcText("B2359584700000N00800000EA0100001000\n", table, TimeBasis{0, 2026});
  EXPECT_EQ(undated.status, DecodeStatus::kNoFlightDate);
  EXPECT_EQ(table.pointCount, 0);
}

}  // namespace
}  // namespace orvald
