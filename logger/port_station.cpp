#include "logger/port_station.h"

namespace orvald {

PortStation::PortStation(PortStationSetup setup)
    : setup_(std::move(setup)),
      // The session is built below; its cancel is only raised once it runs.
      waiter_(latch_, session_.cancellation()),
      view_(setup_.view, latch_, session_.cancellation()),
      commands_(*setup_.link),
      session_(DownloadSessionSetup{commands_,
                                    setup_.lookup,
                                    view_,
                                    table_,
                                    setup_.dataDir,
                                    TimeBasisAt(std::time(nullptr), setup_._timezone),
                                    setup_.localNow,
                                    [] { return std::time(nullptr); },
                                    setup_.lastSerialText,
                                    setup_.downloadRate,
                                    setup_.claims,
                                    setup_.name}),
      downloadRate_(setup_.downloadRate) {
  setup_.link->SetWaiter(waiter_);
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
  if (waiter_.Pause(setup_.firstPollDelayMs)) return;
  do {
    session_.SetDownloadRate(downloadRate_);
    if (session_.PollOnce()) {
      const LoadLogResult& result = session_.lastResult();
      if ((result.end == LoadLogEnd::kComplete || result.incomplete()) && setup_.onDownloaded) {
        setup_.onDownloaded(result, table_);
      }
    }
  } while (!waiter_.Pause(setup_.pollIntervalMs));
}

}  // namespace orvald
