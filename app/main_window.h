#pragma once
// The main window: communication and identification boxes, the two selection
// pages, the segments grid and the detection timer. The run of segments and
// the rules about it are the desk's (DeskSelection); what a download shows is
// the session view's (WindowSessionView); the window builds the controls and
// ties them to both.

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app_environment.h"
#include "logger/commands.h"
#include "desk/desk_day.h"
#include "desk/judge_download.h"
#include "desk/selection.h"
#include "logger/logger_claims.h"
#include "logger/logger_commands.h"
#include "logger/logger_lookup.h"
#include "logger/session_view.h"
#include "tracklog/track_table.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QTableView;
class QTimer;

namespace orvald {

class DownloadSession;
class PortChooser;
class SegmentsModel;
class TAboutBox;
class TStationsDlg;
class TTodayDlg;
class TPortCheckDlg;
class TrackView;
class WindowSessionView;

// OpenDialog1: what File > Open asks with.
struct OpenDialogSetup {
  std::string title = "Read GPS File";
  std::string filter = "Raw files (*.G00);;IGC files (*.igc *.IGC);;Latest files (*.dat);;All files (*)";
  std::string defaultExt = "dat";
};

class TfrmMain : public QMainWindow {
  Q_OBJECT
 public:
  explicit TfrmMain(AppEnvironment environment, QWidget* parent = nullptr);
  ~TfrmMain() override;

  // The About box lives as long as the window; start-up creates it after the window.
  void SetAboutBox(TAboutBox* box) { aboutBox_ = box; }
  // The task windows table's queries; until it is attached every task is unknown.
  void SetTaskQueries(std::function<TaskWindowTexts(const std::string&)> queries) { taskQueries_ = std::move(queries); }
  // The dialogs behind the two Edit buttons; shown without blocking this window.
  // `showLogger` puts its cursor on the row of the serial shown, when one is.
  void SetSerialNumbersDialog(QWidget* dialog, std::function<void(const std::string&)> showLogger = {}) {
    serialNumbersDlg_ = dialog;
    showLogger_ = std::move(showLogger);
  }
  void SetTaskWindowsDialog(QWidget* dialog) { taskWindowsDlg_ = dialog; }
  // Reads both tables again from the working directory, reporting a missing
  // one as start-up does (File > Data folder...).
  void SetTableReload(std::function<void()> reload) { reloadTables_ = std::move(reload); }

  // ---- Handlers, named as the controls and events they serve.
  void btnSaveClick();
  void btnManSaveClick();
  void cbPortNoChange();
  void btnForceDlClick();
  void btnEditClick();
  void btnEditTaskClick();
  void Timer1Timer();
  void mnFileOpenClick();
  // File > Data folder...: asks for another data folder, refused while a
  // download runs; the tables, Today and the stations follow the new one.
  void mnFileDataFolderClick();
  void mnFileExitClick();
  void Clear1Click();
  void About1Click();
  void mnViewTodayClick();
  void mnStationsClick();
  void mnCheckPortsClick();
  // Logger > Line rate: what downloads ask the logger for, from the next one on.
  void ChooseLineRate(uint32_t rate);
  // A log file to show for selection and Save (a station's finished
  // download); waits for a running exchange to end first.
  void OpenLogFile(const std::string& path);
  // What is wrong with a file opened stays in the status bar while polls find no logger.
  void HoldOpenWarning(const LoadLogResult& opened);
  // The Stations window, made (hidden) when first needed.
  TStationsDlg* StationsWindow();
  void FormKeyPress(int key);
  void PageControl1Changing();
  void PageControl1Change();
  // Every change of the grid's highlight on the Manual Selection page: the
  // highlighted rows become the run that Save writes.
  void SegmentsGridSelectCell(int column, int row);
  void WindowTaskChange(QObject* sender);
  // Shows what the loggers table now says of the log on screen (after OK in
  // the Serial Numbers dialog); nothing before a log was loaded.
  void IdentifyDecodedLog();
  // The task windows table calls this with its task-number column, heading first.
  void FillTaskList(const std::vector<std::string>& column);

