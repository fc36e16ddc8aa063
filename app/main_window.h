#pragma once
// The main window: communication and identification boxes, the two selection
// pages, the segments grid, the detection timer, and the state the download,
// the selection and the IGC writer share through it.

#include <QMainWindow>
#include <memory>
#include <string>
#include <vector>

#include "app/app_environment.h"
#include "logger/download_view.h"
#include "logger/logger_commands.h"
#include "logger/logger_lookup.h"
#include "tracklog/track_table.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
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
class SegmentsModel;
class TAboutBox;
class TrackView;

// OpenDialog1: what File > Open asks with.
struct OpenDialogSetup {
  std::string title = "Read GPS File";
  std::string filter = "Raw files (*.G00);;IGC files (*.igc *.IGC);;Latest files (*.dat);;All files (*)";
  std::string defaultExt = "dat";
};

// Date, start and end texts of a task; empty when the task is not in the table.
struct TaskWindowTexts {
  std::string date;
  std::string timeFrom;
  std::string timeTo;
};

class TfrmMain : public QMainWindow, public DownloadView {
  Q_OBJECT
 public:
  explicit TfrmMain(AppEnvironment environment, QWidget* parent = nullptr);
  ~TfrmMain() override;

  // The About box lives as long as the window; start-up creates it after the window.
  void SetAboutBox(TAboutBox* box) { aboutBox_ = box; }
  // The task windows table's queries; until it is attached every task is unknown.
  void SetTaskQueries(std::function<TaskWindowTexts(const std::string&)> queries) { taskQueries_ = std::move(queries); }
  // The dialogs behind the two Edit buttons; shown without blocking this window.
  void SetSerialNumbersDialog(QWidget* dialog) { serialNumbersDlg_ = dialog; }
  void SetTaskWindowsDialog(QWidget* dialog) { taskWindowsDlg_ = dialog; }

  // ---- Handlers, named as the controls and events they serve.
  void btnSaveClick();
  void btnManSaveClick();
  void cbPortNoChange();
  void btnForceDlClick();
  void btnEditClick();
  void btnEditTaskClick();
  void Timer1Timer();
  void mnFileOpenClick();
  void mnFileExitClick();
  void Clear1Click();
  void About1Click();
  void mnViewTodayClick();
  void FormKeyPress(int key);
  void PageControl1Changing();
  void PageControl1Change();
  void SegmentsGridMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos);
  void SegmentsGridMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos);
  void SegmentsGridSelectCell(int column, int row);
  void WindowTaskChange(QObject* sender);
  // The task windows table calls this with its task-number column, heading first.
  void FillTaskList(const std::vector<std::string>& column);

  // ---- Shared state.
  std::string dataDir;
  int portNo = 0;  // 1..9 for COM1..COM9, 0: no port chosen
  // COMn to device path, from the settings' port map.
  const PortResolver& portResolver() const { return portResolver_; }
  // Told of every port the operator picks, so the link opens the new one next time.
  void SetPortChangeHook(std::function<void(int)> hook) { onPortChange_ = std::move(hook); }
  int manualMode = 1;
  int firstSegment = -1;
  int lastSegment = -1;
  int abortFlag() const { return downloadState_.abortFlag; }
  const std::string& lastSerialText() const { return downloadState_.lastSerialText; }
  TrackTable& trackTable() { return table_; }
  // The grid row under `pos` (SegmentsGrid coordinates): 0 for the heading, -1 for none.
  int SegmentsGridRowAt(QPoint pos) const;
  // The grid's row count, heading included, and a cell's text (row 0: heading).
  int SegmentsGridRowCount() const;
  QString SegmentsGridCell(int column, int row) const;
  QString StatusText() const;
  // True while a download, an erase or an open runs.
  bool exchangeBusy() const { return busy_; }

  // ---- Controls (the names the rest of the system uses for them).
  QFrame* Panel2;
  QProgressBar* ProgressBar1;
  QLabel* Label6;
  QLabel* lblDLFile;
  QFrame* Panel1;
  QGroupBox* GroupBox1;
  QComboBox* cbPortNo;
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
  QSplitter* Splitter1;
  QSplitter* Splitter2;  // the grid above the picture
  QTableView* SegmentsGrid;
  TrackView* TrackPicture;
  QStatusBar* StatusBar1;
  QLabel* StatusPanel0;
  QTimer* Timer1;
  OpenDialogSetup OpenDialog1;
  QAction* mnFileOpen;
  QAction* mnFileExit;
  QAction* Clear1;
  QAction* About1;
  QAction* mnViewToday;

  // ---- DownloadView: how the download session drives this window.
  void SetProgressRange(int minimum, int maximum, int step) override;
  void SetProgressPosition(int position) override;
  void StepProgress() override;
  void ShowProgress(bool shown) override;
  void SetBlockCaption(const std::string& text) override;
  void ShowBlockCaption(bool shown) override;
  void SetFileCaption(const std::string& text) override;
  void SetStatusText(const std::string& text) override;
  void RememberCursor() override;
  void SetHourglassCursor() override;
  void RestoreCursor() override;
  void Beep() override;
  void ProcessPendingEvents() override;
  void ResetSegmentsGrid() override;
  void SetSegmentsRowCount(int rowCount) override;
  void SetSegmentsRow(int row, const std::array<std::string, kGridColumns>& cells) override;
  void SetIdentification(const std::string& competNo, const std::string& pilotNames,
                         const std::string& loggerSerial, const std::string& loggerType) override;
  Prompts& prompts() override;
  DownloadState& state() override { return downloadState_; }
  void StopDetectionTimer() override;
  void StartDetectionTimer(int intervalMs) override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void BuildMenus();
  void ConnectHandlers();
  void ReadSettings();
  void ChooseDataDirectory();
  void BindDownloadSession();
  // Whole-window refusal of the commands that would start another exchange
  // or change the track table while one runs.
  void SetBusy(bool busy);
  void UpdateCommandStates();
  void SetSaveEnabled(bool enabled);
  void SetManSaveEnabled(bool enabled);
  void ClearGridSelection();
  void SelectGridRows(int firstRow, int lastRow);
  std::string ChosenTaskText() const;
  void ShowSelectionInPicture();
  void FinishDeferredWork();

  AppEnvironment env_;
  TrackTable table_;
  DownloadState downloadState_;
  SegmentsModel* segmentsModel_ = nullptr;
  std::unique_ptr<LoggerLookup> noLoggers_;
  std::unique_ptr<LoggerCommands> linkCommands_;
  std::unique_ptr<DownloadSession> session_;
  TAboutBox* aboutBox_ = nullptr;
  QWidget* serialNumbersDlg_ = nullptr;
  QWidget* taskWindowsDlg_ = nullptr;
  QWidget* todayDlg_ = nullptr;  // made when first asked for
  std::function<TaskWindowTexts(const std::string&)> taskQueries_;
  PortResolver portResolver_;
  std::function<void(int)> onPortChange_;

  bool saveWanted_ = false;     // what the selection rules say about btnSave
  bool manSaveWanted_ = false;  // ... and about btnManSave
  bool busy_ = false;           // a download, erase or open is running
  bool inDetection_ = false;    // a detection cycle (probe) is running
  bool openPending_ = false;    // File > Open asked for during a probe
  bool clearPending_ = false;   // Logger > Clear asked for during a probe
  bool closePending_ = false;   // the window was closed while an exchange ran
  bool settingUpGrid_ = false;  // selection changes made by the program, not the operator
  int cursorsPushed_ = 0;
  int progressStep_ = 1;
};

}  // namespace orvald
