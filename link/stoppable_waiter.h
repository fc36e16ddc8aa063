#pragma once
// Stopping a station that runs on a thread of its own: one latch raised from
// any thread (a signal's watcher, the window), seen by the station wherever it
// sleeps, between detection cycles and while it waits for a reply.

#include <atomic>
#include <functional>

#include "link/cancellation.h"
#include "link/waiter.h"

namespace orvald {

// Once raised it stays raised; its descriptor stays readable from then on.
class StopLatch {
 public:
  StopLatch();
  ~StopLatch();
  StopLatch(const StopLatch&) = delete;
  StopLatch& operator=(const StopLatch&) = delete;

  // `keeps` says what the download under way leaves behind.
  void Raise(CancelKeeps keeps = CancelKeeps::kNothing);
  bool raised() const { return raised_.load(); }
  CancelKeeps keeps() const { return keepWhatArrived_.load() ? CancelKeeps::kWhatArrived : CancelKeeps::kNothing; }
  int fd() const { return pipe_[0]; }

 private:
  int pipe_[2] = {-1, -1};
  std::atomic<bool> raised_{false};
  std::atomic<bool> keepWhatArrived_{false};
};

// The waiter of one station: the device and the latch. The first wait that
// sees the latch raises `cancel` (the session's) and returns at once;
// later waits (putting the logger back to its detection rate) watch the
// device alone, so they sleep as usual instead of waking over and over.
class StoppableWaiter : public Waiter {
 public:
  StoppableWaiter(const StopLatch& latch, Cancellation& cancel) : latch_(latch), cancel_(cancel) {}

  // A second latch, raised when the station's device went away: the first
  // wait that sees it calls `onUnplugged` on the waiting thread (which closes
  // the line, so the download ends as at a pulled cable, its file kept) and
  // goes on; the pause between cycles ends on it as on a stop.
  void WatchUnplug(const StopLatch& unplug, std::function<void()> onUnplugged) {
    unplug_ = &unplug;
    onUnplugged_ = std::move(onUnplugged);
  }

  void Wait(int fd, int timeoutMs, WakeOn wakeOn) override;
  // The pause between detection cycles; true when the station is to stop
  // (or its device went away).
  bool Pause(int timeoutMs);

 private:
  bool Noticed();
  bool NoticedUnplug();

  const StopLatch& latch_;
  Cancellation& cancel_;
  bool told_ = false;
  const StopLatch* unplug_ = nullptr;
  std::function<void()> onUnplugged_;
  bool unplugTold_ = false;
};

}  // namespace orvald
