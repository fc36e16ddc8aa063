#pragma once
// The serial port channel. One instance lives for the whole process; the frame
// exchange checks its health before every use and reopens it after any
// failure. Outcomes are kept as a status code, never thrown.

#include <termios.h>

#include <cstdint>
#include <string>

#include "files/system_error.h"
#include "link/channel.h"
#include "link/port_names.h"

namespace orvald {

class CommClass : public Channel {
 public:
  explicit CommClass(uint8_t portNumber = 1, PortResolver resolver = DefaultPortPath);
  ~CommClass() override;
  CommClass(const CommClass&) = delete;
  CommClass& operator=(const CommClass&) = delete;

  // Opens COMn exclusively (on this platform: read-write, non-blocking, raw
  // 8-N-1, no flow control, DTR and RTS off). The rate is set separately.
  void Open(uint8_t portNumber);
  void Close() override;
  bool IsOpen() const { return handle_ >= 0; }
  // The health check: false once anything failed or the device went away.
  bool Refresh();
  bool SetBaudRate(uint32_t bitsPerSecond);

  uint8_t PortNumber() const { return portNumber_; }
  // Why the last open failed, on which device; no failure when it did not.
  SystemError OpenError() const { return SystemError{openError_, devicePath_}; }
  void SetPortResolver(PortResolver resolver) { resolver_ = std::move(resolver); }

  // Channel
  bool Healthy() override { return Refresh(); }
  bool SetRate(uint32_t bitsPerSecond) override { return SetBaudRate(bitsPerSecond); }
  bool WriteAll(const uint8_t* bytes, size_t count) override;
  long BytesWaiting() override;
  size_t ReadInto(uint8_t* destination, size_t count) override;
  int WaitDescriptor() const override { return handle_; }
  int UnsentMilliseconds() override;
  uint32_t LineRate() override;
  // kIoError with the errno of the call that failed (an open that failed
  // included), kHangUp once the device went away; kOk before the first open.
  ChannelFault Fault() const override;

 private:
  // Outcome of the last operation; 0 is the only good value. The numbers
  // are the serial channel's classic ones; the names say what failed here.
  enum Status : uint8_t {
    kOk = 0,
    kOpenFailed = 1,          // no such device, no permission, held elsewhere, not a terminal
    kReadFailed = 2,          // read(2) failed
    kWriteFailed = 3,         // write(2) failed, or the port took nothing for too long
    kNeverOpened = 4,         // built, no open tried yet
    kSettingsReadFailed = 5,  // tcgetattr failed
    kSettingsWriteFailed = 6, // tcsetattr failed, or the rate has no terminal speed
    kHungUp = 7,              // poll(2) reported hang-up or error: the device is gone
    kQueueCountFailed = 10,   // TIOCINQ failed
    kModeReadFailed = 11,     // fcntl(F_GETFL) failed
  };
  static constexpr uint32_t kBufferSize = 20000;

  bool IsOk() const { return status_ == kOk; }
  // Records the first failure since the port was opened, with the errno
  // it came with (0: none).
  void Fail(Status status, int errorNumber);
  bool ApplySettings();
  bool SetLineDefaults();

  uint8_t portNumber_;
  uint8_t status_ = kNeverOpened;
  int errorNumber_ = 0;
  int handle_ = -1;
  termios lineSettings_{};
  PortResolver resolver_;
  std::string devicePath_;
  int openError_ = 0;
};

}  // namespace orvald
