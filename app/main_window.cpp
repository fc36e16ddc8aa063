// The main window itself: its controls and their layout, the settings and
// the data directory read at start-up, the port chosen, the keys it sees
// first, and closing.
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

#include "app/port_chooser.h"
#include "app/program_icon.h"
#include "app/segments_model.h"
#include "app/stations_dlg.h"
#include "app/track_view.h"
#include "app/window_placement.h"
#include "app/window_session_view.h"
#include "link/link.h"
#include "link/port_names.h"
#include "logger/download_session.h"
#include "tracklog/safe_text.h"

namespace orvald {

namespace {

constexpr const char* kDirectoryPrompt = "Select directory where downloaded tracks are stored:";

QLineEdit* NewBox(const char* name, QWidget* parent, bool readOnly) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(name);
  box->setReadOnly(readOnly);
  // A box that only shows is passed by Tab; a click still selects its text to copy.
  if (readOnly) box->setFocusPolicy(Qt::ClickFocus);
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

// What a window system adds around the window (title bar, borders), kept
// free when the window is fitted to a screen.

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

// "COM2 (QC555) is downloading. Stop it and quit?", each port named.
std::string DownloadingQuestion(const std::vector<std::string>& ports) {
  std::string names;
  for (size_t i = 0; i < ports.size(); ++i) {
    names += (i == 0 ? "" : i + 1 == ports.size() ? " and " : ", ") + ports[i];
  }
  return ports.size() == 1 ? names + " is downloading. Stop it and quit?"
                           : names + " are downloading. Stop them and quit?";
}

// Nobody answers: the window without a logger link still opens saved files.
class NoLoggers : public LoggerLookup {
 public:
  LoggerMatch FindLogger(const std::string&) override { return {}; }
};

// A caption and its box (or boxes) on one row of a group's grid.
void AddRow(QGridLayout* grid, int row, const char* caption, QWidget* parent, QWidget* box, int span = 1) {
  grid->addWidget(NewLabel(caption, parent), row, 0);
  grid->addWidget(box, row, 1, 1, span);
}

// The check box at the left of a page's last row, its Save at the right.
QHBoxLayout* SaveRow(QCheckBox* alsoKmlGpx, QPushButton* save) {
  auto* row = new QHBoxLayout;
  row->addWidget(alsoKmlGpx);
  row->addStretch(1);
  row->addWidget(save);
  return row;
}

QGridLayout* NewGroupGrid(QWidget* group, int top) {
  auto* grid = new QGridLayout(group);
  grid->setContentsMargins(6, top, 6, 6);
  grid->setVerticalSpacing(3);
  return grid;
}

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
  dataDir_.clear();
  qApp->installEventFilter(this);  // key preview: the window sees every key first
  Timer1->stop();
  ProgressBar1->hide();
  Label6->hide();
  lblDLFile->clear();
  for (QLineEdit* box : {CompetNo, PilotNames, LoggerSN, LoggerType, edFrom, edTo, edPoints, edEvents, taskPoints,
                         taskEvents, edManTask}) {
    box->clear();
  }
  UpdateCommandStates();  // nothing chosen yet: both Saves off
  segmentsModel_->SetGridRowCount(2);
  segmentsModel_->ClearGridRow(1);
  ConnectHandlers();

  // 6-8: the port list and the settings.
  ReadSettings();
  // 9-11: the data directory, asked at every start.
  ChooseDataDirectory();
  if (!dataDir_.empty()) QDir::setCurrent(QString::fromStdString(dataDir_));  // a failure is not reported
  StatusPanel0->setText(QString("Saving tracks to : %1").arg(QString::fromStdString(dataDir_)));
  BindDownloadSession();

