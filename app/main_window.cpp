// Construction of the main window: controls, menus, settings, data directory.
#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QTabBar>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

#include "app/about_box.h"
#include "app/program_icon.h"
#include "app/segments_model.h"
#include "app/today_dlg.h"
#include "app/track_view.h"
#include "link/link.h"
#include "logger/download_session.h"

namespace orvald {

namespace {

constexpr int kFirstDetectionMs = 5000;
constexpr const char* kDirectoryPrompt = "Select directory where downloaded tracks are stored:";

QLineEdit* NewBox(const char* name, QWidget* parent, bool readOnly) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(name);
  box->setReadOnly(readOnly);
  return box;
}

QPushButton* NewButton(const char* name, const char* caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

// A button beside a box in the narrow left column: as wide as its caption
// needs, not the style's usual minimum.
QPushButton* NewSmallButton(const char* name, const char* caption, QWidget* parent) {
  QPushButton* button = NewButton(name, caption, parent);
  button->setFixedWidth(button->fontMetrics().horizontalAdvance(caption) + 20);
  return button;
}

QLabel* NewLabel(const char* caption, QWidget* parent) { return new QLabel(caption, parent); }

constexpr int kLeftColumnWidth = 185;
constexpr const char* kWidestDateTime = "2007/04/10  13:30:12";

// The grid keeps the desktop's type; its columns and rows grow to the widest
// texts a log puts in them, and to their headings.
void FitGridColumns(QTableView* grid) {
  const char* widest[kGridColumns] = {"20000", kWidestDateTime, kWidestDateTime, "999:59:59", "999:59:59",
                                      "116448", "116448"};
  const QFontMetrics cells(grid->font());
  const QFontMetrics headings(grid->horizontalHeader()->font());
  for (int c = 0; c < kGridColumns; ++c) {
    const QString heading = grid->model()->headerData(c, Qt::Horizontal).toString();
    grid->setColumnWidth(c, std::max({kGridColumnWidths[c], cells.horizontalAdvance(widest[c]) + 14,
                                      headings.horizontalAdvance(heading) + 18}));
  }
  const int rowHeight = std::max(16, cells.height() + 4);
  grid->verticalHeader()->setMinimumSectionSize(rowHeight);
  grid->verticalHeader()->setDefaultSectionSize(rowHeight);
}

// Two check boxes, one beside each Save, stand for one setting.
QCheckBox* NewKmlGpxBox(const char* name, QWidget* parent) {
  auto* box = new QCheckBox("KML + GPX", parent);
  box->setObjectName(name);
  box->setToolTip("Save also writes a KML and a GPX file beside the IGC file, named like it");
  return box;
}

// Nobody answers: the window without a logger link still opens saved files.
class NoLoggers : public LoggerLookup {
 public:
  LoggerMatch FindLogger(const std::string&) override { return {}; }
};

}  // namespace

TfrmMain::TfrmMain(AppEnvironment environment, QWidget* parent)
    : QMainWindow(parent), env_(std::move(environment)), noLoggers_(std::make_unique<NoLoggers>()) {
  setObjectName("frmMain");
  setWindowTitle("CIMA (VL) Flight Log Downloader");
  setWindowIcon(ProgramIcon());
  resize(1000, 720);
  setMinimumSize(700, 576);

  // 1-5: controls and their start-up state.
  BuildControls();
  BuildMenus();
  dataDir.clear();
  qApp->installEventFilter(this);  // key preview: the window sees every key first
  Timer1->stop();
  downloadState_ = DownloadState{};
  ProgressBar1->hide();
  Label6->hide();
  lblDLFile->clear();
  for (QLineEdit* box : {CompetNo, PilotNames, LoggerSN, LoggerType, edFrom, edTo, edPoints, edEvents, taskPoints,
                         taskEvents, edManTask}) {
    box->clear();
  }
  SetSaveEnabled(false);
  SetManSaveEnabled(false);
  manualMode = 1;
  segmentsModel_->SetGridRowCount(2);
  segmentsModel_->ClearGridRow(1);
  ConnectHandlers();

  // 6-8: the port list and the settings.
  ReadSettings();
  // 9-11: the data directory, asked at every start.
  ChooseDataDirectory();
  if (!dataDir.empty()) QDir::setCurrent(QString::fromStdString(dataDir));  // a failure is not reported
  StatusPanel0->setText(QString("Saving tracks to : %1").arg(QString::fromStdString(dataDir)));
  BindDownloadSession();

  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  // 12: the first detection comes five seconds after construction.
  Timer1->setInterval(kFirstDetectionMs);
  Timer1->start();
}

TfrmMain::~TfrmMain() {
  qApp->removeEventFilter(this);
  while (cursorsPushed_ > 0) {
    QApplication::restoreOverrideCursor();
    --cursorsPushed_;
  }
}

void TfrmMain::BuildControls() {
  auto* central = new QWidget(this);
  auto* columns = new QVBoxLayout(central);
  columns->setContentsMargins(0, 0, 0, 0);
  columns->setSpacing(0);

  // Top strip: progress of the download and the name of the raw file.
  Panel2 = new QFrame(central);
  Panel2->setObjectName("Panel2");
  Panel2->setFrameShape(QFrame::StyledPanel);
  Panel2->setFixedHeight(49);
  ProgressBar1 = new QProgressBar(Panel2);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setFixedWidth(170);
  ProgressBar1->setTextVisible(false);
  Label6 = new QLabel(Panel2);
  Label6->setObjectName("Label6");
  Label6->setMinimumWidth(170);
  lblDLFile = new QLabel(Panel2);
  lblDLFile->setObjectName("lblDLFile");
  lblDLFile->setAlignment(Qt::AlignCenter);
  QFont fileFont = lblDLFile->font();
  fileFont.setBold(true);
  fileFont.setPointSizeF(fileFont.pointSizeF() * 1.5);
  lblDLFile->setFont(fileFont);
  QPalette filePalette = lblDLFile->palette();
  filePalette.setColor(QPalette::WindowText, Qt::blue);
  lblDLFile->setPalette(filePalette);
  auto* strip = new QHBoxLayout(Panel2);
  strip->setContentsMargins(8, 4, 8, 4);
  auto* progress = new QVBoxLayout;
  progress->setSpacing(2);
  progress->addWidget(ProgressBar1);
  progress->addWidget(Label6);
  strip->addLayout(progress);
  strip->addWidget(lblDLFile, 1);
  columns->addWidget(Panel2);

  Splitter1 = new QSplitter(Qt::Horizontal, central);
  Splitter1->setObjectName("Splitter1");
  Splitter1->setChildrenCollapsible(false);
  columns->addWidget(Splitter1, 1);

  // Left column: communication, identification, the two selection pages.
  Panel1 = new QFrame(Splitter1);
  Panel1->setObjectName("Panel1");
  Panel1->setMinimumWidth(kLeftColumnWidth);
  auto* left = new QVBoxLayout(Panel1);
  left->setContentsMargins(2, 4, 2, 2);
  left->setSpacing(4);

  GroupBox1 = new QGroupBox("Communication", Panel1);
  GroupBox1->setObjectName("GroupBox1");
  cbPortNo = new QComboBox(GroupBox1);
  cbPortNo->setObjectName("cbPortNo");
  cbPortNo->setToolTip("Select the COMM's PORT");
  btnForceDl = NewButton("btnForceDl", "Force download", GroupBox1);
  auto* comm = new QGridLayout(GroupBox1);
  comm->setContentsMargins(6, 4, 6, 6);
  comm->addWidget(NewLabel("Serial port", GroupBox1), 0, 0);
  comm->addWidget(cbPortNo, 0, 1);
  comm->addWidget(btnForceDl, 1, 0, 1, 2);
  left->addWidget(GroupBox1);

  GroupBox2 = new QGroupBox("Identification", Panel1);
  GroupBox2->setObjectName("GroupBox2");
  CompetNo = NewBox("CompetNo", GroupBox2, true);
  PilotNames = NewBox("PilotNames", GroupBox2, true);
  LoggerSN = NewBox("LoggerSN", GroupBox2, true);
  LoggerType = NewBox("LoggerType", GroupBox2, true);
  btnEdit = NewSmallButton("btnEdit", "Edit", GroupBox2);
  auto* ident = new QGridLayout(GroupBox2);
  ident->setContentsMargins(6, 4, 6, 6);
  ident->setVerticalSpacing(3);
  ident->addWidget(NewLabel("ID", GroupBox2), 0, 0);
  ident->addWidget(CompetNo, 0, 1);
  ident->addWidget(btnEdit, 0, 2);
  ident->addWidget(NewLabel("Name", GroupBox2), 1, 0);
  ident->addWidget(PilotNames, 1, 1, 1, 2);
  ident->addWidget(NewLabel("Serial #", GroupBox2), 2, 0);
  ident->addWidget(LoggerSN, 2, 1, 1, 2);
  ident->addWidget(NewLabel("Type", GroupBox2), 3, 0);
  ident->addWidget(LoggerType, 3, 1, 1, 2);
  ident->setColumnStretch(1, 1);
  left->addWidget(GroupBox2);

  PageControl1 = new QTabWidget(Panel1);
  PageControl1->setObjectName("PageControl1");
  // Both page captions always in full: the column widens to them rather than
  // hiding a page behind scroll arrows.
  PageControl1->tabBar()->setUsesScrollButtons(false);
  PageControl1->tabBar()->setElideMode(Qt::ElideNone);
  PageControl1->tabBar()->setExpanding(false);
  PageControl1->setStyleSheet("QTabBar::tab { padding: 4px 5px; }");
  TabSheet1 = new QWidget;
  TabSheet1->setObjectName("TabSheet1");
  edManTask = NewBox("edManTask", TabSheet1, false);
  edFrom = NewBox("edFrom", TabSheet1, false);
  edTo = NewBox("edTo", TabSheet1, false);
  chkManKmlGpx = NewKmlGpxBox("chkManKmlGpx", TabSheet1);
  edPoints = NewBox("edPoints", TabSheet1, true);
  edEvents = NewBox("edEvents", TabSheet1, true);
  btnManSave = NewButton("btnManSave", "Save", TabSheet1);
  auto* manual = new QGridLayout(TabSheet1);
  manual->setContentsMargins(6, 6, 6, 6);
  manual->setVerticalSpacing(3);
  const std::pair<const char*, QLineEdit*> manualRows[] = {{"Task", edManTask},
                                                           {"From (UTC)", edFrom},
                                                           {"To (UTC)", edTo},
                                                           {"Points", edPoints},
                                                           {"Events", edEvents}};
  int row = 0;
  for (const auto& [caption, box] : manualRows) {
    manual->addWidget(NewLabel(caption, TabSheet1), row, 0);
    manual->addWidget(box, row, 1);
    ++row;
  }
  auto* manualSave = new QHBoxLayout;
  manualSave->addWidget(chkManKmlGpx);
  manualSave->addStretch(1);
  manualSave->addWidget(btnManSave);
  manual->addLayout(manualSave, row, 0, 1, 2);
  manual->setRowStretch(row + 1, 1);
  manual->setColumnStretch(1, 1);
  PageControl1->addTab(TabSheet1, "Manual Selection");

  TabSheet2 = new QWidget;
  TabSheet2->setObjectName("TabSheet2");
  WindowTask = new QComboBox(TabSheet2);
  WindowTask->setObjectName("WindowTask");
  WindowTask->setEditable(true);
  WindowTask->setInsertPolicy(QComboBox::NoInsert);
  WindowTask->setMinimumWidth(WindowTask->fontMetrics().horizontalAdvance("0000") + 36);  // task numbers are short
  btnEditTask = NewSmallButton("btnEditTask", "Edit", TabSheet2);
  Date = NewBox("Date", TabSheet2, true);
  TimeFrom = NewBox("TimeFrom", TabSheet2, true);
  TimeTo = NewBox("TimeTo", TabSheet2, true);
  taskPoints = NewBox("taskPoints", TabSheet2, true);
  taskEvents = NewBox("taskEvents", TabSheet2, true);
  btnSave = NewButton("btnSave", "Save", TabSheet2);
  chkKmlGpx = NewKmlGpxBox("chkKmlGpx", TabSheet2);
  auto* window = new QGridLayout(TabSheet2);
  window->setContentsMargins(6, 6, 6, 6);
  window->setVerticalSpacing(3);
  window->addWidget(NewLabel("Task", TabSheet2), 0, 0);
  window->addWidget(WindowTask, 0, 1);
  window->addWidget(btnEditTask, 0, 2);
  window->addWidget(NewLabel("Date", TabSheet2), 1, 0);
  window->addWidget(Date, 1, 1, 1, 2);
  window->addWidget(NewLabel("UTC", TabSheet2), 2, 0);
  auto* times = new QHBoxLayout;
  times->setSpacing(2);
  times->addWidget(TimeFrom);
  times->addWidget(TimeTo);
  window->addLayout(times, 2, 1, 1, 2);
  window->addWidget(NewLabel("Points", TabSheet2), 3, 0);
  window->addWidget(taskPoints, 3, 1, 1, 2);
  window->addWidget(NewLabel("Events", TabSheet2), 4, 0);
  window->addWidget(taskEvents, 4, 1, 1, 2);
  auto* windowSave = new QHBoxLayout;
  windowSave->addWidget(chkKmlGpx);
  windowSave->addStretch(1);
  windowSave->addWidget(btnSave);
  window->addLayout(windowSave, 5, 0, 1, 3);
  window->setRowStretch(6, 1);
  window->setColumnStretch(1, 1);
  PageControl1->addTab(TabSheet2, "Task Window");
  left->addWidget(PageControl1, 1);

  // The segments grid: one row per segment, heading above.
  segmentsModel_ = new SegmentsModel(this);
  Splitter2 = new QSplitter(Qt::Vertical, Splitter1);
  Splitter2->setObjectName("Splitter2");
  Splitter2->setChildrenCollapsible(false);
  SegmentsGrid = new QTableView(Splitter2);
  SegmentsGrid->setObjectName("SegmentsGrid");
  SegmentsGrid->setModel(segmentsModel_);
  SegmentsGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
  SegmentsGrid->setSelectionMode(QAbstractItemView::ContiguousSelection);
  SegmentsGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  SegmentsGrid->setWordWrap(false);
  SegmentsGrid->setCornerButtonEnabled(false);
  SegmentsGrid->verticalHeader()->hide();
  SegmentsGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  SegmentsGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  SegmentsGrid->horizontalHeader()->setHighlightSections(false);
  SegmentsGrid->horizontalHeader()->setMinimumSectionSize(16);
  FitGridColumns(SegmentsGrid);
  // The boxes that show the grid's dates and times are as wide as a whole date and time.
  const int dateTimeWidth = edFrom->fontMetrics().horizontalAdvance(kWidestDateTime) + 12;
  for (QLineEdit* box : {edFrom, edTo}) box->setMinimumWidth(dateTimeWidth);
  // The column's explicit minimum is what the splitter keeps: room for a caption and those boxes.
  const int captionWidth = edFrom->fontMetrics().horizontalAdvance("From (UTC)");
  Panel1->setMinimumWidth(std::max(kLeftColumnWidth, captionWidth + dateTimeWidth + 44));

  // The picture of the log under the grid; it reads the table again whenever the grid is refilled.
  TrackPicture = new TrackView(table_, env_.timezoneOffset, Splitter2);
  TrackPicture->setObjectName("TrackPicture");
  Splitter2->addWidget(SegmentsGrid);
  Splitter2->addWidget(TrackPicture);
  Splitter2->setStretchFactor(0, 0);
  Splitter2->setStretchFactor(1, 1);
  Splitter2->setSizes({200, 460});
  const auto tableChanged = [this] { TrackPicture->TableChanged(); };
  connect(segmentsModel_, &QAbstractItemModel::modelReset, TrackPicture, tableChanged);
  connect(segmentsModel_, &QAbstractItemModel::rowsInserted, TrackPicture, tableChanged);
  connect(segmentsModel_, &QAbstractItemModel::rowsRemoved, TrackPicture, tableChanged);
  connect(segmentsModel_, &QAbstractItemModel::dataChanged, TrackPicture, tableChanged);
  // The grid's mouse presses and releases reach eventFilter through the
  // application-wide filter installed for key preview.

  Splitter1->addWidget(Panel1);
  Splitter1->addWidget(Splitter2);
  Splitter1->setStretchFactor(0, 0);
  Splitter1->setStretchFactor(1, 1);
  const int leftWidth = std::max(Panel1->minimumWidth(), Panel1->minimumSizeHint().width());
  Splitter1->setSizes({leftWidth, width() - leftWidth});
  setCentralWidget(central);

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName("StatusBar1");
  StatusPanel0 = new QLabel(StatusBar1);
  StatusPanel0->setObjectName("StatusPanel0");
  StatusBar1->addWidget(StatusPanel0, 1);
  setStatusBar(StatusBar1);

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");

  // The port list: COM1 to COM9, each with its device as the hint.
  for (int n = 1; n <= kPortCount; ++n) cbPortNo->addItem(QString("COM%1").arg(n));
}

void TfrmMain::BuildMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName("MainMenu1");
  QMenu* file = bar->addMenu("&File");
  file->setObjectName("mnFile");
  mnFileOpen = file->addAction("&Open");
  mnFileOpen->setObjectName("mnFileOpen");
  file->addSeparator();
  mnFileExit = file->addAction("E&xit");
  mnFileExit->setObjectName("mnFileExit");
  QMenu* view = bar->addMenu("&View");
  view->setObjectName("mnView");
  mnViewToday = view->addAction("&Today");
  mnViewToday->setObjectName("mnViewToday");
  QMenu* logger = bar->addMenu("&Logger");
  logger->setObjectName("mnLogger");
  Clear1 = logger->addAction("&Clear");
  Clear1->setObjectName("Clear1");
  QMenu* help = bar->addMenu("&Help");
  help->setObjectName("mnHelp");
  About1 = help->addAction("&About");
  About1->setObjectName("About1");
}

