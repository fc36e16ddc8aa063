#include "logger/session_view.h"

#include <cstdio>

#include "tracklog/safe_text.h"

namespace orvald {

std::string BlockCaptionText(int counter, int total) {
  char text[64];
  std::snprintf(text, sizeof text, "Downloading Block %2d of %2d ", counter, total);
  return text;
}

std::string WaitingText(const std::string& portProblem) {
  return portProblem.empty() ? "No logger found to download" : portProblem;
}

std::string NothingDoneText(const LoadLogResult& result) {
  switch (result.end) {
    case LoadLogEnd::kNoRate:
      return "The logger did not confirm a download rate; it is tried again at the next poll";
    case LoadLogEnd::kBusyElsewhere:
      return "Logger " + SafeDisplayText(result.serialText) + " is being downloaded on " + result.heldBy;
    case LoadLogEnd::kAborted:
      // Where the operator stopped it, what happens next must be plain.
      return "Download of " + (result.serialText.empty() ? std::string("the logger") : SafeDisplayText(result.serialText)) +
             " stopped by the operator; it is downloaded again when Force download is pressed or another "
             "logger was plugged in";
    default:
      return "";
  }
}

}  // namespace orvald
