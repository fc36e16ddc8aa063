#pragma once
// The download session on a terminal: captions, reports and the status text
// go to stderr as lines, the progress as a bar when stderr is a terminal.
// Nobody sits at the keyboard: the abort key is Ctrl-C (or the terminal
// closing), and it already means stop, so nothing is asked. Stations of
// several ports share one stderr: their lines say which port they are about,
// and block captions are lines instead of a bar.

#include <cstdio>
#include <functional>
#include <string>

#include "link/cancellation.h"
#include "logger/session_view.h"

namespace orvald {

class TerminalDownloadView : public SessionView {
 public:
  // Before each piece `stopRequested` is asked (when given) and a yes
  // raises `cancel`, so a Ctrl-C seen before the download began still
  // aborts it.
  TerminalDownloadView(std::function<bool()> stopRequested, Cancellation* cancel, std::FILE* out = stderr);

  void Started(const DownloadStart& start) override;
  void BlockStarted(int counter, int total) override;
  void Progress(int done, int total) override;
  void DownloadEnded() override { EndBar(); }
  void Ended() override { EndBar(); }
  void Status(const std::string& text) override;
  void LogShown(const std::string&) override {}
  void SegmentsCleared() override {}
  void SegmentDecoded(int, const TrackSegment&) override {}
  void Identified(const Identification& who) override;
  void KeepResponsive() override;
  bool ConfirmCancel() override { return true; }
  void Report(const std::string& text, PromptIcon icon) override;

  // Status lines repeat only when they change (a station polls every 2 s).
  void SetQuietRepeats(bool quiet) { quietRepeats_ = quiet; }
  // Lines start with "TAG: "; no bar is drawn.
  void SetPortTag(const std::string& tag) { tag_ = tag; }

 private:
  void Line(const std::string& text);
  void DrawBar();
  void EndBar();

  std::function<bool()> stopRequested_;
  Cancellation* cancel_;
  std::string tag_;
  std::FILE* out_;
  bool terminal_;
  int done_ = 0;
  int total_ = 0;
  bool barDrawn_ = false;
  int lastDrawnPermille_ = -1;
  std::string blockCaption_;
  std::string lastStatus_;
  bool quietRepeats_ = false;
};

}  // namespace orvald
