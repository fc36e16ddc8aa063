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

#include "link/cancellation.h"
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

// "COM2 (/dev/ttyUSB1)", or whichever of the two is given.
std::string PortLabel(const std::string& portName, const std::string& devicePath);

// "COM2 (/dev/ttyUSB1): no such device; run orvald-cli doctor" and the like,
// for an open that failed with `error`; an empty port name leaves the path
// alone. Every front end shows this text, so the pointer to the port check
// is added here and nowhere else.
std::string PortProblemText(const std::string& portName, const std::string& devicePath, int error);
inline constexpr const char* kPortCheckHint = "run orvald-cli doctor";

// The system's adapter lookup, on the real /sys and /dev.
std::unique_ptr<UsbAdapterBackend> MakeSystemUsbAdapter();

class Link {
 public:
  // Without an adapter backend only the serial port is used.
  explicit Link(std::unique_ptr<UsbAdapterBackend> usbAdapter = MakeSystemUsbAdapter());
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  // ---- The serial port.
  // COMn from the next exchange on (the one running, if any, finishes on the
  // old one); 0 until a port has been chosen.
  void ChoosePort(uint8_t number);
  uint8_t portNo() const { return portNo_; }
  void SetPortResolver(PortResolver resolver) { comm_.SetPortResolver(std::move(resolver)); }
  // A port named by its device path alone (the command line's --port) is
  // shown by its path in PortProblem.
  void SetPortNamedByPath(bool byPath) { portNamedByPath_ = byPath; }
  // The rate the commands want on the serial line: applied at once while the
  // port is open and healthy, and whenever it is opened again.
  void SetLineRate(uint32_t bitsPerSecond);
  uint32_t lineRate() const { return lineRate_; }
  // The rate a reopened port gets, leaving the open one as it is (a logger
  // that did not confirm a switch: the next probe puts the line right).
  void SetRateForNextOpen(uint32_t bitsPerSecond) { lineRate_ = bitsPerSecond; }
  // Why the serial port could not be opened at the last try, as
  // "COM2 (/dev/ttyUSB1): no such device"; empty when it could (or the USB
  // adapter carried the line).
  std::string PortProblem() const;
  // The device went away for good (its link in /dev/serial/by-path is
  // gone): the port is closed and never opened again, so whatever runs on
  // it ends as it would at a pulled cable.
  void Unplug();
  // How many times the serial port has been opened: after a hang-up it is
  // opened again, and whatever is on the other end may have changed.
  int serialOpens() const { return serialOpens_; }
  // The serial channel itself, for its status.
  const CommClass& serialPort() const { return comm_; }

  // ---- The USB adapter.
  // Whether it is plugged in: opened for a look and closed again.
  bool UsbAdapterPresent();

  // ---- Waiting and time.
  // The waiter must outlive the link or be replaced before it goes.
  void SetWaiter(Waiter& waiter) {
    waiter_ = &waiter;
    LendSleep();
  }
  void SetClock(MillisecondClock clock) {
    clock_ = std::move(clock);
    LendSleep();
  }
  int64_t Now() const { return clock_(); }
  // Told of every exchange as it went over the line.
  void SetTranscript(TranscriptHook transcript) { transcript_ = std::move(transcript); }
  bool hasTranscript() const { return static_cast<bool>(transcript_); }
  // Every wait of an exchange sleeps through it, and a cancel ends the long
  // ones (putting the replies back in order) early. The download session
  // gives it its own while it downloads, and the link lends it its waiter
  // and clock meanwhile; null: the link's own, which nobody cancels.
  void SetCancellation(Cancellation* cancel);
  Cancellation& cancellation() const { return *cancel_; }

  // True while an exchange waits for its reply.
  bool Exchanging() const { return exchanging_; }

  // ---- One use of the line, as an exchange makes it.
  // The link counts as busy while one lives, so no second use starts inside it.
  class ExchangingGuard {
   public:
    explicit ExchangingGuard(Link& link) : link_(link) { link_.exchanging_ = true; }
    ~ExchangingGuard() { link_.exchanging_ = false; }
    ExchangingGuard(const ExchangingGuard&) = delete;
    ExchangingGuard& operator=(const ExchangingGuard&) = delete;

   private:
    Link& link_;
  };
  // The USB adapter, opened for one use when it is plugged in; null otherwise.
  UsbAdapterHandle OpenAdapter() { return OpenUsbAdapter(usbAdapter_.get()); }
  // The channel for one use: `adapter` at its own rate when it is open,
  // otherwise the serial port, reopened on the chosen port and rate if it
  // is not healthy.
  Channel& ChannelFor(UsbAdapterHandle adapter);
  // Hands an exchange to the transcript, when there is one.
  void Tell(const ExchangeRecord& record) const {
    if (transcript_) transcript_(record);
  }

 private:
  // Gives the cancellation in use the waiter and clock of this link.
  void LendSleep() { cancel_->SleepWith(waiter_, clock_); }

  CommClass comm_;
  std::unique_ptr<UsbAdapterBackend> usbAdapter_;
  uint8_t portNo_ = 0;
  bool portChosen_ = false;
  bool portNamedByPath_ = false;
  uint32_t lineRate_ = 9600;
  MillisecondClock clock_ = SteadyMilliseconds;
  TranscriptHook transcript_;
  PollWaiter pollWaiter_;
  Waiter* waiter_ = &pollWaiter_;
  Cancellation idle_;
  Cancellation* cancel_ = &idle_;
  bool exchanging_ = false;
  int serialOpens_ = 0;
};

}  // namespace orvald
