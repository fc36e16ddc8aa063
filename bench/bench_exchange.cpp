// Cost of one exchange, measured on the client side of the link.
//
//   orvald-bench-exchange                      (finds ../sim/orvald-sim beside it,
//   ORVALD_SIM=/path/to/orvald-sim orvald-bench-exchange     or where this says)
//
// Targets:
// - 128-byte memory reads against orvald-sim, unpaced: median round trip per
//   exchange at most 0.2 ms over 10000 reads (counters median_us, p99_us;
//   client_cpu_us is this process's own CPU time per exchange).
// - No logger: each exchange returns after 300 ms, at most 5 ms more
//   (wall_ms), with the process asleep (cpu_ms per exchange near zero).
// - Paced with a 2 ms turnaround (BM_MemoryReadsPaced/<rate>): this process
//   uses at most 1.5 % of one core (cpu_percent), and the reads take at most
//   3 % (57600 bit/s) or 5 % (115200 bit/s) longer than the reply bytes need
//   on the wire plus the turnarounds (over_wire_percent).

#include <benchmark/benchmark.h>
#include <limits.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/exchange.h"
#include "logger/commands.h"
#include "tests/support/pty_fake_logger.h"
#include "tests/support/sim_process.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string SimPath() {
  if (const char* path = std::getenv("ORVALD_SIM")) return path;
  char self[PATH_MAX];
  ssize_t size = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (size <= 0) return "orvald-sim";
  std::string dir(self, static_cast<size_t>(size));
  dir = dir.substr(0, dir.find_last_of('/'));
  return dir + "/../sim/orvald-sim";
}

double ProcessCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

double Percentile(std::vector<double>& values, double fraction) {
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(fraction * (values.size() - 1))];
}

// Reads `count` 128-byte pieces round the memory; returns false on any failure.
bool ReadPieces(orvald::LinkLoggerCommands& logger, int count, std::vector<double>& microseconds) {
  uint8_t piece[orvald::kMaxMemoryRead];
  for (int i = 0; i < count; ++i) {
    const int block = (i / 512) % 32;
    const int offset = (i % 512) * 128;
    const auto started = Clock::now();
    const int got = logger.ReadLoggerMemory(piece, 128, block, offset).count;
    microseconds.push_back(std::chrono::duration<double, std::micro>(Clock::now() - started).count());
    if (got != 128) return false;
  }
  return true;
}

void ReportReads(benchmark::State& state, std::vector<double>& microseconds, double cpuSeconds) {
  state.counters["median_us"] = Percentile(microseconds, 0.5);
  state.counters["p99_us"] = Percentile(microseconds, 0.99);
  state.counters["max_us"] = Percentile(microseconds, 1.0);
  state.counters["client_cpu_us"] = cpuSeconds * 1e6 / static_cast<double>(microseconds.size());
}

