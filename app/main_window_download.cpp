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
#include <utility>

#include "app/main_window.h"
#include "app/event_loop_waiter.h"
#include "app/segments_model.h"
#include "app/stations_dlg.h"
#include "link/link.h"
#include "logger/commands.h"
#include "logger/download_session.h"
#include "logger/erase.h"
#include "logger/logger_commands.h"
#include "tracklog/grid_text.h"
#include "tracklog/raw_image.h"
#include "tracklog/safe_text.h"

namespace orvald {

namespace {

// The window without a logger link: no logger ever answers, so the detection
// reports that and File > Open still decodes saved files.
class NoLoggerLink : public LoggerCommands {
 public:
  int ProbeLogger() override { return 0; }
  int ProbeLoggerAt(uint32_t) override { return 0; }
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
    // The main port runs on the window's thread: its waits run the event
    // loop, so Escape (the session's cancel) and the menus stay alive. The
    // extra ports' stations run on threads of their own (PortStation).
    env_.link->SetWaiter(WindowWaiter());
    env_.link->SetPortResolver(portResolver_);
    env_.link->ChoosePort(static_cast<uint8_t>(portNo));
    overLink_ = std::make_unique<LinkLoggerCommands>(*env_.link);
    if (!env_.commands) env_.commands = overLink_.get();
  }
  if (!env_.commands) {
    linkCommands_ = std::make_unique<NoLoggerLink>();
    env_.commands = linkCommands_.get();
  }
  // The main port's session runs on this window's thread: its waits keep
  // the window's events going (the environment's waiter), where a station
  // downloads on a thread of its own.
  DownloadSessionSetup setup{
      .commands = *env_.commands,
      .lookup = env_.lookup ? *env_.lookup : *noLoggers_,
      .view = *this,
      .table = table_,
      .dataDir = std::string(),  // raw files go to the working directory, the data directory
      .basis = TimeBasisAt(env_.clock(), env_._timezone),
      // The year is taken at every decode: a desk that runs over New Year
      // keeps accepting the fixes of the new one.
      .utcNow = env_.clock,
      .downloadRate = ReadLineRateSetting(env_.settings),
      .claims = &claims_,
      .stationName = PortName(portNo),
  };
  if (env_.localNow) setup.localNow = env_.localNow;
  (setup.downloadRate == kFastDownloadRate ? mnRate115200 : mnRate57600)->setChecked(true);
  session_ = std::make_unique<DownloadSession>(std::move(setup));
  // The extra ports of the last run download again from the start.
  if (!ReadStationsSetting(env_.settings).empty()) StationsWindow()->StartRemembered();
}

// ---- Detection, File > Open, Logger > Clear.

void TfrmMain::Timer1Timer() {
  if (busy_ || inDetection_) return;  // never nests
  // The cycles are 2 s apart, counted from the end of the last one.
  Timer1->stop();
  inDetection_ = true;
  session_->PollOnce();
  inDetection_ = false;
  if (busy_) SetBusy(false);  // a download the cycle started has ended
  Timer1->setInterval(kDetectionIntervalMs);
  Timer1->start();
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

void TfrmMain::OpenLogFile(const std::string& path) {
  if (busy_ || inDetection_) {
    pendingOpenPath_ = path;  // opened as soon as the exchange is over
    return;
  }
  Timer1->stop();
  SetBusy(true);
  session_->LoadLog(path);
  SetBusy(false);
  Timer1->start();
  raise();
  activateWindow();
  FinishDeferredWork();
}

void TfrmMain::Clear1Click() {
  if (busy_) return;
  if (inDetection_) {
    clearPending_ = true;
    return;
  }
  if (!env_.link) return;  // no link, no logger to erase
  // No detection cycle between the question and the erase, as around a poll.
  Timer1->stop();
  SetBusy(true);
  EraseLogger(overLink_->link(), overLink_->replyOrder(), *env_.prompts);
  SetBusy(false);
  Timer1->start();
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
    pendingOpenPath_.clear();
    QTimer::singleShot(0, this, [this] { close(); });
    return;
  }
  if (!pendingOpenPath_.empty()) {
    const std::string path = std::exchange(pendingOpenPath_, std::string());
    QTimer::singleShot(0, this, [this, path] { OpenLogFile(path); });
  } else if (openPending_) {
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

// ---- SessionView: how the download session drives this window.

void TfrmMain::Started(const DownloadStart& start) {
  // A detection cycle's download starts here: from now on the track table is
  // about to change, so the commands that would touch it are refused.
  if (inDetection_ && !busy_) SetBusy(true);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  ++cursorsPushed_;
  ProgressBar1->setRange(0, 1);
  ProgressBar1->setValue(0);
  ProgressBar1->show();  // ProgressBar1 and Label6: the piece and the block being read
  Label6->clear();
  Label6->show();
  lblDLFile->setText(QString("Loading: %1").arg(QString::fromStdString(start.fileName)));
  SetStatusText("Press ESC to abort downloading");
}

void TfrmMain::BlockStarted(int counter, int total) {
  Label6->setText(QString::fromStdString(BlockCaptionText(counter, total)));
}

void TfrmMain::Progress(int done, int total) {
  if (ProgressBar1->maximum() != total) ProgressBar1->setRange(0, total);
  ProgressBar1->setValue(done);
}

void TfrmMain::DownloadEnded() { QApplication::beep(); }

void TfrmMain::Ended() {
  while (cursorsPushed_ > 0) {
    QApplication::restoreOverrideCursor();
    --cursorsPushed_;
  }
  ProgressBar1->hide();
  Label6->hide();
}

void TfrmMain::Status(const std::string& text) { SetStatusText(text); }

void TfrmMain::SetStatusText(const std::string& text) {
  StatusPanel0->setText(QString::fromStdString(text));
  StatusPanel0->setToolTip(StatusPanel0->text());  // a long reason stays readable
}

void TfrmMain::LogShown(const std::string& fileName) { lblDLFile->setText(QString::fromStdString(fileName)); }

void TfrmMain::SegmentsCleared() {
  settingUpGrid_ = true;
  segmentsModel_->SetGridRowCount(2);
  segmentsModel_->ClearGridRow(1);
  settingUpGrid_ = false;
  ForgetSelection();
}

void TfrmMain::SegmentDecoded(int index, const TrackSegment& segment) {
  settingUpGrid_ = true;
  segmentsModel_->SetGridRowCount(index + 2);
  settingUpGrid_ = false;
  segmentsModel_->SetGridRow(index + 1, SegmentRowCells(index, segment));
}

void TfrmMain::Identified(const Identification& who) {
  CompetNo->setText(QString::fromStdString(who.competNo));
  PilotNames->setText(QString::fromStdString(who.pilotNames));
  LoggerSN->setText(QString::fromStdString(who.serialText));
  LoggerType->setText(QString::fromStdString(who.typeText));
}

void TfrmMain::KeepResponsive() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

bool TfrmMain::ConfirmCancel() {
  // The operator who chose to quit during the download has answered already.
  return quitting_ || env_.prompts->Ask("Logger Download", " Cancel downloading?", PromptButtons::kYesNo,
                                        PromptIcon::kQuestion) == PromptAnswer::kYes;
}

void TfrmMain::Report(const std::string& text, PromptIcon icon) {
  env_.prompts->Ask("Logger Download", text, PromptButtons::kOk, icon);
}

}  // namespace orvald