void TfrmMain::ConnectHandlers() {
  connect(btnSave, &QPushButton::clicked, this, [this] { btnSaveClick(); });
  connect(btnManSave, &QPushButton::clicked, this, [this] { btnManSaveClick(); });
  connect(btnForceDl, &QPushButton::clicked, this, [this] { btnForceDlClick(); });
  connect(btnEdit, &QPushButton::clicked, this, [this] { btnEditClick(); });
  connect(btnEditTask, &QPushButton::clicked, this, [this] { btnEditTaskClick(); });
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
  connect(mnFileOpen, &QAction::triggered, this, [this] { mnFileOpenClick(); });
  connect(mnFileExit, &QAction::triggered, this, [this] { mnFileExitClick(); });
  connect(Clear1, &QAction::triggered, this, [this] { Clear1Click(); });
  connect(About1, &QAction::triggered, this, [this] { About1Click(); });
  connect(mnViewToday, &QAction::triggered, this, [this] { mnViewTodayClick(); });
  connect(PageControl1, &QTabWidget::tabBarClicked, this, [this](int) { PageControl1Changing(); });
  connect(PageControl1, &QTabWidget::currentChanged, this, [this](int) { PageControl1Change(); });
  connect(WindowTask, &QComboBox::currentTextChanged, this, [this] { WindowTaskChange(WindowTask); });
  connect(SegmentsGrid->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            if (current.isValid()) SegmentsGridSelectCell(current.column(), current.row() + 1);
          });
  connect(SegmentsGrid, &QAbstractItemView::pressed, this,
          [this](const QModelIndex& index) { SegmentsGridSelectCell(index.column(), index.row() + 1); });
  // cbPortNo is connected after the settings set its selection (step 8 is no operator choice).
}

