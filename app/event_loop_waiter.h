#pragma once
// The window's way of waiting for the logger: a local event loop that ends
// when the serial descriptor becomes ready or the time is up, so the window
// repaints and takes keys and menu commands meanwhile. Nothing spins.

#include "link/waiter.h"

namespace orvald {

class EventLoopWaiter : public Waiter {
 public:
  void Wait(int fd, int timeoutMs, WakeOn wakeOn) override;
};

}  // namespace orvald
