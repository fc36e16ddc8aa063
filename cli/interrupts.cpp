#include "cli/interrupts.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <iterator>

namespace orvald {

namespace {

int g_pipe[2] = {-1, -1};
// Ctrl-C, kill, the terminal closing (SIGHUP) and Ctrl-\ (SIGQUIT) all end a
// download the same way: the partial file removed, the logger back at 9600.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct sigaction g_old[4] = {};

void OnSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] ssize_t n = write(g_pipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

Interrupts::Interrupts() {
  if (g_pipe[0] < 0 && pipe(g_pipe) == 0) {
    for (int fd : g_pipe) {
      fcntl(fd, F_SETFD, FD_CLOEXEC);
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
  }
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  for (size_t i = 0; i < std::size(kStopSignals); ++i) sigaction(kStopSignals[i], &action, &g_old[i]);
}

Interrupts::~Interrupts() {
  for (size_t i = 0; i < std::size(kStopSignals); ++i) sigaction(kStopSignals[i], &g_old[i], nullptr);
}

int Interrupts::fd() const { return g_pipe[0]; }

bool Interrupts::Take() {
  char bytes[16];
  bool any = false;
  while (read(g_pipe[0], bytes, sizeof bytes) > 0) any = true;
  if (any) requested_ = true;
  return any;
}

bool Interrupts::Sleep(int timeoutMs) {
  pollfd p{fd(), POLLIN, 0};
  int result;
  do {
    result = poll(&p, 1, timeoutMs);
  } while (result < 0 && errno == EINTR && !(p.revents & POLLIN));
  return Take();
}

void InterruptibleWaiter::Wait(int fd, int timeoutMs, WakeOn wakeOn) {
  // The signal pipe is watched in every wait, the sleeps through a reply's
  // known length included, so Ctrl-C is seen at once.
  pollfd p[2] = {{interrupts_.fd(), POLLIN, 0}, {fd, PollEventsFor(wakeOn), 0}};
  // A signal cuts the poll short with EINTR; the pipe byte is read below.
  const int ready = poll(p, fd >= 0 ? 2 : 1, timeoutMs < 0 ? 0 : timeoutMs);
  // Most wake-ups are reply bytes; the pipe is read only when it has something
  // (or when a signal cut the poll short).
  if ((ready < 0 || (p[0].revents & POLLIN)) && interrupts_.Take()) cancel_.Request();
}

}  // namespace orvald
