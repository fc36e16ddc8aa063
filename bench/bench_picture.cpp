// The track picture of a full memory (116448 fixes): what the window's
// redraw costs, and what `orvald-cli plot` does after its process start.
// Targets: a window redraw of the full log under 100 ms, the whole plot
// command under 1 s (scripts/measure-plot times the real program).
//   cmake --build build --target orvald-bench-picture && build/bench/orvald-bench-picture
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPixmap>
#include <cmath>
#include <vector>

#include "app/track_view.h"
#include "picture/track_picture.h"
#include "tracklog/calendar.h"
#include "tracklog/decoder.h"
#include "tracklog/memory_image.h"

namespace orvald {
namespace {

// A day of flying, a fix a second: glides of ten minutes at 25 m/s on a
// wandering heading, five-minute climbs circling at 100 m radius, the logger
// switched off for a few minutes seven times. Circling retraces the same
// pixels again and again, the costliest track to draw.
const std::vector<uint8_t>& FullImage() {
  static const std::vector<uint8_t> file = [] {
    std::vector<RawFix> fixes;
    const int64_t start = SecondsFromCivil({2024, 6, 1, 6, 0, 0});
    double east = 0, north = 0, altitude = 600, heading = 0.3;
    int64_t t = start;
    for (int i = 0; i < kMaxPoints; ++i) {
      if (i > 0 && i % (kMaxPoints / 8) == 0) t += 300;  // switched off
      const int phase = i % 900;
      if (phase < 600) {
        heading += 0.002 * std::sin(i / 700.0);
        east += 25 * std::sin(heading);
        north += 25 * std::cos(heading);
        altitude -= 1.2;
      } else {
        const double a = (phase - 600) * 2 * M_PI / 30;
        east += 100 * 2 * M_PI / 30 * std::cos(a);
        north -= 100 * 2 * M_PI / 30 * std::sin(a);
        altitude += 2.5;
      }
      const CivilDateTime c = CivilFromSeconds(t++);
      RawFix fix;
      SetFixTime(fix, c);
      fix.latitudeE5 = static_cast<int32_t>(4600000 + north / 1.112);
      fix.longitudeE5 = static_cast<int32_t>(700000 + east / 0.772);
      fix.altitudeFeet = static_cast<int16_t>(altitude / 0.3048);
      fix.event = i % 5000 == 0;
      fixes.push_back(fix);
    }
    return ExpectedRawFile(BuildMemoryImage(fixes), "BENCH", "abcd5.1A");
  }();
  return file;
}

const TimeBasis kBasis{0, 2026};

TrackTable& FullTable() {
  static TrackTable table;
  static const bool decoded = [] {
    const auto& image = FullImage();
    return DecodeRawImage(image.data(), image.size(), table, kBasis).ok();
  }();
  (void)decoded;
  return table;
}

void BM_PictureDataFullMemory(benchmark::State& state) {
  const TrackTable& table = FullTable();
  for (auto _ : state) {
    TrackPlotData data = BuildTrackPlotData(table, 0);
    benchmark::DoNotOptimize(data.east.data());
  }
  state.counters["points"] = table.pointCount;
}
BENCHMARK(BM_PictureDataFullMemory)->Unit(benchmark::kMillisecond);

// The window after a decode: the picture's data built again and painted, at
// the size the picture has in the default window and in a maximised one.
void BM_WindowRedrawAfterDecode(benchmark::State& state) {
  TrackView view(FullTable(), 0);
  view.resize(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  view.SetSelection(2, 4);
  for (auto _ : state) {
    view.TableChanged();
    QPixmap shot = view.grab();
    benchmark::DoNotOptimize(shot.cacheKey());
  }
}
BENCHMARK(BM_WindowRedrawAfterDecode)->Args({740, 440})->Args({1600, 700})->Unit(benchmark::kMillisecond);

// A new selection: the same data painted again.
void BM_WindowRedrawNewSelection(benchmark::State& state) {
  TrackView view(FullTable(), 0);
  view.resize(740, 440);
  int first = 0;
  for (auto _ : state) {
    first = (first + 1) % 6;
    view.SetSelection(first, first + 1);
    QPixmap shot = view.grab();
    benchmark::DoNotOptimize(shot.cacheKey());
  }
}
BENCHMARK(BM_WindowRedrawNewSelection)->Unit(benchmark::kMillisecond);

// What the pointer costs: the nearest of 116448 fixes.
void BM_NearestFixFullMemory(benchmark::State& state) {
  const TrackPlotData data = BuildTrackPlotData(FullTable(), 0);
  const PictureLayout layout = LayOutPicture(data, 740, 440, 16, 40);
  double x = 100;
  for (auto _ : state) {
    x = x > 600 ? 100 : x + 7;
    benchmark::DoNotOptimize(NearestFix(data, layout, x, 150, 14));
  }
}
BENCHMARK(BM_NearestFixFullMemory)->Unit(benchmark::kMillisecond);

// orvald-cli plot after its start: decode, data, paint 1200 x 900, PNG.
void BM_PlotPngFullImage(benchmark::State& state) {
  const auto& image = FullImage();
  static TrackTable table;
  size_t bytes = 0;
  for (auto _ : state) {
    DecodeRawImage(image.data(), image.size(), table, kBasis);
    PictureOptions options;
    options.firstSegment = 2;
    options.lastSegment = 4;
    const std::string png = TrackPicturePng(BuildTrackPlotData(table, 0), options, 1200, 900);
    bytes = png.size();
  }
  state.counters["png_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_PlotPngFullImage)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvald

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
