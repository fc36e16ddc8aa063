#include "app/window_session_view.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>

#include "app/app_prompts.h"

namespace orvald {

WindowSessionView::WindowSessionView(SessionControls controls, SessionHooks hooks, AppPrompts& prompts)
    : controls_(controls), hooks_(std::move(hooks)), prompts_(prompts) {}

WindowSessionView::~WindowSessionView() { RestoreCursors(); }

void WindowSessionView::RestoreCursors() {
  while (cursorsPushed_ > 0) {
    QApplication::restoreOverrideCursor();
    --cursorsPushed_;
  }
}

void WindowSessionView::Started(const DownloadStart& start) {
  hooks_.downloadStarting();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  ++cursorsPushed_;
  controls_.progress->setRange(0, 1);
  controls_.progress->setValue(0);
  controls_.progress->show();  // the progress bar and the block caption: the piece and the block being read
  controls_.block->clear();
  controls_.block->show();
  controls_.file->setText(QString("Loading: %1").arg(QString::fromStdString(start.fileName)));
  hooks_.status("Press ESC to abort downloading");
  if (hooks_.downloadStarted) hooks_.downloadStarted(start);
}

void WindowSessionView::Waiting(const std::string& portProblem) {
  if (hooks_.waiting) {
    hooks_.waiting(portProblem);
  } else {
    Status(WaitingText(portProblem));
  }
}

void WindowSessionView::BlockStarted(int counter, int total) {
  controls_.block->setText(QString::fromStdString(BlockCaptionText(counter, total)));
}

void WindowSessionView::Progress(int done, int total) {
  if (controls_.progress->maximum() != total) controls_.progress->setRange(0, total);
  if (controls_.progress->value() == done) return;
  controls_.progress->setValue(done);
}

void WindowSessionView::Share(int percent) {
  if (hooks_.progress) hooks_.progress(percent);
}

void WindowSessionView::DownloadEnded() { QApplication::beep(); }

void WindowSessionView::Ended() {
  RestoreCursors();
  controls_.progress->hide();
  controls_.block->hide();
}

void WindowSessionView::Status(const std::string& text) { hooks_.status(text); }

void WindowSessionView::LogShown(const std::string& fileName) {
  controls_.file->setText(QString::fromStdString(fileName));
  if (!fileName.empty() && hooks_.logShown) hooks_.logShown();
}

void WindowSessionView::Finished(const LoadLogResult& result) {
  if (hooks_.finished) hooks_.finished(result);
}

void WindowSessionView::SegmentsCleared() { hooks_.segmentsCleared(); }

void WindowSessionView::SegmentDecoded(int index, const TrackSegment& segment) {
  hooks_.segmentDecoded(index, segment);
}

void WindowSessionView::Identified(const Identification& who) {
  controls_.competNo->setText(QString::fromStdString(who.competNo));
  controls_.pilotNames->setText(QString::fromStdString(who.pilotNames));
  controls_.loggerSN->setText(QString::fromStdString(who.serialText));
  controls_.loggerType->setText(QString::fromStdString(who.typeText));
}

void WindowSessionView::KeepResponsive() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

bool WindowSessionView::ConfirmCancel() {
  // The operator who chose to quit during the download has answered already.
  return hooks_.quitting() || prompts_.Ask("Logger Download", " Cancel downloading?", PromptButtons::kYesNo,
                                           PromptIcon::kQuestion) == PromptAnswer::kYes;
}

void WindowSessionView::Report(const std::string& text, PromptIcon icon) {
  prompts_.Ask("Logger Download", text, PromptButtons::kOk, icon);
}

}  // namespace orvald
