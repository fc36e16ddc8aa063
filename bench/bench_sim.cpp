// The simulator's own cost per exchange: a 128-byte memory read through the
// pseudo-terminal, unpaced. The server runs on a thread of this process so
// its CPU time can be read apart from the client's.
// Target: well under 0.1 ms of simulator time per 128-byte read.
//
//   orvald-bench-sim
//   (sim_us_per_read: simulator thread CPU time per exchange;
//    the iteration time is the whole round trip, client and kernel included)

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <termios.h>
#include <unistd.h>

#include <ctime>
#include <thread>
#include <vector>

#include "sim/fault_plan.h"
#include "sim/frame.h"
#include "sim/logger_model.h"
#include "sim/memory_sources.h"
#include "sim/pty_server.h"
#include "sim/transcript.h"
#include "tracklog/memory_image.h"

namespace {

double ThreadCpuSeconds(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void BM_SimMemoryRead128(benchmark::State& state) {
  using namespace orvald::sim;
  LoggerModel model({}, orvald::BuildMemoryImage(SyntheticFlight()));
  FaultPlan plan({}, 1);
  Transcript transcript;
  ServerOptions options;
  options.ignoreRate = true;
  PtyServer server(options, model, plan, transcript);
  if (!server.Open()) {
    state.SkipWithError(server.error().c_str());
    return;
  }
  int stop[2];
  if (pipe(stop) != 0) {
    state.SkipWithError("pipe");
    return;
  }
  std::thread serving([&] { server.Run(stop[0]); });
  clockid_t simClock;
  pthread_getcpuclockid(serving.native_handle(), &simClock);

  const int fd = open(server.slavePath().c_str(), O_RDWR | O_NOCTTY);
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  tcsetattr(fd, TCSANOW, &t);
  const std::vector<uint8_t> request = EncodeFrame({0xB1, 0x52, 0x00, 0x80, 0x00, 0x80});
  uint8_t reply[512];

  const double simStart = ThreadCpuSeconds(simClock);
  for (auto _ : state) {
    if (write(fd, request.data(), request.size()) != static_cast<ssize_t>(request.size())) break;
    size_t got = 0;
    while (got < 134) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 1000) <= 0) break;
      const ssize_t n = read(fd, reply + got, sizeof reply - got);
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    if (got != 134) {
      state.SkipWithError("incomplete reply");
      break;
    }
  }
  const double simSeconds = ThreadCpuSeconds(simClock) - simStart;
  state.counters["sim_us_per_read"] = benchmark::Counter(simSeconds * 1e6 / static_cast<double>(state.iterations()));

  const char byte = 1;
  [[maybe_unused]] ssize_t n = write(stop[1], &byte, 1);
  serving.join();
  close(fd);
  close(stop[0]);
  close(stop[1]);
}
BENCHMARK(BM_SimMemoryRead128)->Iterations(10000)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
