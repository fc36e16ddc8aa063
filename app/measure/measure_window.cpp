// Figures for the window program, never part of the tests (they depend on the
// machine). Run by scripts/measure-window.
//
//   orvald-measure-window startup
//       milliseconds from process start to the data folder chooser, with the
//       start-up order of the real program
//   orvald-measure-window download PTY [--cpu-only]
//       one detection cycle against a logger on PTY (COM1): the longest gap
//       between turns of the event loop (a 5 ms timer that fires whenever the
//       loop runs) while the download runs, and while it decodes
//   orvald-measure-window wait PTY SECONDS
//       detection cycles for SECONDS against PTY (a paced logger, or nothing):
//       CPU time used against wall time
#include <sys/resource.h>
#include <time.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QTableView>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/guarded_application.h"
#include "app/find_control.h"
#include "app/main_window.h"
#include "link/link.h"

namespace {

using namespace orvald;

double ProcessStartSecondsAgo() {
  // Field 22 of /proc/self/stat: start time in clock ticks after boot.
  std::ifstream stat("/proc/self/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const size_t close = text.rfind(')');
  std::string rest = text.substr(close + 2);
  unsigned long long start = 0;
  int field = 3;
  size_t pos = 0;
  while (field < 22) {
    pos = rest.find(' ', pos) + 1;
    ++field;
  }
  start = std::stoull(rest.substr(pos));
  timespec boot{};
  clock_gettime(CLOCK_BOOTTIME, &boot);
  const double now = boot.tv_sec + boot.tv_nsec / 1e9;
  return now - static_cast<double>(start) / sysconf(_SC_CLK_TCK);
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

// Answers every box harmlessly; the chooser is where start-up is timed.
class MeasuringPrompts : public AppPrompts {
 public:
  double chooserAfterStartMs = -1;
  PromptAnswer Ask(const std::string&, const std::string&, PromptButtons b, PromptIcon) override {
    return b == PromptButtons::kYesNo ? PromptAnswer::kNo : b == PromptButtons::kOkCancel ? PromptAnswer::kCancel : PromptAnswer::kOk;
  }
  std::optional<std::string> ChooseFileToOpen(const std::string&, const std::string&, const std::string&,
                                              const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> ChooseDirectory(const std::string&, const std::string&) override {
    if (chooserAfterStartMs < 0) chooserAfterStartMs = ProcessStartSecondsAgo() * 1000.0;
    return std::nullopt;
  }
};

struct Station {
  QTemporaryDir dir;
  std::unique_ptr<Link> link;
  std::unique_ptr<TfrmMain> window;
};

std::unique_ptr<Station> OpenStation(MeasuringPrompts& prompts, const std::string& pty) {
  auto station = std::make_unique<Station>();
  const QString ini = station->dir.filePath("orvald.ini");
  {
    std::ofstream out(ini.toStdString());
    out << "[APPLICATIONS]\nORVALD\\COM_PORT=1\nORVALD\\DATA_DIR=" << station->dir.path().toStdString()
        << "\n[Ports]\nCOM1=" << pty << "\n";
  }
  station->link = std::make_unique<Link>(nullptr);
  AppEnvironment env;
  env.prompts = &prompts;
  env.settings.filePath = ini;
  env.link = station->link.get();
  station->window = std::make_unique<TfrmMain>(env);
  Find<QTimer>(station->window, "Timer1")->stop();
  station->window->show();
  return station;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  Link link;  // as the real program: the serial channel before anything else
  MeasuringPrompts prompts;
  GuardedApplication app(argc, argv, prompts);

  if (mode == "startup") {
    QTemporaryDir dir;
    AppEnvironment env;
    env.prompts = &prompts;
    env.settings.filePath = dir.filePath("orvald.ini");
    env.defaultDataDir = dir.filePath("ORVALD").toStdString();
    env.link = &link;
    TfrmMain window(env);
    std::printf("startup_to_chooser_ms %.1f\n", prompts.chooserAfterStartMs);
    return 0;
  }

  if (mode == "download" && argc > 2) {
    auto station = OpenStation(prompts, argv[2]);
    TfrmMain& w = *station->window;
    QElapsedTimer clock;
    clock.start();
    enum class Phase { kProbe, kTransfer, kDecode } phase = Phase::kProbe;
    qint64 lastTurn = 0;
    qint64 worstTransferGap = 0;
    qint64 transferStart = 0;
    qint64 decodeStart = 0;
    int pieces = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
      const qint64 now = clock.elapsed();
      if (phase == Phase::kTransfer) worstTransferGap = std::max(worstTransferGap, now - lastTurn);
      lastTurn = now;
    });
    QObject::connect(Find<QProgressBar>(&w, "ProgressBar1"), &QProgressBar::valueChanged, [&](int value) {
      if (phase == Phase::kProbe) {
        phase = Phase::kTransfer;
        transferStart = lastTurn = clock.elapsed();
      }
      pieces = value;
    });
    // The first grid row marks the end of the transfer and the start of decoding.
    auto decoding = [&] {
      if (phase != Phase::kTransfer) return;
      decodeStart = clock.elapsed();
      worstTransferGap = std::max(worstTransferGap, decodeStart - lastTurn);
      phase = Phase::kDecode;
    };
    QObject::connect(Find<QTableView>(&w, "SegmentsGrid")->model(), &QAbstractItemModel::dataChanged, decoding);
    QObject::connect(Find<QTableView>(&w, "SegmentsGrid")->model(), &QAbstractItemModel::rowsInserted, decoding);
    // The 5 ms timer costs CPU of its own: left out when only CPU is measured.
    const bool cpuOnly = argc > 3 && std::string(argv[3]) == "--cpu-only";
    if (!cpuOnly) tick.start(5);
    const double cpu0 = CpuSeconds();
    w.Timer1Timer();
    const qint64 end = clock.elapsed();
    std::printf("pieces %d\ntransfer_ms %lld\ndecode_ms %lld\ncpu_ms %.0f\nlongest_loop_gap_during_transfer_ms %lld\n"
                "segments %d\nstatus %s\n",
                pieces, static_cast<long long>(decodeStart - transferStart), static_cast<long long>(end - decodeStart),
                (CpuSeconds() - cpu0) * 1000.0, static_cast<long long>(worstTransferGap), w.SegmentsGridRowCount() - 1,
                w.StatusText().toUtf8().constData());
    return 0;
  }

  if (mode == "wait" && argc > 3) {
    auto station = OpenStation(prompts, argv[2]);
    const int seconds = std::atoi(argv[3]);
    Find<QTimer>(station->window, "Timer1")->setInterval(0);
    Find<QTimer>(station->window, "Timer1")->start();
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    const double cpu0 = CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    app.exec();
    const double wall = clock.elapsed() / 1000.0;
    const double cpu = CpuSeconds() - cpu0;
    std::printf("wall_s %.2f\ncpu_s %.3f\ncpu_percent %.2f\nstatus %s\n", wall, cpu, 100.0 * cpu / wall,
                station->window->StatusText().toUtf8().constData());
    return 0;
  }

  std::fprintf(stderr, "usage: orvald-measure-window startup | download PTY [--cpu-only] | wait PTY SECONDS\n");
  return 2;
}
