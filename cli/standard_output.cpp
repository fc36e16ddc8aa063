#include "cli/standard_output.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace orvald::cli {

namespace {

std::mutex g_lock;  // watch's stations print from their own threads
bool g_lost = false;

// Under g_lock.
void Lost(int error) {
  if (g_lost) return;
  g_lost = true;
  std::fprintf(stderr, "orvald-cli: can't write the output: %s\n", std::strerror(error != 0 ? error : EIO));
}

}  // namespace

void KeepRunningWithoutReader() { std::signal(SIGPIPE, SIG_IGN); }

bool WriteOutput(const std::string& text) {
  const std::lock_guard<std::mutex> lock(g_lock);
  if (g_lost) return false;
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    Lost(errno);
    return false;
  }
  return true;
}

bool FinishOutput() {
  const std::lock_guard<std::mutex> lock(g_lock);
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) Lost(errno);
  return !g_lost;
}

}  // namespace orvald::cli
