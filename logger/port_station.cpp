#include "logger/port_station.h"

namespace orvald {

PortStation::PortStation(PortStationSetup setup)
    : onDownloaded_(std::move(setup.onDownloaded)),
      firstPollDelayMs_(setup.firstPollDelayMs),
      pollIntervalMs_(setup.pollIntervalMs),
      // The session only keeps the view and the waiter it is given here;
      // both are made right after it, around its one cancel.
      parts_(std::move(setup.station), view_, waiter_),
      waiter_(latch_, parts_.session().cancellation()),
      view_(setup.view, latch_, parts_.session().cancellation()),
      downloadRate_(parts_.session().downloadRate()) {
  waiter_.WatchUnplug(unplug_, [this] { parts_.link().Unplug(); });
}

PortStation::~PortStation() {
  Stop();
  Join();
}

void PortStation::Start() {
  // Each station downloads on a thread of its own; the window's main port
  // stays on the window's thread. A stop reaches this thread through the
  // latch, which raises the session's cancel.
  if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

void PortStation::Join() {
  if (thread_.joinable()) thread_.join();
}

void PortStation::Run() {
  struct Finished {
    std::atomic<bool>& flag;
    ~Finished() { flag = true; }
  } finished{finished_};
  DownloadSession& session = parts_.session();
  if (waiter_.Pause(firstPollDelayMs_)) return;
  do {
    session.SetDownloadRate(downloadRate_);
    if (session.PollOnce()) {
      const LoadLogResult& result = session.lastResult();
      if (result.keptFile() && onDownloaded_) onDownloaded_(result, parts_.table());
    }
  } while (!waiter_.Pause(pollIntervalMs_));
}

}  // namespace orvald
