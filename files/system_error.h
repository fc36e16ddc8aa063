#pragma once
// A failure as the system reported it, kept as the one status the core
// passes up: the error number (an errno value, or kNotRegularFile) and the
// path it was about. Whoever tells the operator turns it into words.

#include <string>

namespace orvald {

// "That is not a regular file" (a device, a FIFO): no errno says it.
inline constexpr int kNotRegularFile = -1;

struct SystemError {
  int number = 0;    // 0: nothing failed
  std::string path;  // what it was about, as given

  bool failed() const { return number != 0; }
  // The system's words for the number ("No such file or directory").
  std::string Reason() const;
  // "<path>: <reason>".
  std::string Text() const { return path + ": " + Reason(); }
};

}  // namespace orvald
