// The main port's download: the session and its view bound to the window,
// the detection timer, the stations, the work put off while an exchange
// runs, and the refusal of commands meanwhile.
#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <utility>

#include "app/event_loop_waiter.h"
#include "app/main_window.h"
#include "app/stations_dlg.h"
#include "app/track_view.h"
#include "app/window_session_view.h"
#include "link/link.h"
#include "logger/commands.h"
#include "logger/download_session.h"
#include "logger/logger_commands.h"
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
  MemoryRead ReadLoggerMemory(uint8_t*, int, int, int) override { return {}; }
};

EventLoopWaiter& WindowWaiter() {
  static EventLoopWaiter waiter;  // stateless, and outlives every link
  return waiter;
}

}  // namespace

void TfrmMain::BindDownloadSession() {
  SessionHooks hooks;
  // A detection cycle's download starts here: from now on the track table is
  // about to change, so the commands that would touch it are refused.
  hooks.downloadStarting = [this] {
    if (inDetection_ && !busy_) SetBusy(true);
  };
  hooks.downloadStarted = [this](const DownloadStart& start) { ClearForDownload(start); };
  hooks.progress = [this](int percent) {
    day_.DownloadProgress(percent);
    ShowBanner();
  };
  hooks.status = [this](const std::string& text) {
    day_.StatusMayChange(false);
    SetStatusText(text);
  };
  // A poll that finds nothing leaves the last verdict in the status bar.
  hooks.waiting = [this](const std::string& portProblem) {
    if (day_.StatusMayChange(portProblem.empty())) SetStatusText(WaitingText(portProblem));
  };
  hooks.segmentsCleared = [this] { ClearSegmentRows(); };
  hooks.segmentDecoded = [this](int index, const TrackSegment& segment) { ShowSegmentRow(index, segment); };
  hooks.quitting = [this] { return quitting_; };
  hooks.logShown = [this] { ApplyTaskToNewLog(); };
  hooks.finished = [this](const LoadLogResult& result) { GiveVerdict(result); };
  view_ = std::make_unique<WindowSessionView>(
      SessionControls{ProgressBar1, Label6, lblDLFile, CompetNo, PilotNames, LoggerSN, LoggerType}, std::move(hooks),
      *env_.prompts);

  if (env_.link) {
    // The main port runs on the window's thread: its waits run the event
    // loop, so Escape (the session's cancel) and the menus stay alive. The
    // extra ports' stations run on threads of their own (PortStation).
    env_.link->SetWaiter(WindowWaiter());
    env_.link->SetPortResolver(portResolver_);
    env_.link->ChoosePort(static_cast<uint8_t>(portNo_));
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
      .view = *view_,
      .table = table_,
      .dataDir = std::string(),  // raw files go to the working directory, the data directory
      .basis = TimeBasisAt(env_.clock(), env_._timezone),
      // The year is taken at every decode: a desk that runs over New Year
      // keeps accepting the fixes of the new one.
      .utcNow = env_.clock,
      .downloadRate = ReadLineRateSetting(env_.settings),
      .claims = &claims_,
      .stationName = PortName(portNo_),
      // The working directory is the data directory.
      .journal = DayJournal(std::string(), env_.clock),
  };
  if (env_.localNow) setup.localNow = env_.localNow;
  setup.folderCheck = env_.folderCheck;
  (setup.downloadRate == kFastDownloadRate ? mnRate115200 : mnRate57600)->setChecked(true);
  session_ = std::make_unique<DownloadSession>(std::move(setup));
  // The extra ports of the last run download again from the start.
  if (!ReadStationsSetting(env_.settings).empty() || ReadAutoStationsSetting(env_.settings)) {
    StationsWindow()->StartRemembered();
  }
}

