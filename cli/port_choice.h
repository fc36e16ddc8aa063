#pragma once
// --port DEVICE or --com N, read the same way by every command that talks to
// a logger, and the link they lead to.

#include <memory>
#include <string>

#include "cli/args.h"
#include "link/link.h"

namespace orvald::cli {

struct PortChoice {
  std::string device;  // --port; empty with --com
  int portNo = 1;      // --com
};

// Exactly one of --port and --com. Returns an empty text, or the usage error.
std::string ReadPortChoice(const ParsedArgs& parsed, PortChoice& choice);

// A named device is the only line used, shown by its path; a port number
// also lets the USB adapter carry the exchanges when it is plugged in.
std::unique_ptr<Link> MakeLink(const PortChoice& choice);

}  // namespace orvald::cli
