#pragma once
// A scripted logger on the master side of a pseudo-terminal, run on a thread
// of its own. The code under test opens the slave path like a serial port;
// each complete request frame is recorded (with the line rate the slave was
// set to) and answered with the pieces the test's responder returns.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "frame_bytes.h"

namespace orvald::testing {

struct ReplyPiece {
  std::vector<uint8_t> bytes;
  int delayMs = 0;      // pause before these bytes go out
  bool hangUp = false;  // after these bytes, the logger's end of the line closes
};
using Reply = std::vector<ReplyPiece>;

inline Reply Whole(std::vector<uint8_t> bytes) { return {ReplyPiece{std::move(bytes)}}; }
inline Reply FramedReply(const std::vector<uint8_t>& data) { return Whole(FrameOf(data)); }
inline Reply NoReply() { return {}; }

struct SeenRequest {
  std::vector<uint8_t> frame;  // every byte of the request frame
  std::vector<uint8_t> data;   // its data field
  speed_t speed = 0;           // the slave's line rate when it arrived
};

// A pseudo-terminal whose slave stays open on our side too, so the master
// never sees a hang-up merely because the code under test closed its end.
class PtyPair {
 public:
  PtyPair() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    const char* name = ::ptsname(master_);
    if (name == nullptr) return;
    slavePath_ = name;
    keptSlave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  }
  ~PtyPair() { HangUp(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool ok() const { return master_ >= 0 && keptSlave_ >= 0; }
  int master() const { return master_; }
  const std::string& slavePath() const { return slavePath_; }
  termios SlaveSettings() const {
    termios settings{};
    ::tcgetattr(keptSlave_, &settings);
    return settings;
  }
  void SetSlaveSettings(const termios& settings) { ::tcsetattr(keptSlave_, TCSANOW, &settings); }
  // Closes the logger's end: the slave side sees a hang-up.
  void HangUp() {
    if (master_ >= 0) ::close(master_);
    if (keptSlave_ >= 0) ::close(keptSlave_);
    master_ = keptSlave_ = -1;
  }

 private:
  int master_ = -1;
  int keptSlave_ = -1;
  std::string slavePath_;
};

class PtyFakeLogger {
 public:
  using Responder = std::function<Reply(const SeenRequest& request, int index)>;

  explicit PtyFakeLogger(Responder responder = {}) : responder_(std::move(responder)) {
    if (::pipe2(stopPipe_, O_CLOEXEC) != 0) return;
    thread_ = std::thread([this] { Serve(); });
  }
  ~PtyFakeLogger() {
    Stop();
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
  }
  PtyFakeLogger(const PtyFakeLogger&) = delete;
  PtyFakeLogger& operator=(const PtyFakeLogger&) = delete;

  bool ok() const { return pty_.ok(); }
  const std::string& path() const { return pty_.slavePath(); }
  termios SlaveSettings() const { return pty_.SlaveSettings(); }
  void SetSlaveSettings(const termios& settings) { pty_.SetSlaveSettings(settings); }
  void SetResponder(Responder responder) {
    std::lock_guard<std::mutex> lock(mutex_);
    responder_ = std::move(responder);
  }
  std::vector<SeenRequest> Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }
  // Bytes that arrived and were not part of a complete frame yet.
  size_t PendingBytes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pending_.size();
  }
  void Stop() {
    if (!thread_.joinable()) return;
    char stop = 's';
    [[maybe_unused]] auto ignored = ::write(stopPipe_[1], &stop, 1);
    thread_.join();
  }

 private:
  // Sleeps `ms`, or less when told to stop; true when told to stop.
  bool Pause(int ms) {
    pollfd stop{stopPipe_[0], POLLIN, 0};
    return ::poll(&stop, 1, ms) > 0;
  }

  void Serve() {
    for (;;) {
      pollfd fds[2] = {{stopPipe_[0], POLLIN, 0}, {pty_.master(), POLLIN, 0}};
      int ready = ::poll(fds, pty_.master() >= 0 ? 2 : 1, -1);
      if (ready < 0) continue;
      if (fds[0].revents) return;
      if (fds[1].revents & POLLIN) {
        uint8_t chunk[512];
        ssize_t got = ::read(pty_.master(), chunk, sizeof chunk);
        if (got > 0) {
          std::lock_guard<std::mutex> lock(mutex_);
          pending_.insert(pending_.end(), chunk, chunk + got);
        }
      } else if (fds[1].revents) {
        if (Pause(5)) return;  // nobody on the slave side right now
      }
      while (auto request = TakeFrame()) {
        if (!Answer(*request)) return;
      }
    }
  }

  std::optional<SeenRequest> TakeFrame() {
    std::lock_guard<std::mutex> lock(mutex_);
    while (!pending_.empty() && pending_.front() != 0xF0) pending_.erase(pending_.begin());
    if (pending_.size() < 2 || pending_.size() < pending_[1] + 4u) return std::nullopt;
    SeenRequest request;
    request.frame.assign(pending_.begin(), pending_.begin() + pending_[1] + 4);
    request.data.assign(request.frame.begin() + 2, request.frame.end() - 2);
    pending_.erase(pending_.begin(), pending_.begin() + pending_[1] + 4);
    termios settings = pty_.SlaveSettings();
    request.speed = ::cfgetospeed(&settings);
    requests_.push_back(request);
    return request;
  }

  // False once the line is hung up or the logger is told to stop.
  bool Answer(const SeenRequest& request) {
    Responder responder;
    int index;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      responder = responder_;
      index = static_cast<int>(requests_.size()) - 1;
    }
    if (!responder) return true;
    for (const ReplyPiece& piece : responder(request, index)) {
      if (piece.delayMs > 0 && Pause(piece.delayMs)) return false;
      size_t sent = 0;
      while (sent < piece.bytes.size()) {
        ssize_t written = ::write(pty_.master(), piece.bytes.data() + sent, piece.bytes.size() - sent);
        if (written <= 0) break;
        sent += static_cast<size_t>(written);
      }
      if (piece.hangUp) {
        pty_.HangUp();
        return true;
      }
    }
    return true;
  }

  PtyPair pty_;
  Responder responder_;
  mutable std::mutex mutex_;
  std::vector<SeenRequest> requests_;
  std::vector<uint8_t> pending_;
  int stopPipe_[2] = {-1, -1};
  std::thread thread_;
};

}  // namespace orvald::testing
