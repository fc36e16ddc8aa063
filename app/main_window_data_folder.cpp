// File > Data folder...: the data folder changed while the program runs.
// Everything that reads or writes the data folder follows the new one: the
// working directory, both tables, the task list, Today, the main port's
// session and the stations.
#include <QAction>
#include <QDir>
#include <QLabel>
#include <QTimer>

#include "app/app_settings.h"
#include "app/main_window.h"
#include "app/stations_dlg.h"
#include "app/today_dlg.h"
#include "logger/download_session.h"

namespace orvald {

std::string TfrmMain::DataFolderRefusal() const {
  // Files half written into one folder and journalled in the other would
  // leave neither day's record whole.
  if (busy_ || inDetection_) return "A download is running; change the data folder when it is over.";
  const std::vector<std::string> running = StationsDownloading();
  if (!running.empty()) {
    std::string ports;
    for (const std::string& station : running) ports += (ports.empty() ? "" : ", ") + station;
    return "Stations are downloading (" + ports + "); change the data folder when they are done.";
  }
  // Reading the tables again would throw away the edits on show.
  for (QWidget* dialog : {serialNumbersDlg_, taskWindowsDlg_}) {
    if (dialog != nullptr && dialog->isVisible()) {
      return "Close the loggers and task windows tables first; they are read again from the new folder.";
    }
  }
  return {};
}

void TfrmMain::mnFileDataFolderClick() {
  if (const std::string refusal = DataFolderRefusal(); !refusal.empty()) {
    env_.prompts->Ask("Data folder", refusal, PromptButtons::kOk, PromptIcon::kWarning);
    return;
  }
  Timer1->stop();
  const std::string before = dataDir_;
  if (ChooseDataDirectory()) {
    if (!dataDir_.empty() && !QDir::setCurrent(QString::fromStdString(dataDir_))) {
      // Tracks must never go where the status bar does not say.
      env_.prompts->Ask("Data folder",
                        "Cannot use " + dataDir_ + " as the data folder; tracks are still saved to " + before,
                        PromptButtons::kOk, PromptIcon::kError);
      dataDir_ = before;
      WriteDataDirSetting(env_.settings, dataDir_);
    } else {
      UseDataFolder();
    }
  }
  Timer1->start();
}

void TfrmMain::UseDataFolder() {
  // The working directory is the new folder now: the main port's files,
  // its journal and the tables go by it.
  SetStatusText("Saving tracks to : " + dataDir_);
  // A failure of the folder before is forgotten: the next poll tries again.
  session_->SetDataFolder(std::string());
  if (reloadTables_) reloadTables_();
  const std::string folder = dataDir_.empty() ? QDir::currentPath().toStdString() : dataDir_;
  if (stationsDlg_ != nullptr) stationsDlg_->SetDataFolder(folder);
  if (todayDlg_ != nullptr) {
    // Today is made for one folder: it is made again for the new one.
    const bool shown = todayDlg_->isVisible();
    todayDlg_->deleteLater();
    todayDlg_ = nullptr;
    if (shown) mnViewTodayClick();
  }
  DayJudgingChanged();
}

}  // namespace orvald