  PlaceOnScreen();
  // 12: the first detection comes five seconds after construction.
  Timer1->setInterval(kFirstDetectionMs);
  Timer1->start();
}

TfrmMain::~TfrmMain() {
  // The stations' threads use the claims and settings of this window: they
  // end before anything of it goes.
  delete stationsDlg_;
  stationsDlg_ = nullptr;
  qApp->removeEventFilter(this);
}

void TfrmMain::PlaceOnScreen() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect available = screen->availableGeometry();
  // Room for the title bar and borders the window system adds around it.
  const QRect room = available.adjusted(0, 0, -kFrameAllowance.width(), -kFrameAllowance.height());
  setMinimumSize(minimumSize().boundedTo(room.size()));
  const WindowPlacement remembered = ReadWindowPlacement(env_.settings, screen->size());
  const QRect frame = remembered.geometry.isValid() ? KeepOnScreen(remembered.geometry, room)
                                                    : FitOnScreen(QSize(1000, 720), room);
  resize(frame.size());
  move(frame.topLeft());
  // A state that does not read (another version's) leaves the splitter as built.
  if (!remembered.leftAndRight.isEmpty()) Splitter1->restoreState(remembered.leftAndRight);
  if (!remembered.gridAndPicture.isEmpty()) Splitter2->restoreState(remembered.gridAndPicture);
}

void TfrmMain::RememberPlacement() {
  const QScreen* shownOn = screen();
  if (shownOn == nullptr) return;
  WriteWindowPlacement(env_.settings, shownOn->size(),
                       {QRect(pos(), size()), Splitter1->saveState(), Splitter2->saveState()});
}

void TfrmMain::BuildControls() {
  auto* central = new QWidget(this);
  auto* columns = new QVBoxLayout(central);
  columns->setContentsMargins(0, 0, 0, 0);
  columns->setSpacing(0);
  columns->addWidget(BuildTopStrip(central));

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
  left->addWidget(BuildCommunicationBox(Panel1));
  left->addWidget(BuildIdentificationBox(Panel1));
  PageControl1 = new QTabWidget(Panel1);
  PageControl1->setObjectName("PageControl1");
  // Both page captions always in full: the column widens to them rather than
  // hiding a page behind scroll arrows.
  PageControl1->tabBar()->setUsesScrollButtons(false);
  PageControl1->tabBar()->setElideMode(Qt::ElideNone);
  PageControl1->tabBar()->setExpanding(false);
  PageControl1->setStyleSheet("QTabBar::tab { padding: 4px 5px; }");
  PageControl1->addTab(BuildManualPage(), "Manual Selection");
  PageControl1->addTab(BuildTaskWindowPage(), "Task Window");
  left->addWidget(PageControl1, 1);

  Splitter1->addWidget(Panel1);
  Splitter1->addWidget(BuildGridAndPicture(Splitter1));
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
}

// Panel2: the progress of a download and the name of the raw file.
QWidget* TfrmMain::BuildTopStrip(QWidget* parent) {
  Panel2 = new QFrame(parent);
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
  strip->addWidget(BuildTaskBar(Panel2));
  strip->addSpacing(16);
  auto* progress = new QVBoxLayout;
  progress->setSpacing(2);
  progress->addWidget(ProgressBar1);
  progress->addWidget(Label6);
  strip->addLayout(progress);
  strip->addWidget(lblDLFile, 1);
  return Panel2;
}

// GroupBox1: the serial port list (COM1 to COM9) and Force download.
QWidget* TfrmMain::BuildCommunicationBox(QWidget* parent) {
  GroupBox1 = new QGroupBox("Communication", parent);
  GroupBox1->setObjectName("GroupBox1");
  cbPortNo = new PortChooser(GroupBox1);
  cbPortNo->setObjectName("cbPortNo");
  cbPortNo->setToolTip("Select the COMM's PORT");
  for (int n = 1; n <= kPortCount; ++n) cbPortNo->SetPort(n, DefaultPortPath(PortName(n)));
  btnForceDl = NewButton("btnForceDl", "Force download", GroupBox1);
  QGridLayout* grid = NewGroupGrid(GroupBox1, 4);
  AddRow(grid, 0, "Serial port", GroupBox1, cbPortNo);
  grid->addWidget(btnForceDl, 1, 0, 1, 2);
  return GroupBox1;
}

