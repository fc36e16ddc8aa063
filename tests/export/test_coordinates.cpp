#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "export/coordinates.h"

namespace orvald {
namespace {

TEST(Coordinates, WorkedExamples) {
  EXPECT_EQ(FormatLatitude(-25.5), "2530000S");
  EXPECT_EQ(FormatLongitude(28.25), "02815000E");
  EXPECT_EQ(FormatLongitude(-0.125), "00007500W");
}

TEST(Coordinates, ZeroIsNorthAndEast) {
  EXPECT_EQ(FormatLatitude(0.0), "0000000N");
  EXPECT_EQ(FormatLongitude(0.0), "00000000E");
  EXPECT_EQ(FormatLatitude(-0.0), "0000000N");
  EXPECT_EQ(FormatLongitude(-0.0), "00000000E");
}

TEST(Coordinates, FiveDecimalValuesAreNotTruncatedLow) {
  // 51.00005 is just below 51.00005 as a double; a plain minute calculation gives 5100002N.
  EXPECT_EQ(FormatLatitude(51.00005), "5100003N");
  EXPECT_EQ(FormatLatitude(-51.00005), "5100003S");
  EXPECT_EQ(FormatLongitude(-2.34567), "00220740W");  // 0.34567 x 60 = 20.7402
  EXPECT_EQ(FormatLatitude(51.23456), "5114073N");    // 0.23456 x 60 = 14.0736
}

TEST(Coordinates, RangeLimits) {
  EXPECT_EQ(FormatLatitude(90.0), "9000000N");
  EXPECT_EQ(FormatLatitude(-89.99999), "8959999S");  // 59.9994' truncated
  EXPECT_EQ(FormatLongitude(180.0), "18000000E");
  EXPECT_EQ(FormatLongitude(-179.99999), "17959999W");
  EXPECT_EQ(FormatLongitude(0.00001), "00000000E");  // 0.0006' is below a thousandth
  EXPECT_EQ(FormatLongitude(0.00002), "00000001E");  // 0.0012'
}

// Every 5-decimal value agrees with exact integer arithmetic on its decimal text.
TEST(Coordinates, AgreesWithExactDecimalArithmeticOverASweep) {
  for (long k = 1; k <= 9000000; k += 997) {
    char text[32];
    std::snprintf(text, sizeof text, "%ld.%05ld", k / 100000, k % 100000);
    const double value = std::strtod(text, nullptr);
    const long thousandths = (k % 100000) * 60000 / 100000;
    char expected[32];
    std::snprintf(expected, sizeof expected, "%02ld%02ld%03ldN", k / 100000, thousandths / 1000, thousandths % 1000);
    ASSERT_EQ(FormatLatitude(value), expected) << text;
    expected[7] = 'S';
    ASSERT_EQ(FormatLatitude(-value), expected) << text;
  }
}

}  // namespace
}  // namespace orvald
