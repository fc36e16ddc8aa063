#pragma once
// Ctrl-C, SIGTERM, SIGHUP and SIGQUIT for the download commands. The handlers only write a byte
// to a pipe; the commands see it where they wait (the exchange's waiter, the
// pause between detection cycles) and between pieces, and turn it into the
// session's abort flag there, on the one thread that runs the session.

#include "link/cancellation.h"
#include "link/waiter.h"

namespace orvald {

class Interrupts {
 public:
  // Installs the handlers for SIGINT, SIGTERM, SIGHUP and SIGQUIT; restores the old ones when destroyed.
  Interrupts();
  ~Interrupts();
  Interrupts(const Interrupts&) = delete;
  Interrupts& operator=(const Interrupts&) = delete;

  // Readable once a signal arrived.
  int fd() const;
  // True when a signal arrived since the last call (and forgets it).
  bool Take();
  // True once any signal arrived during this object's life.
  bool requested() const { return requested_; }
  // Sleeps until `timeoutMs` passed or a signal arrived; true on a signal.
  bool Sleep(int timeoutMs);

 private:
  bool requested_ = false;
};

// The exchange's waiter for the command line: poll(2) on the device and the
// signal pipe, so Ctrl-C is seen while a reply is awaited.
class InterruptibleWaiter : public Waiter {
 public:
  InterruptibleWaiter(Interrupts& interrupts, Cancellation& cancel) : interrupts_(interrupts), cancel_(cancel) {}
  void Wait(int fd, int timeoutMs, WakeOn wakeOn) override;

 private:
  Interrupts& interrupts_;
  Cancellation& cancel_;
};

}  // namespace orvald