// GroupBox2: who flies the log on show, with Edit for the loggers table.
QWidget* TfrmMain::BuildIdentificationBox(QWidget* parent) {
  GroupBox2 = new QGroupBox("Identification", parent);
  GroupBox2->setObjectName("GroupBox2");
  CompetNo = NewBox("CompetNo", GroupBox2, true);
  PilotNames = NewBox("PilotNames", GroupBox2, true);
  LoggerSN = NewBox("LoggerSN", GroupBox2, true);
  LoggerType = NewBox("LoggerType", GroupBox2, true);
  // Shown, not typed in: they look read-only, Tab passes them by, and a text
  // too long for the box is whole in its tooltip.
  for (QLineEdit* box : {CompetNo, PilotNames, LoggerSN, LoggerType}) {
    box->setFocusPolicy(Qt::ClickFocus);
    box->setStyleSheet("QLineEdit { background: palette(window); }");
    connect(box, &QLineEdit::textChanged, box, [box](const QString& text) { box->setToolTip(text); });
  }
  btnEdit = NewSmallButton("btnEdit", "Edit", GroupBox2);
  QGridLayout* grid = NewGroupGrid(GroupBox2, 4);
  AddRow(grid, 0, "ID", GroupBox2, CompetNo);
  grid->addWidget(btnEdit, 0, 2);
  AddRow(grid, 1, "Name", GroupBox2, PilotNames, 2);
  AddRow(grid, 2, "Serial #", GroupBox2, LoggerSN, 2);
  AddRow(grid, 3, "Type", GroupBox2, LoggerType, 2);
  grid->setColumnStretch(1, 1);
  return GroupBox2;
}

// TabSheet1: the run chosen in the grid, its task number and totals.
QWidget* TfrmMain::BuildManualPage() {
  TabSheet1 = new QWidget;
  TabSheet1->setObjectName("TabSheet1");
  edManTask = NewBox("edManTask", TabSheet1, false);
  edFrom = NewBox("edFrom", TabSheet1, false);
  edTo = NewBox("edTo", TabSheet1, false);
  chkManKmlGpx = NewKmlGpxBox("chkManKmlGpx", TabSheet1);
  edPoints = NewBox("edPoints", TabSheet1, true);
  edEvents = NewBox("edEvents", TabSheet1, true);
  btnManSave = NewButton("btnManSave", "Save", TabSheet1);
  QGridLayout* grid = NewGroupGrid(TabSheet1, 6);
  AddRow(grid, 0, "Task", TabSheet1, edManTask);
  AddRow(grid, 1, "From (UTC)", TabSheet1, edFrom);
  AddRow(grid, 2, "To (UTC)", TabSheet1, edTo);
  AddRow(grid, 3, "Points", TabSheet1, edPoints);
  AddRow(grid, 4, "Events", TabSheet1, edEvents);
  grid->addLayout(SaveRow(chkManKmlGpx, btnManSave), 5, 0, 1, 2);
  // Tab goes down the boxes to Save, then to the choice that goes with it.
  QWidget::setTabOrder(edManTask, edFrom);
  QWidget::setTabOrder(edFrom, edTo);
  QWidget::setTabOrder(edTo, btnManSave);
  QWidget::setTabOrder(btnManSave, chkManKmlGpx);
  grid->setRowStretch(6, 1);
  grid->setColumnStretch(1, 1);
  return TabSheet1;
}

// TabSheet2: the day's task's window and the totals of what it selects.
QWidget* TfrmMain::BuildTaskWindowPage() {
  TabSheet2 = new QWidget;
  TabSheet2->setObjectName("TabSheet2");
  Date = NewBox("Date", TabSheet2, true);
  TimeFrom = NewBox("TimeFrom", TabSheet2, true);
  TimeTo = NewBox("TimeTo", TabSheet2, true);
  taskPoints = NewBox("taskPoints", TabSheet2, true);
  taskEvents = NewBox("taskEvents", TabSheet2, true);
  btnSave = NewButton("btnSave", "Save", TabSheet2);
  chkKmlGpx = NewKmlGpxBox("chkKmlGpx", TabSheet2);
  QGridLayout* grid = NewGroupGrid(TabSheet2, 6);
  AddRow(grid, 0, "Date", TabSheet2, Date, 2);
  grid->addWidget(NewLabel("UTC", TabSheet2), 1, 0);
  auto* times = new QHBoxLayout;
  times->setSpacing(2);
  times->addWidget(TimeFrom);
  times->addWidget(TimeTo);
  grid->addLayout(times, 1, 1, 1, 2);
  AddRow(grid, 2, "Points", TabSheet2, taskPoints, 2);
  AddRow(grid, 3, "Events", TabSheet2, taskEvents, 2);
  grid->addLayout(SaveRow(chkKmlGpx, btnSave), 4, 0, 1, 3);
  QWidget::setTabOrder(btnSave, chkKmlGpx);
  grid->setRowStretch(5, 1);
  grid->setColumnStretch(1, 1);
  return TabSheet2;
}

