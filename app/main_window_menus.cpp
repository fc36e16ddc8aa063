// The menu bar: File, View, Logger and Help, and what each command does.
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

#include "app/about_box.h"
#include "app/main_window.h"
#include "app/port_check_dlg.h"
#include "app/stations_dlg.h"
#include "app/today_dlg.h"
#include "logger/download_session.h"
#include "journal/journal_verify.h"
#include "logger/erase.h"
#include "link/port_diagnosis_text.h"
#include "link/port_names.h"

namespace orvald {

void TfrmMain::BuildMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName("MainMenu1");
  QMenu* file = bar->addMenu("&File");
  file->setObjectName("mnFile");
  mnFileOpen = file->addAction("&Open");
  mnFileOpen->setObjectName("mnFileOpen");
  mnFileOpen->setShortcut(QKeySequence::Open);
  mnFileDataFolder = file->addAction("&Data folder...");
  mnFileDataFolder->setObjectName("mnFileDataFolder");
  QAction* verify = file->addAction("&Verify data folder...");
  verify->setObjectName("mnFileVerify");
  // The same lines as orvald-cli verify; the working directory is the data directory.
  connect(verify, &QAction::triggered, this, [this] {
    const FolderCheck check = CheckDataFolder(std::string());
    std::string text;
    for (const std::string& problem : check.problems) text += problem + "\n";
    env_.prompts->Ask("Verify data folder", text + check.Summary(), PromptButtons::kOk,
                      check.ok() ? PromptIcon::kNone : PromptIcon::kWarning);
  });
  file->addSeparator();
  mnFileExit = file->addAction("E&xit");
  mnFileExit->setObjectName("mnFileExit");
  mnFileExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  QMenu* view = bar->addMenu("&View");
  view->setObjectName("mnView");
  mnViewToday = view->addAction("&Today");
  mnViewToday->setObjectName("mnViewToday");
  mnViewToday->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
  QMenu* logger = bar->addMenu("&Logger");
  logger->setObjectName("mnLogger");
  mnStations = logger->addAction("&Stations...");
  mnStations->setObjectName("mnStations");
  mnCheckPorts = logger->addAction("C&heck ports...");
  mnCheckPorts->setObjectName("mnCheckPorts");
  QMenu* rates = logger->addMenu("Line &rate");
  rates->setObjectName("mnLineRate");
  auto* rateGroup = new QActionGroup(this);
  mnRate57600 = rates->addAction("57600 bit/s");
  mnRate57600->setObjectName("mnRate57600");
  mnRate115200 = rates->addAction("115200 bit/s");
  mnRate115200->setObjectName("mnRate115200");
  for (QAction* rate : {mnRate57600, mnRate115200}) {
    rate->setCheckable(true);
    rateGroup->addAction(rate);
  }
  // The one command that destroys flights, kept apart from the rest.
  logger->addSeparator();
  Clear1 = logger->addAction("&Clear");
  Clear1->setObjectName("Clear1");
  QMenu* help = bar->addMenu("&Help");
  help->setObjectName("mnHelp");
  About1 = help->addAction("&About");
  About1->setObjectName("About1");
}

void TfrmMain::ConnectMenus() {
  // The keys of a desk that works through a line of pilots: Save of the page
  // on show, and Force download, with no menu item of their own.
  auto* save = new QShortcut(QKeySequence::Save, this);
  save->setObjectName("keySave");
  connect(save, &QShortcut::activated, this, [this] {
    QPushButton* pageSave = selection_.manualMode() ? btnManSave : btnSave;
    if (pageSave->isEnabled()) pageSave->click();
  });
  auto* force = new QShortcut(QKeySequence(Qt::Key_F5), this);
  force->setObjectName("keyForceDownload");
  connect(force, &QShortcut::activated, this, [this] {
    if (btnForceDl->isEnabled()) btnForceDl->click();
  });
  connect(mnFileOpen, &QAction::triggered, this, [this] { mnFileOpenClick(); });
  connect(mnFileDataFolder, &QAction::triggered, this, [this] { mnFileDataFolderClick(); });
  connect(mnFileExit, &QAction::triggered, this, [this] { mnFileExitClick(); });
  connect(Clear1, &QAction::triggered, this, [this] { Clear1Click(); });
  connect(mnStations, &QAction::triggered, this, [this] { mnStationsClick(); });
  connect(mnCheckPorts, &QAction::triggered, this, [this] { mnCheckPortsClick(); });
  connect(mnRate57600, &QAction::triggered, this, [this] { ChooseLineRate(kDownloadRate); });
  connect(mnRate115200, &QAction::triggered, this, [this] { ChooseLineRate(kFastDownloadRate); });
  connect(About1, &QAction::triggered, this, [this] { About1Click(); });
  connect(mnViewToday, &QAction::triggered, this, [this] { mnViewTodayClick(); });
}

