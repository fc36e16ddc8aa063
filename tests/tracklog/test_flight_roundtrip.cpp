// Real flights through the whole raw path: the B records of each public IGC
// file become logger fixes, a logger memory, the raw file its download writes,
// and are decoded back from that file.
//
// What must come back: every B record, in order, except those the decoder is
// meant to drop (a fix with the same minute and second as the fix kept before
// it, a fix within one degree of 0/0 in both coordinates, a fix at exactly 90 N
// 0 E), with its UTC time to the second, its coordinates as the exact 5-decimal
// truncation of the IGC minutes, its altitude in feet and its validity.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tracklog/calendar.h"
#include "tracklog/decoder.h"
#include "tracklog/memory_image.h"

namespace orvald {
namespace {

namespace fs = std::filesystem;

struct Flight {
  std::string name;
  std::vector<RawFix> fixes;
};

int Number(const std::string& text, size_t at, size_t length) { return std::stoi(text.substr(at, length)); }

// DDMMmmm (or DDDMMmmm) minutes to degrees x 100000, truncated exactly:
// thousandths of a minute x 100000 / 60000 = x 5 / 3.
int32_t DegreesE5(const std::string& text, size_t at, int degreeDigits, char hemisphere) {
  const int degrees = Number(text, at, degreeDigits);
  const int thousandthsOfMinute = Number(text, at + degreeDigits, 5);
  const int32_t value = degrees * 100000 + thousandthsOfMinute * 5 / 3;
  return hemisphere == 'S' || hemisphere == 'W' ? -value : value;
}

Flight ReadFlight(const fs::path& path) {
  Flight flight{path.filename().string(), {}};
  std::ifstream in(path);
  std::string line;
  int year = 0, month = 0, day = 0;
  int previousSecond = -1;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("HFDTE", 0) == 0) {
      const size_t digits = line.find_first_of("0123456789");
      day = Number(line, digits, 2);
      month = Number(line, digits + 2, 2);
      year = 2000 + Number(line, digits + 4, 2);
      continue;
    }
    if (line.size() < 35 || line[0] != 'B') continue;
    RawFix fix;
    fix.hour = Number(line, 1, 2);
    fix.minute = Number(line, 3, 2);
    fix.second = Number(line, 5, 2);
    const int secondOfDay = fix.hour * 3600 + fix.minute * 60 + fix.second;
    if (previousSecond >= 0 && secondOfDay < previousSecond) {  // past UTC midnight
      CivilFromDays(DaysFromCivil(year, month, day) + 1, year, month, day);
    }
    previousSecond = secondOfDay;
    fix.year = year;
    fix.month = month;
    fix.day = day;
    fix.latitudeE5 = DegreesE5(line, 7, 2, line[14]);
    fix.longitudeE5 = DegreesE5(line, 15, 3, line[23]);
    fix.fixStatus = line[24] == 'A' ? 1 : 0;
    const int gnssMetres = std::stoi(line.substr(30, 5));
    fix.altitudeFeet = static_cast<int16_t>(std::lround(gnssMetres / 0.3048));
    fix.aux = static_cast<uint8_t>(flight.fixes.size() * 7);
    flight.fixes.push_back(fix);
  }
  return flight;
}

std::vector<Flight> AllFlights() {
  std::vector<Flight> flights;
  for (const auto& entry : fs::directory_iterator(ORVALD_FLIGHTS_DIR)) {
    if (entry.path().extension() == ".igc" || entry.path().extension() == ".IGC") flights.push_back(ReadFlight(entry.path()));
  }
  return flights;
}

// The fixes the decoder must keep, by the drop rules applied to the list.
std::vector<RawFix> Retained(const std::vector<RawFix>& fixes) {
  std::vector<RawFix> kept;
  for (const RawFix& f : fixes) {
    if (std::abs(f.latitudeE5) < 100000 && std::abs(f.longitudeE5) < 100000) continue;
    if (!kept.empty() && kept.back().minute == f.minute && kept.back().second == f.second) continue;
    if (f.latitudeE5 == 9000000 && f.longitudeE5 == 0) continue;
    kept.push_back(f);
  }
  return kept;
}

