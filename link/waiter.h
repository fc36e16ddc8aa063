#pragma once
// How an exchange sleeps while it waits for a reply. The front end supplies
// it: the command line sleeps in poll(2), the window runs its event loop until
// the descriptor is ready or the time is up, so keys and menus stay alive.

#include <poll.h>

namespace orvald {

// What ends a wait on a descriptor before its time.
enum class WakeOn {
  kReadable,  // received bytes, or a hang-up or error
  kHangUp,    // only a hang-up or error: the caller already knows when the
              // bytes it waits for are due and would only be woken by each one
};

class Waiter {
 public:
  virtual ~Waiter() = default;
  // Sleeps until `fd` is ready as `wakeOn` says, until `timeoutMs` has
  // passed, or until the caller's own events were handled (Ctrl-C on the
  // command line), whichever comes first. With fd < 0 only the time counts.
  virtual void Wait(int fd, int timeoutMs, WakeOn wakeOn) = 0;
};

// poll(2) events for a wait; hang-up and errors are always reported.
inline short PollEventsFor(WakeOn wakeOn) { return wakeOn == WakeOn::kReadable ? POLLIN : 0; }

class PollWaiter : public Waiter {
 public:
  void Wait(int fd, int timeoutMs, WakeOn wakeOn) override;
};

}  // namespace orvald
