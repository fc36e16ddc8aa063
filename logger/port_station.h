#pragma once
// One port's detection cycle and downloads on a thread of its own, so a desk
// can serve several ports at once. Everything the session touches belongs to
// the station (its link, table, waiter) or is safe to share (the logger
// claims, the data folder's exclusive names); the view and the lookup are the
// station's own and are called on its thread.

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "link/link.h"
#include "link/stoppable_waiter.h"
#include "logger/download_session.h"
#include "logger/station_session.h"

namespace orvald {

struct PortStationSetup {
  StationSetup station;
  SessionView& view;  // called on the station's thread
  // Told on the station's thread of each download that produced a file
  // (complete or kept as incomplete), with the table the session decoded it
  // into (the station's own: to be read during the call only).
  std::function<void(const LoadLogResult&, const TrackTable&)> onDownloaded;
  int firstPollDelayMs = 0;
  int pollIntervalMs = kDetectionIntervalMs;
};

// The station's view: the caller's, with the stop latch looked at before
// every piece, so a stop that came before the download began still ends it.
class StopAwareView : public SessionView {
 public:
  StopAwareView(SessionView& inner, const StopLatch& latch, Cancellation& cancel)
      : inner_(inner), latch_(latch), cancel_(cancel) {}
  void Waiting(const std::string& portProblem) override { inner_.Waiting(portProblem); }
  void Started(const DownloadStart& start) override { inner_.Started(start); }
  void BlockStarted(int counter, int total) override { inner_.BlockStarted(counter, total); }
  void Progress(int done, int total) override { inner_.Progress(done, total); }
  void Share(int percent) override { inner_.Share(percent); }
  void DownloadEnded() override { inner_.DownloadEnded(); }
  void Finished(const LoadLogResult& result) override { inner_.Finished(result); }
  void Ended() override { inner_.Ended(); }
  void Status(const std::string& text) override { inner_.Status(text); }
  void LogShown(const std::string& fileName) override { inner_.LogShown(fileName); }
  void SegmentsCleared() override { inner_.SegmentsCleared(); }
  void SegmentDecoded(int index, const TrackSegment& segment) override { inner_.SegmentDecoded(index, segment); }
  void Identified(const Identification& who) override { inner_.Identified(who); }
  void KeepResponsive() override {
    inner_.KeepResponsive();
    if (latch_.raised()) cancel_.Request(latch_.keeps());
  }
  // Nobody is asked: a station is stopped only when it is meant to stop.
  bool ConfirmCancel() override { return true; }
  void Report(const std::string& text, PromptIcon icon) override { inner_.Report(text, icon); }

 private:
  SessionView& inner_;
  const StopLatch& latch_;
  Cancellation& cancel_;
};

class PortStation {
 public:
  explicit PortStation(PortStationSetup setup);
  // Stops and waits for the thread.
  ~PortStation();
  PortStation(const PortStation&) = delete;
  PortStation& operator=(const PortStation&) = delete;

  void Start();
  // Asks the thread to end: a running download is aborted (its file removed,
  // the logger put back to its detection rate). Returns at once.
  // `keeps` says what a download under way leaves behind.
  void Stop(CancelKeeps keeps = CancelKeeps::kNothing) { latch_.Raise(keeps); }
  // The station's device went away (its link is gone): the line is closed
  // at the station's next wait, a running download ends as at a pulled
  // cable (what arrived kept as incomplete and reported), and the thread
  // ends. Returns at once; safe from any thread.
  void Unplug() { unplug_.Raise(); }
  bool unplugged() const { return unplug_.raised(); }
  // Waits until the thread has ended.
  void Join();

  const std::string& name() const { return parts_.name(); }
  // True once the thread has ended (Join then returns at once).
  bool finished() const { return finished_.load(); }
  // From the next download on; safe from any thread.
  void SetDownloadRate(uint32_t rate) { downloadRate_ = rate; }

 private:
  void Run();

  std::function<void(const LoadLogResult&, const TrackTable&)> onDownloaded_;
  int firstPollDelayMs_;
  int pollIntervalMs_;
  StopLatch latch_;
  StopLatch unplug_;
  StationSession parts_;
  StoppableWaiter waiter_;
  StopAwareView view_;
  std::atomic<uint32_t> downloadRate_;
  std::atomic<bool> finished_{false};
  std::thread thread_;
};

}  // namespace orvald
