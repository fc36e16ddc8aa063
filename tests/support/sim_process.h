#pragma once
// Runs orvald-sim as a child process for a test: a logger on a pseudo-terminal.
//
//   orvald::test::SimProcess sim({"--serial", "ABC12", "--fault", "drop=@2"});
//   ASSERT_TRUE(sim.started()) << sim.error();
//   int fd = open(sim.ptyPath().c_str(), O_RDWR | O_NOCTTY);   // talk to the logger
//   ...                                                        // destructor stops it
//
// API
//   SimProcess(args)            starts ORVALD_SIM_PATH with args and waits (up to
//                               5 s) for the terminal path on its first stdout line
//   SimProcess(binary, args)    the same with an explicit program path
//   started(), error()          whether the path arrived; why not
//   ptyPath()                   the terminal to open (the --link path if given)
//   pid()                       the child's process id
//   WaitForExit(ms)             waits for the child to end by itself (e.g. after
//                               --hangup-after); its exit status, or -1 on time-out
//   Stop()                      SIGTERM, then SIGKILL after 2 s; reaps; idempotent
//
// Test areas that use it add the program path and the build order:
//   target_compile_definitions(orvald-tests-<area> PRIVATE ORVALD_SIM_PATH="$<TARGET_FILE:orvald-sim>")
//   add_dependencies(orvald-tests-<area> orvald-sim)
// The child dies with the test program (PR_SET_PDEATHSIG on Linux; the simulator
// also exits when its parent goes away), so a crashed test leaves no simulator.
// Its stderr goes to the test's stderr.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace orvald::test {

class SimProcess {
 public:
#ifdef ORVALD_SIM_PATH
  explicit SimProcess(const std::vector<std::string>& args = {}) : SimProcess(ORVALD_SIM_PATH, args) {}
#endif

  SimProcess(const std::string& binary, const std::vector<std::string>& args) { Start(binary, args); }

  ~SimProcess() { Stop(); }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  bool started() const { return !ptyPath_.empty(); }
  const std::string& ptyPath() const { return ptyPath_; }
  const std::string& error() const { return error_; }
  pid_t pid() const { return pid_; }

  int WaitForExit(int timeoutMs) {
    if (pid_ <= 0) return exitStatus_;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        CloseOutput();
        return exitStatus_;
      }
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
      if (left <= 0) return -1;
      if (output_ >= 0) {
        // The child's stdout closes when it ends: wait on that.
        pollfd p{output_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) > 0) {
          char sink[256];
          if (read(output_, sink, sizeof sink) <= 0) CloseOutput();
        }
      } else {
        // Between the pipe closing and the child becoming reapable.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
  }

  void Stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      if (WaitForExit(2000) < 0 && pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
      }
    }
    CloseOutput();
  }

 private:
  void Start(const std::string& binary, const std::vector<std::string>& args) {
    int out[2];
    if (pipe(out) != 0) {
      error_ = "pipe failed";
      return;
    }
    // Everything the child needs is built before fork: after fork in a
    // threaded test program only async-signal-safe calls are allowed.
    std::vector<std::string> words;
    words.push_back(binary);
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    const pid_t parent = getpid();

    pid_ = fork();
    if (pid_ < 0) {
      error_ = "fork failed";
      close(out[0]);
      close(out[1]);
      return;
    }
    if (pid_ == 0) {
#ifdef __linux__
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      if (getppid() != parent) _exit(127);
#endif
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    output_ = out[0];
    ReadFirstLine(5000);
  }

  void ReadFirstLine(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string line;
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
      if (left <= 0) {
        error_ = "orvald-sim did not print its terminal within " + std::to_string(timeoutMs) + " ms";
        return;
      }
      pollfd p{output_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      char c;
      const ssize_t n = read(output_, &c, 1);
      if (n <= 0) {
        error_ = "orvald-sim ended before printing its terminal (bad arguments?)";
        return;
      }
      if (c == '\n') break;
      line += c;
    }
    ptyPath_ = line;
  }

  void CloseOutput() {
    if (output_ >= 0) close(output_);
    output_ = -1;
  }

  pid_t pid_ = -1;
  int output_ = -1;
  int exitStatus_ = -1;
  std::string ptyPath_;
  std::string error_;
};

}  // namespace orvald::test
