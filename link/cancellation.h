#pragma once
// The one cancel of a download. The operator's abort key (Escape in the
// window, Ctrl-C on the command line) and a station's stop all raise it;
// the session looks at it between pieces and between attempts, and the
// line's long waits (putting the replies back in order) end early on it.
// It belongs to one thread, the download's: a stop from another thread
// reaches it through that station's StopLatch, which its waiter watches.

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

 private:
  bool requested_ = false;
  CancelKeeps keeps_ = CancelKeeps::kNothing;
};

}  // namespace orvald
