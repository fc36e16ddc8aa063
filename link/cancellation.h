#pragma once
// The one cancel of a download, and what every blocking call of it needs
// besides: how to sleep, and where to say how far it got. The operator's
// abort key (Escape in the window, Ctrl-C on the command line) and a
// station's stop all raise it; the session looks at it between pieces and
// between attempts, and the line's waits sleep through it, so a long wait
// (putting the replies back in order) ends early on it.
// It belongs to one thread, the download's: a stop from another thread
// reaches it through that station's StopLatch, which its waiter watches.

#include <cstdint>
#include <functional>

#include "link/waiter.h"

namespace orvald {

// What a cancelled download leaves behind. The operator's abort and Ctrl-C
// throw the partial file away, as they always did; a station removed or shut
// down by the window keeps what arrived under an incomplete name, as a
// pulled cable does, so no flight is lost to a click.
enum class CancelKeeps { kNothing, kWhatArrived };

class Cancellation {
 public:
  bool requested() const { return requested_; }
  bool keepsWhatArrived() const { return requested_ && keeps_ == CancelKeeps::kWhatArrived; }
  void Request(CancelKeeps keeps = CancelKeeps::kNothing) {
    requested_ = true;
    keeps_ = keeps;
  }
  // The operator chose to go on, or a new download begins.
  void Withdraw() { requested_ = false; }

  // ---- Sleeping. The link the cancel is given to lends it its waiter and
  // clock (the window's event loop, the command line's signal pipe, a
  // station's latches) and takes them back when it is given another; without
  // them it sleeps in poll(2) on the steady clock.
  void SleepWith(Waiter* waiter, std::function<int64_t()> clock) {
    waiter_ = waiter;
    clock_ = std::move(clock);
  }
  // One wait as the waiter makes it (until `fd` is ready, the time is up or
  // the front end handled its events), cancelled or not: an exchange that
  // does not end on a cancel still sleeps between its looks at the line.
  // True when the download is cancelled.
  bool Wait(int fd, int timeoutMs, WakeOn wakeOn);
  // Sleeps until `deadlineMs` on the clock, or until cancelled; true when
  // cancelled. Each wait sleeps until an event or the deadline, never a spin.
  bool SleepUntil(int64_t deadlineMs);
  int64_t Now() const;

  // ---- Progress: the share of the work done, in per cent, told to whoever
  // listens (the download session's view) as it is reported.
  void SetProgressListener(std::function<void(int percent)> listener) { progress_ = std::move(listener); }
  void Progress(int percent) const {
    if (progress_) progress_(percent);
  }

 private:
  bool requested_ = false;
  CancelKeeps keeps_ = CancelKeeps::kNothing;
  Waiter* waiter_ = nullptr;
  std::function<int64_t()> clock_;
  std::function<void(int)> progress_;
};

}  // namespace orvald
