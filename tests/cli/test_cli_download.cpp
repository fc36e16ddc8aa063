// orvald-cli download and watch against orvald-sim on a pseudo-terminal.

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/silent_terminal.h"
#include "run_program.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

extern char** environ;

namespace orvald {
namespace {

using testing::Cli;
using testing::ProgramRun;
using testing::RunProgram;
using testing::Slurp;
using testing::TempDir;
using test::SimProcess;

// The folder's files but the day journal, which each file kept is added to.
std::set<std::string> DataFiles(const TempDir& dir) {
  std::set<std::string> names = dir.Entries();
  names.erase("journal.tsv");
  return names;
}

// orvald-cli running in the background, its output going to files (stdout to `stdoutFd` if given).
class Background {
 public:
  explicit Background(const std::vector<std::string>& args, int stdoutFd = -1) {
    std::vector<std::string> words{ORVALD_CLI};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, (files / "out").c_str(), O_WRONLY | O_CREAT, 0644);
    if (stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (files / "err").c_str(), O_WRONLY | O_CREAT, 0644);
    if (posix_spawn(&pid_, ORVALD_CLI, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Background() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool running() const { return pid_ > 0; }
  void Signal(int sig) { kill(pid_, sig); }
  // The exit status, or -1 when it did not end within `timeoutMs`.
  int Wait(int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 10) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
  }
  std::string out() const { return Slurp(files / "out"); }
  std::string err() const { return Slurp(files / "err"); }

 private:
  TempDir files;
  pid_t pid_ = -1;
};

// Waits until `done` holds, up to `timeoutMs`.
template <typename Condition>
bool WaitFor(Condition done, int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; waited += 10) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

TEST(CliDownload, DownloadsIntoTheFolderAndPrintsTheFileAndItsDecode) {
  TempDir work, dir;
  SimProcess sim({"--serial", "QA712", "--expect-g00", work / "expected.G00"});
  ASSERT_TRUE(sim.started()) << sim.error();
  const std::string loggers = work / "loggers.tsv";
  // As a spreadsheet saves it, with the logger in two rows by mistake.
  ASSERT_TRUE(testing::WriteWholeFile(loggers, "\xEF\xBB\xBFQA712 \t006\tOld\r\nQA712\t007\tCrew One\r\n"));

  const ProgramRun run =
      Cli({"download", "--port", sim.ptyPath(), "--dir", dir.path(), "--loggers", loggers, "--tz-offset", "0"});

  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const std::set<std::string> files = DataFiles(dir);
  ASSERT_EQ(files.size(), 1u);
  const std::string name = *files.begin();
  EXPECT_EQ(name.substr(0, 6), "QA712-");
  EXPECT_EQ(name.substr(name.size() - 4), ".G00");
  EXPECT_EQ(Slurp(dir / name), Slurp(work / "expected.G00"));
  EXPECT_EQ(FirstLine(run.out), "file\t" + (dir / name));
  const ProgramRun decode = Cli({"decode", dir / name, "--tz-offset", "0"});
  ASSERT_EQ(decode.exitStatus, 0);
  EXPECT_EQ(run.out.substr(run.out.find('\n') + 1), decode.out);
  EXPECT_NE(run.err.find("comp 007, Crew One"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("Serial QA712 is in rows 1 and 2 of the loggers table; row 2 is used"), std::string::npos);
}

TEST(CliDownload, LoggerWithoutIdentityIsDownloadedButNeverCalledComplete) {
  TempDir work, dir;
  SimProcess sim({"--fault", "no-identity"});
  ASSERT_TRUE(sim.started()) << sim.error();
  const ProgramRun run = Cli({"download", "--port", sim.ptyPath(), "--dir", dir.path()});
  EXPECT_EQ(run.exitStatus, 1) << run.err;
  EXPECT_NE(run.out.find("incomplete\tthe logger gave no serial number\n"), std::string::npos) << run.out;
  ASSERT_EQ(DataFiles(dir).size(), 1u);
  const std::string name = *DataFiles(dir).begin();
  EXPECT_EQ(name.front(), '-');
  EXPECT_NE(name.find("-incomplete.G00"), std::string::npos) << name;
}

TEST(CliDownload, NoLoggerIsAFailureAndAPortThatCannotBeOpenedSaysWhy) {
  TempDir dir;
  // A terminal with nothing on its other side: simply no logger.
  testing::SilentTerminal silent;
  ProgramRun run = Cli({"download", "--port", silent.path(), "--dir", dir.path()});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.err, "orvald-cli: No logger found to download\n");
  EXPECT_TRUE(run.out.empty());

  // A device that is not there, and one that is no serial port.
  run = Cli({"download", "--port", dir / "ttyNONE", "--dir", dir.path()});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.err,
            "orvald-cli: No logger found to download: " + (dir / "ttyNONE") + ": no such device; run orvald-cli doctor\n");
  run = Cli({"download", "--port", "/dev/null", "--dir", dir.path()});
  EXPECT_EQ(run.err, "orvald-cli: No logger found to download: /dev/null: not a serial port\n");
  EXPECT_TRUE(dir.Entries().empty());
}

TEST(CliDoctor, ChecksTheNamedPortsInOrderAndFailsWhenOneIsInTheWay) {
  TempDir dir;
  ProgramRun run = Cli({"doctor", "--port", dir / "ttyNONE", "--com", "200"});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.out, (dir / "ttyNONE") + ": no such device: plug the adapter in, or name a port that `orvald-cli doctor` lists\n"
                     "COM200 (/dev/ttyUSB199): no such device: plug the adapter in, or name a port that `orvald-cli "
                     "doctor` lists\n2 of 2 ports have something in the way\n");
  run = Cli({"doctor", "--com", "1", "--port", "/dev/ttyUSB0"});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_NE(run.err.find("are the same port"), std::string::npos) << run.err;
}

TEST(CliDownload, CtrlCHangUpAndQuitAbortDeleteTheFileAndLeaveTheLoggerFindable) {
  TempDir dir;
  // Paced: 192 pieces of 134 bytes at 57600 bit/s take over 4 s.
  SimProcess sim({"--pace"});
  ASSERT_TRUE(sim.started()) << sim.error();
  // Each download after the first finds the logger at 9600 bit/s again.
  for (int signal : {SIGINT, SIGHUP, SIGQUIT}) {
    Background cli({"download", "--port", sim.ptyPath(), "--dir", dir.path()});
    ASSERT_TRUE(cli.running());
    ASSERT_TRUE(WaitFor([&] { return !dir.Entries().empty(); }, 5000)) << signal << ": " << cli.err();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    cli.Signal(signal);

    EXPECT_EQ(cli.Wait(5000), 1) << cli.err();
    EXPECT_TRUE(dir.Entries().empty()) << signal;
    EXPECT_NE(cli.err().find("Downloading aborted!"), std::string::npos) << cli.err();
    EXPECT_EQ(cli.err().find("Cancel downloading?"), std::string::npos) << "a signal asks nothing";
    EXPECT_TRUE(cli.out().empty());
  }
}

TEST(CliDownload, FullDiskKeepsThePartialFileAndFails) {
  TempDir work, dir;
  SimProcess sim({"--expect-g00", work / "expected.G00"});
  ASSERT_TRUE(sim.started()) << sim.error();
  // A file-size limit of 8 KiB (16 blocks of 512 bytes) stands for a full disk.
  const ProgramRun run = RunProgram("/bin/sh", {"-c", "ulimit -f 16 && exec \"$0\" \"$@\"", ORVALD_CLI, "download",
                                                "--port", sim.ptyPath(), "--dir", dir.path(), "--tz-offset", "0"});
  EXPECT_EQ(run.exitStatus, 1) << run.err;
  const std::set<std::string> files = DataFiles(dir);
  ASSERT_EQ(files.size(), 1u);
  const std::string name = *files.begin();
  EXPECT_EQ(name.substr(name.size() - 15), "-incomplete.G00");
  const std::string kept = Slurp(dir / name);
  EXPECT_EQ(kept.size(), 8192u);
  EXPECT_EQ(kept, Slurp(work / "expected.G00").substr(0, 8192));
  // The file line, then why it is incomplete, then the decode.
  EXPECT_EQ(FirstLine(run.out), "file\t" + (dir / name));
  EXPECT_NE(run.out.find("\nincomplete\tcan't write "), std::string::npos) << run.out;
  EXPECT_LT(run.out.find("\nincomplete\t"), run.out.find("\nserial\t"));
  EXPECT_NE(run.out.find("\npoints\t"), std::string::npos);
  EXPECT_NE(run.err.find("incomplete"), std::string::npos) << run.err;
}

TEST(CliWatch, DownloadsEachLoggerOnceUntilStopped) {
  TempDir work, dir;
  SimProcess sim({"--expect-g00", work / "expected.G00"});
  ASSERT_TRUE(sim.started()) << sim.error();
  Background cli({"watch", "--port", sim.ptyPath(), "--dir", dir.path()});
  ASSERT_TRUE(cli.running());

  ASSERT_TRUE(WaitFor([&] { return cli.out().find("\nSgm\t") != std::string::npos; }, 10000)) << cli.err();
  // Two more polls find the same logger and leave it alone.
  std::this_thread::sleep_for(std::chrono::milliseconds(4500));
  cli.Signal(SIGTERM);

  EXPECT_EQ(cli.Wait(5000), 0) << cli.err();
  const std::set<std::string> files = DataFiles(dir);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(Slurp(dir / *files.begin()), Slurp(work / "expected.G00"));
  EXPECT_EQ(FirstLine(cli.out()), "file\t" + (dir / *files.begin()));
}

TEST(CliWatch, ReportsAMissingLoggerOnceAndKeepsPolling) {
  TempDir dir;
  testing::SilentTerminal silent;
  Background cli({"watch", "--port", silent.path(), "--dir", dir.path()});
  std::this_thread::sleep_for(std::chrono::milliseconds(3500));  // two cycles
  cli.Signal(SIGINT);
  EXPECT_EQ(cli.Wait(5000), 0);
  EXPECT_EQ(cli.err(), "No logger found to download\n");
}

// Lines of `text` that contain `what`.
std::vector<std::string> LinesWith(const std::string& text, const std::string& what) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = std::min(text.find('\n', at), text.size());
    const std::string line = text.substr(at, end - at);
    if (line.find(what) != std::string::npos) lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

TEST(CliWatch, SeveralPortsDownloadAtOnceAndEachLoggerIsOneBlock) {
  TempDir work, dir;
  // Paced, each download takes over 4 s: they can only end close together if they ran side by side.
  SimProcess a({"--pace", "--serial", "QA1", "--expect-g00", work / "a.G00", "--transcript", work / "a.txt"});
  SimProcess b({"--pace", "--serial", "QB2", "--expect-g00", work / "b.G00"});
  ASSERT_TRUE(a.started() && b.started()) << a.error() << b.error();
  Background cli({"watch", "--port", a.ptyPath(), "--port", b.ptyPath(), "--dir", dir.path(), "--tz-offset", "0"});
  ASSERT_TRUE(WaitFor([&] { return LinesWith(cli.out(), "file\t").size() == 2; }, 20000)) << cli.err();
  cli.Signal(SIGINT);
  ASSERT_EQ(cli.Wait(5000), 0) << cli.err();

  const std::string out = cli.out();
  const size_t second = out.find("\nfile\t") + 1;
  for (const std::string& block : {out.substr(0, second), out.substr(second)}) {
    const std::string path = FirstLine(block).substr(5);
    const ProgramRun decode = Cli({"decode", path, "--tz-offset", "0"});
    EXPECT_EQ(block.substr(block.find('\n') + 1), decode.out) << "a block is the file's decode, whole";
    const bool first = path.find("/QA1-") != std::string::npos;
    EXPECT_EQ(Slurp(path), Slurp(work / (first ? "a.G00" : "b.G00"))) << path;
  }
  // Both were under way before either was decoded, and every line names its port.
  const std::string err = cli.err();
  EXPECT_LT(err.rfind("Press Ctrl-C"), err.find("Decoding file")) << err;
  for (const std::string& line : LinesWith(err, "")) {
    EXPECT_TRUE(line.rfind(a.ptyPath() + ": ", 0) == 0 || line.rfind(b.ptyPath() + ": ", 0) == 0) << line;
  }
}

TEST(CliWatch, CtrlCStopsEveryPortRemovesThePartialFilesAndPutsEachLoggerBack) {
  TempDir work, dir;
  SimProcess a({"--pace", "--serial", "QA1", "--transcript", work / "a.txt"});
  SimProcess b({"--pace", "--serial", "QB2", "--transcript", work / "b.txt"});
  ASSERT_TRUE(a.started() && b.started()) << a.error() << b.error();
  Background cli({"watch", "--port", a.ptyPath(), "--port", b.ptyPath(), "--dir", dir.path()});
  ASSERT_TRUE(WaitFor([&] { return LinesWith(cli.err(), "Downloading Block").size() == 2; }, 8000)) << cli.err();

  cli.Signal(SIGINT);

  EXPECT_EQ(cli.Wait(5000), 0) << cli.err();
  EXPECT_TRUE(dir.Entries().empty());
  EXPECT_TRUE(cli.out().empty());
  EXPECT_EQ(LinesWith(cli.err(), "Downloading aborted!").size(), 2u) << cli.err();
  for (const char* transcript : {"a.txt", "b.txt"}) {
    const std::vector<std::string> switches = LinesWith(Slurp(work / transcript), "cmd=set-rate");
    ASSERT_FALSE(switches.empty());
    EXPECT_NE(switches.back().find("req=F0 03 C1 41 00 "), std::string::npos) << switches.back();
  }
}

TEST(CliWatch, AReaderThatWentAwayCostsTheOutputButNoDownload) {
  TempDir work, dir;
  // A is done long before the paced B: A's block meets the closed pipe while B downloads.
  SimProcess a({"--serial", "QA1", "--transcript", work / "a.txt"});
  SimProcess b({"--pace", "--serial", "QB2", "--expect-g00", work / "b.G00", "--transcript", work / "b.txt"});
  ASSERT_TRUE(a.started() && b.started()) << a.error() << b.error();
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  close(out[0]);             // `| tee log`, and tee is gone
  signal(SIGPIPE, SIG_DFL);  // as a shell starts it
  Background cli({"watch", "--port", a.ptyPath(), "--port", b.ptyPath(), "--dir", dir.path()}, out[1]);
  close(out[1]);
  // The next poll asks each logger who it is: its block was printed by then.
  const auto polledAgain = [&](const char* log) { return LinesWith(Slurp(work / log), "cmd=identify").size() >= 2; };
  ASSERT_TRUE(WaitFor([&] { return polledAgain("a.txt") && polledAgain("b.txt"); }, 20000)) << cli.err();
  cli.Signal(SIGTERM);
  EXPECT_EQ(cli.Wait(5000), 1) << cli.err();
  ASSERT_EQ(DataFiles(dir).size(), 2u);
  EXPECT_EQ(Slurp(dir / *DataFiles(dir).rbegin()), Slurp(work / "b.G00")) << "B's file is whole, no .part";
  EXPECT_EQ(LinesWith(cli.err(), "can't write the output").size(), 1u) << cli.err();
}

TEST(CliDownload, TheFasterRateAndTheFallBackWhenTheLoggerDoesNotConfirmIt) {
  TempDir work, dir;
  SimProcess fast({"--expect-g00", work / "fast.G00", "--serial", "QF1", "--transcript", work / "fast.txt"});
  SimProcess old({"--expect-g00", work / "old.G00", "--serial", "QO1", "--max-rate", "57600"});
  ASSERT_TRUE(fast.started() && old.started()) << fast.error() << old.error();

  ProgramRun run = Cli({"download", "--port", fast.ptyPath(), "--dir", dir.path(), "--rate", "115200"});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(Slurp(FirstLine(run.out).substr(5)), Slurp(work / "fast.G00"));
  EXPECT_FALSE(LinesWith(Slurp(work / "fast.txt"), "cmd=read-memory line=115200").empty());

  run = Cli({"download", "--port", old.ptyPath(), "--dir", dir.path(), "--rate", "115200"});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(Slurp(FirstLine(run.out).substr(5)), Slurp(work / "old.G00"));
  EXPECT_EQ(LinesWith(run.err, "did not confirm 115200 bit/s; downloading at 57600 bit/s").size(), 1u) << run.err;
}

TEST(CliDownload, WithATaskEachDownloadEndsInAVerdictAndOneTaskFile) {
  TempDir work, dir;
  SimProcess sim({"--igc", std::string(ORVALD_FLIGHTS_DIR) + "/27GLQKF3.igc", "--serial", "QA712"});
  ASSERT_TRUE(sim.started()) << sim.error();
  ASSERT_TRUE(testing::WriteWholeFile(dir / "loggers.tsv", "QA712\t042\tJane Doe\r\n"));
  ASSERT_TRUE(testing::WriteWholeFile(dir / "tasks.tsv", "1\t2022/07/16\t19:45:00\t21:00:00\r\n"
                                                          "2\t2022/07/17\t10:00:00\t11:00:00\r\n"));
  auto download = [&](const std::string& task) {
    return Cli({"download", "--port", sim.ptyPath(), "--dir", dir.path(), "--task", task, "--tz-offset", "0"});
  };
  auto tail = [](const std::string& out) { return out.substr(out.find("\nverdict\t") + 1); };

  ProgramRun run = download("1");
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(tail(run.out),
            "verdict\tok\tsaved 042T1V1_Jane_Doe.igc, 19:43:58-21:00:26 UTC, 917 fixes\nigc\t042T1V1_Jane_Doe.igc\n");
  const std::string saved = Slurp(dir / "042T1V1_Jane_Doe.igc");
  // The same logger downloaded again: the file it already has is named, no V2.
  run = download("1");
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(tail(run.out), "verdict\tok\talready saved as 042T1V1_Jane_Doe.igc, 19:43:58-21:00:26 UTC, 917 fixes\n"
                           "igc\t042T1V1_Jane_Doe.igc\n");
  EXPECT_EQ(Slurp(dir / "042T1V1_Jane_Doe.igc"), saved);
  EXPECT_EQ(dir.Entries().count("042T1V2_Jane_Doe.igc"), 0u);
  // A flight outside the task's window is a failure of the command.
  run = download("2");
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(tail(run.out), "verdict\tnone\tNo fix inside task 2's window (2022/07/17 10:00-11:00 UTC); the log holds "
                           "2022/07/16 19:41-21:11 UTC\n");
  // A task the table does not hold is refused before any download.
  run = download("3");
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_NE(run.err.find("task '3' is not in " + (dir / "tasks.tsv")), std::string::npos) << run.err;
}

TEST(CliDownload, UsageErrors) {
  EXPECT_EQ(Cli({"download"}).exitStatus, 2);
  EXPECT_EQ(Cli({"download", "--port", "/dev/null", "--com", "2"}).exitStatus, 2);
  EXPECT_EQ(Cli({"download", "--com", "0"}).exitStatus, 2);
  EXPECT_EQ(Cli({"download", "--port", "/dev/null", "extra"}).exitStatus, 2);
  EXPECT_EQ(Cli({"watch", "--port", "/dev/null", "--yes", "1"}).exitStatus, 2);
  EXPECT_EQ(Cli({"download", "--port", "/dev/null", "--port", "/dev/zero"}).exitStatus, 2);
  EXPECT_EQ(Cli({"download", "--com", "1", "--rate", "9600"}).exitStatus, 2);
  EXPECT_EQ(Cli({"download", "--com", "1", "--also-kml"}).exitStatus, 2);
  // Two stations never share a port, whatever it is called.
  ProgramRun twice = Cli({"watch", "--com", "3", "--port", "/dev/null", "--com", "3"});
  EXPECT_EQ(twice.exitStatus, 2);
  EXPECT_NE(twice.err.find("COM3 is given twice"), std::string::npos) << twice.err;
  twice = Cli({"watch", "--port", "/dev/null", "--port", "/dev/../dev/null"});
  EXPECT_NE(twice.err.find("/dev/null and /dev/../dev/null are the same port"), std::string::npos) << twice.err;
  const ProgramRun run = Cli({"download"});
  EXPECT_NE(run.err.find("Usage: orvald-cli download (--port DEVICE | --com N)"), std::string::npos) << run.err;
  EXPECT_EQ(Cli({"download", "--port", "/dev/null", "--auto"}).exitStatus, 2);
  EXPECT_EQ(Cli({"watch", "--auto", "/tmp"}).exitStatus, 2) << "the folder goes with =";
}

// watch --auto over a folder of links to simulators' terminals, as udev
// keeps /dev/serial/by-path.
TEST(CliWatchAuto, LinksAreStationsWhileTheyLastAndOneDeviceIsOneStation) {
  TempDir work, dir, links;
  SimProcess a({"--pace", "--serial", "QA1", "--expect-g00", work / "a.G00", "--transcript", work / "a.txt"});
  SimProcess b({"--serial", "QB2", "--expect-g00", work / "b.G00"});
  SimProcess c({"--serial", "QC3"});
  ASSERT_TRUE(a.started() && b.started() && c.started());
  Background cli({"watch", "--port", c.ptyPath(), "--auto=" + links.path(), "--dir", dir.path()});
  for (const auto& [name, sim] : std::vector<std::pair<std::string, SimProcess*>>{
           {"usb-0:1.1:1.0", &a}, {"usb-0:1.2:1.0", &b}, {"by-id-b", &b}, {"usb-0:1.4:1.0", &c}}) {
    ASSERT_EQ(symlink(sim->ptyPath().c_str(), (links / name).c_str()), 0);
  }
  // A few pieces in (the header is not all a file holds).
  ASSERT_TRUE(WaitFor([&] { return LinesWith(Slurp(work / "a.txt"), "cmd=read-memory").size() > 45; }, 10000))
      << cli.err();
  // Pulled while its download runs: what arrived is kept, marked incomplete.
  ASSERT_EQ(unlink((links / "usb-0:1.1:1.0").c_str()), 0);
  ASSERT_TRUE(WaitFor([&] { return LinesWith(cli.out(), "file\t").size() == 3; }, 60000)) << cli.err();
  cli.Signal(SIGTERM);
  EXPECT_EQ(cli.Wait(10000), 0) << cli.err();

  const std::string err = cli.err();
  const std::string aDevice = a.ptyPath().substr(5);
  EXPECT_EQ(LinesWith(err, aDevice + " (usb-0:1.1:1.0) plugged in").size(), 1u) << err;
  EXPECT_EQ(LinesWith(err, aDevice + " (usb-0:1.1:1.0) unplugged").size(), 1u) << err;
  EXPECT_EQ(LinesWith(err, "(usb-0:1.4:1.0) plugged in; " + c.ptyPath() + " serves it already").size(), 1u) << err;
  EXPECT_EQ(LinesWith(err, "serves it already").size(), 2u) << "one of b's two links; c's" << err;
  const std::vector<std::string> files = LinesWith(cli.out(), "file\t");
  std::set<std::string> serials;
  for (const std::string& line : files) {
    const std::string path = line.substr(5);
    const std::string serial = path.substr(path.rfind('/') + 1, 3);
    serials.insert(serial);
    if (serial == "QA1") {
      EXPECT_NE(path.find("-incomplete.G00"), std::string::npos) << path;
      const std::string kept = Slurp(path);
      EXPECT_GT(kept.size(), 32u);
      EXPECT_EQ(Slurp(work / "a.G00").compare(0, kept.size(), kept), 0) << "a prefix of the logger's memory";
    } else if (serial == "QB2") {
      EXPECT_EQ(Slurp(path), Slurp(work / "b.G00"));
    }
  }
  EXPECT_EQ(serials, (std::set<std::string>{"QA1", "QB2", "QC3"})) << cli.out();
}

TEST(CliWatchAuto, ABurstOfEightAdaptersIsDownloadedOnceEach) {
  TempDir work, dir, links;
  std::vector<std::unique_ptr<SimProcess>> sims;
  for (int i = 0; i < 9; ++i) {
    const std::string serial = "QN" + std::to_string(i);
    sims.push_back(std::make_unique<SimProcess>(
        std::vector<std::string>{"--serial", serial, "--expect-g00", work / (serial + ".G00")}));
    ASSERT_TRUE(sims.back()->started()) << sims.back()->error();
  }
  Background cli({"watch", "--auto=" + links.path(), "--dir", dir.path()});
  // One first, so the eight come while the folder is watched.
  ASSERT_EQ(symlink(sims[0]->ptyPath().c_str(), (links / "usb-0:1:1.0").c_str()), 0);
  ASSERT_TRUE(WaitFor([&] { return cli.err().find("plugged in") != std::string::npos; }, 10000)) << cli.err();
  for (int i = 1; i < 9; ++i) {
    ASSERT_EQ(symlink(sims[i]->ptyPath().c_str(), (links / ("usb-0:2." + std::to_string(i) + ":1.0")).c_str()), 0);
  }
  ASSERT_TRUE(WaitFor([&] { return LinesWith(cli.out(), "file\t").size() >= 9; }, 60000)) << cli.err();
  cli.Signal(SIGINT);
  EXPECT_EQ(cli.Wait(10000), 0) << cli.err();

  EXPECT_EQ(LinesWith(cli.err(), "plugged in").size(), 9u) << cli.err();
  std::set<std::string> serials;
  for (const std::string& line : LinesWith(cli.out(), "file\t")) {
    const std::string path = line.substr(5);
    const std::string serial = path.substr(path.rfind('/') + 1, 3);
    EXPECT_TRUE(serials.insert(serial).second) << serial << " twice";
    EXPECT_EQ(Slurp(path), Slurp(work / (serial + ".G00"))) << path;
  }
  EXPECT_EQ(serials.size(), 9u);
}

}  // namespace
}  // namespace orvald
