// Whatever bytes come back, in whatever pieces and at whatever times, an
// exchange returns either 0 or the data of the one well-formed frame at the
// start of what it received, and it gives up within the reply time limit.
// The line is a fake adapter channel fed from the input and the clock is
// moved by the fake waiter, so no input ever really sleeps.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <vector>

#include "link/exchange.h"

namespace {

// A broken promise stops the run with the line that names it.
void Require(bool condition, int line = __builtin_LINE()) {
  if (condition) return;
  std::fprintf(stderr, "%s:%d: requirement failed\n", __FILE__, line);
  std::abort();
}

struct Piece {
  int64_t arrivesAtMs;
  std::vector<uint8_t> bytes;
};

// The test's whole view of the line: pieces scheduled on the fake clock.
struct FakeLine {
  int64_t nowMs = 0;
  std::deque<Piece> pending;      // not yet arrived, in arrival order
  std::vector<uint8_t> stream;    // every byte that ever arrived, in order
  size_t readOffset = 0;          // how much of `stream` the exchanges took
  int64_t hangUpAtMs = -1;        // -1: the line stays up
  bool watchable = true;          // a descriptor to wait on

  void Deliver() {
    while (!pending.empty() && pending.front().arrivesAtMs <= nowMs) {
      stream.insert(stream.end(), pending.front().bytes.begin(), pending.front().bytes.end());
      pending.pop_front();
    }
  }
  bool HungUp() const { return hangUpAtMs >= 0 && nowMs >= hangUpAtMs; }
};

class FakeAdapter : public orvald::UsbAdapterBackend {
 public:
  explicit FakeAdapter(FakeLine& line) : line(line) {}
  bool Open() override { return true; }
  bool Healthy() override { return !line.HungUp(); }
  bool SetRate(uint32_t) override { return true; }
  bool WriteAll(const uint8_t*, size_t) override { return !line.HungUp(); }
  long BytesWaiting() override {
    if (line.HungUp()) return -1;
    line.Deliver();
    return static_cast<long>(line.stream.size() - line.readOffset);
  }
  size_t ReadInto(uint8_t* destination, size_t count) override {
    line.Deliver();
    const size_t got = std::min(count, line.stream.size() - line.readOffset);
    std::copy_n(line.stream.begin() + static_cast<long>(line.readOffset), got, destination);
    line.readOffset += got;
    return got;
  }
  int WaitDescriptor() const override { return line.watchable ? 1000 : -1; }
  void Close() override {}

 private:
  FakeLine& line;
};

// Sleeps on the fake clock: until the next piece arrives or the time is up.
class FakeWaiter : public orvald::Waiter {
 public:
  explicit FakeWaiter(FakeLine& line) : line(line) {}
  void Wait(int fd, int timeoutMs) override {
    Require(timeoutMs > 0 && timeoutMs <= orvald::kReplyTimeLimitMs);
    int64_t until = line.nowMs + timeoutMs;
    if (fd >= 0 && !line.pending.empty()) until = std::min(until, std::max(line.nowMs, line.pending.front().arrivesAtMs));
    if (fd >= 0 && line.hangUpAtMs >= line.nowMs) until = std::min(until, line.hangUpAtMs);
    // A wait always lets some time pass, as poll(2) does when nothing is ready.
    line.nowMs = std::max(until, line.nowMs + 1);
    ++waits;
  }
  int waits = 0;

