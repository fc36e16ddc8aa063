#pragma once
// A line in memory on a fake clock, for link and logger tests that need
// neither a terminal nor real time. Bytes the computer writes go to a
// responder (the logger under test); what it answers arrives at the times it
// names, in order, as a logger answers one request after the other. Waiting
// moves the clock to the next arrival, so no test ever sleeps.

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "link/link.h"
#include "link/usb_adapter.h"
#include "link/waiter.h"
#include "frame_bytes.h"

namespace orvald::testing {

struct FakeLine {
  struct Piece {
    int64_t arrivesAtMs;
    std::vector<uint8_t> bytes;
  };

  int64_t nowMs = 0;
  std::deque<Piece> pending;    // not yet arrived, in arrival order
  std::vector<uint8_t> stream;  // every byte that ever arrived, in order
  size_t readOffset = 0;        // how much of `stream` was taken
  int64_t hangUpAtMs = -1;      // -1: the line stays up
  int unsentMs = 0;             // how long a write takes to leave the line
  uint32_t lineRate = 115200;   // what the channel says the line runs at
  bool watchable = true;        // a descriptor to wait on
  std::vector<std::vector<uint8_t>> written;  // every write, whole
  // The logger: told of each write; answers with Send.
  std::function<void(const std::vector<uint8_t>&)> onWrite;

  // Bytes that arrive `delayMs` from now, never before earlier ones.
  void Send(std::vector<uint8_t> bytes, int64_t delayMs = 0) {
    int64_t at = nowMs + delayMs;
    if (!pending.empty()) at = std::max(at, pending.back().arrivesAtMs);
    pending.push_back({at, std::move(bytes)});
  }
  void Deliver() {
    while (!pending.empty() && pending.front().arrivesAtMs <= nowMs) {
      stream.insert(stream.end(), pending.front().bytes.begin(), pending.front().bytes.end());
      pending.pop_front();
    }
  }
  bool HungUp() const { return hangUpAtMs >= 0 && nowMs >= hangUpAtMs; }
  size_t unread() {
    Deliver();
    return stream.size() - readOffset;
  }
};

// The fake line as the channel the link uses; it sits in the USB adapter's
// place, so the serial port is never touched.
class FakeLineChannel : public UsbAdapterBackend {
 public:
  explicit FakeLineChannel(FakeLine& line) : line_(line) {}
  bool Open() override { return true; }
  bool Healthy() override { return !line_.HungUp(); }
  bool SetRate(uint32_t) override { return true; }
  bool WriteAll(const uint8_t* bytes, size_t count) override {
    if (line_.HungUp()) return false;
    line_.written.emplace_back(bytes, bytes + count);
    if (line_.onWrite) line_.onWrite(line_.written.back());
    return true;
  }
  // Like a terminal's queue count, blind to a hang-up: only the health
  // check (and the wait) sees that.
  long BytesWaiting() override { return static_cast<long>(line_.unread()); }
  size_t ReadInto(uint8_t* destination, size_t count) override {
    const size_t got = std::min(count, line_.unread());
    std::copy_n(line_.stream.begin() + static_cast<long>(line_.readOffset), got, destination);
    line_.readOffset += got;
    return got;
  }
  int WaitDescriptor() const override { return line_.watchable ? 1000 : -1; }
  void Close() override {}
  int UnsentMilliseconds() override { return line_.unsentMs; }
  uint32_t LineRate() override { return line_.lineRate; }
  ChannelFault Fault() const override { return line_.HungUp() ? ChannelFault{LineStatus::kHangUp, 0} : ChannelFault{}; }

 private:
  FakeLine& line_;
};

// Sleeps on the fake clock: until the next piece arrives (unless only a
// hang-up may wake it), the line hangs up, or the time is up.
class FakeLineWaiter : public Waiter {
 public:
  struct Sleep {
    int timeoutMs;
    WakeOn wakeOn;
  };
  explicit FakeLineWaiter(FakeLine& line) : line_(line) {}
  void Wait(int fd, int timeoutMs, WakeOn wakeOn) override {
    int64_t until = line_.nowMs + std::max(timeoutMs, 0);
    if (fd >= 0 && wakeOn == WakeOn::kReadable && !line_.pending.empty()) {
      until = std::min(until, std::max(line_.nowMs, line_.pending.front().arrivesAtMs));
    }
    if (fd >= 0 && line_.hangUpAtMs >= 0) until = std::min(until, std::max(line_.nowMs, line_.hangUpAtMs));
    // A wait always lets some time pass, as poll(2) does when nothing is ready.
    line_.nowMs = std::max(until, line_.nowMs + 1);
    ++waits;
    sleeps.push_back({timeoutMs, wakeOn});
    if (onWait) onWait();
  }
  int waits = 0;
  std::vector<Sleep> sleeps;  // every wait asked for, in order
  std::function<void()> onWait;

 private:
  FakeLine& line_;
};

// A link over a fake line, on the line's clock.
struct FakeLink {
  FakeLine line;
  FakeLineWaiter waiter{line};
  Link link{std::make_unique<FakeLineChannel>(line)};
  FakeLink() {
    link.SetClock([this] { return line.nowMs; });
    link.SetWaiter(waiter);
  }
};

}  // namespace orvald::testing