  // ---- What the window stands on.
  // Where tracks are saved, as chosen at start-up; empty when none was.
  const std::string& dataDir() const { return dataDir_; }
  int portNo() const { return portNo_; }  // 1..9 for COM1..COM9, 0: no port chosen
  // The run chosen and the rules the two pages follow.
  const DeskSelection& selection() const { return selection_; }
  // COMn to device path, from the settings' port map.
  const PortResolver& portResolver() const { return portResolver_; }
  // Told of every port the operator picks, so the link opens the new one next time.
  void SetPortChangeHook(std::function<void(int)> hook) { onPortChange_ = std::move(hook); }
  // The abort key was pressed and no download has taken it yet.
  bool abortFlag() const;
  const std::string& lastSerialText() const;
  TrackTable& trackTable() { return table_; }
  // The grid's row count, heading included, and a cell's text (row 0: heading).
  int SegmentsGridRowCount() const;
  QString SegmentsGridCell(int column, int row) const;
  QString StatusText() const;
  // True while a download, an erase or an open runs.
  bool exchangeBusy() const { return busy_; }
  const std::string& dayTask() const { return day_.task(); }
  const DeskDay& day() const { return day_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The journal's line for a logger erased on `port`.
  void JournalErase(const std::string& port, const std::string& serial);
  // ---- Controls, named as the rest of the system knows them; tests find
  // them by these object names.
  QFrame* Panel2;
  QProgressBar* ProgressBar1;
  QLabel* Label6;
  QLabel* lblDLFile;
  QFrame* Panel1;
  QGroupBox* GroupBox1;
  PortChooser* cbPortNo;
  QPushButton* btnForceDl;
  QGroupBox* GroupBox2;
  QLineEdit* CompetNo;
  QLineEdit* PilotNames;
  QLineEdit* LoggerSN;
  QLineEdit* LoggerType;
  QPushButton* btnEdit;
  QTabWidget* PageControl1;
  QWidget* TabSheet1;
  QLineEdit* edManTask;
  QLineEdit* edFrom;
  QLineEdit* edTo;
  QLineEdit* edPoints;
  QLineEdit* edEvents;
  QPushButton* btnManSave;
  QWidget* TabSheet2;
  QComboBox* WindowTask;
  QPushButton* btnEditTask;
  QLineEdit* Date;
  QLineEdit* TimeFrom;
  QLineEdit* TimeTo;
  QLineEdit* taskPoints;
  QLineEdit* taskEvents;
  QPushButton* btnSave;
  QCheckBox* chkManKmlGpx;  // beside each Save: also write KML and GPX (one setting)
  QCheckBox* chkKmlGpx;
  QCheckBox* chkAutoSave;  // each download judged for the day's task is saved at once
  QLabel* lblBanner;
  QSplitter* Splitter1;
  QSplitter* Splitter2;  // the grid above the picture
  QTableView* SegmentsGrid;
  TrackView* TrackPicture;
  QStatusBar* StatusBar1;
  QLabel* StatusPanel0;
  QTimer* Timer1;
  QAction* mnFileOpen;
  QAction* mnFileDataFolder;
  QAction* mnFileExit;
  QAction* Clear1;
  QAction* About1;
  QAction* mnViewToday;
  QAction* mnStations;
  QAction* mnCheckPorts;
  QAction* mnRate57600;
  QAction* mnRate115200;
  OpenDialogSetup OpenDialog1;

  // The first size fitted to the screen, or the last run's placement on a
  // screen of this size, on the screen either way.
  void PlaceOnScreen();
  void RememberPlacement();
  // The stations downloading now, as "COM2 (QC555)".
  std::vector<std::string> StationsDownloading() const;
  void BuildControls();
  QWidget* BuildTopStrip(QWidget* parent);
  QWidget* BuildCommunicationBox(QWidget* parent);
  QWidget* BuildIdentificationBox(QWidget* parent);
  QWidget* BuildManualPage();
  QWidget* BuildTaskWindowPage();
  QWidget* BuildTaskBar(QWidget* parent);
  QWidget* BuildBanner(QWidget* parent);
  QWidget* BuildSegmentsGrid(QWidget* parent);
  QWidget* BuildGridAndPicture(QWidget* parent);
  void BuildMenus();
  void ConnectHandlers();
  void ConnectMenus();
  void ReadSettings();
  // True when a folder was chosen (and written to the settings).
  bool ChooseDataDirectory();
  // Why the data folder cannot be changed now; empty when it can.
  std::string DataFolderRefusal() const;
  // The chosen folder becomes the working directory and everything reading
  // from the data folder reads from it.
  void UseDataFolder();
  void BindDownloadSession();
  // Whole-window refusal of the commands that would start another exchange
  // or change the track table while one runs.
  void SetBusy(bool busy);
  // The commands as the exchange and the desk's selection allow them now.
  void UpdateCommandStates();
  void ClearGridSelection();
  // A new log: no run chosen on either page, both Saves off, the totals empty.
  void ForgetSelection();
  // A decode begins with an empty grid; each decoded segment adds its row.
  void ClearSegmentRows();
  void ShowSegmentRow(int index, const TrackSegment& segment);
  void SetStatusText(const std::string& text);
  void SelectGridRows(int firstRow, int lastRow);
  // Ctrl+Shift+Home/End in the grid: the highlight grows to the first or
  // last row, which the view itself only moves the cursor to. True when taken.
  bool ExtendGridHighlight(const QKeyEvent& key);
  std::string ChosenTaskText() const;
  void ShowSelectionInPicture();
  // A log came on show (downloaded or opened): the Task Window page's task
  // chooses its segments at once.
  void ApplyTaskToNewLog();
  // After each download of the main port: the verdict for the day's task,
  // in the status bar, with the task file saved.
  void GiveVerdict(const LoadLogResult& result);
  // What downloads are judged with now; told to the stations at every change.
  DeskJudging DayJudging(const std::string& dataDir) const;
  void DayJudgingChanged();
  // At the first fill of the task list: today's first task, when the
  // remembered one is not among today's.
  void ChooseTodaysTask(const std::vector<std::string>& entries);
  // What the day's task (its window `texts`) selects of the log on show,
  // and whether those fixes are saved already.
  void NoteTaskOnLog(const TaskWindowTexts& texts);
  IgcSaveRequest TaskRequest(const TaskWindowMatch& match, const std::string& taskText) const;
  // A log came on show: the desk starts on it afresh.
  void ShowLogOnDesk();
  void ShowBanner();
  // The questions before a save: a run outside the task's window, fixes saved already.
  bool ConfirmSave(const IgcSaveRequest& request);
  // A download begins: nothing of the log before stays on show.
  void ClearForDownload(const DownloadStart& start);
  // The status bar's word on a flight replaced before it was saved for the task.
  void SayReplaced(const std::string& notice);
  void FinishDeferredWork();

  AppEnvironment env_;
  TrackTable table_;
  DeskSelection selection_{table_};
  std::string dataDir_;
  // Where the log on show came from, for the journal's save line: the main
  // port's name after a download, "-" for a file opened.
  std::string shownPort_ = "-";
  int portNo_ = 0;
  SegmentsModel* segmentsModel_ = nullptr;
  std::unique_ptr<LoggerLookup> noLoggers_;
  std::unique_ptr<LoggerCommands> linkCommands_;
  std::unique_ptr<WindowSessionView> view_;  // before the session, which reports to it to its end
  // The commands over the link, whose reply order Logger > Clear shares.
  std::unique_ptr<LinkLoggerCommands> overLink_;
  std::unique_ptr<DownloadSession> session_;
  TAboutBox* aboutBox_ = nullptr;
  QWidget* serialNumbersDlg_ = nullptr;
  std::function<void(const std::string&)> showLogger_;
  QWidget* taskWindowsDlg_ = nullptr;
  TTodayDlg* todayDlg_ = nullptr;  // made when first asked for
  TPortCheckDlg* portCheckDlg_ = nullptr;
  // Shared by the main port and the stations: one logger, one download at a time.
  LoggerClaims claims_;
  TStationsDlg* stationsDlg_ = nullptr;
  std::string pendingOpenPath_;  // a station's file to open once the exchange running is over
  std::function<TaskWindowTexts(const std::string&)> taskQueries_;
  std::function<void()> reloadTables_;
  PortResolver portResolver_;
  std::function<void(int)> onPortChange_;

  // The day: its task (the last one chosen in WindowTask, TASK), which every
  // log shown and every download is judged for, and the log on show.
  DeskDay day_;
  bool startTaskChosen_ = false;  // the first fill of the task list looks for today's tasks
  bool busy_ = false;           // a download, erase or open is running
  bool inDetection_ = false;    // a detection cycle (probe) is running
  bool openPending_ = false;    // File > Open asked for during a probe
  bool clearPending_ = false;   // Logger > Clear asked for during a probe
  bool closePending_ = false;   // the window was closed while an exchange ran
  bool quitting_ = false;       // ... and the operator said to stop the download and quit
  bool settingUpGrid_ = false;  // selection changes made by the program, not the operator
};

}  // namespace orvald
