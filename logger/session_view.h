#pragma once
// What the download session tells its user and asks of them, named by what
// happens, not by the controls that show it. The main window drives its
// progress bar, captions, status bar, grid and Identification boxes from
// these; the command line prints lines; tests record them. Calls arrive on
// the thread that runs the session and return promptly, except the
// questions (Report, ConfirmCancel), which wait for the operator.

#include <string>

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

class SessionView {
 public:
  virtual ~SessionView() = default;

  // A download into the file `fileName` began (the window: progress bar,
  // block caption, "Loading: ..." caption, the hourglass, commands refused).
  virtual void Started(const std::string& fileName) = 0;
  // Block `counter` of `total` used blocks is being read.
  virtual void BlockStarted(int counter, int total) = 0;
  // `done` of `total` pieces have arrived (128 bytes each).
  virtual void Progress(int done, int total) = 0;
  // The download's last exchange is over (the window beeps).
  virtual void DownloadEnded() = 0;
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