// The day's task, for both pages, the stations and Today, with the switch
// that saves each download for it.
QWidget* TfrmMain::BuildTaskBar(QWidget* parent) {
  auto* bar = new QWidget(parent);
  bar->setObjectName("TaskBar");
  WindowTask = new QComboBox(bar);
  WindowTask->setObjectName("WindowTask");
  WindowTask->setEditable(true);
  WindowTask->setInsertPolicy(QComboBox::NoInsert);
  WindowTask->setToolTip("The day's task: every log shown and every download is judged and saved for it");
  WindowTask->setMinimumWidth(WindowTask->fontMetrics().horizontalAdvance("0000") + 36);  // task numbers are short
  btnEditTask = NewSmallButton("btnEditTask", "Edit", bar);
  chkAutoSave = new QCheckBox("Save each download", bar);
  chkAutoSave->setObjectName("chkAutoSave");
  chkAutoSave->setToolTip("Each download with a flight in the task's window is saved for the task at once");
  auto* row = new QHBoxLayout(bar);
  row->setContentsMargins(0, 0, 0, 0);
  auto* caption = NewLabel("Task", bar);
  QFont bold = caption->font();
  bold.setBold(true);
  caption->setFont(bold);
  row->addWidget(caption);
  row->addWidget(WindowTask);
  row->addWidget(btnEditTask);
  row->addSpacing(8);
  row->addWidget(chkAutoSave);
  return bar;
}

// lblBanner: whose flight is on show, for which task, saved or not, in the
// verdict's colour; the download arriving while one does.
QWidget* TfrmMain::BuildBanner(QWidget* parent) {
  lblBanner = new QLabel(parent);
  lblBanner->setObjectName("lblBanner");
  lblBanner->setWordWrap(true);
  lblBanner->setTextFormat(Qt::PlainText);
  lblBanner->setMargin(6);
  lblBanner->setAutoFillBackground(true);
  QFont font = lblBanner->font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 1.4);
  lblBanner->setFont(font);
  lblBanner->hide();
  return lblBanner;
}

// SegmentsGrid: one row per segment, heading above.
QWidget* TfrmMain::BuildSegmentsGrid(QWidget* parent) {
  segmentsModel_ = new SegmentsModel(this);
  SegmentsGrid = new QTableView(parent);
  SegmentsGrid->setObjectName("SegmentsGrid");
  SegmentsGrid->setModel(segmentsModel_);
  SegmentsGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
  SegmentsGrid->setSelectionMode(QAbstractItemView::ContiguousSelection);
  SegmentsGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  SegmentsGrid->setWordWrap(false);
  // Tab leaves the grid instead of moving the highlight, which would change what Save writes.
  SegmentsGrid->setTabKeyNavigation(false);
  SegmentsGrid->setCornerButtonEnabled(false);
  SegmentsGrid->verticalHeader()->hide();
  SegmentsGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  SegmentsGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  SegmentsGrid->horizontalHeader()->setHighlightSections(false);
  // A click on a heading would select a column, which is no run of segments.
  SegmentsGrid->horizontalHeader()->setSectionsClickable(false);
  SegmentsGrid->horizontalHeader()->setMinimumSectionSize(16);
  // The last column takes the room a wide window gives, so the grid never ends in a blank strip.
  SegmentsGrid->horizontalHeader()->setStretchLastSection(true);
  FitGridColumns(SegmentsGrid);
  // The boxes that show the grid's dates and times are as wide as a whole date and time.
  const int dateTimeWidth = edFrom->fontMetrics().horizontalAdvance(kWidestDateTime) + 12;
  for (QLineEdit* box : {edFrom, edTo}) box->setMinimumWidth(dateTimeWidth);
  // The column's explicit minimum is what the splitter keeps: room for a caption and those boxes.
  const int captionWidth = edFrom->fontMetrics().horizontalAdvance("From (UTC)");
  Panel1->setMinimumWidth(std::max(kLeftColumnWidth, captionWidth + dateTimeWidth + 44));
  return SegmentsGrid;
}

