// Real flights from the public IGC files, all the way round: their B records
// become logger fixes, a logger memory, the raw file a download of it writes,
// the decoded table, and an IGC file again, whose B records must give back the
// same fixes: time to the second (UTC, whatever the time zone), position to the
// thousandth of a minute that the logger's five decimals allow, altitude to the
// metre that the logger's feet allow, and validity.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "export/igc_writer.h"
#include "support/temp_dir.h"
#include "tracklog/decoder.h"
#include "tracklog/memory_image.h"

namespace orvald {
namespace {

namespace fs = std::filesystem;

struct Fix {
  RawFix raw;
  long latitudeThousandths;   // of a minute, signed, as the source file wrote it
  long longitudeThousandths;
  int gnssMetres;
};

int Number(const std::string& text, size_t at, size_t length) { return std::stoi(text.substr(at, length)); }

long SignedThousandths(const std::string& text, size_t at, int degreeDigits, char negative) {
  const long value = Number(text, at, degreeDigits) * 60000L + Number(text, at + degreeDigits, 5);
  return text[at + degreeDigits + 5] == negative ? -value : value;
}

// Thousandths of a minute to the nearest 1e-5 degree, as a logger would store it.
int32_t E5(long thousandths) { return static_cast<int32_t>(std::lround(thousandths * 5.0 / 3.0)); }

// What the five decimals of `e5` give back, truncated to thousandths of a minute.
long ThousandthsOf(int32_t e5) {
  const long magnitude = std::labs(e5);
  const long value = magnitude / 100000 * 60000 + magnitude % 100000 * 60000 / 100000;
  return e5 < 0 ? -value : value;
}

std::vector<Fix> ReadFlight(const fs::path& path) {
  std::vector<Fix> fixes;
  std::ifstream in(path);
  std::string line;
  int year = 0, month = 0, day = 0, previous = -1;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("HFDTE", 0) == 0) {
      const size_t at = line.find_first_of("0123456789");
      day = Number(line, at, 2);
      month = Number(line, at + 2, 2);
      year = 2000 + Number(line, at + 4, 2);
      continue;
    }
    if (line.size() < 35 || line[0] != 'B') continue;
    Fix fix;
    fix.raw.hour = Number(line, 1, 2);
    fix.raw.minute = Number(line, 3, 2);
    fix.raw.second = Number(line, 5, 2);
    const int secondOfDay = fix.raw.hour * 3600 + fix.raw.minute * 60 + fix.raw.second;
    if (previous >= 0 && secondOfDay < previous) {
      std::tm next{};
      next.tm_year = year - 1900;
      next.tm_mon = month - 1;
      next.tm_mday = day + 1;
      const std::time_t t = timegm(&next);
      gmtime_r(&t, &next);
      year = next.tm_year + 1900;
      month = next.tm_mon + 1;
      day = next.tm_mday;
    }
    previous = secondOfDay;
    fix.raw.year = year;
    fix.raw.month = month;
    fix.raw.day = day;
    fix.latitudeThousandths = SignedThousandths(line, 7, 2, 'S');
    fix.longitudeThousandths = SignedThousandths(line, 15, 3, 'W');
    fix.raw.latitudeE5 = E5(fix.latitudeThousandths);
    fix.raw.longitudeE5 = E5(fix.longitudeThousandths);
    fix.raw.fixStatus = line[24] == 'A' ? 1 : 0;
    fix.gnssMetres = std::stoi(line.substr(30, 5));
    fix.raw.altitudeFeet = static_cast<int16_t>(std::lround(fix.gnssMetres / 0.3048));
    fix.raw.event = fixes.size() % 97 == 5 ? 1 : 0;  // a few pilot marks along the way
    fixes.push_back(fix);
  }
  return fixes;
}

// The decoder keeps a fix unless it repeats the kept fix's minute and second or
// lies near 0/0 or exactly at 90 N 0 E.
std::vector<Fix> KeptByDecoder(const std::vector<Fix>& fixes) {
  std::vector<Fix> kept;
  for (const Fix& f : fixes) {
    if (std::abs(f.raw.latitudeE5) < 100000 && std::abs(f.raw.longitudeE5) < 100000) continue;
    if (!kept.empty() && kept.back().raw.minute == f.raw.minute && kept.back().raw.second == f.raw.second) continue;
    if (f.raw.latitudeE5 == 9000000 && f.raw.longitudeE5 == 0) continue;
    kept.push_back(f);
  }
  return kept;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t from = 0; from < text.size();) {
    size_t end = text.find("\r\n", from);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(from, end - from));
    from = end + 2;
  }
  return lines;
}

