// The download session's view, the detection timer, File > Open and
// Logger > Clear, and the refusal of commands while an exchange runs.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <ctime>

#include "app/main_window.h"
#include "app/event_loop_waiter.h"
#include "app/segments_model.h"
#include "link/link.h"
#include "logger/commands.h"
#include "logger/download_session.h"
#include "logger/erase.h"
#include "logger/logger_commands.h"
#include "tracklog/raw_image.h"

namespace orvald {

namespace {

// The window without a logger link: no logger ever answers, so the detection
// reports that and File > Open still decodes saved files.
class NoLoggerLink : public LoggerCommands {
 public:
  int ProbeLogger() override { return 0; }
  uint32_t SetLoggerRate(uint32_t) override { return 9600; }
  std::string QueryIdentity() override { return {}; }
  std::string QueryVersion() override { return {}; }
  int ReadLoggerMemory(uint8_t*, int, int, int) override { return 0; }
};

EventLoopWaiter& WindowWaiter() {
  static EventLoopWaiter waiter;  // stateless, and outlives every link
  return waiter;
}

}  // namespace

void TfrmMain::BindDownloadSession() {
  if (env_.link) {
    env_.link->SetWaiter(WindowWaiter());
    env_.link->SetPortResolver(portResolver_);
    env_.link->portNo = static_cast<uint8_t>(portNo);
    if (!env_.commands) {
      linkCommands_ = std::make_unique<LinkLoggerCommands>(*env_.link);
      env_.commands = linkCommands_.get();
    }
  }
  if (!env_.commands) {
    linkCommands_ = std::make_unique<NoLoggerLink>();
    env_.commands = linkCommands_.get();
  }
  DownloadSessionSetup setup{*env_.commands,
                             env_.lookup ? *env_.lookup : *noLoggers_,
                             *this,
                             table_,
                             std::string(),  // raw files go to the working directory, the data directory
                             TimeBasisAt(env_.clock(), env_.timezoneOffset)};
  if (env_.localNow) setup.localNow = env_.localNow;
  // The year is taken at every decode: a desk that runs over New Year keeps
  // accepting the fixes of the new one.
  setup.utcNow = env_.clock;
  session_ = std::make_unique<DownloadSession>(std::move(setup));
}

// ---- Detection, File > Open, Logger > Clear.

void TfrmMain::Timer1Timer() {
  if (busy_ || inDetection_) return;  // never nests; the session stops the timer anyway
  inDetection_ = true;
  session_->Timer1Timer();
  inDetection_ = false;
  if (busy_) SetBusy(false);  // a download the cycle started has ended
  FinishDeferredWork();
}

void TfrmMain::mnFileOpenClick() {
  if (busy_) return;
  if (inDetection_) {
    openPending_ = true;  // runs as soon as the probe returns
    return;
  }
  Timer1->stop();
  if (auto chosen = env_.prompts->ChooseFileToOpen(OpenDialog1.title, OpenDialog1.filter, OpenDialog1.defaultExt,
                                                   dataDir)) {
    SetBusy(true);
    session_->LoadLog(*chosen);
    SetBusy(false);
  }
  Timer1->start();
  FinishDeferredWork();
}

void TfrmMain::Clear1Click() {
  if (busy_) return;
  if (inDetection_) {
    clearPending_ = true;
    return;
  }
  if (!env_.link) return;  // no link, no logger to erase
  SetBusy(true);
  EraseLogger(*env_.link, *env_.prompts, DetectionTimerHook{[this] { Timer1->stop(); }, [this] { Timer1->start(); }});
  SetBusy(false);
  FinishDeferredWork();
}

void TfrmMain::IdentifyDecodedLog() {
  if (busy_ || lblDLFile->text().isEmpty()) return;  // no log on screen, or one arriving
  if (session_->IdentifyDecodedLog()) {
    SetStatusText("Serial " + SafeDisplayText(table_.serialText) + ": " + CompetNo->text().toStdString() + " " +
                  PilotNames->text().toStdString());
  } else {
    SetStatusText(NotInLoggersTableText(table_.serialText));
  }
}

void TfrmMain::FinishDeferredWork() {
  if (busy_ || inDetection_) return;
  if (closePending_) {
    closePending_ = false;
    quitting_ = false;
    openPending_ = clearPending_ = false;
    QTimer::singleShot(0, this, [this] { close(); });
    return;
  }
  if (openPending_) {
    openPending_ = false;
    QTimer::singleShot(0, this, [this] { mnFileOpenClick(); });
  } else if (clearPending_) {
    clearPending_ = false;
    QTimer::singleShot(0, this, [this] { Clear1Click(); });
  }
}

void TfrmMain::SetBusy(bool busy) {
  busy_ = busy;
  UpdateCommandStates();
}

void TfrmMain::UpdateCommandStates() {
  mnFileOpen->setEnabled(!busy_);
  Clear1->setEnabled(!busy_);
  btnForceDl->setEnabled(!busy_);
  btnSave->setEnabled(saveWanted_ && !busy_);
  btnManSave->setEnabled(manSaveWanted_ && !busy_);
}

// ---- DownloadView.

void TfrmMain::SetProgressRange(int minimum, int maximum, int step) {
  ProgressBar1->setRange(minimum, maximum);
  progressStep_ = step;
}

void TfrmMain::SetProgressPosition(int position) { ProgressBar1->setValue(position); }

void TfrmMain::StepProgress() { ProgressBar1->setValue(ProgressBar1->value() + progressStep_); }

void TfrmMain::ShowProgress(bool shown) { ProgressBar1->setVisible(shown); }

void TfrmMain::SetBlockCaption(const std::string& text) { Label6->setText(QString::fromStdString(text)); }

void TfrmMain::ShowBlockCaption(bool shown) { Label6->setVisible(shown); }

void TfrmMain::SetFileCaption(const std::string& text) { lblDLFile->setText(QString::fromStdString(text)); }

void TfrmMain::SetStatusText(const std::string& text) {
  StatusPanel0->setText(QString::fromStdString(text));
  StatusPanel0->setToolTip(StatusPanel0->text());  // a long reason stays readable
}

void TfrmMain::RememberCursor() {
  // What was there at entry is whatever lies under our own hourglasses.
  cursorsPushed_ = 0;
}

void TfrmMain::SetHourglassCursor() {
  // A detection cycle's download starts here: from now on the track table is
  // about to change, so the commands that would touch it are refused.
  if (inDetection_ && !busy_) SetBusy(true);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  ++cursorsPushed_;
}

void TfrmMain::RestoreCursor() {
  while (cursorsPushed_ > 0) {
    QApplication::restoreOverrideCursor();
    --cursorsPushed_;
  }
}

void TfrmMain::Beep() { QApplication::beep(); }

void TfrmMain::ProcessPendingEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void TfrmMain::ResetSegmentsGrid() {
  settingUpGrid_ = true;
  segmentsModel_->SetGridRowCount(2);
  segmentsModel_->ClearGridRow(1);
  settingUpGrid_ = false;
  ForgetSelection();
}

void TfrmMain::SetSegmentsRowCount(int rowCount) {
  settingUpGrid_ = true;
  segmentsModel_->SetGridRowCount(rowCount);
  settingUpGrid_ = false;
}

void TfrmMain::SetSegmentsRow(int row, const std::array<std::string, kGridColumns>& cells) {
  segmentsModel_->SetGridRow(row, cells);
}

void TfrmMain::SetIdentification(const std::string& competNo, const std::string& pilotNames,
                                 const std::string& loggerSerial, const std::string& loggerType) {
  CompetNo->setText(QString::fromStdString(competNo));
  PilotNames->setText(QString::fromStdString(pilotNames));
  LoggerSN->setText(QString::fromStdString(loggerSerial));
  LoggerType->setText(QString::fromStdString(loggerType));
}

Prompts& TfrmMain::prompts() { return *env_.prompts; }

bool TfrmMain::ConfirmCancel() { return quitting_ || DownloadView::ConfirmCancel(); }

void TfrmMain::StopDetectionTimer() { Timer1->stop(); }

void TfrmMain::StartDetectionTimer(int intervalMs) {
  Timer1->setInterval(intervalMs);
  Timer1->start();
}

}  // namespace orvald
