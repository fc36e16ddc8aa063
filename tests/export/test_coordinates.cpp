#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "export/coordinates.h"

namespace orvald {
namespace {

TEST(Coordinates, WorkedExamples) {
  EXPECT_EQ(FormatLatitude(-2550000), "2530000S");
  EXPECT_EQ(FormatLongitude(2825000), "02815000E");
  EXPECT_EQ(FormatLongitude(-12500), "00007500W");
}

TEST(Coordinates, ZeroIsNorthAndEast) {
  EXPECT_EQ(FormatLatitude(0), "0000000N");
  EXPECT_EQ(FormatLongitude(0), "00000000E");
}

TEST(Coordinates, FiveDecimalValuesAreNotTruncatedLow) {
  // 51.00005 x 60 = 3060.003': a floating-point path easily gives 5100002N.
  EXPECT_EQ(FormatLatitude(5100005), "5100003N");
  EXPECT_EQ(FormatLatitude(-5100005), "5100003S");
  EXPECT_EQ(FormatLongitude(-234567), "00220740W");  // 0.34567 x 60 = 20.7402
  EXPECT_EQ(FormatLatitude(5123456), "5114073N");    // 0.23456 x 60 = 14.0736
}

TEST(Coordinates, RangeLimits) {
  EXPECT_EQ(FormatLatitude(9000000), "9000000N");
  EXPECT_EQ(FormatLatitude(-8999999), "8959999S");  // 59.9994' truncated
  EXPECT_EQ(FormatLongitude(18000000), "18000000E");
  EXPECT_EQ(FormatLongitude(-17999999), "17959999W");
  EXPECT_EQ(FormatLongitude(1), "00000000E");  // 0.0006' is below a thousandth
  EXPECT_EQ(FormatLongitude(-1), "00000000W");
  EXPECT_EQ(FormatLongitude(2), "00000001E");  // 0.0012'
}

// The text as it came out when the table held the coordinate as the long
// double of its decimal text: rounded back to hundred-thousandths from a
// double, then cut to thousandths of a minute. Saved files must not change.
std::string TextFromLongDoubleTable(int32_t e5, int degreeWidth, char positive, char negative) {
  const double degrees = static_cast<double>(static_cast<long double>(e5) / 100000.0L);
  const long long k = std::llround(std::fabs(degrees) * 100000.0);
  const long long thousandths = k % 100000 * 60000 / 100000;
  char text[32];
  std::snprintf(text, sizeof text, "%0*lld%02lld%03lld%c", degreeWidth, k / 100000, thousandths / 1000,
                thousandths % 1000, degrees < 0 ? negative : positive);
  return text;
}

TEST(Coordinates, SameTextAsFromTheLongDoubleTable) {
  // Every fraction of a degree at the smallest and the largest whole degrees
  // (where a binary fraction strays furthest), both signs; then a stride
  // through the whole range.
  for (int32_t degrees : {0, 89, 90}) {
    for (int32_t fraction = 0; fraction < (degrees == 90 ? 1 : 100000); ++fraction) {
      for (int32_t e5 : {degrees * 100000 + fraction, -(degrees * 100000 + fraction)}) {
        ASSERT_EQ(FormatLatitude(e5), TextFromLongDoubleTable(e5, 2, 'N', 'S')) << e5;
      }
    }
  }
  for (int32_t degrees : {0, 179, 180}) {
    for (int32_t fraction = 0; fraction < (degrees == 180 ? 1 : 100000); ++fraction) {
      for (int32_t e5 : {degrees * 100000 + fraction, -(degrees * 100000 + fraction)}) {
        ASSERT_EQ(FormatLongitude(e5), TextFromLongDoubleTable(e5, 3, 'E', 'W')) << e5;
      }
    }
  }
  for (int32_t e5 = -18000000; e5 <= 18000000; e5 += 997) {
    ASSERT_EQ(FormatLongitude(e5), TextFromLongDoubleTable(e5, 3, 'E', 'W')) << e5;
    if (e5 >= -9000000 && e5 <= 9000000) {
      ASSERT_EQ(FormatLatitude(e5), TextFromLongDoubleTable(e5, 2, 'N', 'S')) << e5;
    }
  }
}

}  // namespace
}  // namespace orvald
