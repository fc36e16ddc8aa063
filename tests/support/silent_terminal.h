#pragma once
// A pseudo-terminal held open with nothing answering on it: a port with no
// logger. (A stopped simulator's terminal vanishes, which is a port that
// cannot be opened at all, not the same thing.)

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

namespace orvald::testing {

class SilentTerminal {
 public:
  SilentTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) path_ = ptsname(master_);
  }
  ~SilentTerminal() {
    if (master_ >= 0) close(master_);
  }
  SilentTerminal(const SilentTerminal&) = delete;
  SilentTerminal& operator=(const SilentTerminal&) = delete;

  // Empty when no terminal could be made.
  const std::string& path() const { return path_; }

 private:
  int master_ = -1;
  std::string path_;
};

}  // namespace orvald::testing
