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

bool StoppableWaiter::NoticedUnplug() {
  if (unplugTold_ || unplug_ == nullptr || !unplug_->raised()) return false;
  unplugTold_ = true;
  if (onUnplugged_) onUnplugged_();
  return true;
}

void StoppableWaiter::Wait(int fd, int timeoutMs, WakeOn wakeOn) {
  if (Noticed()) return;
  // The line was closed under the exchange: it finds out at once.
  if (NoticedUnplug()) return;
  // The latches are watched in every wait, the sleeps through a reply's
  // known length included, so a stop is seen at once.
  pollfd watched[3];
  nfds_t count = 0;
  if (fd >= 0) watched[count++] = {fd, PollEventsFor(wakeOn), 0};
  if (!told_) watched[count++] = {latch_.fd(), POLLIN, 0};
  if (unplug_ != nullptr && !unplugTold_) watched[count++] = {unplug_->fd(), POLLIN, 0};
  // An interrupted poll simply hands control back, as for any waiter.
  ::poll(watched, count, timeoutMs < 0 ? 0 : timeoutMs);
  Noticed();
  NoticedUnplug();
}

bool StoppableWaiter::Pause(int timeoutMs) {
  const auto over = [this] { return latch_.raised() || (unplug_ != nullptr && unplug_->raised()); };
  if (over()) return true;
  pollfd latches[2] = {{latch_.fd(), POLLIN, 0}, {unplug_ != nullptr ? unplug_->fd() : -1, POLLIN, 0}};
  ::poll(latches, 2, timeoutMs < 0 ? 0 : timeoutMs);
  return over();
}

}  // namespace orvald