void TfrmMain::ReadSettings() {
  const StartupSettings read = ReadStartupSettings(env_.settings, env_.defaultDataDir);
  PortMap ports = ReadPortMap(env_.settings);
  for (int n = 1; n <= kPortCount; ++n) {
    cbPortNo->setItemData(n - 1, QString::fromStdString(ports[n - 1]), Qt::ToolTipRole);
  }
  portResolver_ = MakePortResolver(ports);
  portNo = read.portNo;
  dataDir = read.dataDir;
  cbPortNo->setCurrentIndex(portNo >= 1 && portNo <= kPortCount ? portNo - 1 : -1);
  const bool alsoKmlGpx = ReadAlsoKmlGpxSetting(env_.settings);
  for (QCheckBox* box : {chkManKmlGpx, chkKmlGpx}) {
    box->setChecked(alsoKmlGpx);
    connect(box, &QCheckBox::toggled, this, [this](bool checked) {
      for (QCheckBox* other : {chkManKmlGpx, chkKmlGpx}) {
        const QSignalBlocker quiet(other);
        other->setChecked(checked);
      }
      WriteAlsoKmlGpxSetting(env_.settings, checked);
    });
  }
  connect(cbPortNo, &QComboBox::currentIndexChanged, this, [this](int) { cbPortNoChange(); });
}

