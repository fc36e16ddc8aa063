#pragma once
// The serial port channel. One instance lives for the whole process; the frame
// exchange checks its health before every use and reopens it after any
// failure. Outcomes are kept as a status code, never thrown.

#include <termios.h>

#include <cstdint>
#include <memory>

#include "link/channel.h"
#include "link/port_names.h"

namespace orvald {

// Outcome of the last operation; 0 is the only good value.
enum CommStatus : uint8_t {
  kCommOk = 0,
  kCommOpenFailed = 1,
  kCommReadFailed = 2,
  kCommWriteFailed = 3,
  kCommNeverOpened = 4,
  kCommGetSettingsFailed = 5,
  kCommSetSettingsFailed = 6,
  kCommPropertiesFailed = 7,   // the device reported hang-up or error
  kCommEventMaskFailed = 8,    // no modem-event mask on this platform; unused
  kCommQueueStatusFailed = 10,
  kCommTimeoutsFailed = 11,    // the descriptor's mode could not be read
};

// The open's access and flags; on this platform the open is always read-write
// and non-blocking, so they are kept only for the record.
inline constexpr uint32_t kCommReadWrite = 0xC0000000u;
inline constexpr uint32_t kCommOverlapped = 0x40000000u;

class CommClass : public Channel {
 public:
  static constexpr uint32_t kBufferSize = 20000;

  explicit CommClass(uint8_t portNumber = 1, uint32_t desiredAccess = kCommReadWrite,
                     uint32_t fileFlags = kCommOverlapped, PortResolver resolver = DefaultPortPath);
  ~CommClass() override;
  CommClass(const CommClass&) = delete;
  CommClass& operator=(const CommClass&) = delete;

  void Open(uint8_t portNumber, uint32_t desiredAccess = kCommReadWrite, uint32_t fileFlags = kCommOverlapped);
  void Close() override;
  bool IsOk() const { return status == kCommOk; }
  bool IsOpen() const { return portHandle >= 0; }
  bool Refresh();
  bool SetBaudRate(uint32_t bitsPerSecond);
  bool ApplySettings();
  bool SetLineDefaults();
  void Write(const uint8_t* bytes, uint32_t count);
  uint32_t Read(uint32_t count);
  uint8_t* Buffer() { return receiveBuffer.get(); }
  uint16_t InQueue() const { return static_cast<uint16_t>(inputQueueCount & 0xFFFF); }

  uint8_t Status() const { return status; }
  uint8_t PortNumber() const { return portNumber; }
  // The device path of the last open ("" before the first).
  const std::string& DevicePath() const { return devicePath; }
  // Why the last open failed (an errno value), 0 when it did not.
  int OpenError() const { return openError; }
  void SetPortResolver(PortResolver resolver) { this->resolver = std::move(resolver); }

  // Channel
  bool Healthy() override { return Refresh(); }
  bool SetRate(uint32_t bitsPerSecond) override { return SetBaudRate(bitsPerSecond); }
  bool WriteAll(const uint8_t* bytes, size_t count) override;
  long BytesWaiting() override;
  size_t ReadInto(uint8_t* destination, size_t count) override;
  int WaitDescriptor() const override { return portHandle; }
  int UnsentMilliseconds() override;
  uint32_t LineRate() override;

 private:
  uint8_t parity = 0;
  uint8_t portNumber;
  uint32_t desiredAccess;
  uint32_t fileFlags;
  uint32_t bufferSize = kBufferSize;
  std::unique_ptr<uint8_t[]> receiveBuffer;
  uint8_t status = kCommNeverOpened;
  int portHandle = -1;
  termios lineSettings{};
  int descriptorFlags = 0;
  long inputQueueCount = 0;
  PortResolver resolver;
  std::string devicePath;
  int openError = 0;
};

}  // namespace orvald