void RoundTrip(const fs::path& path, long _timezone) {
  SCOPED_TRACE(path.filename().string() + " with _timezone " + std::to_string(_timezone));
  const std::vector<Fix> source = ReadFlight(path);
  ASSERT_GT(source.size(), 100u);
  std::vector<RawFix> rawFixes;
  for (const Fix& f : source) rawFixes.push_back(f.raw);

  MemoryLayout layout;
  layout.startBlock = 29;  // spread over blocks 29, 30, 31, 0, ... so the download order wraps
  layout.recordsPerBlock = 400;
  const std::vector<uint8_t> raw = ExpectedRawFile(BuildMemoryImage(rawFixes, layout), "RT0001", "VER 3.2B");

  TrackTable table;
  const DecodeResult decoded = DecodeRawImage(raw.data(), raw.size(), table, TimeBasis{_timezone, 2099});
  ASSERT_TRUE(decoded.ok());
  const std::vector<Fix> expected = KeptByDecoder(source);
  ASSERT_EQ(table.pointCount, static_cast<int>(expected.size()));
  ASSERT_GE(table.segmentCount, 1);
  ASSERT_EQ(table.segments()[table.segmentCount - 1].lastPoint, table.pointCount - 1);

  testing::TempDir dir;
  IgcSaveRequest request;
  request.firstSegment = 0;
  request.lastSegment = table.segmentCount - 1;
  request.competNo = "7";
  request.taskText = "1";
  request.loggerSN = table.serialText;
  request.loggerType = table.typeText;
  request._timezone = _timezone;
  request.directory = dir.path();
  const IgcSaveResult saved = WriteIgcFile(table, request);
  ASSERT_TRUE(saved.saved()) << saved.error;

  const std::vector<std::string> lines = Lines(testing::ReadWholeFile(dir / saved.fileName));
  ASSERT_GT(lines.size(), 2u);
  EXPECT_EQ(lines[0], "AXXXXXX 3.2B,RT0001");
  char date[16];
  std::snprintf(date, sizeof date, "HFDTE%02d%02d%02d", expected[0].raw.day, expected[0].raw.month,
                expected[0].raw.year % 100);
  EXPECT_EQ(lines[1], date);

  size_t index = 0;
  int events = 0;
  for (const std::string& line : lines) {
    if (line[0] == 'E') {
      ++events;
      ASSERT_LT(index, expected.size());
      EXPECT_TRUE(expected[index].raw.event) << line;
      continue;
    }
    if (line[0] != 'B') continue;
    ASSERT_LT(index, expected.size()) << "more B records than fixes";
    ASSERT_EQ(line.size(), 35u) << line;
    const Fix& f = expected[index++];
    char time[8];
    std::snprintf(time, sizeof time, "%02d%02d%02d", f.raw.hour, f.raw.minute, f.raw.second);
    EXPECT_EQ(line.substr(1, 6), time) << line;
    const long latitude = SignedThousandths(line, 7, 2, 'S');
    const long longitude = SignedThousandths(line, 15, 3, 'W');
    EXPECT_EQ(latitude, ThousandthsOf(f.raw.latitudeE5)) << line;
    EXPECT_EQ(longitude, ThousandthsOf(f.raw.longitudeE5)) << line;
    EXPECT_LE(std::labs(latitude - f.latitudeThousandths), 1) << line;
    EXPECT_LE(std::labs(longitude - f.longitudeThousandths), 1) << line;
    EXPECT_EQ(line[24], f.raw.fixStatus ? 'A' : 'V') << line;
    const int metres = std::stoi(line.substr(25, 5));
    EXPECT_EQ(metres, std::stoi(line.substr(30, 5))) << line;
    EXPECT_EQ(metres, static_cast<int>(std::trunc(f.raw.altitudeFeet * 0.3048L))) << line;
    EXPECT_LE(std::abs(metres - f.gnssMetres), 1) << line;
  }
  EXPECT_EQ(index, expected.size());
  int expectedEvents = 0;
  for (const Fix& f : expected) expectedEvents += f.raw.event;
  EXPECT_EQ(events, expectedEvents);
  EXPECT_GT(events, 0);
}

TEST(IgcRoundTrip, RealFlightsComeBackFixForFix) {
  int flights = 0;
  for (const auto& entry : fs::directory_iterator(ORVALD_FLIGHTS_DIR)) {
    if (entry.path().extension() != ".igc") continue;
    for (long offset : {0L, -7200L, 18000L}) RoundTrip(entry.path(), offset);
    ++flights;
  }
  EXPECT_GT(flights, 0) << "no IGC files in " ORVALD_FLIGHTS_DIR;
}

}  // namespace
}  // namespace orvald
