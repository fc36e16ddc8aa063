// The window against orvald-sim on a pseudo-terminal: detection and download
// filling the grid and the Identification boxes, Escape answered Yes and No,
// the commands refused while a download runs, a close that waits for the
// session, and Logger > Clear answered OK, Cancel and failing.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QCheckBox>
#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include <QElapsedTimer>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "support/pty_fake_logger.h"
#include "support/silent_terminal.h"
#include "app/event_loop_waiter.h"
#include "app_fixture.h"
#include "app/stations_dlg.h"
#include "link/link.h"
#include "logger/logger_lookup.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

using namespace orvald;
using namespace orvald::testing;

namespace {

constexpr const char* kSerial = "PK-SIM0001";
constexpr const char* kRawName = "PK-SIM0001-20260314-100000.G00";

class SimPilot : public LoggerLookup {
 public:
  LoggerMatch FindLogger(const std::string& serial) override {
    if (serial == kSerial) return {true, "042", "Sim Pilot"};
    return {};
  }
};

// Runs `action` once, the first time the progress bar reaches `position`.
void AtProgress(QProgressBar* bar, int position, std::function<void()> action) {
  auto* connection = new QMetaObject::Connection;
  *connection = QObject::connect(bar, &QProgressBar::valueChanged, [=](int value) {
    if (value < position) return;
    QObject::disconnect(*connection);
    delete connection;
    action();
  });
}

void PressEscapeIn(QWidget* widget) {
  QCoreApplication::postEvent(widget, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
  QCoreApplication::postEvent(widget, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier));
}

}  // namespace

class DownloadBindingTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::SimProcess> sim;
  std::unique_ptr<AppFixture> f;
  std::unique_ptr<Link> link;
  SimPilot pilots;
  std::unique_ptr<TfrmMain> w;

  void StartSim(const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args = {"--serial", kSerial, "--records-per-block", "400"};
    args.insert(args.end(), extra.begin(), extra.end());
    sim = std::make_unique<test::SimProcess>(args);
    QVERIFY2(sim->started(), sim->error().c_str());
    StartWindowOn(sim->ptyPath());
  }

  std::string SilentPort() {
    silent = std::make_unique<SilentTerminal>();
    return silent->path();
  }
  std::unique_ptr<SilentTerminal> silent;

  void StartWindowOn(const std::string& com1, const std::string& com2 = "/dev/orvald-no-such-port") {
    f = std::make_unique<AppFixture>();
    f->SetSetting("APPLICATIONS/ORVALD/COM_PORT", 1);
    f->SetSetting("APPLICATIONS/ORVALD/DATA_DIR", f->path("data"));
    f->SetSetting("Ports/COM1", QString::fromStdString(com1));
    f->SetSetting("Ports/COM2", QString::fromStdString(com2));
    QDir().mkpath(f->path("data"));
    link = std::make_unique<Link>(nullptr);  // the serial port only, never a real adapter
    AppEnvironment env = f->Environment();
    env.link = link.get();
    env.lookup = &pilots;
    env.deviceLinkFolder = f->spath("links");
    w = f->Start(env);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
  }

  QStringList RawFiles() { return QDir(f->path("data")).entryList({"*.G00", "*.part"}, QDir::Files); }

 private slots:
  void cleanup() {
    w.reset();
    link.reset();
    f.reset();
    sim.reset();
    silent.reset();
  }

  void detectionDownloadsAndFillsTheWindow() {
    // A poll that meets the same logger leaves it at 57600 bit/s while the
    // next probe asks at 9600; this logger answers at any line speed.
    StartSim({"--ignore-rate"});
    int highest = 0;
    QObject::connect(Find<QProgressBar>(w, "ProgressBar1"), &QProgressBar::valueChanged, [&](int v) { highest = std::max(highest, v); });
    w->Timer1Timer();

    QCOMPARE(RawFiles(), QStringList({kRawName}));
    QCOMPARE(w->SegmentsGridRowCount(), 3);  // the simulator's built-in flight: two segments
    QCOMPARE(w->SegmentsGridCell(0, 1), QString("1"));
    QCOMPARE(w->SegmentsGridCell(0, 2), QString("2"));
    QCOMPARE(Find<QLineEdit>(w, "CompetNo")->text(), QString("042"));
    QCOMPARE(Find<QLineEdit>(w, "PilotNames")->text(), QString("Sim Pilot"));
    QCOMPARE(Find<QLineEdit>(w, "LoggerSN")->text(), QString(kSerial));
    QCOMPARE(Find<QLineEdit>(w, "LoggerType")->text(), QString("5.1A"));
    QCOMPARE(Find<QLabel>(w, "lblDLFile")->text(), QString(kRawName));
    QVERIFY(Find<QProgressBar>(w, "ProgressBar1")->isHidden());
    QVERIFY(Find<QLabel>(w, "Label6")->isHidden());
    QVERIFY(highest > 0);  // partly filled blocks end below the maximum
    QVERIFY(w->StatusText().startsWith("Decoding file : "));
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QVERIFY(Find<QTimer>(w, "Timer1")->isActive());
    QCOMPARE(Find<QTimer>(w, "Timer1")->interval(), 2000);
    QVERIFY(Find<QAction>(w, "mnFileOpen")->isEnabled());
    QVERIFY(Find<QPushButton>(w, "btnForceDl")->isEnabled());
    QCOMPARE(int(f->prompts.boxes.size()), 0);

    // The same logger on the next tick: nothing at all.
    w->Timer1Timer();
    QCOMPARE(RawFiles().size(), 1);
    QCOMPARE(int(f->prompts.boxes.size()), 0);

    // Force download: the next tick downloads it again; in the same second
    // the name is taken, and the new file gets the next number beside it.
    // While it arrives, nothing of the log before stays on show.
    QString pilotDuring;
    QString bannerDuring;
    int rowsDuring = -1;
    AtProgress(Find<QProgressBar>(w, "ProgressBar1"), 10, [&] {
      pilotDuring = Find<QLineEdit>(w, "PilotNames")->text();
      bannerDuring = Find<QLabel>(w, "lblBanner")->text();
      rowsDuring = w->SegmentsGridRowCount();
    });
    Find<QPushButton>(w, "btnForceDl")->click();
    w->Timer1Timer();
    QCOMPARE(pilotDuring, QString());
    QCOMPARE(rowsDuring, 2);
    QVERIFY2(bannerDuring.startsWith("Downloading " + QString(kSerial) + " ... "), qPrintable(bannerDuring));
    QVERIFY(Find<QLabel>(w, "lblBanner")->text().startsWith("042 Sim Pilot"));
    QCOMPARE(int(f->prompts.boxes.size()), 0);
    QCOMPARE(RawFiles().size(), 2);
    QVERIFY(RawFiles().contains(kRawName));
    QCOMPARE(w->SegmentsGridRowCount(), 3);
  }

  void noLoggerIsReportedInTheStatusBarAndAPortThatCannotBeOpenedSaysWhy() {
    StartWindowOn(SilentPort());
    w->Timer1Timer();
    QCOMPARE(w->StatusText(), QString("No logger found to download"));
    QVERIFY(Find<QTimer>(w, "Timer1")->isActive());
    QCOMPARE(Find<QTimer>(w, "Timer1")->interval(), 2000);

    Find<QComboBox>(w, "cbPortNo")->setCurrentIndex(1);
    w->Timer1Timer();
    QCOMPARE(w->StatusText(), QString("COM2 (/dev/orvald-no-such-port): no such device; run orvald-cli doctor"));

    // Logger > Check ports says the same of the window's port, first and by its name.
    Find<QAction>(w, "mnCheckPorts")->trigger();
    auto* check = w->findChild<QPlainTextEdit*>("memoFindings");
    QVERIFY(check && check->isVisible());
    const QStringList lines = check->toPlainText().split('\n');
    QVERIFY2(lines.first().startsWith("COM2 (/dev/orvald-no-such-port): no such device: "), qPrintable(lines.first()));
    QVERIFY2(lines.last().endsWith("something in the way"), qPrintable(lines.last()));
  }

  void escapeAnsweredYesAbortsAndDeletesTheFile() {
    StartSim();
    QString blockCaption;
    AtProgress(Find<QProgressBar>(w, "ProgressBar1"), 20, [&] {
      blockCaption = Find<QLabel>(w, "Label6")->text();
      PressEscapeIn(Find<QLineEdit>(w, "edManTask"));
    });
    f->prompts.answers.push_back(PromptAnswer::kYes);
    w->Timer1Timer();

    QCOMPARE(int(f->prompts.boxes.size()), 1);
    QCOMPARE(f->prompts.boxes[0].caption, std::string("Logger Download"));
    QCOMPARE(f->prompts.boxes[0].text, std::string(" Cancel downloading?"));
    QVERIFY(f->prompts.boxes[0].buttons == PromptButtons::kYesNo);
    QVERIFY(blockCaption.startsWith("Downloading Block  1 of "));
    QVERIFY(w->StatusText().startsWith("Downloading aborted! Download of " + QString(kSerial) + " stopped by the operator"));
    QVERIFY(Find<QLabel>(w, "lblBanner")->text().contains("NOTHING DOWNLOADED"));
    QVERIFY(RawFiles().isEmpty());
    QCOMPARE(w->SegmentsGridRowCount(), 2);
    QVERIFY(Find<QLabel>(w, "lblDLFile")->text().isEmpty());
    QCOMPARE(w->abortFlag(), 0);
    QVERIFY(QApplication::overrideCursor() == nullptr);
  }

  void escapeAnsweredNoCarriesOn() {
    StartSim();
    AtProgress(Find<QProgressBar>(w, "ProgressBar1"), 20, [&] { PressEscapeIn(Find<QTableView>(w, "SegmentsGrid")); });
    f->prompts.answers.push_back(PromptAnswer::kNo);
    w->Timer1Timer();

    QCOMPARE(int(f->prompts.boxes.size()), 1);
    QCOMPARE(f->prompts.boxes[0].text, std::string(" Cancel downloading?"));
    QCOMPARE(RawFiles(), QStringList({kRawName}));
    QCOMPARE(w->SegmentsGridRowCount(), 3);
    QCOMPARE(w->abortFlag(), 0);
  }

  void commandsAreRefusedWhileDownloading() {
    StartSim();
    bool anyEnabled = true;
    bool busy = false;
    AtProgress(Find<QProgressBar>(w, "ProgressBar1"), 10, [&] {
      busy = w->exchangeBusy();
      anyEnabled = Find<QAction>(w, "mnFileOpen")->isEnabled() || Find<QAction>(w, "Clear1")->isEnabled() || Find<QPushButton>(w, "btnForceDl")->isEnabled() ||
                   Find<QPushButton>(w, "btnSave")->isEnabled() || Find<QPushButton>(w, "btnManSave")->isEnabled();
      w->mnFileOpenClick();  // a queued click that slipped through does nothing
      w->Clear1Click();
      w->btnSaveClick();
    });
    w->Timer1Timer();

    QVERIFY(busy);
    QVERIFY(!anyEnabled);
    QCOMPARE(int(f->prompts.choosers.size()), 1);  // the data folder at start-up, no open dialog
    QCOMPARE(int(f->prompts.boxes.size()), 0);     // no erase question, no save message
    QVERIFY(Find<QAction>(w, "mnFileOpen")->isEnabled());
    QVERIFY(Find<QAction>(w, "Clear1")->isEnabled());
    QVERIFY(Find<QPushButton>(w, "btnForceDl")->isEnabled());
  }

  void exitDuringADownloadQuitsOnlyWhenTheOperatorSaysYes() {
    // No: the download goes on to its end and the window stays.
    StartSim({"--ignore-rate"});
    AtProgress(Find<QProgressBar>(w, "ProgressBar1"), 10, [&] { w->close(); });
    f->prompts.answers.push_back(PromptAnswer::kNo);
    w->Timer1Timer();
    QCOMPARE(int(f->prompts.boxes.size()), 1);
    QCOMPARE(f->prompts.boxes[0].text, std::string("A download is running. Stop the download and quit?"));
    QCOMPARE(RawFiles(), QStringList({kRawName}));
    QTest::qWait(50);
    QVERIFY(w->isVisible());

    // Yes: the download stops (nothing more is asked), its file goes, the window closes.
    Find<QPushButton>(w, "btnForceDl")->click();
    bool stillOpenWhileAsked = false;
    f->prompts.whileAsking = [&](const AskedBox&) { stillOpenWhileAsked = w->isVisible(); };
    AtProgress(Find<QProgressBar>(w, "ProgressBar1"), 10, [&] { w->close(); });
    f->prompts.answers.push_back(PromptAnswer::kYes);
    w->Timer1Timer();
    QCOMPARE(int(f->prompts.boxes.size()), 2);
    QVERIFY(stillOpenWhileAsked);
    QCOMPARE(RawFiles(), QStringList({kRawName}));
    QTRY_VERIFY(!w->isVisible());  // closed once the session returned
  }

  void eraseAnsweredOkWipesTheLogger() {
    StartSim();
    f->prompts.answers.push_back(PromptAnswer::kOk);
    Find<QAction>(w, "Clear1")->trigger();
    QCOMPARE(int(f->prompts.boxes.size()), 1);
    QCOMPARE(f->prompts.boxes[0].caption, std::string("Erase Logger"));
    QCOMPARE(f->prompts.boxes[0].text, "Erase all flights in logger " + std::string(kSerial) + " on COM1?");
    QVERIFY(f->prompts.boxes[0].buttons == PromptButtons::kOkCancel);
    QVERIFY(Find<QTimer>(w, "Timer1")->isActive());

    w->Timer1Timer();  // the wiped logger downloads nothing to decode
    QCOMPARE(w->SegmentsGridRowCount(), 2);
    QCOMPARE(int(f->prompts.boxes.size()), 1);
  }

  void eraseCancelledSendsNothing() {
    StartSim();
    f->prompts.answers.push_back(PromptAnswer::kCancel);
    Find<QAction>(w, "Clear1")->trigger();
    QCOMPARE(int(f->prompts.boxes.size()), 1);
    QVERIFY(Find<QTimer>(w, "Timer1")->isActive());
    w->Timer1Timer();
    QCOMPARE(w->SegmentsGridRowCount(), 3);  // the flight is still there
  }

  void eraseWithoutALoggerAsksNothingAndSaysSo() {
    StartWindowOn(SilentPort());  // the logger is pulled before the erase
    Find<QAction>(w, "Clear1")->trigger();
    QCOMPARE(int(f->prompts.boxes.size()), 0);
    QCOMPARE(w->StatusText(), QString("No logger answers on COM1: nothing was erased"));
    QVERIFY(Find<QTimer>(w, "Timer1")->isActive());
    QVERIFY(Find<QAction>(w, "Clear1")->isEnabled());
  }

  void fileOpenDuringAProbeRunsWhenTheProbeIsOver() {
    StartWindowOn(SilentPort());  // three unanswered attempts: the probe waits about 900 ms
    QVERIFY(WriteRawFile(f->spath("data/saved.G00"), {{8, 0, 20, {}}, {8, 30, 20, {}}, {9, 0, 5, {}}}));
    f->prompts.files.push_back(f->spath("data/saved.G00"));
    int openChoosersDuringProbe = -1;
    QTimer::singleShot(100, [&] {
      w->mnFileOpenClick();
      openChoosersDuringProbe = int(f->prompts.choosers.size()) - 1;
    });
    w->Timer1Timer();
    QCOMPARE(openChoosersDuringProbe, 0);  // not nested inside the probe
    QCOMPARE(w->StatusText(), QString("No logger found to download"));
    QTRY_COMPARE(int(f->prompts.choosers.size()), 2);
    QCOMPARE(f->prompts.choosers[1].title, std::string("Read GPS File"));
    QCOMPARE(w->SegmentsGridRowCount(), 4);
    QVERIFY(Find<QTimer>(w, "Timer1")->isActive());
  }

  void closingDuringAProbeWaitsForIt() {
    StartWindowOn(SilentPort());
    bool visibleAfterClose = false;
    QTimer::singleShot(100, [&] {
      w->close();
      visibleAfterClose = w->isVisible();
    });
    w->Timer1Timer();
    QVERIFY(visibleAfterClose);
    QTRY_VERIFY(!w->isVisible());
  }

  void aStationDownloadsBesideTheMainPortAndItsFileOpensInTheWindow() {
    sim = std::make_unique<test::SimProcess>(
        std::vector<std::string>{"--serial", kSerial, "--records-per-block", "400", "--pace"});
    QVERIFY2(sim->started(), sim->error().c_str());
    StartWindowOn(SilentPort(), sim->ptyPath());
    QVERIFY(WriteWholeFile(f->spath("data/loggers.tsv"), std::string(kSerial) + "\t042\tSim Pilot\r\n"));
    Find<QAction>(w, "mnStations")->trigger();
    auto* stations = w->findChild<TStationsDlg*>("StationsDlg");
    QVERIFY(stations && stations->isVisible());

    // The main window's port is no station's.
    QCOMPARE(Find<QComboBox>(stations, "cbNewPort")->findText("COM1"), -1);
    QVERIFY(!stations->AddStation(1));
    QCOMPARE(Find<QLabel>(stations, "lblStationsNote")->text(), QString("COM1 is the main window's port"));
    QVERIFY(stations->AddStation(2));
    QCOMPARE(f->Setting("STATIONS").toStringList(), QStringList({"COM2"}));
    // Quitting while a station downloads asks first.
    QTRY_VERIFY_WITH_TIMEOUT(stations->DownloadsRunning() == 1, 10000);
    f->prompts.answers.push_back(PromptAnswer::kNo);
    QVERIFY(!w->close());
    QCOMPARE(f->prompts.boxes.back().text, "COM2 (" + std::string(kSerial) + ") is downloading. Stop it and quit?");
    // Remove while it downloads asks too; No keeps the station.
    Find<QTableWidget>(stations, "StationsGrid")->setCurrentCell(0, 0);
    Find<QPushButton>(stations, "btnRemoveStation")->click();
    const std::string removeQuestion = f->prompts.boxes.back().text;
    QVERIFY2(removeQuestion.rfind("COM2 is downloading " + std::string(kSerial), 0) == 0 &&
                 removeQuestion.find("Stop it and remove the station?") != std::string::npos,
             removeQuestion.c_str());
    QVERIFY(stations->HoldsPort(2));
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromStdString(StationStateText(*stations->Row(2))), QString("done"), 20000);
    const StationState& row = *stations->Row(2);
    QCOMPARE(row.serial, std::string(kSerial));
    QCOMPARE(row.competNo, std::string("042"));
    QCOMPARE(row.pilot, std::string("Sim Pilot"));
    QCOMPARE(RawFiles(), QStringList({QString::fromStdString(row.file)}));
    QCOMPARE(Find<QTableWidget>(stations, "StationsGrid")->item(0, 1)->text(), QString("done"));

    // ... nor can the main port move onto it.
    Find<QComboBox>(w, "cbPortNo")->setCurrentIndex(1);
    QCOMPARE(Find<QComboBox>(w, "cbPortNo")->currentIndex(), 0);
    QCOMPARE(f->prompts.boxes.back().text,
             std::string("COM2 is a station's port (Logger > Stations); remove the station there first."));

    // A double-click shows the download in the main window, for selection and Save.
    emit Find<QTableWidget>(stations, "StationsGrid")->cellDoubleClicked(0, 0);
    QTRY_COMPARE(w->SegmentsGridRowCount(), 3);
    QCOMPARE(Find<QLineEdit>(w, "LoggerSN")->text(), QString(kSerial));

    // The next start runs the station again; removing it forgets it.
    w.reset();
    f->prompts.directories.push_back(f->spath("data"));
    AppEnvironment env = f->Environment();
    env.link = link.get();
    env.stationFirstPollMs = 60000;
    w = f->Start(env);
    stations = w->findChild<TStationsDlg*>("StationsDlg");
    QVERIFY(stations != nullptr);
    QCOMPARE(stations->stationPorts(), std::vector<int>({2}));
    stations->RemoveStation(2);
    QVERIFY(stations->stationPorts().empty());
    QVERIFY(f->Setting("STATIONS").toStringList().isEmpty());
  }

  void pluggedInAdaptersAreRowsWhileTheyArePluggedIn() {
    sim = std::make_unique<test::SimProcess>(std::vector<std::string>{"--serial", kSerial, "--pace"});
    QVERIFY2(sim->started(), sim->error().c_str());
    StartWindowOn(SilentPort());
    const std::string links = f->spath("links");
    QVERIFY(QDir().mkpath(QString::fromStdString(links)));
    QCOMPARE(::symlink(silent->path().c_str(), (links + "/main-port").c_str()), 0);
    Find<QAction>(w, "mnStations")->trigger();
    auto* stations = w->findChild<TStationsDlg*>("StationsDlg");
    Find<QCheckBox>(stations, "chkAutoStations")->click();
    QCOMPARE(f->Setting("AUTO_STATIONS").toInt(), 1);

    const std::string hub = links + "/pci-0000:00:14.0-usb-0:1.3:1.0-port0";
    QCOMPARE(::symlink(sim->ptyPath().c_str(), hub.c_str()), 0);
    const std::string device = sim->ptyPath().substr(5);
    QTRY_COMPARE(stations->adapterRows(), std::vector<std::string>{device + " (USB hub port 1.3)"});
    QCOMPARE(Find<QLabel>(stations, "lblStationsNote")->text(), QString::fromStdString(device + " (usb-0:1.3:1.0) plugged in"));
    // Another name of the same device, and the main port's, are no rows.
    QCOMPARE(::symlink(sim->ptyPath().c_str(), (links + "/by-id-same").c_str()), 0);
    QTRY_VERIFY_WITH_TIMEOUT(stations->DownloadsRunning() == 1, 10000);
    QCOMPARE(int(stations->adapterRows().size()), 1);
    QCOMPARE(Find<QTableWidget>(stations, "StationsGrid")->rowCount(), 1);
    QVERIFY(f->Setting("STATIONS").toStringList().isEmpty());

    // Pulled while it downloads: the row goes, what arrived is kept.
    QCOMPARE(::unlink(hub.c_str()), 0);
    QTRY_VERIFY(stations->adapterRows().empty());
    QCOMPARE(Find<QLabel>(stations, "lblStationsNote")->text(), QString::fromStdString(device + " (usb-0:1.3:1.0) unplugged"));
    QTRY_VERIFY_WITH_TIMEOUT(RawFiles().size() == 1 && RawFiles()[0].endsWith("-incomplete.G00"), 30000);
  }

  // While an exchange sleeps through the bytes of a reply it already knows
  // the length of, the window stays alive and only a hang-up cuts it short.
  void sleepThroughKnownBytesKeepsTheWindowAliveAndWakesForAHangUpOnly() {
    PtyPair line;
    QVERIFY(line.ok());
    const int port = ::open(line.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(port >= 0);
    termios raw{};
    ::tcgetattr(port, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(port, TCSANOW, &raw);
    QCOMPARE(::write(line.master(), "ab", 2), ssize_t(2));
    EventLoopWaiter waiter;
    bool timerRan = false;
    QTimer::singleShot(10, [&] { timerRan = true; });
    QElapsedTimer clock;
    clock.start();
    waiter.Wait(port, 80, WakeOn::kHangUp);
    QVERIFY2(clock.elapsed() >= 75, "woken by the bytes");
    QVERIFY(timerRan);
    waiter.Wait(port, 5000, WakeOn::kReadable);
    line.HangUp();
    waiter.Wait(port, 5000, WakeOn::kHangUp);
    QVERIFY2(clock.elapsed() < 2500, "the bytes or the hang-up did not wake it");
    ::close(port);
  }
};

QTEST_MAIN(DownloadBindingTest)
#include "test_download_binding.moc"
