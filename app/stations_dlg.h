#pragma once
// Logger > Stations: the ports the desk downloads on besides the main one.
// Each runs its detection cycle and downloads on a thread of its own (the
// core has no window toolkit in it); what a station's session tells its view
// comes back to this window's thread as queued calls, so the window never
// waits for a logger. A row shows the port, its state, the logger and the
// file; a double-click on a finished download opens it in the main window.
// With "Add plugged-in adapters automatically" every adapter whose link
// appears in /dev/serial/by-path gets a row of its own until it goes.

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
#include "link/device_links.h"
#include "link/port_names.h"
#include "desk/judge_download.h"
#include "logger/logger_claims.h"
#include "logger/prompts.h"
#include "logger/station_state.h"

class QCheckBox;
class QComboBox;
class QSocketNotifier;
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
  std::string deviceLinkFolder = kDeviceLinkFolder;  // where plugged-in adapters' links appear
};

class TStationsDlg : public QDialog {
  Q_OBJECT
 public:
  TStationsDlg(StationsSetup setup, QWidget* parent = nullptr);
  // Every station is stopped (downloads aborted, files removed, loggers put
  // back to their detection rate) and waited for.
  ~TStationsDlg() override;

  // The ports of the settings, as at the last run, and the plugged-in
  // adapters when AUTO_STATIONS is on.
  void StartRemembered();
  // AUTO_STATIONS: on, every adapter plugged in is a station while it is;
  // off, those stations stop.
  void SetAutomatic(bool automatic);
  // The rows of plugged-in adapters, by their port text ("ttyUSB3 (USB hub port 1.3)").
  std::vector<std::string> adapterRows() const;
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
  // Their ports and loggers: "COM2 (QC555)".
  std::vector<std::string> Downloading() const;
  const StationState* Row(int portNo) const;
  // The main window's port changed: the ports offered follow.
  void MainPortChanged() { RefillPortChoice(); }

  // What the stations judge each download with from now on (the day's
  // task); safe to change while they download.
  void SetJudging(const DeskJudging& judging);
  // The data folder changed: each station starts again on it (its raw
  // files, loggers table and journal are fixed when it starts).
  void SetDataFolder(const std::string& dataDir);

  // Called on this window's thread with what a station's thread reported.
  void Update(int portNo, const std::function<void(StationState&)>& change);

 private:
  struct StationRow;  // a station, its row and what its session talks to
  void Redraw();
  void RefillPortChoice();
  void RetireStopped();
  void OpenRow(int row);
  std::string Refusal(int portNo) const;
  // `lastSerial`: the logger taken as downloaded already.
  void StartStation(int portNo, const std::string& device, std::unique_ptr<StationRow> s,
                    const std::string& lastSerial = "");
  void ServeLinks();
  bool HoldsDevice(const std::string& device) const;

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
  QCheckBox* chkAuto_;
  std::unique_ptr<DeviceLinkWatcher> watcher_;  // while AUTO_STATIONS is on
  QSocketNotifier* linkNotifier_ = nullptr;
  int nextAdapterRowId_ = 1000;  // rows of adapters are told apart from COMn by ids past the ports
};

}  // namespace orvald