int64_t UtcSeconds(const RawFix& f) { return SecondsFromCivil({f.year, f.month, f.day, f.hour, f.minute, f.second}); }

TEST(FlightRoundTrip, EveryRealFlightComesBackFromItsRawFile) {
  const std::vector<Flight> flights = AllFlights();
  ASSERT_FALSE(flights.empty()) << "no flights in " << ORVALD_FLIGHTS_DIR;
  const long kOffset = 5 * 3600;  // a zone west of UTC, so local fields differ from UTC
  TrackTable table;

  for (const Flight& flight : flights) {
    SCOPED_TRACE(flight.name);
    ASSERT_GT(flight.fixes.size(), 100u);
    // A logger now and then writes a fix twice; the repeats must go.
    std::vector<RawFix> logged;
    for (size_t i = 0; i < flight.fixes.size(); ++i) {
      logged.push_back(flight.fixes[i]);
      if (i % 97 == 5) logged.push_back(flight.fixes[i]);
    }

    // Spread over several blocks, starting near the top so the order wraps.
    MemoryLayout layout;
    layout.startBlock = 29;
    layout.firstSequence = 500;
    layout.recordsPerBlock = 400;
    const auto memory = BuildMemoryImage(logged, layout);
    const auto raw = ExpectedRawFile(memory, "FLT-0042", "abcd5.1A");
    const std::string path = std::string(ORVALD_BINARY_DIR) + "/tracklog-roundtrip-" + flight.name + ".G00";
    {
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(raw.data()), static_cast<std::streamsize>(raw.size()));
    }
    const DecodeResult result = DecodeRawFile(path, table, TimeBasis{kOffset, 2026});
    std::remove(path.c_str());
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(table.serialText, "FLT-0042");
    EXPECT_EQ(table.typeText, "5.1A");

    const std::vector<RawFix> expected = Retained(logged);
    ASSERT_LT(expected.size(), logged.size());
    ASSERT_EQ(table.pointCount, static_cast<int>(expected.size()));
    for (int i = 0; i < table.pointCount; ++i) {
      const TrackPoint& p = table.points()[i];
      const RawFix& f = expected[i];
      ASSERT_EQ(PointUtcTime(p, kOffset), UtcSeconds(f)) << "point " << i;
      ASSERT_EQ(p.latitudeE5, f.latitudeE5) << "point " << i;
      ASSERT_EQ(p.longitudeE5, f.longitudeE5) << "point " << i;
      ASSERT_EQ(p.altitudeFeet, f.altitudeFeet) << "point " << i;
      ASSERT_EQ(p.fixStatus, f.fixStatus) << "point " << i;
    }

    // The segments partition the points, cut exactly where the clock jumps
    // forward by more than 5 seconds.
    ASSERT_GE(table.segmentCount, 1);
    int nextFirst = 0;
    for (int s = 0; s < table.segmentCount; ++s) {
      const TrackSegment& seg = table.segments()[s];
      ASSERT_EQ(seg.firstPoint, nextFirst);
      for (int i = seg.firstPoint + 1; i <= seg.lastPoint; ++i)
        ASSERT_LE(UtcSeconds(expected[i]) - UtcSeconds(expected[i - 1]), 5) << "inside segment " << s;
      if (s > 0) {
        ASSERT_GT(UtcSeconds(expected[seg.firstPoint]) - UtcSeconds(expected[seg.firstPoint - 1]), 5);
      }
      EXPECT_EQ(seg.start, UtcSeconds(expected[seg.firstPoint]));
      EXPECT_EQ(seg.finish, UtcSeconds(expected[seg.lastPoint]));
      nextFirst = seg.lastPoint + 1;
    }
    EXPECT_EQ(nextFirst, table.pointCount);
  }
}

}  // namespace
}  // namespace orvald