 private:
  FakeLine& line;
};

struct Input {
  const uint8_t* data;
  size_t size;
  bool empty() const { return size == 0; }
  uint8_t Byte() {
    if (size == 0) return 0;
    --size;
    return *data++;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input input{data, size};
  FakeLine line;
  auto adapter = std::make_unique<FakeAdapter>(line);
  FakeWaiter waiter(line);
  orvald::Link link(std::move(adapter));
  link.clock = [&line] { return line.nowMs; };
  link.SetWaiter(waiter);
  orvald::ExchangeRecord record;
  bool recorded = false;
  link.transcript = [&](const orvald::ExchangeRecord& r) {
    record = r;
    recorded = true;
  };

  for (int exchange = 0; exchange < 8 && !input.empty(); ++exchange) {
    // The script of one exchange: its request size, then pieces until an end mark.
    const uint8_t requestSize = static_cast<uint8_t>(input.Byte() % orvald::kMaxRequestData + 1);
    std::vector<uint8_t> request(requestSize, 0x52);
    int64_t at = line.nowMs;
    line.hangUpAtMs = -1;
    line.watchable = true;
    for (int piece = 0; piece < 64 && !input.empty(); ++piece) {
      const uint8_t control = input.Byte();
      const int kind = control >> 6;
      const int amount = control & 0x3F;
      if (kind == 3) break;  // nothing more comes for this request
      if (kind == 2) {       // the line hangs up after `amount` x 8 ms
        line.hangUpAtMs = at + amount * 8;
        line.watchable = (amount & 1) == 0;
        continue;
      }
      if (kind == 1) at += input.Byte() * 2;  // a pause before this piece
      Piece arriving{at, {}};
      for (int i = 0; i < amount && !input.empty(); ++i) arriving.bytes.push_back(input.Byte());
      // A long piece stands for a flood: repeat it to pass the refusal count.
      if (kind == 1 && amount == 0x3F) {
        const std::vector<uint8_t> once = arriving.bytes;
        for (int i = 0; i < 4; ++i) arriving.bytes.insert(arriving.bytes.end(), once.begin(), once.end());
      }
      line.pending.push_back(std::move(arriving));
    }

    const size_t takenBefore = line.readOffset;
    const int64_t startedAt = line.nowMs;
    std::vector<uint8_t> reply(orvald::kMaxReplyData, 0xA5);
    recorded = false;
    const int result = orvald::ExchangeFrame(link, request.data(), requestSize, reply.data());
    Require(recorded);
    Require(!link.Exchanging());

    // Given up (or done) within the limit, on the fake clock.
    Require(record.elapsedMs >= 0 && record.elapsedMs <= orvald::kReplyTimeLimitMs);
    Require(line.nowMs - startedAt <= orvald::kReplyTimeLimitMs);

    // What the exchange kept is exactly what arrived next on the line; after
    // a flood it also took in (and dropped) what was still waiting.
    const size_t taken = line.readOffset - takenBefore;
    if (record.receivedCount >= orvald::kRefusedReceivedCount)
      Require(taken >= record.receivedCount);
    else
      Require(taken == record.receivedCount);
    Require(record.received.size() == std::min(record.receivedCount, orvald::kReceiveAreaSize));
    Require(std::equal(record.received.begin(), record.received.end(), line.stream.begin() + static_cast<long>(takenBefore)));
    Require(record.result == result);
    Require(record.request.size() == requestSize + orvald::kFrameOverhead);

    Require(result >= 0 && result <= static_cast<int>(orvald::kMaxReplyData));
    if (result > 0) {
      // Accepted: the length byte names it, the checksum holds, it is not a flood.
      const auto& got = record.received;
      Require(record.receivedCount < orvald::kRefusedReceivedCount);
      Require(got.size() >= static_cast<size_t>(result) + orvald::kFrameOverhead);
      Require(got[1] == result);
      uint8_t sum = got[1];
      for (int i = 0; i < result; ++i) sum ^= got[2 + i];
      Require(sum == got[2 + result]);
      Require(std::equal(reply.begin(), reply.begin() + result, got.begin() + 2));
    }
    // A failed memory read settles the line before the next request: every
    // byte that arrives until the line is quiet is dropped, and settling ends
    // in bounded time however the bytes keep coming.
    if (result == 0 && (requestSize & 1) != 0 && !link.Exchanging()) {
      const int quietMs = 1 + (requestSize >> 1);
      const int64_t settleStart = line.nowMs;
      orvald::SettleLine(link, quietMs);
      Require(line.nowMs - settleStart <= orvald::kSettleLimitMs + quietMs);
      // Unless the line went away or kept talking to the end of the limit,
      // nothing that arrived is left for the next request.
      if (!line.HungUp() && line.nowMs - settleStart < orvald::kSettleLimitMs) {
        line.Deliver();
        Require(line.readOffset == line.stream.size());
      }
    }
    // Whatever did not arrive in time still arrives later, before the next request.
    line.nowMs += 1;
  }
  return 0;
}
