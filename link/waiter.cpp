#include "link/waiter.h"

namespace orvald {

void PollWaiter::Wait(int fd, int timeoutMs, WakeOn wakeOn) {
  pollfd ready{fd, PollEventsFor(wakeOn), 0};
  // An interrupted poll simply hands control back; the exchange re-checks
  // the clock and the channel and waits again.
  ::poll(&ready, fd >= 0 ? 1 : 0, timeoutMs < 0 ? 0 : timeoutMs);
}

}  // namespace orvald