void BM_MemoryReadsAgainstSimUnpaced(benchmark::State& state) {
  orvald::test::SimProcess sim(SimPath(), {});
  if (!sim.started()) {
    state.SkipWithError(("orvald-sim: " + sim.error()).c_str());
    return;
  }
  orvald::Link link(nullptr);
  link.ChoosePort(1);
  link.SetPortResolver(orvald::FixedPortResolver(sim.ptyPath()));
  orvald::LinkLoggerCommands logger(link);
  if (logger.SetLoggerRate(57600) != 57600) {
    state.SkipWithError("rate switch failed");
    return;
  }
  std::vector<double> microseconds;
  for (auto _ : state) {
    microseconds.clear();
    const double cpu = ProcessCpuSeconds();
    if (!ReadPieces(logger, 10000, microseconds)) state.SkipWithError("a memory read failed");
    ReportReads(state, microseconds, ProcessCpuSeconds() - cpu);
  }
}
BENCHMARK(BM_MemoryReadsAgainstSimUnpaced)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same against a logger thread in this process that answers at once:
// the link's own share without another process in the way.
void BM_MemoryReadsAgainstPtyThread(benchmark::State& state) {
  using namespace orvald::testing;
  std::vector<uint8_t> data(130, 0x5A);
  data[0] = 0xB1;
  data[1] = 0x52;
  const Reply reply = FramedReply(data);
  PtyFakeLogger logger([&](const SeenRequest&, int) { return reply; });
  orvald::Link link(nullptr);
  link.ChoosePort(1);
  link.SetPortResolver(orvald::FixedPortResolver(logger.path()));
  orvald::LinkLoggerCommands commands(link);
  std::vector<double> microseconds;
  for (auto _ : state) {
    microseconds.clear();
    const double cpu = ProcessCpuSeconds();
    if (!ReadPieces(commands, 10000, microseconds)) state.SkipWithError("a memory read failed");
    // Both ends run in this process here, so the CPU figure counts the
    // logger thread as well.
    ReportReads(state, microseconds, ProcessCpuSeconds() - cpu);
  }
}
BENCHMARK(BM_MemoryReadsAgainstPtyThread)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_NoLoggerAttached(benchmark::State& state) {
  orvald::testing::PtyPair silent;  // a port with nobody behind it
  orvald::Link link(nullptr);
  link.ChoosePort(1);
  link.SetPortResolver(orvald::FixedPortResolver(silent.slavePath()));
  const uint8_t version = 0x78;
  uint8_t reply[256];
  double worstMs = 0, cpuSeconds = 0;
  int exchanges = 0;
  for (auto _ : state) {
    const double cpu = ProcessCpuSeconds();
    const auto started = Clock::now();
    if (orvald::ExchangeFrame(link, &version, 1, reply) != 0) state.SkipWithError("something answered");
    worstMs = std::max(worstMs, std::chrono::duration<double, std::milli>(Clock::now() - started).count());
    cpuSeconds += ProcessCpuSeconds() - cpu;
    ++exchanges;
  }
  state.counters["worst_wall_ms"] = worstMs;
  state.counters["cpu_ms"] = cpuSeconds * 1e3 / exchanges;
}
BENCHMARK(BM_NoLoggerAttached)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

// The simulator paces its replies at the logger's rate, so after the switch
// the line runs at the rate asked for.
void BM_MemoryReadsPaced(benchmark::State& state) {
  constexpr int kTurnaroundMs = 2;
  constexpr int kPieces = 500;
  const uint32_t rate = static_cast<uint32_t>(state.range(0));
  orvald::test::SimProcess sim(SimPath(), {"--pace", "--turnaround-ms", std::to_string(kTurnaroundMs)});
  if (!sim.started()) {
    state.SkipWithError(("orvald-sim: " + sim.error()).c_str());
    return;
  }
  orvald::Link link(nullptr);
  link.ChoosePort(1);
  link.SetPortResolver(orvald::FixedPortResolver(sim.ptyPath()));
  orvald::LinkLoggerCommands logger(link);
  if (logger.SetLoggerRate(rate) != rate) {
    state.SkipWithError("rate switch failed");
    return;
  }
  // A 128-byte read's reply: 130 data bytes in a frame, 10 bits a byte.
  const double wireSeconds = kPieces * ((130 + 4) * 10.0 / rate + kTurnaroundMs / 1000.0);
  std::vector<double> microseconds;
  for (auto _ : state) {
    microseconds.clear();
    const double cpu = ProcessCpuSeconds();
    const auto started = Clock::now();
    if (!ReadPieces(logger, kPieces, microseconds)) state.SkipWithError("a memory read failed");
    const double wall = std::chrono::duration<double>(Clock::now() - started).count();
    ReportReads(state, microseconds, ProcessCpuSeconds() - cpu);
    state.counters["cpu_percent"] = 100.0 * state.counters["client_cpu_us"] * microseconds.size() * 1e-6 / wall;
    state.counters["over_wire_percent"] = 100.0 * (wall / wireSeconds - 1);
  }
}
BENCHMARK(BM_MemoryReadsPaced)->Arg(57600)->Arg(115200)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
