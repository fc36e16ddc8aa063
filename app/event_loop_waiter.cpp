#include "app/event_loop_waiter.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <memory>

namespace orvald {

void EventLoopWaiter::Wait(int fd, int timeoutMs) {
  QEventLoop loop;
  QTimer deadline;
  deadline.setSingleShot(true);
  deadline.setTimerType(Qt::PreciseTimer);
  QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
  deadline.start(std::max(timeoutMs, 0));

  // Hang-up and errors wake the read notifier too, so a pulled cable ends the wait.
  std::unique_ptr<QSocketNotifier> readable;
  if (fd >= 0) {
    readable = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(readable.get(), &QSocketNotifier::activated, &loop, &QEventLoop::quit);
  }
  if (loop.exec() < 0) {
    // The application is shutting down and runs no more loops; without this
    // the exchange would come straight back and spin until its deadline.
    PollWaiter().Wait(fd, timeoutMs);
  }
}

}  // namespace orvald
