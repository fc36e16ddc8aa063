#pragma once
// The commands of orvald-cli. Each lives in its own cmd_<name>.cpp and is
// listed once in the table of main.cpp.

#include <string>
#include <vector>

namespace orvald::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // a one-line reason on stderr
inline constexpr int kExitUsage = 2;    // the usage on stderr

struct Command {
  const char* name;
  const char* usage;  // arguments after the command name
  // Arguments after the command name; returns the exit status.
  int (*run)(const std::vector<std::string>& args);
};

// The whole table, for dispatch and for the usage text.
const std::vector<Command>& Commands();

// Reports a usage error of one command: the reason, then that command's usage.
int UsageError(const char* commandName, const std::string& reason);
// Reports a failure: "orvald-cli: <reason>" on one line.
int Failure(const std::string& reason);

int RunDecode(const std::vector<std::string>& args);
int RunIgc(const std::vector<std::string>& args);
int RunDownload(const std::vector<std::string>& args);
int RunWatch(const std::vector<std::string>& args);
int RunErase(const std::vector<std::string>& args);
int RunPlot(const std::vector<std::string>& args);
int RunStatus(const std::vector<std::string>& args);
int RunDoctor(const std::vector<std::string>& args);
int RunVerify(const std::vector<std::string>& args);

}  // namespace orvald::cli
