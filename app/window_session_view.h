#pragma once
// The main port's session view: what a download tells the desk, shown on the
// main window's top strip and Identification boxes, and the questions it asks
// the operator. Everything the window itself must do about an event (refuse
// commands, refill the grid, write the status bar) is a hook, so a change of
// the session's events lands here and nowhere else.

#include <functional>
#include <string>

#include "logger/session_view.h"

class QLabel;
class QLineEdit;
class QProgressBar;

namespace orvald {

class AppPrompts;

// The controls a download drives directly.
struct SessionControls {
  QProgressBar* progress = nullptr;  // ProgressBar1: the pieces read
  QLabel* block = nullptr;           // Label6: the block being read
  QLabel* file = nullptr;            // lblDLFile: the raw file arriving, then the log on show
  QLineEdit* competNo = nullptr;
  QLineEdit* pilotNames = nullptr;
  QLineEdit* loggerSN = nullptr;
  QLineEdit* loggerType = nullptr;
};

// What the window does about an event beyond its plain controls.
struct SessionHooks {
  std::function<void()> downloadStarting;  // the track table is about to change
  std::function<void(const DownloadStart&)> downloadStarted;  // ... for this logger and file
  std::function<void(int)> progress;                          // per cent of what the used blocks hold
  std::function<void(const std::string&)> status;
  std::function<void(const std::string&)> waiting;  // a poll found no logger: the port's problem, or empty
  std::function<void()> segmentsCleared;
  std::function<void(int, const TrackSegment&)> segmentDecoded;
  std::function<bool()> quitting;  // the operator already chose to stop the download and quit
  std::function<void()> logShown;  // a log was decoded and is on show
  std::function<void(const LoadLogResult&)> finished;  // a download's end, after its decode
};

class WindowSessionView : public SessionView {
 public:
  WindowSessionView(SessionControls controls, SessionHooks hooks, AppPrompts& prompts);
  ~WindowSessionView() override;
  WindowSessionView(const WindowSessionView&) = delete;
  WindowSessionView& operator=(const WindowSessionView&) = delete;

  void Waiting(const std::string& portProblem) override;
  void Started(const DownloadStart& start) override;
  void BlockStarted(int counter, int total) override;
  void Progress(int done, int total) override;
  void Share(int percent) override;
  void DownloadEnded() override;
  void Finished(const LoadLogResult& result) override;
  void Ended() override;
  void Status(const std::string& text) override;
  void LogShown(const std::string& fileName) override;
  void SegmentsCleared() override;
  void SegmentDecoded(int index, const TrackSegment& segment) override;
  void Identified(const Identification& who) override;
  void KeepResponsive() override;
  bool ConfirmCancel() override;
  void Report(const std::string& text, PromptIcon icon) override;

 private:
  void RestoreCursors();

  SessionControls controls_;
  SessionHooks hooks_;
  AppPrompts& prompts_;
  int cursorsPushed_ = 0;  // the hourglass shown for each download, taken back when it ends
};

}  // namespace orvald
