#include "link/cancellation.h"

#include <algorithm>
#include <climits>

#include "link/link.h"

namespace orvald {

int64_t Cancellation::Now() const { return clock_ ? clock_() : SteadyMilliseconds(); }

bool Cancellation::Wait(int fd, int timeoutMs, WakeOn wakeOn) {
  if (waiter_ != nullptr) {
    waiter_->Wait(fd, timeoutMs, wakeOn);
  } else {
    PollWaiter().Wait(fd, timeoutMs, wakeOn);
  }
  return requested_;
}

bool Cancellation::SleepUntil(int64_t deadlineMs) {
  // A waiter may hand control back before the time (a signal, an event the
  // window handled); the rest is slept out.
  for (int64_t left = deadlineMs - Now(); left > 0 && !requested_; left = deadlineMs - Now()) {
    if (Wait(-1, static_cast<int>(std::min<int64_t>(left, INT_MAX)), WakeOn::kReadable)) return true;
  }
  return requested_;
}

}  // namespace orvald
