// Writes the bundled demo flight: a synthetic hour over an invented airfield,
// logged every 2 s in three segments (the logger was switched off twice), with
// three pilot event marks, laid out in the logger's blocks and saved as the raw
// file a download of that logger writes. Integer arithmetic only, so every
// build writes the same bytes. Usage: orvald-make-demo-flight [--full] OUTPUT.G00
//
// --full fills the whole memory instead (116448 fixes, the most a logger
// holds): the same route flown lap after lap every second, each lap a little
// further north, the logger off for two minutes between laps. It is what the
// picture's and the decoder's figures are measured on.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "program/conventions.h"
#include "tracklog/calendar.h"
#include "tracklog/track_table.h"
#include "tracklog/fix_encoder.h"
#include "tracklog/memory_image.h"

namespace {

struct Waypoint {
  int seconds;  // after take-off run start
  int32_t latitudeE5;
  int32_t longitudeE5;
  int altitudeFeet;
};

// A triangle out of the field and back, climbing and descending on the way.
const Waypoint kRoute[] = {
    {0, 4681230, 712450, 1640},     {300, 4684010, 716880, 2900},  {1200, 4697500, 736200, 4600},
    {2100, 4709800, 705300, 5200},  {3000, 4690100, 689900, 3800}, {3600, 4681230, 712450, 1640},
    {3800, 4681150, 712600, 1640},
};

// Logged stretches, in seconds after 09:00:00 UTC (inclusive ends).
const int kLogged[][2] = {{0, 1200}, {1380, 2700}, {2910, 3720}};
const int kEventSeconds[] = {600, 1800, 3300};
constexpr int kStepSeconds = 2;

orvald::RawFix FixAt(int elapsed) {
  int leg = 0;
  while (kRoute[leg + 1].seconds < elapsed) ++leg;
  const Waypoint& a = kRoute[leg];
  const Waypoint& b = kRoute[leg + 1];
  const int64_t span = b.seconds - a.seconds;
  const int64_t done = elapsed - a.seconds;

  orvald::RawFix fix;
  fix.year = 2025;
  fix.month = 6;
  fix.day = 14;
  const int second = 9 * 3600 + elapsed;
  fix.hour = second / 3600;
  fix.minute = second / 60 % 60;
  fix.second = second % 60;
  fix.latitudeE5 = static_cast<int32_t>(a.latitudeE5 + (b.latitudeE5 - a.latitudeE5) * done / span);
  fix.longitudeE5 = static_cast<int32_t>(a.longitudeE5 + (b.longitudeE5 - a.longitudeE5) * done / span);
  fix.altitudeFeet = static_cast<int16_t>(a.altitudeFeet + (b.altitudeFeet - a.altitudeFeet) * done / span);
  fix.aux = static_cast<uint8_t>(140 + elapsed % 50);
  fix.fixStatus = elapsed < 10 ? 0 : 3;  // no valid position in the first seconds after switching on
  for (int e : kEventSeconds) {
    if (e == elapsed) fix.event = 1;
  }
  return fix;
}

std::vector<orvald::RawFix> FullMemory() {
  constexpr int kLapSeconds = 3800;
  constexpr int kOffSeconds = 120;
  const int64_t start = orvald::SecondsFromCivil({2025, 6, 14, 6, 0, 0});
  std::vector<orvald::RawFix> fixes;
  for (int i = 0; i < orvald::kMaxPoints; ++i) {
    const int lap = i / (kLapSeconds + 1);
    const int elapsed = i % (kLapSeconds + 1);
    orvald::RawFix fix = FixAt(elapsed);
    fix.latitudeE5 += lap * 1500;
    const orvald::CivilDateTime t = orvald::CivilFromSeconds(start + lap * (kLapSeconds + kOffSeconds) + elapsed);
    orvald::SetFixTime(fix, t);
    fixes.push_back(fix);
  }
  return fixes;
}

}  // namespace

int main(int argc, char** argv) {
  const char* usage = "Usage: orvald-make-demo-flight [--full] OUTPUT.G00\n";
  if (auto answered = orvald::program::AnswerHelpOrVersion("orvald-make-demo-flight", {argv + 1, argv + argc}, usage)) {
    return *answered;
  }
  const bool full = argc == 3 && std::strcmp(argv[1], "--full") == 0;
  if (argc != 2 && !full) {
    std::fputs(usage, stderr);
    return 2;
  }
  const char* output = argv[argc - 1];
  if (orvald::program::RefuseOutputName("orvald-make-demo-flight", output)) return orvald::program::kExitRefusedOutput;
  std::vector<orvald::RawFix> fixes;
  for (const auto& stretch : kLogged) {
    for (int s = stretch[0]; s <= stretch[1]; s += kStepSeconds) fixes.push_back(FixAt(s));
  }

  // Spread over blocks 30, 31 and 0 so the download order wraps, as it does on a well-used logger.
  orvald::MemoryLayout layout;
  layout.startBlock = 30;
  layout.firstSequence = 117;
  layout.recordsPerBlock = 700;
  if (full) {
    fixes = FullMemory();
    layout.recordsPerBlock = orvald::kRecordsPerBlock;
  }
  const std::vector<uint8_t> raw =
      orvald::ExpectedRawFile(orvald::BuildMemoryImage(fixes, layout), "DEMO0000042", "VER 5.1A");

  std::FILE* out = std::fopen(output, "wb");
  if (out == nullptr) {
    std::perror(output);
    return 1;
  }
  const bool written = std::fwrite(raw.data(), 1, raw.size(), out) == raw.size();
  if (std::fclose(out) != 0 || !written) {
    std::perror(output);
    std::remove(output);
    return 1;
  }
  return 0;
}
