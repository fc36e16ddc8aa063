#pragma once
// --port DEVICE or --com N, read the same way by every command that talks to
// a logger, and the link they lead to. `watch` may take several.

#include <memory>
#include <string>
#include <vector>

#include "cli/args.h"
#include "link/link.h"

namespace orvald::cli {

struct PortChoice {
  std::string device;  // --port; empty with --com
  int portNo = 1;      // --com

  // "COM3", or the device path: how messages name the port.
  std::string Name() const;
  // The device the port opens.
  std::string DevicePath() const;
};

// Exactly one of --port and --com. Returns an empty text, or the usage error.
std::string ReadPortChoice(const ParsedArgs& parsed, PortChoice& choice);

// One or more of --port and --com, in the order given; two that name the
// same device are refused. Returns an empty text, or the usage error.
std::string ReadPortChoices(const ParsedArgs& parsed, std::vector<PortChoice>& choices);

// A named device is the only line used, shown by its path; a port number
// also lets the USB adapter carry the exchanges when it is plugged in and
// `withUsbAdapter` (one station of several has it, never two).
std::unique_ptr<Link> MakeLink(const PortChoice& choice, bool withUsbAdapter = true);

}  // namespace orvald::cli
