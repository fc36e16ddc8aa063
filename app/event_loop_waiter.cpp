#include "app/event_loop_waiter.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <memory>

namespace orvald {

void EventLoopWaiter::Wait(int fd, int timeoutMs, WakeOn wakeOn) {
  QEventLoop loop;
  QTimer deadline;
  deadline.setSingleShot(true);
  deadline.setTimerType(Qt::PreciseTimer);
  QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
  deadline.start(std::max(timeoutMs, 0));

  // A pulled cable ends the wait either way: a terminal reports its hang-up
  // with an error condition, which wakes a read notifier and an exception
  // notifier alike (with either of Qt's event dispatchers). A terminal has
  // no priority data, so the exception notifier sleeps through arriving
  // bytes and wakes for nothing else.
  std::unique_ptr<QSocketNotifier> ready;
  if (fd >= 0) {
    ready = std::make_unique<QSocketNotifier>(
        fd, wakeOn == WakeOn::kReadable ? QSocketNotifier::Read : QSocketNotifier::Exception);
    QObject::connect(ready.get(), &QSocketNotifier::activated, &loop, &QEventLoop::quit);
  }
  if (loop.exec() < 0) {
    // The application is shutting down and runs no more loops; without this
    // the exchange would come straight back and spin until its deadline.
    PollWaiter().Wait(fd, timeoutMs, wakeOn);
  }
}

}  // namespace orvald
