#pragma once
// Serves a LoggerModel on a pseudo-terminal: the computer opens the slave
// side like a serial port; the simulator reads frames from the master side,
// answers them through the fault plan, and paces its output like a UART
// when asked. Single-threaded, event-driven with poll(2).

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "sim/fault_plan.h"
#include "sim/frame.h"
#include "sim/logger_model.h"
#include "sim/replay_script.h"
#include "sim/reply_shaper.h"
#include "sim/transcript.h"

namespace orvald::sim {

struct ServerOptions {
  bool ignoreRate = false;     // answer frames whatever the terminal's speed
  bool pace = false;           // send reply bytes at the line rate, 10 bits each
  int turnaroundMs = 0;        // pause between a request's last byte and the reply
  uint64_t hangupAfter = 0;    // > 0: request hangupAfter + 1 hangs the line up
  bool reopenAfterHangup = false;  // then make a new terminal instead of exiting
  std::string linkPath;        // symlink kept pointing at the current terminal
  // > 0 with swapTo: after answering swapAfter requests the logger is
  // unplugged, and swapGapMs later swapTo is plugged in in its place (on a
  // new terminal behind the link when swapHangUp, else on the same line).
  uint64_t swapAfter = 0;
  int swapGapMs = 1000;
  bool swapHangUp = false;
  LoggerModel* swapTo = nullptr;
  FaultSettings faults;
  ReplayScript* replay = nullptr;  // answer from a recording instead of the model
};

// Speed of a termios speed_t in bit/s; 0 when unknown.
int BaudFromSpeed(unsigned long speed);

class PtyServer {
 public:
  using Clock = std::chrono::steady_clock;

  PtyServer(ServerOptions options, LoggerModel& model, FaultPlan& plan, Transcript& transcript);
  ~PtyServer();
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  // Creates the terminal (and the link, when asked). False with a message in
  // error() when the system refuses.
  bool Open();
  // The path the computer should open: the link when there is one.
  std::string devicePath() const;
  const std::string& slavePath() const { return slavePath_; }
  const std::string& error() const { return error_; }

  // Serves until `stopFd` becomes readable (a signal's self-pipe), the
  // parent process goes away, or a hang-up ends the run. Returns the exit code.
  int Run(int stopFd);

  uint64_t requestCount() const { return requestCount_; }

 private:
  struct Chunk {
    std::vector<uint8_t> bytes;
    Clock::time_point earliest;
    std::chrono::microseconds gapAfterPrevious{0};
    int pacedRate = 0;        // 0 = as fast as the terminal takes it
    int rateAfter = 0;        // non-zero: the logger's rate once this is sent
    // Filled when the chunk becomes the head of the queue.
    bool started = false;
    Clock::time_point startAt;
    size_t sent = 0;
  };

  bool OpenTerminal();
  void CloseTerminal();
  bool UpdateLink();
  int LineRate() const;
  void ReadInput();
  void HandleFrame(const std::vector<uint8_t>& request, Clock::time_point arrived);
  void Schedule(const ShapedReply& shaped, Clock::time_point arrived, int rateAfter);
  // Writes what is due; returns the time of the next write, or max() when idle.
  Clock::time_point Pump();
  bool HangUp();
  // The swap, once due: true while nobody is on the line.
  bool Unplugged(Clock::time_point now);
  double SecondsSinceStart() const;

  ServerOptions options_;
  LoggerModel* model_;
  FaultPlan& plan_;
  Transcript& transcript_;
  int master_ = -1;
  int slaveHold_ = -1;  // keeps the line alive while the computer has it closed
  std::string slavePath_;
  std::string error_;
  FrameParser parser_;
  Clock::time_point lastByte_;
  Clock::time_point started_;
  Clock::time_point lastFinish_;  // when the last queued byte went out
  std::deque<Chunk> output_;
  uint64_t requestCount_ = 0;
  uint64_t generation_ = 0;  // counts terminals, so input of a hung-up one is dropped
  bool hungUp_ = false;
  bool finished_ = false;
  bool waitingForWritable_ = false;
  bool swapped_ = false;
  Clock::time_point pluggedInAt_{};  // when the second logger is there
};

}  // namespace orvald::sim