TStationsDlg* TfrmMain::StationsWindow() {
  if (stationsDlg_ != nullptr) return stationsDlg_;
  StationsSetup setup;
  setup.settings = env_.settings;
  setup.resolver = portResolver_;
  setup.dataDir = dataDir_.empty() ? QDir::currentPath().toStdString() : dataDir_;
  setup._timezone = env_._timezone;
  setup.downloadRate = session_ ? session_->downloadRate() : kDownloadRate;
  setup.claims = &claims_;
  setup.mainPortNo = [this] { return portNo_; };
  setup.openFile = [this](const std::string& path) { OpenLogFile(path); };
  setup.firstPollDelayMs = env_.stationFirstPollMs;
  setup.localNow = env_.localNow;
  setup.prompts = env_.prompts;
  setup.deviceLinkFolder = env_.deviceLinkFolder;
  const std::string stationsDir = setup.dataDir;
  stationsDlg_ = new TStationsDlg(std::move(setup), this);
  stationsDlg_->SetJudging(DayJudging(stationsDir));
  return stationsDlg_;
}

void TfrmMain::ClearForDownload(const DownloadStart& start) {
  const std::string notice = day_.BeginDownload(start.serialText);
  ClearSegmentRows();
  TrackPicture->Blank();
  for (QLineEdit* box : {CompetNo, PilotNames, LoggerSN, LoggerType}) box->clear();
  if (!notice.empty()) SetStatusText(StatusText().toStdString() + ". " + notice);
  ShowBanner();
}

void TfrmMain::btnForceDlClick() { session_->ForgetLastLogger(); }

bool TfrmMain::abortFlag() const { return session_->cancelRequested(); }

const std::string& TfrmMain::lastSerialText() const { return session_->lastSerialText(); }

// ---- Detection, and the work put off until an exchange is over.

namespace {
constexpr const char* kNoPortChosenText = "No serial port chosen: choose the loggers' port under Serial port";
}  // namespace

void TfrmMain::Timer1Timer() {
  if (busy_ || inDetection_) return;  // never nests
  // The cycles are 2 s apart, counted from the end of the last one.
  Timer1->stop();
  if (portNo_ < 1) {
    // Nothing to open: the poll would only report a port named "COM0".
    if (day_.StatusMayChange(true)) SetStatusText(kNoPortChosenText);  // a verdict or warning stays up
  } else {
    inDetection_ = true;
    session_->PollOnce();
    inDetection_ = false;
  }
  if (busy_) SetBusy(false);  // a download the cycle started has ended
  Timer1->setInterval(kDetectionIntervalMs);
  Timer1->start();
  FinishDeferredWork();
}

void TfrmMain::OpenLogFile(const std::string& path) {
  if (busy_ || inDetection_) {
    pendingOpenPath_ = path;  // opened as soon as the exchange is over
    // A probe is over within a second; a download can take minutes.
    if (busy_) {
      SetStatusText(SafeDisplayText(path.substr(path.rfind('/') + 1)) + " opens here when the exchange on " +
                    PortName(portNo_) + " is over");
    }
    return;
  }
  Timer1->stop();
  SetBusy(true);
  const std::string notice = day_.ReplacingNotice();
  shownPort_ = kNoField;
  HoldOpenWarning(session_->LoadLog(path));
  SetBusy(false);
  SayReplaced(notice);
  Timer1->start();
  raise();
  activateWindow();
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
  // Whose flight it is may have changed, and with it which task file holds it.
  ShowLogOnDesk();
  WindowTaskChange(WindowTask);
}

void TfrmMain::SayReplaced(const std::string& notice) {
  if (notice.empty()) return;
  SetStatusText(notice);
  day_.HoldStatus();
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
  mnFileDataFolder->setEnabled(!busy_);
  Clear1->setEnabled(!busy_);
  btnForceDl->setEnabled(!busy_);
  btnSave->setEnabled(selection_.saveEnabled() && !busy_);
  btnManSave->setEnabled(selection_.manSaveEnabled() && !busy_);
}

}  // namespace orvald
