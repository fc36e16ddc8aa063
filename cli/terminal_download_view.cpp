#include "cli/terminal_download_view.h"

#include <unistd.h>

#include "tracklog/raw_image.h"
#include "tracklog/safe_text.h"

namespace orvald {

TerminalDownloadView::TerminalDownloadView(std::function<bool()> stopRequested, Cancellation* cancel, std::FILE* out)
    : stopRequested_(std::move(stopRequested)),
      cancel_(cancel),
      out_(out),
      terminal_(isatty(fileno(out)) != 0) {}

void TerminalDownloadView::Line(const std::string& text) {
  EndBar();
  // One call per line: the lines of stations on other threads never cut into it.
  const std::string line = (tag_.empty() ? "" : SafeDisplayText(tag_) + ": ") + text + "\n";
  std::fwrite(line.data(), 1, line.size(), out_);
  std::fflush(out_);
}

void TerminalDownloadView::Started(const DownloadStart&) {
  done_ = total_ = 0;
  blockCaption_.clear();
  lastStatus_.clear();
  Line("Press Ctrl-C to abort downloading");
}

void TerminalDownloadView::BlockStarted(int counter, int total) {
  blockCaption_ = BlockCaptionText(counter, total);
  lastDrawnPermille_ = -1;
  if (!tag_.empty()) {
    Line(blockCaption_);
    return;
  }
  DrawBar();
}

void TerminalDownloadView::Progress(int done, int total) {
  done_ = done;
  total_ = total;
  DrawBar();
}

void TerminalDownloadView::DrawBar() {
  if (!terminal_ || total_ <= 0 || !tag_.empty()) return;
  const int permille = static_cast<int>(static_cast<long long>(done_) * 1000 / total_);
  if (permille == lastDrawnPermille_) return;  // a redraw per piece would cost more than the piece
  lastDrawnPermille_ = permille;
  constexpr int kWidth = 30;
  const int filled = permille * kWidth / 1000;
  std::fprintf(out_, "\r%s[%.*s%*s] %d/%d", blockCaption_.c_str(), filled, "##############################",
               kWidth - filled, "", done_, total_);
  std::fflush(out_);
  barDrawn_ = true;
}

void TerminalDownloadView::EndBar() {
  if (barDrawn_) std::fputc('\n', out_);
  barDrawn_ = false;
  lastDrawnPermille_ = -1;
}

void TerminalDownloadView::Status(const std::string& text) {
  if (quietRepeats_ && text == lastStatus_) return;
  lastStatus_ = text;
  Line(SafeDisplayText(text));
}

void TerminalDownloadView::Identified(const Identification& who) {
  Line("Identification: comp " + SafeDisplayText(who.competNo) + ", " + SafeDisplayText(who.pilotNames) +
       ", serial " + SafeDisplayText(who.serialText) + ", type " + SafeDisplayText(who.typeText));
}

void TerminalDownloadView::KeepResponsive() {
  // A Ctrl-C seen before the download began (during the probe or the
  // identity query) still aborts it.
  if (stopRequested_ && stopRequested_() && cancel_ != nullptr) cancel_->Request();
}

void TerminalDownloadView::Report(const std::string& text, PromptIcon) { Line("Logger Download: " + text); }

}  // namespace orvald