// Splitter2: the grid above, the picture of the log below; the picture reads
// the table again whenever the grid is refilled.
QWidget* TfrmMain::BuildGridAndPicture(QWidget* parent) {
  Splitter2 = new QSplitter(Qt::Vertical, parent);
  Splitter2->setObjectName("Splitter2");
  Splitter2->setChildrenCollapsible(false);
  auto* upper = new QWidget(Splitter2);
  auto* stack = new QVBoxLayout(upper);
  stack->setContentsMargins(0, 0, 0, 0);
  stack->setSpacing(0);
  stack->addWidget(BuildBanner(upper));
  stack->addWidget(BuildSegmentsGrid(upper), 1);
  Splitter2->addWidget(upper);
  TrackPicture = new TrackView(table_, env_._timezone, Splitter2);
  TrackPicture->setObjectName("TrackPicture");
  Splitter2->addWidget(TrackPicture);
  Splitter2->setStretchFactor(0, 0);
  Splitter2->setStretchFactor(1, 1);
  Splitter2->setSizes({260, 400});
  const auto tableChanged = [this] { TrackPicture->TableChanged(); };
  connect(segmentsModel_, &QAbstractItemModel::modelReset, TrackPicture, tableChanged);
  connect(segmentsModel_, &QAbstractItemModel::rowsInserted, TrackPicture, tableChanged);
  connect(segmentsModel_, &QAbstractItemModel::rowsRemoved, TrackPicture, tableChanged);
  connect(segmentsModel_, &QAbstractItemModel::dataChanged, TrackPicture, tableChanged);
  return Splitter2;
}

void TfrmMain::ConnectHandlers() {
  connect(btnSave, &QPushButton::clicked, this, [this] { btnSaveClick(); });
  connect(btnManSave, &QPushButton::clicked, this, [this] { btnManSaveClick(); });
  connect(btnForceDl, &QPushButton::clicked, this, [this] { btnForceDlClick(); });
  connect(btnEdit, &QPushButton::clicked, this, [this] { btnEditClick(); });
  connect(btnEditTask, &QPushButton::clicked, this, [this] { btnEditTaskClick(); });
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
  ConnectMenus();
  connect(PageControl1, &QTabWidget::tabBarClicked, this, [this](int) { PageControl1Changing(); });
  connect(PageControl1, &QTabWidget::currentChanged, this, [this](int) { PageControl1Change(); });
  connect(WindowTask, &QComboBox::currentTextChanged, this, [this] { WindowTaskChange(WindowTask); });
  // Whatever way the highlight changes (drag, Shift+click, Shift+arrows,
  // plain arrows), the rows highlighted are the rows Save writes.
  connect(SegmentsGrid->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { SegmentsGridSelectCell(-1, -1); });
  // cbPortNo is connected after the settings set its selection (step 8 is no operator choice).
}

void TfrmMain::ReadSettings() {
  const StartupSettings read = ReadStartupSettings(env_.settings, env_.defaultDataDir);
  PortMap ports = ReadPortMap(env_.settings);
  for (int n = 1; n <= kPortCount; ++n) cbPortNo->SetPort(n, ports[n - 1]);
  portResolver_ = MakePortResolver(ports);
  portNo_ = read.portNo;
  dataDir_ = read.dataDir;
  cbPortNo->setCurrentIndex(portNo_ >= 1 && portNo_ <= kPortCount ? portNo_ - 1 : -1);
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
  chkAutoSave->setChecked(ReadAutoSaveSetting(env_.settings));
  connect(chkAutoSave, &QCheckBox::toggled, this, [this](bool checked) {
    WriteAutoSaveSetting(env_.settings, checked);
    DayJudgingChanged();
  });
  // The day's task of the last run; the tasks table, once read, keeps it
  // when it still holds it.
  day_.ChooseTask(ReadTaskSetting(env_.settings));
  {
    const QSignalBlocker quiet(WindowTask);
    WindowTask->setEditText(QString::fromStdString(day_.task()));
  }
  edManTask->setText(QString::fromStdString(day_.task()));
  connect(cbPortNo, &QComboBox::currentIndexChanged, this, [this](int) { cbPortNoChange(); });
}

