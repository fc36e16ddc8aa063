// Writing a full log (116448 fixes, every one selected) as an IGC file.
// Target: at most 60 ms per file on the 2-core build machine (fsync included).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "export/igc_text.h"
#include "export/igc_writer.h"
#include "tracklog/track_table.h"

namespace {

void FillFullLog(orvald::TrackTable& table) {
  table.pointCount = orvald::kMaxPoints;
  for (int i = 0; i < table.pointCount; ++i) {
    orvald::TrackPoint& p = table.points()[i];
    p = orvald::TrackPoint{};
    // A wandering track with five-decimal coordinates, as the decoder stores them.
    p.latitudeE5 = static_cast<int32_t>(std::lround((47.0 + 0.5 * std::sin(i * 1e-4)) * 100000.0));
    p.longitudeE5 = static_cast<int32_t>(std::lround((-8.0 + 0.5 * std::cos(i * 1.3e-4)) * 100000.0));
    p.altitudeFeet = static_cast<int16_t>(3000 + 2500 * std::sin(i * 7e-4));
    p.year = 2007;
    p.month = 4;
    p.day = 10;
    const int t = 6 * 3600 + i;
    p.hour = static_cast<uint8_t>(t / 3600 % 24);
    p.minute = static_cast<uint8_t>(t / 60 % 60);
    p.second = static_cast<uint8_t>(t % 60);
    p.event = i % 5000 == 0;
    p.fixStatus = 1;
  }
  table.segmentCount = 1;
  orvald::TrackSegment& s = table.segments()[0];
  s = orvald::TrackSegment{};
  s.start = 1176163200 + 6 * 3600;
  s.firstPoint = 0;
  s.lastPoint = table.pointCount - 1;
  s.points = table.pointCount;
}

void BM_WriteIgcFullLog(benchmark::State& state) {
  static orvald::TrackTable table;
  FillFullLog(table);
  char dir[] = "/tmp/orvald-bench-igc-XXXXXX";
  if (mkdtemp(dir) == nullptr) {
    state.SkipWithError("no temporary directory");
    return;
  }
  orvald::IgcSaveRequest request;
  request.firstSegment = 0;
  request.lastSegment = 0;
  request.competNo = "12";
  request.taskText = "3";
  request.pilotNames = "Bench Pilot";
  request.loggerSN = "00000012345";
  request.loggerType = "5.1A";
  request.directory = dir;
  int64_t bytes = 0;
  for (auto _ : state) {
    const orvald::IgcSaveResult result = orvald::WriteIgcFile(table, request);
    state.PauseTiming();
    if (!result.saved()) {
      state.SkipWithError(result.error.c_str());
      break;
    }
    const std::string path = std::string(dir) + "/" + result.fileName;
    if (bytes == 0) {
      if (FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fseek(f, 0, SEEK_END);
        bytes = std::ftell(f);
        std::fclose(f);
      }
    }
    unlink(path.c_str());
    state.ResumeTiming();
  }
  state.SetBytesProcessed(bytes * state.iterations());
  state.counters["points"] = table.pointCount;
  rmdir(dir);
}
BENCHMARK(BM_WriteIgcFullLog)->Unit(benchmark::kMillisecond)->UseRealTime();

// The text alone, without the file system: what formatting the fixes costs.
void BM_IgcTextFullLog(benchmark::State& state) {
  static orvald::TrackTable table;
  FillFullLog(table);
  orvald::IgcSaveRequest request;
  request.firstSegment = 0;
  request.lastSegment = 0;
  request.loggerType = "5.1A";
  size_t bytes = 0;
  for (auto _ : state) {
    bytes = 0;
    orvald::WriteIgcText(table, request, [&bytes](const char* text, size_t count) {
      benchmark::DoNotOptimize(text);
      bytes += count;
      return true;
    });
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
}
BENCHMARK(BM_IgcTextFullLog)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
