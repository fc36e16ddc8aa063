#pragma once
// Shared set-up of the download session tests: a temporary data directory,
// the fake logger, the recording view and fixes that decode into known segments.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "logger/download_fakes.h"
#include "logger/download_session.h"
#include "support/temp_dir.h"
#include "tracklog/calendar.h"
#include "tracklog/fix_encoder.h"
#include "tracklog/memory_image.h"

namespace orvald::testing {

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// One fix a second from 2007-04-10 10:00:00 UTC, with a 60-second gap after
// every `gapEvery` fixes, so the decoder makes one segment per run.
inline std::vector<RawFix> FlightFixes(int count, int gapEvery = 1 << 30, int secondsApart = 1) {
  const int64_t base = SecondsFromCivil({2007, 4, 10, 10, 0, 0});
  std::vector<RawFix> fixes;
  fixes.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    const CivilDateTime t = CivilFromSeconds(base + static_cast<int64_t>(i) * secondsApart + 60 * (i / gapEvery));
    RawFix fix;
    SetFixTime(fix, t);
    fix.latitudeE5 = 4700000 + i % 50000;
    fix.longitudeE5 = 800000 + i % 30000;
    fix.altitudeFeet = static_cast<int16_t>(1000 + i % 500);
    fixes.push_back(fix);
  }
  return fixes;
}

// The download of 10 April 2007, 15:30:12 local time.
inline std::tm DownloadTime(int secondOffset = 0) {
  std::tm t{};
  t.tm_year = 2007 - 1900;
  t.tm_mon = 3;
  t.tm_mday = 10;
  t.tm_hour = 15;
  t.tm_min = 30;
  t.tm_sec = 12 + secondOffset;
  return t;
}

class DownloadTest : public ::testing::Test {
 protected:
  DownloadTest() {
    lookup.rows["00000012345"] = LoggerMatch{true, "007", "Crew One"};
  }

  DownloadSession& Session() {
    if (!session) {
      session = std::make_unique<DownloadSession>(DownloadSessionSetup{
          logger, lookup, view, table, dataDir.path(), TimeBasis{0, 2026},
          [this] { return DownloadTime(clockTicks++); }, nullptr, lastSerialAtStart, downloadRate, claims,
          stationName});
    }
    return *session;
  }

  // A fresh start for the next case of a table: no files, a new session.
  void StartOver() {
    for (const auto& entry : std::filesystem::directory_iterator(dataDir.path()))
      std::filesystem::remove_all(entry.path());
    session.reset();
    clockTicks = 0;
    logger.requests.clear();
  }

  std::vector<uint8_t> Expected() const { return ExpectedRawFile(logger.memory, logger.serialText, logger.versionText); }

  std::vector<std::string> FilesInDataDir() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dataDir.path()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  // Block numbers of the piece reads, in order, one entry per block.
  std::vector<int> BlocksDownloaded() const {
    std::vector<int> blocks;
    for (const auto& r : logger.requests)
      if (r.kind == LoggerRequest::Read && r.count == kPieceSize && (blocks.empty() || blocks.back() != r.block))
        blocks.push_back(r.block);
    return blocks;
  }

  static constexpr const char* kFirstName = "00000012345-20070410-153012.G00";
  static constexpr const char* kIncompleteName = "00000012345-20070410-153012-incomplete.G00";

  TempDir dataDir;
  FakeLogger logger;
  RecordingView view;
  FixedLookup lookup;
  TrackTable table;
  int clockTicks = 0;
  std::string lastSerialAtStart;  // the logger taken as downloaded already
  uint32_t downloadRate = kDownloadRate;
  LoggerClaims* claims = nullptr;
  std::string stationName = "COM1";
  std::unique_ptr<DownloadSession> session;
};

}  // namespace orvald::testing
