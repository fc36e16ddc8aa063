#pragma once
// Everything an exchange needs that outlives it: the serial channel, the USB
// adapter backend, the chosen port and line rate, how to wait and how to tell
// the time, and an optional observer of every exchange. The application (or
// the command-line tool) owns exactly one.

#include <cstdint>
#include <functional>
#include <memory>
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
  std::vector<uint8_t> received;  // the bytes kept in the receive area
  size_t receivedCount = 0;       // every byte that arrived, kept or not
  bool viaUsbAdapter = false;
  int64_t sentAtMs = 0;           // link clock when the request was handed over
  int64_t elapsedMs = 0;          // from then until the reply was complete or the wait gave up
  int result = 0;                 // what ExchangeFrame returned
};
using TranscriptHook = std::function<void(const ExchangeRecord&)>;

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
  // True while an exchange waits for its reply.
  bool Exchanging() const { return exchanging; }

 private:
  friend int ExchangeFrame(Link& link, const uint8_t* request, uint8_t count, uint8_t* reply);
  friend void SettleLine(Link& link, int quietMs);
  PollWaiter pollWaiter;
  Waiter* waiter = &pollWaiter;
  bool exchanging = false;
};

}  // namespace orvald
