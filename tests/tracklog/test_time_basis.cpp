// The clock facts taken from the C library: the standard-time offset without
// daylight saving, and the local year.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "tracklog/time_basis.h"

namespace orvald {
namespace {

// Sets TZ for one test and puts the old value back afterwards.
class ZoneGuard {
 public:
  explicit ZoneGuard(const char* zone) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ZoneGuard() {
    if (old_) {
      setenv("TZ", old_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  std::optional<std::string> old_;
};

TEST(TimeBasis, OffsetIsSecondsWestWithoutDaylightSaving) {
  {
    ZoneGuard zone("EST5EDT,M3.2.0,M11.1.0");
    EXPECT_EQ(SystemTimezoneOffset(), 5 * 3600);
  }
  {
    ZoneGuard zone("CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(SystemTimezoneOffset(), -3600);
  }
  {
    ZoneGuard zone("UTC0");
    EXPECT_EQ(SystemTimeBasis()._timezone, 0);
  }
}

TEST(TimeBasis, CurrentYearIsTheLocalYear) {
  ZoneGuard zone("UTC0");
  const time_t now = time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  const TimeBasis basis = SystemTimeBasis();
  // Read on both sides of the call, in case the year turns meanwhile.
  EXPECT_GE(basis.currentYear, utc.tm_year + 1900);
  EXPECT_LE(basis.currentYear, utc.tm_year + 1901);
}

TEST(TimeBasis, TheYearIsThatOfTheOffsetTheDecodeUses) {
  // 31 December 2026, 12:00 UTC: already 2027 fourteen hours east, still
  // 2026 at UTC, whatever the machine's own zone says.
  ZoneGuard zone("UTC0");
  const std::time_t noon = 1798718400;  // 2026-12-31T12:00:00Z
  EXPECT_EQ(TimeBasisAt(noon, -50400).currentYear, 2027);
  EXPECT_EQ(TimeBasisAt(noon, -50400)._timezone, -50400);
  EXPECT_EQ(TimeBasisAt(noon, 0).currentYear, 2026);
  EXPECT_EQ(TimeBasisAt(noon + 12 * 3600 + 1800, 3600).currentYear, 2026) << "00:30 UTC is 23:30 an hour west";
}

}  // namespace
}  // namespace orvald
