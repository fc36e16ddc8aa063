#pragma once
// The serial port channel. One instance lives for the whole process; the frame
// exchange checks its health before every use and reopens it after any
// failure. Outcomes are kept as a status code, never thrown.

#include <termios.h>

#include <cstdint>
#include <memory>
#include <string>

#include "files/system_error.h"
#include "link/channel.h"
#include "link/port_names.h"

namespace orvald {

// Outcome of the last operation; 0 is the only good value. The numbers are
// the serial channel's classic ones; the names say what failed here.
enum CommStatus : uint8_t {
  kCommOk = 0,
  kCommOpenFailed = 1,          // no such device, no permission, held elsewhere, not a terminal
  kCommReadFailed = 2,          // read(2) failed
  kCommWriteFailed = 3,         // write(2) failed, or the port took nothing for too long
  kCommNeverOpened = 4,         // built, no open tried yet
  kCommSettingsReadFailed = 5,  // tcgetattr failed
  kCommSettingsWriteFailed = 6, // tcsetattr failed, or the rate has no terminal speed
  kCommHungUp = 7,              // poll(2) reported hang-up or error: the device is gone
  kCommQueueCountFailed = 10,   // TIOCINQ failed
  kCommModeReadFailed = 11,     // fcntl(F_GETFL) failed
};

class CommClass : public Channel {
 public:
  static constexpr uint32_t kBufferSize = 20000;

  explicit CommClass(uint8_t portNumber = 1, PortResolver resolver = DefaultPortPath);
  ~CommClass() override;
  CommClass(const CommClass&) = delete;
  CommClass& operator=(const CommClass&) = delete;

  // Opens COMn exclusively (on this platform: read-write, non-blocking, raw
  // 8-N-1, no flow control, DTR and RTS off). The rate is set separately.
  void Open(uint8_t portNumber);
  void Close() override;
  bool IsOk() const { return status_ == kCommOk; }
  bool IsOpen() const { return handle_ >= 0; }
  // The health check: false once anything failed or the device went away.
  bool Refresh();
  bool SetBaudRate(uint32_t bitsPerSecond);
  bool ApplySettings();
  bool SetLineDefaults();
  void Write(const uint8_t* bytes, uint32_t count);
  uint32_t Read(uint32_t count);
  uint8_t* Buffer() { return receiveBuffer_.get(); }
  uint16_t InQueue() const { return static_cast<uint16_t>(inputQueueCount_ & 0xFFFF); }

  uint8_t Status() const { return status_; }
  uint8_t PortNumber() const { return portNumber_; }
  // The device path of the last open ("" before the first).
  const std::string& DevicePath() const { return devicePath_; }
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

 private:
  uint8_t portNumber_;
  std::unique_ptr<uint8_t[]> receiveBuffer_;
  uint8_t status_ = kCommNeverOpened;
  int handle_ = -1;
  termios lineSettings_{};
  long inputQueueCount_ = 0;
  PortResolver resolver_;
  std::string devicePath_;
  int openError_ = 0;
};

}  // namespace orvald
