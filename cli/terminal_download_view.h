#pragma once
// The download session on a terminal: captions, messages and the status text
// go to stderr as lines, the progress as a bar when stderr is a terminal.
// Nobody sits at the keyboard, so questions are answered from the command's
// rules: an existing file is never overwritten (the time-stamped names only
// collide within one second), and " Cancel downloading?" is only reached
// after Ctrl-C, so it is answered Yes.

#include <cstdio>
#include <string>

#include "cli/interrupts.h"
#include "logger/download_view.h"
#include "logger/prompts.h"

namespace orvald {

class TerminalDownloadView : public DownloadView, public Prompts {
 public:
  TerminalDownloadView(Interrupts& interrupts, std::FILE* out = stderr);

  // DownloadView
  void SetProgressRange(int minimum, int maximum, int step) override;
  void SetProgressPosition(int position) override;
  void StepProgress() override;
  void ShowProgress(bool shown) override;
  void SetBlockCaption(const std::string& text) override;
  void ShowBlockCaption(bool) override {}
  void SetFileCaption(const std::string&) override {}
  void SetStatusText(const std::string& text) override;
  void RememberCursor() override {}
  void SetHourglassCursor() override {}
  void RestoreCursor() override {}
  void Beep() override {}
  void ProcessPendingEvents() override;
  void ResetSegmentsGrid() override {}
  void SetSegmentsRowCount(int) override {}
  void SetSegmentsRow(int, const std::array<std::string, kGridColumns>&) override {}
  void SetIdentification(const std::string& competNo, const std::string& pilotNames, const std::string& loggerSerial,
                         const std::string& loggerType) override;
  Prompts& prompts() override { return *this; }
  DownloadState& state() override { return state_; }
  void StopDetectionTimer() override {}
  void StartDetectionTimer(int intervalMs) override { interval_ = intervalMs; }

  // Only Ctrl-C (or the terminal closing) leads here, and it meant stop.
  bool ConfirmCancel() override { return true; }

  // Prompts
  PromptAnswer Ask(const std::string& caption, const std::string& text, PromptButtons buttons,
                   PromptIcon icon) override;

  // Ctrl-C seen: the download loop sees it as the Escape key.
  void Interrupt() { state_.abortFlag = 1; }
  int detectionInterval() const { return interval_; }
  // Status lines repeat only when they change (a station polls every 2 s).
  void set_quietRepeats(bool quiet) { quietRepeats_ = quiet; }

 private:
  void DrawBar();
  void EndBar();

  Interrupts& interrupts_;
  std::FILE* out_;
  bool terminal_;
  DownloadState state_;
  int minimum_ = 0, maximum_ = 0, step_ = 1, position_ = 0;
  bool barShown_ = false;
  bool barDrawn_ = false;
  int lastDrawnPermille_ = -1;
  std::string blockCaption_;
  std::string lastStatus_;
  bool quietRepeats_ = false;
  int interval_ = 0;
};

}  // namespace orvald