bool TfrmMain::ChooseDataDirectory() {
  // A first start has just made the default folder: that is the one offered.
  const std::string start = !dataDir_.empty() ? dataDir_
                            : QDir(QString::fromStdString(env_.defaultDataDir)).exists() ? env_.defaultDataDir
                                                                                          : QDir::homePath().toStdString();
  if (auto chosen = env_.prompts->ChooseDirectory(kDirectoryPrompt, start)) {
    dataDir_ = *chosen;
    WriteDataDirSetting(env_.settings, dataDir_);
    return true;
  }
  return false;
}

void TfrmMain::cbPortNoChange() {
  const int chosen = cbPortNo->currentIndex() + 1;  // -1 (nothing selected) gives 0
  if (stationsDlg_ != nullptr && chosen > 0 && stationsDlg_->HoldsPort(chosen)) {
    // Two sessions on one port would answer each other's loggers.
    {
      const QSignalBlocker quiet(cbPortNo);
      cbPortNo->setCurrentIndex(portNo_ >= 1 && portNo_ <= kPortCount ? portNo_ - 1 : -1);
    }
    env_.prompts->Ask("Logger Download",
                      PortName(chosen) + " is a station's port (Logger > Stations); remove the station there first.",
                      PromptButtons::kOk, PromptIcon::kWarning);
    return;
  }
  portNo_ = chosen;
  if (session_) session_->SetStationName(PortName(portNo_));
  if (stationsDlg_ != nullptr) stationsDlg_->MainPortChanged();
  WritePortSetting(env_.settings, portNo_);
  if (env_.link) env_.link->ChoosePort(static_cast<uint8_t>(portNo_));  // opened there from the next exchange
  if (onPortChange_) onPortChange_(portNo_);
}

std::vector<std::string> TfrmMain::StationsDownloading() const {
  return stationsDlg_ == nullptr ? std::vector<std::string>() : stationsDlg_->Downloading();
}

void TfrmMain::btnEditClick() {
  if (serialNumbersDlg_) {
    serialNumbersDlg_->show();
    // Edit is pressed to name the logger on show: its row, ready to type in.
    if (const std::string serial = LoggerSN->text().toStdString(); showLogger_ && !serial.empty()) showLogger_(serial);
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

void TfrmMain::FormKeyPress(int key) {
  if (key == 27 && session_) session_->RequestCancel();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  if (busy_ || inDetection_) {
    // Never pull the window from under a running exchange. A download is
    // only stopped when the operator says so; then everything stops and the
    // window closes once the session has returned.
    event->ignore();
    if (closePending_) return;
    if (busy_ && env_.prompts->Ask("Logger Download", "A download is running. Stop the download and quit?",
                                   PromptButtons::kYesNo, PromptIcon::kQuestion) != PromptAnswer::kYes) {
      return;
    }
    quitting_ = true;
    session_->RequestCancel();
    closePending_ = true;
    return;
  }
  // The stations' downloads end with the window too: not without a word.
  const std::vector<std::string> running = StationsDownloading();
  if (!running.empty() && !quitting_) {
    const std::string question = DownloadingQuestion(running);
    if (env_.prompts->Ask("Logger Download", question, PromptButtons::kYesNo, PromptIcon::kQuestion) !=
        PromptAnswer::kYes) {
      event->ignore();
      return;
    }
  }
  RememberPlacement();
  event->accept();
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress: {
      auto* widget = qobject_cast<QWidget*>(watched);
      if (widget && widget->window() == this) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) FormKeyPress(27);
        if (watched == SegmentsGrid && ExtendGridHighlight(*key)) return true;
      }
      return false;  // never consumed: the focused control still gets the key
    }
    default:
      break;
  }
  return QMainWindow::eventFilter(watched, event);
}

QString TfrmMain::StatusText() const { return StatusPanel0->text(); }

void TfrmMain::SetStatusText(const std::string& text) {
  StatusPanel0->setText(QString::fromStdString(text));
  StatusPanel0->setToolTip(StatusPanel0->text());  // a long reason stays readable
}

}  // namespace orvald
