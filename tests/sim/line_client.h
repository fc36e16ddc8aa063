#pragma once
// A deliberately small computer side for the simulator tests: a raw termios
// line and the frame format, independent of the link/ code under test
// elsewhere, so the simulator is checked against the frame rules alone.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/frame_bytes.h"

namespace orvald::simtest {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

inline Bytes Frame(const Bytes& data) { return orvald::testing::FrameOf(data); }

// The computer's acceptance rules: fewer than 252 bytes, the whole announced
// frame present, XOR over length..checksum zero. The data bytes, or nothing.
inline std::optional<Bytes> AcceptReply(const Bytes& r) {
  if (r.empty() || r.size() >= 252 || r.size() < 3) return std::nullopt;
  const size_t len = r[1];
  if (r.size() < len + 4) return std::nullopt;
  uint8_t x = 0;
  for (size_t i = 1; i <= len + 2; ++i) x ^= r[i];
  if (x != 0) return std::nullopt;
  return Bytes(r.begin() + 2, r.begin() + 2 + static_cast<std::ptrdiff_t>(len));
}

struct Arrival {
  Bytes bytes;
  std::vector<size_t> readSizes;          // what each read returned
  std::vector<Clock::duration> readTimes;  // since the request was written
  bool hungUp = false;
};

class LineClient {
 public:
  explicit LineClient(const std::string& path, int rate = 9600) {
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ >= 0) SetRate(rate);
  }
  ~LineClient() {
    if (fd_ >= 0) close(fd_);
  }
  LineClient(const LineClient&) = delete;
  LineClient& operator=(const LineClient&) = delete;

  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }

  bool SetRate(int rate) {
    termios t{};
    if (tcgetattr(fd_, &t) != 0) return false;
    t.c_iflag = 0;
    t.c_oflag = 0;
    t.c_lflag = 0;
    t.c_cflag = CS8 | CREAD | CLOCAL;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    const speed_t s = rate == 57600 ? B57600 : rate == 115200 ? B115200 : rate == 19200 ? B19200
                    : rate == 38400 ? B38400 : B9600;
    cfsetispeed(&t, s);
    cfsetospeed(&t, s);
    return tcsetattr(fd_, TCSANOW, &t) == 0;
  }

  // Sends one request frame and collects what comes back: until the announced
  // frame is complete (when stopAtFrame), or until `windowMs` has passed.
  Arrival Send(const Bytes& data, int windowMs = 300, bool stopAtFrame = true) { return SendRaw(Frame(data), windowMs, stopAtFrame); }

  Arrival SendRaw(const Bytes& wire, int windowMs = 300, bool stopAtFrame = true) {
    Arrival a;
    if (write(fd_, wire.data(), wire.size()) != static_cast<ssize_t>(wire.size())) return a;
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + std::chrono::milliseconds(windowMs);
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) break;
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      if (p.revents & (POLLHUP | POLLERR)) a.hungUp = true;
      uint8_t buf[1024];
      const ssize_t n = read(fd_, buf, sizeof buf);
      if (n <= 0) {
        a.hungUp = a.hungUp || n == 0 || errno == EIO;
        if (a.hungUp) break;
        continue;
      }
      a.bytes.insert(a.bytes.end(), buf, buf + n);
      a.readSizes.push_back(static_cast<size_t>(n));
      a.readTimes.push_back(Clock::now() - start);
      if (stopAtFrame && a.bytes.size() > 2 && a.bytes.size() >= a.bytes[1] + 4u) break;
    }
    return a;
  }

  // Request and accepted reply data in one; nothing on any failure.
  std::optional<Bytes> Exchange(const Bytes& data, int windowMs = 300) { return AcceptReply(Send(data, windowMs).bytes); }

  // Switches logger and line to `rate` the way the download does: request at
  // the old rate, then again at the new one, which must be echoed.
  bool SwitchRate(int rate, uint8_t code) {
    Send({0xC1, 0x41, code});
    SetRate(rate);
    const auto echo = Exchange({0xC1, 0x41, code});
    return echo && *echo == Bytes({0xC1, 0x41, code});
  }

  std::optional<Bytes> ReadMemory(int block, int offset, int count) {
    auto reply = Exchange({0xB1, 0x52, static_cast<uint8_t>(block), static_cast<uint8_t>(offset & 0xFF),
                           static_cast<uint8_t>(offset >> 8), static_cast<uint8_t>(count)});
    if (!reply || reply->size() != static_cast<size_t>(count) + 2 || (*reply)[0] != 0xB1 || (*reply)[1] != 0x52) {
      return std::nullopt;
    }
    return Bytes(reply->begin() + 2, reply->end());
  }

 private:
  int fd_ = -1;
};

}  // namespace orvald::simtest
