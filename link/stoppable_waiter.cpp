#include "link/stoppable_waiter.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace orvald {

StopLatch::StopLatch() {
  if (::pipe(pipe_) == 0) {
    for (int fd : pipe_) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(pipe_[1], F_SETFL, ::fcntl(pipe_[1], F_GETFL) | O_NONBLOCK);
  }
}

StopLatch::~StopLatch() {
  for (int fd : pipe_) {
    if (fd >= 0) ::close(fd);
  }
}

void StopLatch::Raise(CancelKeeps keeps) {
  // Set before the latch, so whoever sees it raised sees what to keep.
  if (!raised_.load()) keepWhatArrived_ = keeps == CancelKeeps::kWhatArrived;
  if (raised_.exchange(true)) return;
  // Never read: the byte keeps the descriptor readable for every waiter.
  const char byte = 1;
  [[maybe_unused]] ssize_t n = ::write(pipe_[1], &byte, 1);
}

bool StoppableWaiter::Noticed() {
  if (told_ || !latch_.raised()) return false;
  told_ = true;
  cancel_.Request(latch_.keeps());
  return true;
}

void StoppableWaiter::Wait(int fd, int timeoutMs, WakeOn wakeOn) {
  if (Noticed()) return;
  // The latch is watched in every wait, the sleeps through a reply's known
  // length included, so a stop is seen at once.
  pollfd watched[2] = {{fd, PollEventsFor(wakeOn), 0}, {latch_.fd(), POLLIN, 0}};
  pollfd* first = fd >= 0 ? watched : watched + 1;
  const nfds_t count = (fd >= 0 ? 1 : 0) + (told_ ? 0 : 1);
  // An interrupted poll simply hands control back, as for any waiter.
  ::poll(first, count, timeoutMs < 0 ? 0 : timeoutMs);
  Noticed();
}

bool StoppableWaiter::Pause(int timeoutMs) {
  if (latch_.raised()) return true;
  pollfd latch{latch_.fd(), POLLIN, 0};
  ::poll(&latch, 1, timeoutMs < 0 ? 0 : timeoutMs);
  return latch_.raised();
}

}  // namespace orvald
