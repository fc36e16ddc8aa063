#pragma once
// How an exchange sleeps while it waits for a reply. The front end supplies
// it: the command line sleeps in poll(2), the window runs its event loop until
// the descriptor is readable or the time is up, so keys and menus stay alive.

namespace orvald {

class Waiter {
 public:
  virtual ~Waiter() = default;
  // Sleeps until `fd` is readable (or reports hang-up or error), until
  // `timeoutMs` has passed, or until the caller's own events were handled,
  // whichever comes first. With fd < 0 only the time counts.
  virtual void Wait(int fd, int timeoutMs) = 0;
};

class PollWaiter : public Waiter {
 public:
  void Wait(int fd, int timeoutMs) override;
};

}  // namespace orvald
