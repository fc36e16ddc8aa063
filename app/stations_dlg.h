#pragma once
// Logger > Stations: the ports the desk downloads on besides the main one.
// Each runs its detection cycle and downloads on a thread of its own (the
// core has no window toolkit in it); what a station's session tells its view
// comes back to this window's thread as queued calls, so the window never
// waits for a logger. A row shows the port, its state, the logger and the
// file; a double-click on a finished download opens it in the main window.

#include <QDialog>
#include <QTimer>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/app_settings.h"
#include "link/port_names.h"
#include "desk/judge_download.h"
#include "logger/logger_claims.h"
#include "logger/prompts.h"
#include "logger/station_state.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace orvald {

class PortStation;

struct StationsSetup {
  SettingsLocation settings;   // STATIONS is kept there
  PortResolver resolver;       // COMn to device path
  std::string dataDir;         // raw files and loggers.tsv
  long _timezone = 0;
  uint32_t downloadRate = 57600;
  LoggerClaims* claims = nullptr;       // shared with the main port
  std::function<int()> mainPortNo;      // the main window's port now
  std::function<void(const std::string&)> openFile;  // a finished download, for selection and Save
  int firstPollDelayMs = 0;
  std::function<std::tm()> localNow;  // raw file names; empty: the computer's local time
  Prompts* prompts = nullptr;         // asks before a downloading station is removed; none: not asked
};

class TStationsDlg : public QDialog {
  Q_OBJECT
 public:
  TStationsDlg(StationsSetup setup, QWidget* parent = nullptr);
  // Every station is stopped (downloads aborted, files removed, loggers put
  // back to their detection rate) and waited for.
  ~TStationsDlg() override;

  // The ports of the settings, as at the last run.
  void StartRemembered();
  // Remove as the button does: a station that is downloading is removed
  // only when the operator says so.
  void RemoveChosen();
  // Starts a station on COMn; false, with the reason under the grid, when
  // the port is the main one, already a station's, or the same device as one.
  bool AddStation(int portNo);
  void RemoveStation(int portNo);
  void SetDownloadRate(uint32_t rate);
  // Whether a station (running or still stopping) holds the port or its device.
  bool HoldsPort(int portNo) const;
  std::vector<int> stationPorts() const;
  // Stations whose download is under way.
  int DownloadsRunning() const;
  const StationState* Row(int portNo) const;
  // The main window's port changed: the ports offered follow.
  void MainPortChanged() { RefillPortChoice(); }

  // What the stations judge each download with from now on (the day's
  // task); safe to change while they download.
  void SetJudging(const DeskJudging& judging);

  // Called on this window's thread with what a station's thread reported.
  void Update(int portNo, const std::function<void(StationState&)>& change);

 private:
  struct StationRow;  // a station, its row and what its session talks to
  void Redraw();
  void RefillPortChoice();
  void RetireStopped();
  void OpenRow(int row);
  std::string Refusal(int portNo) const;

  StationsSetup setup_;
  // Read by the stations' threads after each download, set by this window's.
  struct SharedJudging {
    std::mutex mutex;
    DeskJudging judging;
  };
  std::shared_ptr<SharedJudging> judging_ = std::make_shared<SharedJudging>();
  std::vector<std::unique_ptr<StationRow>> stations_;
  std::vector<std::unique_ptr<StationRow>> stopping_;  // told to stop, their threads not yet ended
  QTimer retireTimer_;
  QTableWidget* grid_;
  QComboBox* cbNewPort_;
  QPushButton* btnAdd_;
  QPushButton* btnRemove_;
  QLabel* lblNote_;
};

}  // namespace orvald
