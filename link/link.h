#pragma once
// Everything an exchange needs that outlives it: the serial channel, the USB
// adapter backend, the chosen port and line rate, how to wait and how to tell
// the time, and an optional observer of every exchange. The application (or
// the command-line tool) owns exactly one.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/comm_class.h"
#include "link/port_names.h"
#include "link/usb_adapter.h"
#include "link/waiter.h"

namespace orvald {

// Milliseconds on a clock that never jumps.
using MillisecondClock = std::function<int64_t()>;
int64_t SteadyMilliseconds();

// One exchange as it went over the line, for a hex log.
struct ExchangeRecord {
  std::vector<uint8_t> request;   // the whole frame sent
  std::vector<uint8_t> received;  // every byte that arrived, those dropped included
  size_t receivedCount = 0;       // their number
  bool viaUsbAdapter = false;
  uint32_t lineRate = 0;          // the rate the line really ran at (0: unknown)
  int64_t sentAtMs = 0;           // link clock when the request had left
  int64_t elapsedMs = 0;          // from then until the reply was complete or the wait gave up
  int result = 0;                 // what the exchange returned
};
using TranscriptHook = std::function<void(const ExchangeRecord&)>;

// "COM2 (/dev/ttyUSB1): no such device" and the like, for an open that
// failed with `error`; an empty port name leaves the path alone.
std::string PortProblemText(const std::string& portName, const std::string& devicePath, int error);

// The system's adapter lookup, on the real /sys and /dev.
std::unique_ptr<UsbAdapterBackend> MakeSystemUsbAdapter();

class Link {
 public:
  // Without an adapter backend only the serial port is used.
  explicit Link(std::unique_ptr<UsbAdapterBackend> usbAdapter = MakeSystemUsbAdapter());
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  CommClass comm;
  std::unique_ptr<UsbAdapterBackend> usbAdapter;
  uint8_t portNo = 0;        // 0 until a port has been chosen
  uint32_t baudRate = 9600;  // the serial line rate the commands asked for
  MillisecondClock clock = SteadyMilliseconds;
  TranscriptHook transcript;

  void SetPortResolver(PortResolver resolver) { comm.SetPortResolver(std::move(resolver)); }
  // The waiter must outlive the link or be replaced before it goes.
  void SetWaiter(Waiter& waiter) { this->waiter = &waiter; }
  Waiter& CurrentWaiter() { return *waiter; }
  // The serial port to use from the next exchange on (the one running, if
  // any, finishes on the old one).
  void ChoosePort(uint8_t number) {
    portNo = number;
    portChosen_ = true;
  }

  // True while an exchange waits for its reply.
  bool Exchanging() const { return exchanging; }

  // Whether a reply to an earlier request may still be on its way. Replies
  // that carry no address (memory reads) may only be taken while it is false.
  bool repliesInDoubt() const { return repliesInDoubt_; }
  void MarkRepliesInDoubt() { repliesInDoubt_ = true; }
  void MarkRepliesInOrder() { repliesInDoubt_ = false; }
  // A fresh number for each request that puts the replies back in order.
  uint32_t NextMarker() { return marker_++; }

  // Asked during long waits (putting the replies back in order); true ends
  // them early. The download session points it at its abort flag.
  std::function<bool()> cancelRequested;

  // Why the serial port could not be opened at the last try, as
  // "COM2 (/dev/ttyUSB1): no such device"; empty when it could (or the USB
  // adapter carried the line). A port named by its device path alone (the
  // command line's --port) is shown by its path.
  std::string PortProblem() const;
  void SetPortNamedByPath(bool byPath) { portNamedByPath_ = byPath; }

 private:
  friend class LineUse;
  PollWaiter pollWaiter;
  Waiter* waiter = &pollWaiter;
  bool exchanging = false;
  bool repliesInDoubt_ = false;
  uint32_t marker_ = 0;
  bool portNamedByPath_ = false;
  bool portChosen_ = false;
};

}  // namespace orvald
