#pragma once
// What the download session tells its user and asks of them, named by what
// happens, not by the controls that show it. The main window drives its
// progress bar, captions, status bar, grid and Identification boxes from
// these; the command line prints lines; the Stations window's rows take
// their state from the typed events alone, never from the texts; tests
// record them. Calls arrive on the thread that runs the session and return
// promptly, except the questions (Report, ConfirmCancel), which wait for the
// operator.

#include <string>

#include "logger/load_log_result.h"
#include "logger/prompts.h"
#include "tracklog/track_table.h"

namespace orvald {

// Who flies the decoded log's logger, as the loggers table has it now.
struct Identification {
  std::string competNo;    // empty when no row names the logger
  std::string pilotNames;
  std::string serialText;  // the decoded log's own
  std::string typeText;
};

// "No logger found to download", or the port's problem when it has one.
std::string WaitingText(const std::string& portProblem);

// The status line for an end that left no file and no log on show
// (kNoRate, kBusyElsewhere); empty for the others.
std::string NothingDoneText(const LoadLogResult& result);

// A download from the logger has begun: whose bytes are coming, into which file.
struct DownloadStart {
  std::string serialText;  // as the logger said it (may be empty)
  std::string fileName;    // the name a complete download gets, without the folder
};

class SessionView {
 public:
  virtual ~SessionView() = default;

  // A detection cycle found no logger: `portProblem` says why the port
  // could not be used ("COM2 (/dev/ttyUSB1): no such device"), empty when
  // it could and nothing answered. Shown as WaitingText unless a view says
  // more.
  virtual void Waiting(const std::string& portProblem) { Status(WaitingText(portProblem)); }
  // A download began (the window: progress bar, block caption,
  // "Loading: ..." caption, the hourglass, commands refused).
  virtual void Started(const DownloadStart& start) = 0;
  // Block `counter` of `total` used blocks is being read.
  virtual void BlockStarted(int counter, int total) = 0;
  // `done` of `total` pieces have arrived (128 bytes each). `total` is the
  // used blocks' whole room, which the bar is drawn against.
  virtual void Progress(int done, int total) = 0;
  // How much of what the used blocks hold has arrived, in per cent: the
  // share the operator reads (100 at the end of a complete download, however
  // full the last block is). Said once per change.
  virtual void Share(int percent) { (void)percent; }
  // The download's last exchange is over (the window beeps).
  virtual void DownloadEnded() = 0;
  // A LoadLog from the logger came to `result`, after its file (if any) was
  // decoded; before Ended. The views that only show the log need nothing of it.
  virtual void Finished(const LoadLogResult& result) { (void)result; }
  // The session returned; the view is idle again.
  virtual void Ended() = 0;

  // A line for the status bar.
  virtual void Status(const std::string& text) = 0;
  // The log on show: its file's name (empty: none).
  virtual void LogShown(const std::string& fileName) = 0;
  // A decode begins: the segments shown so far go.
  virtual void SegmentsCleared() = 0;
  // Segment `index` (from 0) of the log being decoded.
  virtual void SegmentDecoded(int index, const TrackSegment& segment) = 0;
  virtual void Identified(const Identification& who) = 0;

  // Handles what waits (repaint, the abort key) before each piece.
  virtual void KeepResponsive() = 0;
  // The abort key was pressed: true to stop the download.
  virtual bool ConfirmCancel() = 0;
  // Something the operator must read (an error, a refusal), captioned
  // "Logger Download"; returns once it was read.
  virtual void Report(const std::string& text, PromptIcon icon) = 0;
};

// "Downloading Block %2d of %2d ", the block caption every view shows.
std::string BlockCaptionText(int counter, int total);

}  // namespace orvald
