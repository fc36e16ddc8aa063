#pragma once
// The logger's command set as the download session uses it. One call is one
// command, one request and one reply; retries belong to the callers.

#include <cstdint>
#include <string>

#include "link/cancellation.h"
#include "link/channel.h"

namespace orvald {

// Where a logger listens while it waits to be found, and where every
// download leaves it.
inline constexpr uint32_t kDetectionRate = 9600;

// How one memory read ended: the bytes it brought (the count asked for, or
// 0) and, when it brought none, why, so a retry can tell a cancel or a line
// that went away from a reply that was lost or garbled.
struct MemoryRead {
  int count = 0;
  LineStatus status = LineStatus::kRefused;
};

class LoggerCommands {
 public:
  virtual ~LoggerCommands() = default;
  // 1 when a logger answered the version command (three attempts), 0 otherwise.
  virtual int ProbeLogger() = 0;
  // One probe at `rate`: 1 when a logger answered there.
  virtual int ProbeLoggerAt(uint32_t rate) = 0;
  // The rate now in force: the rate asked for, 9600 on failure, or the rate
  // unchanged when the USB adapter carries the link.
  virtual uint32_t SetLoggerRate(uint32_t rate) = 0;
  // serialText (at most 11 characters); empty without a valid reply.
  virtual std::string QueryIdentity() = 0;
  // versionText (at most 8 characters); empty without a valid reply.
  virtual std::string QueryVersion() = 0;
  // count (1..245) bytes of block `block` at `offset` into `destination`;
  // brings count with kOk on success, 0 and the cause on failure.
  virtual MemoryRead ReadLoggerMemory(uint8_t* destination, int count, int block, int offset) = 0;
  // Why the line could not be used at all (the port could not be opened),
  // for the operator; empty when it could.
  virtual std::string LineProblem() { return {}; }
  // How many times the port has been opened so far: a change means it was
  // reopened (after a hang-up), and whoever answers now may be another logger.
  virtual int LineOpens() { return 0; }
  // The line's waits sleep through `cancel`, and the long ones end early
  // once it is requested (the abort key); null: nothing ends them early.
  virtual void SetCancellation(Cancellation* /*cancel*/) {}
};

}  // namespace orvald
