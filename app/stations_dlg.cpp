#include "app/stations_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "link/link.h"
#include "logger/download_session.h"
#include "logger/port_station.h"
#include "logger/session_view.h"
#include "logger/station_state.h"
#include "tables/loggers_file_lookup.h"
#include "tracklog/safe_text.h"

namespace orvald {

namespace {

const char* const kHeadings[] = {"Port", "State", "Serial", "Comp #", "Pilot", "Verdict", "IGC file", "File"};
constexpr int kColumns = 8;
constexpr int kRetireCheckMs = 100;

// A station's session view: called on the station's thread, it hands every
// event to the window's thread and returns at once. Only the typed events
// count; the status texts are for the main window's status bar.
class RowView : public SessionView {
 public:
  RowView(TStationsDlg* window, int portNo, LoggerLookup& lookup, LocalClock localNow)
      : window_(window), portNo_(portNo), lookup_(lookup), localNow_(std::move(localNow)) {}

  void Waiting(const std::string& portProblem) override {
    Post([portProblem](StationState& row) { ApplyWaiting(row, portProblem); });
  }
  void Started(const DownloadStart& start) override {
    // Looked up here, on the station's thread, which owns the lookup.
    const LoggerMatch match = lookup_.FindLogger(start.serialText);
    Post([start, match](StationState& row) { ApplyStarted(row, start, match); });
  }
  void BlockStarted(int counter, int total) override {
    Post([counter, total](StationState& row) { ApplyBlockStarted(row, counter, total); });
  }
  void Progress(int /*done*/, int /*total*/) override {}
  // Said once per change, so the window gets a post per per cent, not per piece.
  void Share(int percent) override {
    Post([percent](StationState& row) { ApplyProgress(row, percent); });
  }
  void DownloadEnded() override {}
  void Finished(const LoadLogResult& result) override {
    // The decode's table and segments stay behind: the row needs none of them.
    LoadLogResult summary;
    summary.end = result.end;
    summary.serialText = result.serialText;
    summary.path = result.path;
    summary.reason = result.reason;
    summary.heldBy = result.heldBy;
    Post([summary, at = localNow_()](StationState& row) { ApplyFinished(row, summary, at); });
    if (result.keptFile()) QMetaObject::invokeMethod(window_, [] { QApplication::beep(); }, Qt::QueuedConnection);
  }
  void Ended() override {
    Post([](StationState& row) { ApplyEnded(row); });
  }
  void Status(const std::string&) override {}
  void LogShown(const std::string&) override {}
  void SegmentsCleared() override {}
  void SegmentDecoded(int, const TrackSegment&) override {}
  void Identified(const Identification& who) override {
    Post([who](StationState& row) { ApplyIdentified(row, who); });
  }
  void KeepResponsive() override {}
  bool ConfirmCancel() override { return true; }
  // The day's verdict on the download, given on the station's thread after it.
  void Judged(const Verdict& verdict) {
    const std::string text = std::string(VerdictLevelName(verdict.level)) + ": " + verdict.text;
    const std::string igcFile = verdict.igcFile;
    Post([text, igcFile](StationState& row) {
      row.verdict = text;
      row.igcFile = igcFile;
    });
  }
  // A station asks nobody: what went wrong is in the result its row shows.
  void Report(const std::string&, PromptIcon) override {}

 private:
  void Post(std::function<void(StationState&)> change) {
    TStationsDlg* window = window_;
    const int portNo = portNo_;
    QMetaObject::invokeMethod(
        window, [window, portNo, change = std::move(change)] { window->Update(portNo, change); }, Qt::QueuedConnection);
  }