void TfrmMain::ChooseDataDirectory() {
  const std::string start = dataDir.empty() ? QDir::homePath().toStdString() : dataDir;
  if (auto chosen = env_.prompts->ChooseDirectory(kDirectoryPrompt, start)) {
    dataDir = *chosen;
    WriteDataDirSetting(env_.settings, dataDir);
  }
}

void TfrmMain::cbPortNoChange() {
  portNo = cbPortNo->currentIndex() + 1;  // -1 (nothing selected) gives 0
  WritePortSetting(env_.settings, portNo);
  if (env_.link) env_.link->portNo = static_cast<uint8_t>(portNo);  // opened there next time
  if (onPortChange_) onPortChange_(portNo);
}

void TfrmMain::btnForceDlClick() { downloadState_.lastSerialText.clear(); }

void TfrmMain::btnEditClick() {
  if (serialNumbersDlg_) {
    serialNumbersDlg_->show();
    serialNumbersDlg_->raise();
    serialNumbersDlg_->activateWindow();
  }
}

void TfrmMain::btnEditTaskClick() {
  if (taskWindowsDlg_) {
    taskWindowsDlg_->show();
    taskWindowsDlg_->raise();
    taskWindowsDlg_->activateWindow();
  }
}

void TfrmMain::mnFileExitClick() { close(); }

