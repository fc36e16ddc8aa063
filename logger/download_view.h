#pragma once
// Everything the download session shows or asks while it brings a log in.
// The main window implements it with its controls, the command line with a
// terminal, and tests with a recording view. Calls arrive on the one thread
// that runs the session; a call never blocks except `ProcessPendingEvents`
// (which handles what is queued and returns) and the questions of `prompts()`.

#include <array>
#include <string>

#include "logger/prompts.h"
#include "tracklog/grid_text.h"

namespace orvald {

// Window state the session reads and writes; the window owns it and keeps it
// between sessions. `abortFlag` is set by the Escape key (or Ctrl-C on the
// command line) and polled by the download loop.
struct DownloadState {
  std::string lastSerialText;  // serial text of the logger last seen by a download
  int abortFlag = 0;           // 0 or 1
};

class DownloadView {
 public:
  virtual ~DownloadView() = default;

  // ProgressBar1: one step per 128-byte piece.
  virtual void SetProgressRange(int minimum, int maximum, int step) = 0;
  virtual void SetProgressPosition(int position) = 0;
  virtual void StepProgress() = 0;  // position += step
  virtual void ShowProgress(bool shown) = 0;

  // Label6, the caption of the block being read.
  virtual void SetBlockCaption(const std::string& text) = 0;
  virtual void ShowBlockCaption(bool shown) = 0;

  // lblDLFile, the caption of the file being loaded or last loaded.
  virtual void SetFileCaption(const std::string& text) = 0;

  // Panel 0 of the status bar.
  virtual void SetStatusText(const std::string& text) = 0;

  // Cursor: remembered at entry, the hourglass while downloading, restored
  // to what was remembered at every way out.
  virtual void RememberCursor() = 0;
  virtual void SetHourglassCursor() = 0;
  virtual void RestoreCursor() = 0;

  // The system's default sound, at the end of every download.
  virtual void Beep() = 0;

  // Lets the front end handle what is waiting (repaint, Escape key) before
  // each piece; must return promptly.
  virtual void ProcessPendingEvents() = 0;

  // SegmentsGrid. Reset returns it to the heading row plus one empty row;
  // then, per segment as it arrives, the row count becomes index + 2 and row
  // index + 1 receives the seven cells.
  virtual void ResetSegmentsGrid() = 0;
  virtual void SetSegmentsRowCount(int rowCount) = 0;
  virtual void SetSegmentsRow(int row, const std::array<std::string, kGridColumns>& cells) = 0;

  // The Identification box: CompetNo, PilotNames, LoggerSN, LoggerType.
  virtual void SetIdentification(const std::string& competNo, const std::string& pilotNames,
                                 const std::string& loggerSerial, const std::string& loggerType) = 0;

  // Modal questions and messages, captioned "Logger Download".
  virtual Prompts& prompts() = 0;

  // The abort key was pressed during a download: true to stop it. The
  // window asks " Cancel downloading?" (and says yes on its own when the
  // operator already chose to quit); the command line stops at once.
  virtual bool ConfirmCancel() {
    return prompts().Ask("Logger Download", " Cancel downloading?", PromptButtons::YesNo, PromptIcon::Question) ==
           PromptAnswer::Yes;
  }

  // The window's lastSerialText and abortFlag.
  virtual DownloadState& state() = 0;

  // Timer1, the detection timer: stopped during a cycle, re-armed after it.
  virtual void StopDetectionTimer() = 0;
  virtual void StartDetectionTimer(int intervalMs) = 0;
};

}  // namespace orvald
