#include "cli/terminal_download_view.h"

#include <unistd.h>

#include "tracklog/raw_image.h"

namespace orvald {

TerminalDownloadView::TerminalDownloadView(Interrupts& interrupts, std::FILE* out)
    : interrupts_(interrupts), out_(out), terminal_(isatty(fileno(out)) != 0) {}

void TerminalDownloadView::SetProgressRange(int minimum, int maximum, int step) {
  minimum_ = minimum;
  maximum_ = maximum;
  step_ = step;
  DrawBar();
}

void TerminalDownloadView::SetProgressPosition(int position) {
  position_ = position;
  DrawBar();
}

void TerminalDownloadView::StepProgress() {
  position_ += step_;
  DrawBar();
}

void TerminalDownloadView::ShowProgress(bool shown) {
  barShown_ = shown;
  if (!shown) EndBar();
}

void TerminalDownloadView::SetBlockCaption(const std::string& text) {
  blockCaption_ = text;
  lastDrawnPermille_ = -1;
  DrawBar();
}

void TerminalDownloadView::DrawBar() {
  if (!terminal_ || !barShown_ || maximum_ <= minimum_) return;
  const int span = maximum_ - minimum_;
  const int done = position_ - minimum_;
  const int permille = static_cast<int>(static_cast<long long>(done) * 1000 / span);
  if (permille == lastDrawnPermille_) return;  // a redraw per piece would cost more than the piece
  lastDrawnPermille_ = permille;
  constexpr int kWidth = 30;
  const int filled = permille * kWidth / 1000;
  std::fprintf(out_, "\r%s[%.*s%*s] %d/%d", blockCaption_.c_str(), filled, "##############################",
               kWidth - filled, "", done, span);
  std::fflush(out_);
  barDrawn_ = true;
}

void TerminalDownloadView::EndBar() {
  if (barDrawn_) std::fputc('\n', out_);
  barDrawn_ = false;
  lastDrawnPermille_ = -1;
}

void TerminalDownloadView::SetStatusText(const std::string& text) {
  if (quietRepeats_ && text == lastStatus_) return;
  lastStatus_ = text;
  EndBar();
  // The terminal's key for the window's Escape is Ctrl-C.
  const bool escapeHint = text == "Press ESC to abort downloading";
  std::fprintf(out_, "%s\n", escapeHint ? "Press Ctrl-C to abort downloading" : text.c_str());
  std::fflush(out_);
}

void TerminalDownloadView::SetIdentification(const std::string& competNo, const std::string& pilotNames,
                                             const std::string& loggerSerial, const std::string& loggerType) {
  EndBar();
  std::fprintf(out_, "Identification: comp %s, %s, serial %s, type %s\n", SafeDisplayText(competNo).c_str(),
               SafeDisplayText(pilotNames).c_str(), SafeDisplayText(loggerSerial).c_str(),
               SafeDisplayText(loggerType).c_str());
  std::fflush(out_);
}

void TerminalDownloadView::ProcessPendingEvents() {
  // A Ctrl-C seen before the download cleared the flag (during the probe or
  // the identity query) still aborts it.
  interrupts_.Take();
  if (interrupts_.requested()) Interrupt();
}

PromptAnswer TerminalDownloadView::Ask(const std::string& caption, const std::string& text, PromptButtons buttons,
                                       PromptIcon) {
  EndBar();
  PromptAnswer answer = PromptAnswer::Ok;
  const char* shown = "";
  if (buttons == PromptButtons::YesNo) {
    answer = PromptAnswer::No;  // nothing that exists is overwritten
    shown = " [no]";
  } else if (buttons == PromptButtons::OkCancel) {
    answer = PromptAnswer::Cancel;
    shown = " [cancel]";
  }
  std::fprintf(out_, "%s: %s%s\n", caption.c_str(), text.c_str(), shown);
  std::fflush(out_);
  return answer;
}

}  // namespace orvald
