#include "link/waiter.h"

#include <poll.h>

namespace orvald {

void PollWaiter::Wait(int fd, int timeoutMs) {
  pollfd readable{fd, POLLIN, 0};
  // An interrupted poll simply hands control back; the exchange re-checks
  // the clock and the channel and waits again.
  ::poll(&readable, fd >= 0 ? 1 : 0, timeoutMs < 0 ? 0 : timeoutMs);
}

}  // namespace orvald
