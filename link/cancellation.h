#pragma once
// The one cancel of a download. The operator's abort key (Escape in the
// window, Ctrl-C on the command line) and a station's stop all raise it;
// the session looks at it between pieces and between attempts, and the
// line's long waits (putting the replies back in order) end early on it.
// It belongs to one thread, the download's: a stop from another thread
// reaches it through that station's StopLatch, which its waiter watches.

namespace orvald {

class Cancellation {
 public:
  bool requested() const { return requested_; }
  void Request() { requested_ = true; }
  // The operator chose to go on, or a new download begins.
  void Withdraw() { requested_ = false; }

 private:
  bool requested_ = false;
};

}  // namespace orvald
