// Decoding speed of a full logger memory and of foreign bytes, from memory and
// from a file (page-cached).
//   cmake --build <build> --target orvald-bench-decode && <build>/bench/orvald-bench-decode

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tracklog/calendar.h"
#include "tracklog/decoder.h"
#include "tracklog/memory_image.h"

namespace orvald {
namespace {

// A zone east of UTC, so every fix goes through the local-time shift.
const TimeBasis kBasis{-7200, 2026};

// 32 full blocks: 116448 fixes one second apart, the decoder's capacity.
const std::vector<uint8_t>& FullImage() {
  static const std::vector<uint8_t> file = [] {
    std::vector<RawFix> fixes;
    fixes.reserve(kMaxPoints);
    const int64_t start = SecondsFromCivil({2024, 6, 1, 6, 0, 0});
    for (int i = 0; i < kMaxPoints; ++i) {
      const CivilDateTime t = CivilFromSeconds(start + i);
      RawFix fix;
      SetFixTime(fix, t);
      fix.latitudeE5 = 4612345 + i % 5000;
      fix.longitudeE5 = 712345 - i % 7000;
      fix.altitudeFeet = static_cast<int16_t>(1000 + i % 3000);
      fix.aux = static_cast<uint8_t>(i);
      fix.event = i % 1000 == 0 ? 1 : 0;
      fixes.push_back(fix);
    }
    return ExpectedRawFile(BuildMemoryImage(fixes), "BENCH", "abcd5.1A");
  }();
  return file;
}

// A 32-byte header followed by 2 MiB of random bytes.
const std::vector<uint8_t>& RandomImage() {
  static const std::vector<uint8_t> file = [] {
    std::vector<uint8_t> bytes(32 + 2 * 1024 * 1024);
    std::mt19937_64 random(2024);
    for (auto& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
  }();
  return file;
}

std::string WriteTemp(const std::vector<uint8_t>& bytes, const char* name) {
  const std::string path = std::string("/tmp/orvald-bench-") + name + ".G00";
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

void Report(benchmark::State& state, const DecodeResult& result, size_t bytes) {
  state.counters["points"] = result.pointCount;
  state.counters["segments"] = result.segments.segmentCount;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void BM_DecodeFullImageInMemory(benchmark::State& state) {
  const auto& image = FullImage();
  TrackTable table;
  DecodeResult result;
  for (auto _ : state) {
    result = DecodeRawImage(image.data(), image.size(), table, kBasis);
    benchmark::DoNotOptimize(table.points());
  }
  Report(state, result, image.size());
}
BENCHMARK(BM_DecodeFullImageInMemory)->Unit(benchmark::kMillisecond);

void BM_DecodeFullImageFile(benchmark::State& state) {
  const std::string path = WriteTemp(FullImage(), "full");
  TrackTable table;
  DecodeResult result;
  for (auto _ : state) {
    result = DecodeRawFile(path, table, kBasis);
    benchmark::DoNotOptimize(table.points());
  }
  std::remove(path.c_str());
  Report(state, result, FullImage().size());
}
BENCHMARK(BM_DecodeFullImageFile)->Unit(benchmark::kMillisecond);

// As a command does it: a table of its own for the one decode, so every page
// of points is touched for the first time.
void BM_DecodeFullImageFileFreshTable(benchmark::State& state) {
  const std::string path = WriteTemp(FullImage(), "fresh");
  DecodeResult result;
  for (auto _ : state) {
    TrackTable table;
    result = DecodeRawFile(path, table, kBasis);
    benchmark::DoNotOptimize(table.points());
  }
  std::remove(path.c_str());
  Report(state, result, FullImage().size());
}
BENCHMARK(BM_DecodeFullImageFileFreshTable)->Unit(benchmark::kMillisecond);

void BM_DecodeRandomBytesInMemory(benchmark::State& state) {
  const auto& image = RandomImage();
  TrackTable table;
  DecodeResult result;
  for (auto _ : state) {
    result = DecodeRawImage(image.data(), image.size(), table, kBasis);
    benchmark::DoNotOptimize(table.points());
  }
  Report(state, result, image.size());
}
BENCHMARK(BM_DecodeRandomBytesInMemory)->Unit(benchmark::kMillisecond);

void BM_DecodeRandomBytesFile(benchmark::State& state) {
  const std::string path = WriteTemp(RandomImage(), "random");
  TrackTable table;
  DecodeResult result;
  for (auto _ : state) {
    result = DecodeRawFile(path, table, kBasis);
    benchmark::DoNotOptimize(table.points());
  }
  std::remove(path.c_str());
  Report(state, result, RandomImage().size());
}
BENCHMARK(BM_DecodeRandomBytesFile)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvald

BENCHMARK_MAIN();