  TStationsDlg* window_;
  int portNo_;
  LoggerLookup& lookup_;  // the station's own: used on its thread only
  LocalClock localNow_;
};

}  // namespace

struct TStationsDlg::StationRow {
  int portNo = 0;
  std::string portText;  // "COM2", or the adapter and its socket
  std::string device;    // what it opens
  std::string linkPath;  // a plugged-in adapter's link; empty for COMn
  StationState row;
  std::unique_ptr<LoggersFileLookup> lookup;
  std::unique_ptr<RowView> view;
  std::unique_ptr<PortStation> station;  // last member: it goes first
};

TStationsDlg::TStationsDlg(StationsSetup setup, QWidget* parent) : QDialog(parent), setup_(std::move(setup)) {
  setObjectName("StationsDlg");
  setWindowTitle("Stations");
  resize(1200, 300);
  grid_ = new QTableWidget(0, kColumns, this);
  grid_->setObjectName("StationsGrid");
  for (int c = 0; c < kColumns; ++c) grid_->setHorizontalHeaderItem(c, new QTableWidgetItem(kHeadings[c]));
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid_->setSelectionMode(QAbstractItemView::SingleSelection);
  grid_->verticalHeader()->hide();
  grid_->setWordWrap(false);  // a long reason is read in its tooltip
  grid_->horizontalHeader()->setStretchLastSection(true);
  const QFontMetrics metrics(grid_->font());
  const int widths[kColumns] = {metrics.horizontalAdvance("COM9") + 24,
                                metrics.horizontalAdvance("downloading block 32 of 32, 100 %") + 16,
                                metrics.horizontalAdvance("00000012345") + 16, metrics.horizontalAdvance("Comp #") + 20,
                                metrics.horizontalAdvance("Firstname Lastname") + 16,
                                metrics.horizontalAdvance("check: saved 007T2V1_John_Smith.igc") + 16,
                                metrics.horizontalAdvance("007T2V1_John_Smith.igc") + 16, 0};
  for (int c = 0; c + 1 < kColumns; ++c) grid_->setColumnWidth(c, widths[c]);
  connect(grid_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { OpenRow(row); });

  cbNewPort_ = new QComboBox(this);
  cbNewPort_->setObjectName("cbNewPort");
  btnAdd_ = new QPushButton("Add", this);
  btnAdd_->setObjectName("btnAddStation");
  btnRemove_ = new QPushButton("Remove", this);
  btnRemove_->setObjectName("btnRemoveStation");
  auto* close = new QPushButton("Close", this);
  close->setObjectName("btnCloseStations");
  lblNote_ = new QLabel(this);
  lblNote_->setObjectName("lblStationsNote");
  lblNote_->setWordWrap(true);
  chkAuto_ = new QCheckBox("Add plugged-in adapters automatically", this);
  chkAuto_->setObjectName("chkAutoStations");
  connect(chkAuto_, &QCheckBox::toggled, this, [this](bool on) {
    WriteAutoStationsSetting(setup_.settings, on);
    SetAutomatic(on);
  });
  connect(btnAdd_, &QPushButton::clicked, this, [this] {
    const int portNo = cbNewPort_->currentData().toInt();
    if (portNo > 0) AddStation(portNo);
  });
  connect(btnRemove_, &QPushButton::clicked, this, [this] { RemoveChosen(); });
  connect(close, &QPushButton::clicked, this, &QDialog::hide);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(new QLabel("Port", this));
  buttons->addWidget(cbNewPort_);
  buttons->addWidget(btnAdd_);
  buttons->addWidget(btnRemove_);
  buttons->addStretch(1);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(grid_, 1);
  layout->addWidget(lblNote_);
  layout->addWidget(chkAuto_);
  layout->addLayout(buttons);

  retireTimer_.setInterval(kRetireCheckMs);
  connect(&retireTimer_, &QTimer::timeout, this, [this] { RetireStopped(); });
  RefillPortChoice();
}

TStationsDlg::~TStationsDlg() {
  // The operator agreed to stop them at Exit: what arrived is kept, marked incomplete.
  for (auto& s : stations_) s->station->Stop(CancelKeeps::kWhatArrived);
  for (auto& s : stopping_) s->station->Stop(CancelKeeps::kWhatArrived);
  // Each destructor waits for its thread; the stops above let them all end together.
  stations_.clear();
  stopping_.clear();
}

void TStationsDlg::StartRemembered() {
  for (int portNo : ReadStationsSetting(setup_.settings)) AddStation(portNo);
  if (ReadAutoStationsSetting(setup_.settings)) chkAuto_->setChecked(true);
}

void TStationsDlg::SetAutomatic(bool automatic) {
  if (chkAuto_->isChecked() != automatic) chkAuto_->setChecked(automatic);  // comes back here
  if (automatic == (watcher_ != nullptr)) return;
  if (!automatic) {
    delete linkNotifier_;
    linkNotifier_ = nullptr;
    watcher_.reset();
    std::vector<int> adapters;
    for (const auto& s : stations_) {
      if (!s->linkPath.empty()) adapters.push_back(s->portNo);
    }
    for (int id : adapters) RemoveStation(id);
    return;
  }
  watcher_ = std::make_unique<DeviceLinkWatcher>(setup_.deviceLinkFolder);
  std::string error;
  if (!watcher_->Start(error)) {
    lblNote_->setText(QString::fromStdString(error));
    watcher_.reset();
    return;
  }
  linkNotifier_ = new QSocketNotifier(watcher_->fd(), QSocketNotifier::Read, this);
  connect(linkNotifier_, &QSocketNotifier::activated, this, [this] { ServeLinks(); });
  ServeLinks();  // what is plugged in already
}

void TStationsDlg::ServeLinks() {
  if (!watcher_) return;
  for (const DeviceLinkEvent& event : watcher_->TakeEvents()) {
    const std::string adapter = AdapterText(event.link);
    if (event.kind == DeviceLinkEvent::Kind::kGone) {
      auto at = std::find_if(stations_.begin(), stations_.end(),
                             [&](const auto& s) { return s->linkPath == event.link.path; });
      if (at == stations_.end()) continue;
      // As at a pulled cable: a running download keeps what arrived.
      (*at)->station->Unplug();
      stopping_.push_back(std::move(*at));
      stations_.erase(at);
      retireTimer_.start();
      lblNote_->setText(QString::fromStdString(adapter + " unplugged"));
      Redraw();
      continue;
    }
    const int mainPortNo = setup_.mainPortNo ? setup_.mainPortNo() : 0;
    const bool mainPort = mainPortNo > 0 && setup_.resolver &&
                          SamePortDevice(event.link.device, setup_.resolver(PortName(mainPortNo)));
    // One device, one port: another link to a device already served is no second row.
    if (mainPort || HoldsDevice(event.link.device)) continue;
    auto s = std::make_unique<StationRow>();
    s->portText = adapter.substr(0, adapter.find(' ')) + " (" + SocketCaption(event.link.name) + ")";
    s->linkPath = event.link.path;
    StartStation(nextAdapterRowId_++, event.link.device, std::move(s));
    lblNote_->setText(QString::fromStdString(adapter + " plugged in"));
  }
}

std::vector<std::string> TStationsDlg::adapterRows() const {
  std::vector<std::string> rows;
  for (const auto& s : stations_) {
    if (!s->linkPath.empty()) rows.push_back(s->portText);
  }
  return rows;
}

std::string TStationsDlg::Refusal(int portNo) const {
  const std::string name = PortName(portNo);
  const std::string device = setup_.resolver ? setup_.resolver(name) : DefaultPortPath(name);
  const int mainPortNo = setup_.mainPortNo ? setup_.mainPortNo() : 0;
  if (portNo == mainPortNo ||
      (mainPortNo > 0 && SamePortDevice(device, setup_.resolver ? setup_.resolver(PortName(mainPortNo)) : ""))) {
    return name + " is the main window's port";
  }
  if (HoldsPort(portNo)) return name + " already has a station";
  return {};
}

bool TStationsDlg::HoldsPort(int portNo) const {
  for (const auto* list : {&stations_, &stopping_}) {
    for (const auto& s : *list) {
      if (s->portNo == portNo) return true;
    }
  }
  return HoldsDevice(setup_.resolver ? setup_.resolver(PortName(portNo)) : DefaultPortPath(PortName(portNo)));
}

bool TStationsDlg::HoldsDevice(const std::string& device) const {
  for (const auto* list : {&stations_, &stopping_}) {
    for (const auto& s : *list) {
      // An unplugged adapter's station lets go of a device that is gone.
      if (s->station->unplugged()) continue;
      if (SamePortDevice(device, s->device)) return true;
    }
  }
  return false;
}

bool TStationsDlg::AddStation(int portNo) {
  if (const std::string refusal = Refusal(portNo); !refusal.empty()) {
    lblNote_->setText(QString::fromStdString(refusal));
    return false;
  }
  lblNote_->clear();
  auto s = std::make_unique<StationRow>();
  s->portText = PortName(portNo);
  StartStation(portNo, setup_.resolver ? setup_.resolver(PortName(portNo)) : DefaultPortPath(PortName(portNo)),
               std::move(s));
  WriteStationsSetting(setup_.settings, stationPorts());
  RefillPortChoice();
  return true;
}

void TStationsDlg::StartStation(int portNo, const std::string& device, std::unique_ptr<StationRow> s,
                                const std::string& lastSerial) {
  s->portNo = portNo;
  s->device = device;
  s->lookup = std::make_unique<LoggersFileLookup>(setup_.dataDir + "/loggers.tsv");
  s->view = std::make_unique<RowView>(this, portNo, *s->lookup, setup_.localNow ? setup_.localNow : SystemLocalTime);
  // Extra ports use their serial line alone: the USB adapter is the main port's.
  auto link = std::make_unique<Link>(nullptr);
  if (!s->linkPath.empty()) {
    link->SetPortResolver(FixedPortResolver(device));
    link->ChoosePort(1);
  } else {
    if (setup_.resolver) link->SetPortResolver(setup_.resolver);
    link->ChoosePort(static_cast<uint8_t>(portNo));
  }
  PortStationSetup station{
      .station = {.name = s->portText,
                  .link = std::move(link),
                  .lookup = *s->lookup,
                  .dataDir = setup_.dataDir,
                  ._timezone = setup_._timezone,
                  .downloadRate = setup_.downloadRate,
                  .claims = setup_.claims,
                  .lastSerialText = lastSerial,
                  .journal = DayJournal(setup_.dataDir)},
      .view = *s->view,
      // On the station's thread, with its own table and loggers, after the decode.
      .onDownloaded =
          [view = s->view.get(), lookup = s->lookup.get(), shared = judging_, port = PortName(portNo)](
              const LoadLogResult& result, const TrackTable& table) {
            DeskJudging judging;
            {
              const std::lock_guard<std::mutex> lock(shared->mutex);
              judging = shared->judging;
            }
            judging.journal = true;
            judging.port = port;
            if (judging.task.empty()) return;
            view->Judged(JudgeDownload(judging, result, table, *lookup, std::time(nullptr)));
          },
      .firstPollDelayMs = setup_.firstPollDelayMs,
  };
  if (setup_.localNow) station.station.localNow = setup_.localNow;
  s->station = std::make_unique<PortStation>(std::move(station));
  s->station->Start();
  stations_.push_back(std::move(s));
  Redraw();
}

void TStationsDlg::RemoveChosen() {
  const int row = grid_->currentRow();
  if (row < 0 || row >= static_cast<int>(stations_.size())) return;
  const int portNo = stations_[row]->portNo;
  const StationState& state = stations_[row]->row;
  if (state.downloading() && setup_.prompts != nullptr) {
    std::string what = state.serial.empty() ? "a logger" : SafeDisplayText(state.serial);
    if (state.blocks > 0) what += " (block " + std::to_string(state.block) + " of " + std::to_string(state.blocks) + ")";
    const std::string question = stations_[row]->portText + " is downloading " + what + ". Stop it and remove the station?";
    if (setup_.prompts->Ask("Stations", question, PromptButtons::kYesNo, PromptIcon::kQuestion) != PromptAnswer::kYes) {
      return;
    }
  }
  RemoveStation(portNo);
  // No row is chosen for the next click: a second Remove must be meant.
  grid_->setCurrentCell(-1, -1);
}

void TStationsDlg::RemoveStation(int portNo) {
  auto at = std::find_if(stations_.begin(), stations_.end(), [portNo](const auto& s) { return s->portNo == portNo; });
  if (at == stations_.end()) return;
  (*at)->station->Stop(CancelKeeps::kWhatArrived);
  // Its thread ends within a reply or two; the window does not wait for it.
  stopping_.push_back(std::move(*at));
  stations_.erase(at);
  retireTimer_.start();
  WriteStationsSetting(setup_.settings, stationPorts());
  RefillPortChoice();
  Redraw();
}

void TStationsDlg::RetireStopped() {
  stopping_.erase(std::remove_if(stopping_.begin(), stopping_.end(), [](const auto& s) { return s->station->finished(); }),
                  stopping_.end());
  if (stopping_.empty()) retireTimer_.stop();
  RefillPortChoice();
}

void TStationsDlg::SetJudging(const DeskJudging& judging) {
  const std::lock_guard<std::mutex> lock(judging_->mutex);
  judging_->judging = judging;
}

void TStationsDlg::SetDataFolder(const std::string& dataDir) {
  setup_.dataDir = dataDir;
  std::vector<std::unique_ptr<StationRow>> running = std::exchange(stations_, {});
  for (auto& s : running) {
    auto again = std::make_unique<StationRow>();
    again->portText = s->portText;
    again->linkPath = s->linkPath;
    const int portNo = s->portNo;
    const std::string device = s->device;
    // As on the main port, the logger downloaded last is not downloaded
    // again into the new folder, and its row stays on show; a failure was
    // the old folder's.
    const bool done = s->row.phase == StationPhase::kDone;
    if (done) again->row = s->row;
    const std::string lastSerial = done ? s->row.serial : std::string();
    s->station->Stop();
    stopping_.push_back(std::move(s));
    StartStation(portNo, device, std::move(again), lastSerial);
  }
  if (!stopping_.empty()) retireTimer_.start();
}

void TStationsDlg::SetDownloadRate(uint32_t rate) {
  setup_.downloadRate = rate;
  for (auto& s : stations_) s->station->SetDownloadRate(rate);
}

std::vector<int> TStationsDlg::stationPorts() const {
  std::vector<int> ports;
  for (const auto& s : stations_) {
    if (s->linkPath.empty()) ports.push_back(s->portNo);
  }
  return ports;
}

int TStationsDlg::DownloadsRunning() const {
  return static_cast<int>(
      std::count_if(stations_.begin(), stations_.end(), [](const auto& s) { return s->row.downloading(); }));
}

std::vector<std::string> TStationsDlg::Downloading() const {
  std::vector<std::string> running;
  for (const auto& s : stations_) {
    if (!s->row.downloading()) continue;
    running.push_back(s->portText + (s->row.serial.empty() ? "" : " (" + SafeDisplayText(s->row.serial) + ")"));
  }
  return running;
}

const StationState* TStationsDlg::Row(int portNo) const {
  for (const auto& s : stations_) {
    if (s->portNo == portNo) return &s->row;
  }
  return nullptr;
}

void TStationsDlg::Update(int portNo, const std::function<void(StationState&)>& change) {
  for (auto& s : stations_) {
    if (s->portNo != portNo) continue;
    change(s->row);
    Redraw();
    return;
  }
}

void TStationsDlg::Redraw() {
  grid_->setRowCount(static_cast<int>(stations_.size()));
  const QFontMetrics metrics(grid_->font());
  int portWidth = grid_->columnWidth(0);
  int stateWidth = grid_->columnWidth(1);
  for (int r = 0; r < static_cast<int>(stations_.size()); ++r) {
    const StationRow& s = *stations_[r];
    const std::string earlier = EarlierFailuresText(s.row);
    std::string state = StationStateText(s.row);
    if (!s.row.earlierFailures.empty()) {
      const size_t count = s.row.earlierFailures.size();
      state += count == 1 ? "; failed once before" : "; failed " + std::to_string(count) + " times before";
    }
    const std::string cells[kColumns] = {s.portText,
                                         state,
                                         SafeDisplayText(s.row.serial),
                                         SafeDisplayText(s.row.competNo),
                                         SafeDisplayText(s.row.pilot),
                                         SafeDisplayText(s.row.verdict),
                                         SafeDisplayText(s.row.igcFile),
                                         s.row.file};
    for (int c = 0; c < kColumns; ++c) {
      QTableWidgetItem* item = grid_->item(r, c);
      if (item == nullptr) {
        item = new QTableWidgetItem;
        grid_->setItem(r, c, item);
      }
      const QString text = QString::fromStdString(cells[c]);
      if (item->text() != text) item->setText(text);
    }
    // An adapter's row says its socket ("pts/3 (USB hub port 1.3)"): the column grows to show it whole.
    portWidth = std::max(portWidth, metrics.horizontalAdvance(grid_->item(r, 0)->text()) + 16);
    stateWidth = std::max(stateWidth, metrics.horizontalAdvance(grid_->item(r, 1)->text()) + 16);
    grid_->item(r, 0)->setToolTip(grid_->item(r, 0)->text());
    grid_->item(r, 1)->setToolTip(QString::fromStdString(earlier.empty() ? state : state + "\n" + earlier));
    grid_->item(r, 5)->setToolTip(QString::fromStdString(SafeDisplayText(s.row.verdict)));
    grid_->item(r, 7)->setToolTip(QString::fromStdString(s.row.path));
  }
  if (portWidth > grid_->columnWidth(0)) grid_->setColumnWidth(0, portWidth);
  // A failure's reason is read whole, up to half the window; the rest is in its tooltip.
  stateWidth = std::min(stateWidth, std::max(grid_->columnWidth(1), width() / 2));
  if (stateWidth > grid_->columnWidth(1)) grid_->setColumnWidth(1, stateWidth);
}

void TStationsDlg::RefillPortChoice() {
  const int kept = cbNewPort_->currentData().toInt();
  cbNewPort_->clear();
  for (int n = 1; n <= kPortCount; ++n) {
    if (Refusal(n).empty()) cbNewPort_->addItem(QString::fromStdString(PortName(n)), n);
  }
  const int index = cbNewPort_->findData(kept);
  if (index >= 0) cbNewPort_->setCurrentIndex(index);
  btnAdd_->setEnabled(cbNewPort_->count() > 0);
}

void TStationsDlg::OpenRow(int row) {
  if (row < 0 || row >= static_cast<int>(stations_.size())) return;
  const StationState& state = stations_[row]->row;
  // A failed download's incomplete file opens too: what arrived may hold the task.
  if (!state.ended() || state.path.empty()) return;
  if (setup_.openFile) setup_.openFile(state.path);
}

}  // namespace orvald