// ---- File

void TfrmMain::mnFileOpenClick() {
  if (busy_) return;
  if (inDetection_) {
    openPending_ = true;  // runs as soon as the probe returns
    return;
  }
  Timer1->stop();
  if (auto chosen = env_.prompts->ChooseFileToOpen(OpenDialog1.title, OpenDialog1.filter, OpenDialog1.defaultExt,
                                                   dataDir_)) {
    SetBusy(true);
    const std::string notice = day_.ReplacingNotice();
    HoldOpenWarning(session_->LoadLog(*chosen));
    SetBusy(false);
    SayReplaced(notice);
  }
  Timer1->start();
  FinishDeferredWork();
}

void TfrmMain::mnFileExitClick() { close(); }

// ---- View

void TfrmMain::mnViewTodayClick() {
  if (!todayDlg_) todayDlg_ = new TTodayDlg(dataDir_.empty() ? "." : dataDir_, day_.task(), this);
  todayDlg_->show();
  todayDlg_->raise();
  todayDlg_->activateWindow();
}

// ---- Logger

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
  // The question names the logger, so it is asked of the one on the cable.
  const std::string port = PortName(portNo_);
  if (overLink_->ProbeLogger() == 0) {
    SetStatusText("No logger answers on " + port + ": nothing was erased");
  } else {
    const std::string serial = overLink_->QueryIdentity();
    if (EraseLogger(overLink_->link(), overLink_->replyOrder(), *env_.prompts, EraseQuestion(serial, port)) ==
        EraseOutcome::kErased) {
      JournalErase(port, serial);
    }
  }
  SetBusy(false);
  Timer1->start();
  FinishDeferredWork();
}

void TfrmMain::JournalErase(const std::string& port, const std::string& serial) {
  const LoggerMatch match = (env_.lookup ? *env_.lookup : *noLoggers_).FindLogger(serial);
  // The working directory is the data directory.
  const JournalAppendResult journalled =
      DayJournal(std::string(), env_.clock)
          .Record(EraseEntry(port, serial, match.found ? match.competNo : "", match.found ? match.pilotNames : ""));
  if (!journalled.ok) SetStatusText("The journal could not be written: " + journalled.error.Text());
}

// The stations' window; a station is an extra port downloading on its own.
void TfrmMain::mnCheckPortsClick() {
  if (!portCheckDlg_) {
    portCheckDlg_ = new TPortCheckDlg(
        [this] {
          // The window's own port first, by its name, then every other one found.
          DiagnosisSetup setup;
          setup.places = env_.portCheckPlaces;
          setup.user = CurrentDeskUser();
          setup.requestLowLatency = SystemLowLatencyRequest();
          std::vector<PortToCheck> chosen;
          if (portNo_ >= 1) chosen.push_back({PortName(portNo_), portResolver_(PortName(portNo_)), {}});
          return DiagnosisLines(DiagnosePorts(ChosenThenFound(chosen, setup.places), setup));
        },
        this);
  }
  portCheckDlg_->Refresh();
  portCheckDlg_->show();
  portCheckDlg_->raise();
  portCheckDlg_->activateWindow();
}

void TfrmMain::mnStationsClick() {
  TStationsDlg* window = StationsWindow();
  window->show();
  window->raise();
  window->activateWindow();
}

void TfrmMain::ChooseLineRate(uint32_t rate) {
  WriteLineRateSetting(env_.settings, rate);
  (rate == kFastDownloadRate ? mnRate115200 : mnRate57600)->setChecked(true);
  if (session_) session_->SetDownloadRate(rate);
  if (stationsDlg_ != nullptr) stationsDlg_->SetDownloadRate(rate);
}

// ---- Help

void TfrmMain::About1Click() {
  if (aboutBox_) aboutBox_->exec();
}

}  // namespace orvald
