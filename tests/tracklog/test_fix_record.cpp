// One 18-byte fix record: validation, the time-zone shift, coordinate text
// conversion, and the auxiliary, event, altitude and status fields.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "fix_fixtures.h"

namespace orvald {
namespace {

using testing::Fix;
using testing::Record;
using testing::WithCheckByte;

struct Decoded {
  int status;
  TrackPoint point;
};

Decoded DecodeWith(const Record& r, TimeBasis basis = testing::Utc()) {
  FixDecodeState state{basis, 0};
  Decoded d{0, TrackPoint{}};
  d.status = DecodeFixRecord(r.data(), d.point, state);
  return d;
}

Record Encode(const RawFix& fix) { return EncodeFixRecord(fix); }

// --- Validation ------------------------------------------------------------

TEST(FixRecordValidation, EncodedFixComesBackFieldForField) {
  RawFix fix = Fix(2019, 2, 16, 18, 1, 14);
  fix.latitudeE5 = -2824579;
  fix.longitudeE5 = 8150240;
  fix.altitudeFeet = 154;
  fix.fixStatus = 7;
  const Decoded d = DecodeWith(Encode(fix));
  ASSERT_EQ(d.status, 0);
  EXPECT_EQ(d.point.year, 2019);
  EXPECT_EQ(d.point.month, 2);
  EXPECT_EQ(d.point.day, 16);
  EXPECT_EQ(d.point.hour, 18);
  EXPECT_EQ(d.point.minute, 1);
  EXPECT_EQ(d.point.second, 14);
  EXPECT_EQ(d.point.latitudeE5, -2824579);
  EXPECT_EQ(d.point.longitudeE5, 8150240);
  EXPECT_EQ(d.point.altitudeFeet, 154);
  EXPECT_EQ(d.point.fixStatus, 7);
  EXPECT_EQ(d.point.event, 0);
}

TEST(FixRecordValidation, AnyFlippedBitFailsTheCheck) {
  const Record good = Encode(Fix(2020, 5, 5, 5, 5, 5));
  for (int byte = 0; byte < 18; ++byte) {
    Record bad = good;
    bad[byte] ^= 0x10;
    EXPECT_EQ(DecodeWith(bad).status, -1) << "byte " << byte;
  }
}

TEST(FixRecordValidation, ErasedFlashPassesTheCheckButNotTheMonth) {
  Record erased;
  erased.fill(0xFF);
  EXPECT_EQ(DecodeWith(erased).status, -1);
}

TEST(FixRecordValidation, ImpossibleDatesAreRejected) {
  EXPECT_EQ(DecodeWith(Encode(Fix(2021, 2, 30, 12, 0, 0))).status, -1);
  EXPECT_EQ(DecodeWith(Encode(Fix(2021, 2, 29, 12, 0, 0))).status, -1);
  EXPECT_EQ(DecodeWith(Encode(Fix(2020, 2, 29, 12, 0, 0))).status, 0);  // leap year
  EXPECT_EQ(DecodeWith(Encode(Fix(2021, 4, 31, 12, 0, 0))).status, -1);
  EXPECT_EQ(DecodeWith(Encode(Fix(2021, 13, 1, 12, 0, 0))).status, -1);
  EXPECT_EQ(DecodeWith(Encode(Fix(2021, 0, 1, 12, 0, 0))).status, -1);
  EXPECT_EQ(DecodeWith(Encode(Fix(2021, 1, 0, 12, 0, 0))).status, -1);
}

TEST(FixRecordValidation, YearMustLieBetween2000AndTheClockYear) {
  EXPECT_EQ(DecodeWith(Encode(Fix(1999, 6, 1, 12, 0, 0))).status, -1);
  EXPECT_EQ(DecodeWith(Encode(Fix(2000, 1, 1, 0, 0, 0))).status, 0);
  EXPECT_EQ(DecodeWith(Encode(Fix(2026, 12, 31, 12, 0, 0)), testing::Utc(2026)).status, 0);
  EXPECT_EQ(DecodeWith(Encode(Fix(2027, 1, 1, 12, 0, 0)), testing::Utc(2026)).status, -1);
  EXPECT_EQ(DecodeWith(Encode(Fix(2027, 1, 1, 12, 0, 0)), testing::Utc(2027)).status, 0);
}

TEST(FixRecordValidation, CoordinatesOutOfRangeAreRejected) {
  RawFix fix = Fix(2020, 5, 5, 5, 5, 5);
  fix.latitudeE5 = 9000001;
  EXPECT_EQ(DecodeWith(Encode(fix)).status, -1);
  fix.latitudeE5 = -9000001;
  EXPECT_EQ(DecodeWith(Encode(fix)).status, -1);
  fix.latitudeE5 = -9000000;
  EXPECT_EQ(DecodeWith(Encode(fix)).status, 0);
  fix.latitudeE5 = 0;
  fix.longitudeE5 = 18000001;
  EXPECT_EQ(DecodeWith(Encode(fix)).status, -1);
  fix.longitudeE5 = -18000000;
  EXPECT_EQ(DecodeWith(Encode(fix)).status, 0);
}

TEST(FixRecordValidation, TimeDigitsWrapAtOneDay) {
  // Nibbles above 9 count with their value; the sum is taken modulo 86400.
  Record r = Encode(Fix(2020, 5, 5, 0, 0, 0));
  r[2] = static_cast<uint8_t>((r[2] & 0xF0) | 0x9);
  r[3] = 0x99;
  r[4] = 0x99;  // 99999 -> 13599 = 03:46:39
  Decoded d = DecodeWith(WithCheckByte(r));
  ASSERT_EQ(d.status, 0);
  EXPECT_EQ(d.point.hour, 3);
  EXPECT_EQ(d.point.minute, 46);
  EXPECT_EQ(d.point.second, 39);
  EXPECT_EQ(d.point.day, 5);
  r[4] = 0x9A;  // 99990 + 10 = 100000 -> 13600 = 03:46:40
  d = DecodeWith(WithCheckByte(r));
  EXPECT_EQ(d.point.second, 40);
}

// --- Time zone --------------------------------------------------------------

TEST(FixRecordTimeZone, EastOfUtcCrossesIntoTheNewYear) {
  const Record r = Encode(Fix(2025, 12, 31, 23, 30, 0));
  const Decoded d = DecodeWith(r, TimeBasis{-7200, 2026});
  ASSERT_EQ(d.status, 0);
  EXPECT_EQ(d.point.year, 2026);
  EXPECT_EQ(d.point.month, 1);
  EXPECT_EQ(d.point.day, 1);
  EXPECT_EQ(d.point.hour, 1);
  EXPECT_EQ(d.point.minute, 30);
  // The year test applies to the shifted year: 2026 is beyond a 2025 clock.
  EXPECT_EQ(DecodeWith(r, TimeBasis{-7200, 2025}).status, -1);
  EXPECT_EQ(DecodeWith(r, TimeBasis{0, 2025}).status, 0);
}

TEST(FixRecordTimeZone, WestOfUtcCrossesBackIntoTheOldYear) {
  const Record r = Encode(Fix(2000, 1, 1, 0, 30, 0));
  EXPECT_EQ(DecodeWith(r, TimeBasis{0, 2026}).status, 0);
  // One hour west the fix falls on 31 December 1999, before the year 2000.
  EXPECT_EQ(DecodeWith(r, TimeBasis{3600, 2026}).status, -1);
}

TEST(FixRecordTimeZone, BackAcrossALeapDay) {
  const Decoded d = DecodeWith(Encode(Fix(2024, 3, 1, 2, 0, 0)), TimeBasis{5 * 3600, 2026});
  ASSERT_EQ(d.status, 0);
  EXPECT_EQ(d.point.month, 2);
  EXPECT_EQ(d.point.day, 29);
  EXPECT_EQ(d.point.hour, 21);
}

TEST(FixRecordTimeZone, UtcTimeUndoesTheShift) {
  for (long offset : {-50400L, -7200L, -1800L, 0L, 3600L, 36000L}) {
    const Decoded d = DecodeWith(Encode(Fix(2023, 6, 30, 23, 59, 58)), TimeBasis{offset, 2026});
    ASSERT_EQ(d.status, 0);
    EXPECT_EQ(PointUtcTime(d.point, offset), 1688169598) << offset;  // 2023-06-30 23:59:58 UTC
  }
}

// --- Coordinates ------------------------------------------------------------

Record WithBytes(Record r, int first, std::initializer_list<uint8_t> bytes) {
  for (uint8_t b : bytes) r[first++] = b;
  return WithCheckByte(r);
}

const Record kBase = EncodeFixRecord(Fix(2020, 5, 5, 5, 5, 5));

TEST(FixRecordCoordinates, LatitudeDigitsAndHemisphere) {
  Decoded d = DecodeWith(WithBytes(kBase, 5, {0x05, 0x12, 0x34, 0x56}));
  ASSERT_EQ(d.status, 0);
  EXPECT_EQ(d.point.latitudeE5, -5123456);
  d = DecodeWith(WithBytes(kBase, 5, {0x15, 0x12, 0x34, 0x56}));
  EXPECT_EQ(d.point.latitudeE5, 5123456);
  // Any non-zero hemisphere nibble means north.
  d = DecodeWith(WithBytes(kBase, 5, {0xF5, 0x12, 0x34, 0x56}));
  EXPECT_EQ(d.point.latitudeE5, 5123456);
}

TEST(FixRecordCoordinates, LongitudeDigitsAndEvent) {
  Decoded d = DecodeWith(WithBytes(kBase, 9, {0x10, 0x02, 0x34, 0x56, 0x7F}));
  ASSERT_EQ(d.status, 0);
  EXPECT_EQ(d.point.longitudeE5, 234567);
  EXPECT_EQ(d.point.event, 0);
  d = DecodeWith(WithBytes(kBase, 9, {0x10, 0x02, 0x34, 0x56, 0x7E}));
  EXPECT_EQ(d.point.event, 1);
  d = DecodeWith(WithBytes(kBase, 9, {0x10, 0x02, 0x34, 0x56, 0x70}));
  EXPECT_EQ(d.point.event, 15);
  d = DecodeWith(WithBytes(kBase, 9, {0x01, 0x79, 0x99, 0x99, 0x9F}));
  EXPECT_EQ(d.point.longitudeE5, -17999999);
}

TEST(FixRecordCoordinates, NibbleAboveNineEndsTheNumber) {
  // "+51.2:..." stops after the first decimal.
  Decoded d = DecodeWith(WithBytes(kBase, 5, {0x15, 0x12, 0xA4, 0x56}));
  EXPECT_EQ(d.point.latitudeE5, 5120000);
  // "+51.:" keeps the integer part.
  d = DecodeWith(WithBytes(kBase, 5, {0x15, 0x1B, 0x34, 0x56}));
  EXPECT_EQ(d.point.latitudeE5, 5100000);
  // "-51.23:" keeps the decimals before it, and the sign.
  d = DecodeWith(WithBytes(kBase, 5, {0x05, 0x12, 0x3D, 0x56}));
  EXPECT_EQ(d.point.latitudeE5, -5123000);
  // "+5<" stops inside the degrees; the decimals are never reached.
  d = DecodeWith(WithBytes(kBase, 5, {0x15, 0xC2, 0x34, 0x56}));
  EXPECT_EQ(d.point.latitudeE5, 500000);
  // "-:" has no digit at all and converts to zero, as does "-00.00000".
  d = DecodeWith(WithBytes(kBase, 5, {0x0A, 0x12, 0x34, 0x56}));
  EXPECT_EQ(d.point.latitudeE5, 0);
  d = DecodeWith(WithBytes(kBase, 5, {0x00, 0x00, 0x00, 0x00}));
  EXPECT_EQ(d.point.latitudeE5, 0);
  // "+1?0..." in the longitude: hundreds digit 1 only.
  d = DecodeWith(WithBytes(kBase, 9, {0x11, 0xF0, 0x34, 0x56, 0x7F}));
  EXPECT_EQ(d.point.longitudeE5, 100000);
  // "-12.3456:" in the longitude: the fifth decimal is the one cut off.
  d = DecodeWith(WithBytes(kBase, 9, {0x00, 0x12, 0x34, 0x56, 0xAF}));
  EXPECT_EQ(d.point.longitudeE5, -1234560);
}

TEST(FixRecordCoordinates, HoldsTheDigitTextExactly) {
  std::mt19937 random(12345);
  std::uniform_int_distribution<int32_t> latitudes(-9000000, 9000000);
  std::uniform_int_distribution<int32_t> longitudes(-18000000, 18000000);
  std::vector<std::pair<int32_t, int32_t>> cases = {{5100005, 100000}, {-2530000, 2815000}, {1, -7500}};
  for (int i = 0; i < 2000; ++i) cases.emplace_back(latitudes(random), longitudes(random));
  for (const auto& [lat, lon] : cases) {
    RawFix fix = Fix(2020, 5, 5, 5, 5, 5);
    fix.latitudeE5 = lat;
    fix.longitudeE5 = lon;
    const Decoded d = DecodeWith(Encode(fix));
    ASSERT_EQ(d.status, 0);
    EXPECT_EQ(d.point.latitudeE5, lat);
    EXPECT_EQ(d.point.longitudeE5, lon);
  }
}

TEST(FixRecordCoordinates, DegreesAreTheDoublesTheLongDoubleTableGave) {
  // The picture computes with these; every coordinate there is must give the
  // double that the table's long double of the decimal text rounded to.
  long mismatches = 0;
  int32_t first = 0;
  for (int32_t e5 = -180 * kE5PerDegree; e5 <= 180 * kE5PerDegree; ++e5) {
    TrackPoint p{};
    p.latitudeE5 = p.longitudeE5 = e5;
    const double before = static_cast<double>(static_cast<long double>(e5) / 100000.0L);
    if (LatitudeDegrees(p) != before || LongitudeDegrees(p) != before) {
      if (mismatches++ == 0) first = e5;
    }
  }
  EXPECT_EQ(mismatches, 0) << "first at " << first;
}

// --- Aux, altitude, status ---------------------------------------------------

TEST(FixRecordFields, AltitudeIsSignedBigEndian) {
  EXPECT_EQ(DecodeWith(WithBytes(kBase, 15, {0xFF, 0xF6})).point.altitudeFeet, -10);
  EXPECT_EQ(DecodeWith(WithBytes(kBase, 15, {0x7F, 0xFF})).point.altitudeFeet, 32767);
  EXPECT_EQ(DecodeWith(WithBytes(kBase, 15, {0x80, 0x00})).point.altitudeFeet, -32768);
  EXPECT_EQ(DecodeWith(WithBytes(kBase, 15, {0x01, 0x02})).point.altitudeFeet, 258);
}

TEST(FixRecordFields, FixStatusIsTheHighNibbleOfByte2) {
  RawFix fix = Fix(2020, 5, 5, 5, 5, 5);
  fix.fixStatus = 0;
  EXPECT_EQ(DecodeWith(Encode(fix)).point.fixStatus, 0);
  fix.fixStatus = 15;
  EXPECT_EQ(DecodeWith(Encode(fix)).point.fixStatus, 15);
}

std::vector<int> AuxSequence(const std::vector<Record>& records, const TimeBasis& basis = testing::Utc()) {
  FixDecodeState state{basis, 0};
  std::vector<int> aux;
  for (const Record& r : records) {
    TrackPoint p{};
    if (DecodeFixRecord(r.data(), p, state) == 0) aux.push_back(p.aux);
  }
  return aux;
}

Record WithAux(RawFix fix, uint8_t aux) {
  fix.aux = aux;
  return EncodeFixRecord(fix);
}

TEST(FixRecordFields, AuxUnwrapsAfterAHighValue) {
  const RawFix f = Fix(2020, 5, 5, 5, 5, 5);
  // g = 230, 266, 150, 10; aux = g x 0.86842 truncated.
  EXPECT_EQ(AuxSequence({WithAux(f, 230), WithAux(f, 10), WithAux(f, 150), WithAux(f, 10)}),
            (std::vector<int>{199, 230, 130, 8}));
  // 219 is not high enough to announce the wrap; 220 is.
  EXPECT_EQ(AuxSequence({WithAux(f, 219), WithAux(f, 0)}), (std::vector<int>{190, 0}));
  EXPECT_EQ(AuxSequence({WithAux(f, 220), WithAux(f, 127), WithAux(f, 128)}), (std::vector<int>{191, 332, 111}));
}

TEST(FixRecordFields, AuxStateFollowsRecordsRejectedLate) {
  const RawFix good = Fix(2020, 5, 5, 5, 5, 5);
  // Rejected at the year test (after the aux step): still sets the state.
  const Record lateReject = WithAux(Fix(1999, 5, 5, 5, 5, 5), 230);
  EXPECT_EQ(AuxSequence({lateReject, WithAux(good, 10)}), (std::vector<int>{230}));
  // Rejected at the date test (before it): leaves the state alone.
  const Record earlyReject = WithAux(Fix(2020, 2, 30, 5, 5, 5), 230);
  EXPECT_EQ(AuxSequence({earlyReject, WithAux(good, 10)}), (std::vector<int>{8}));
}

}  // namespace
}  // namespace orvald