void TfrmMain::mnViewTodayClick() {
  if (!todayDlg_) todayDlg_ = new TTodayDlg(dataDir.empty() ? "." : dataDir, this);
  todayDlg_->show();
  todayDlg_->raise();
  todayDlg_->activateWindow();
}

void TfrmMain::About1Click() {
  if (aboutBox_) aboutBox_->exec();
}

void TfrmMain::FormKeyPress(int key) {
  if (key == 27) downloadState_.abortFlag = 1;
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  if (busy_ || inDetection_) {
    // Never pull the window from under a running exchange: ask the session to
    // stop (it asks the operator while downloading) and close once it returns.
    downloadState_.abortFlag = 1;
    closePending_ = true;
    event->ignore();
    return;
  }
  event->accept();
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress: {
      auto* widget = qobject_cast<QWidget*>(watched);
      if (widget && widget->window() == this) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) FormKeyPress(27);
      }
      return false;  // never consumed: the focused control still gets the key
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease: {
      if (watched != SegmentsGrid->viewport() && watched != SegmentsGrid->horizontalHeader()) break;
      auto* mouse = static_cast<QMouseEvent*>(event);
      const QPoint pos = static_cast<QWidget*>(watched)->mapTo(SegmentsGrid, mouse->position().toPoint());
      if (event->type() == QEvent::MouseButtonPress) {
        SegmentsGridMouseDown(mouse->button(), mouse->modifiers(), pos);
      } else {
        SegmentsGridMouseUp(mouse->button(), mouse->modifiers(), pos);
      }
      return false;
    }
    default:
      break;
  }
  return QMainWindow::eventFilter(watched, event);
}

QString TfrmMain::StatusText() const { return StatusPanel0->text(); }

}  // namespace orvald
