#pragma once
// Runs a program with arguments, collecting its output, error output and exit status.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern char** environ;

namespace orvald::testing {

struct ProgramRun {
  int exitStatus = -1;  // -1 when it did not exit normally
  std::string out;
  std::string err;
};

inline std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// `workingDirectory` empty: the test's own.
inline ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                             const std::string& workingDirectory = "") {
  ProgramRun run;
  char outPath[] = "/tmp/orvald-run-out-XXXXXX";
  char errPath[] = "/tmp/orvald-run-err-XXXXXX";
  const int outFd = mkstemp(outPath);
  const int errFd = mkstemp(errPath);
  if (outFd < 0 || errFd < 0) return run;

  std::vector<std::string> argvStrings;
  argvStrings.push_back(program);
  argvStrings.insert(argvStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argvStrings) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);
  if (!workingDirectory.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    pid_t waited;
    do {
      waited = waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited == pid && WIFEXITED(status)) run.exitStatus = WEXITSTATUS(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  close(outFd);
  close(errFd);
  run.out = Slurp(outPath);
  run.err = Slurp(errPath);
  unlink(outPath);
  unlink(errPath);
  return run;
}

#ifdef ORVALD_CLI
// orvald-cli, as built beside the tests.
inline ProgramRun Cli(const std::vector<std::string>& args, const std::string& workingDirectory = "") {
  return RunProgram(ORVALD_CLI, args, workingDirectory);
}
#endif

}  // namespace orvald::testing
