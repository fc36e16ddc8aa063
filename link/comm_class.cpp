#include "link/comm_class.h"

#include <fcntl.h>

#include <algorithm>
#include <cstring>

#include "link/tty_port.h"

namespace orvald {

CommClass::CommClass(uint8_t portNumber, PortResolver resolver)
    : portNumber_(portNumber), receiveBuffer_(new uint8_t[kBufferSize]), resolver_(std::move(resolver)) {}

CommClass::~CommClass() { Close(); }

void CommClass::Open(uint8_t portNumber) {
  portNumber_ = portNumber;
  if (handle_ >= 0) Close();

  devicePath_ = resolver_ ? resolver_(PortName(portNumber)) : std::string();
  handle_ = tty::OpenExclusive(devicePath_, openError_);
  if (handle_ < 0) {
    status_ = kCommOpenFailed;
    return;
  }
  status_ = kCommOk;
  Refresh();
  SetLineDefaults();
  // Opening a terminal raises DTR and RTS; the loggers expect them held off.
  tty::DropModemLines(handle_);
}

void CommClass::Close() {
  if (handle_ < 0) return;
  tty::CloseExclusive(handle_);
  handle_ = -1;
}

bool CommClass::Refresh() {
  if (status_ != kCommOk) return false;
  if (tty::HungUp(handle_)) {
    status_ = kCommHungUp;
    return false;
  }
  if (::tcgetattr(handle_, &lineSettings_) != 0) {
    status_ = kCommSettingsReadFailed;
    return false;
  }
  if (::fcntl(handle_, F_GETFL) < 0) {
    status_ = kCommModeReadFailed;
    return false;
  }
  const long waiting = tty::BytesWaiting(handle_);
  if (waiting < 0) {
    status_ = kCommQueueCountFailed;  // shows at the next check
  } else {
    inputQueueCount_ = waiting;
  }
  return true;
}

bool CommClass::SetBaudRate(uint32_t bitsPerSecond) {
  auto speed = tty::SpeedFor(bitsPerSecond);
  if (!speed) {
    // The driver would refuse the setting; the port is then treated as failed.
    if (IsOk()) status_ = kCommSettingsWriteFailed;
    return false;
  }
  ::cfsetispeed(&lineSettings_, *speed);
  ::cfsetospeed(&lineSettings_, *speed);
  return ApplySettings();
}

bool CommClass::ApplySettings() {
  if (!IsOk()) return false;
  if (::tcsetattr(handle_, TCSANOW, &lineSettings_) != 0) {
    status_ = kCommSettingsWriteFailed;
    return false;
  }
  return true;
}

bool CommClass::SetLineDefaults() {
  // Keep the rate the port reported; everything else becomes the plain raw
  // 8-N-1 line without flow control.
  tty::MakeRawEightNOne(lineSettings_);
  return ApplySettings();
}

void CommClass::Write(const uint8_t* bytes, uint32_t count) {
  if (handle_ < 0 || !tty::WriteAll(handle_, bytes, count)) status_ = kCommWriteFailed;
}

uint32_t CommClass::Read(uint32_t count) {
  if (handle_ < 0) {
    status_ = kCommReadFailed;
    return 0;
  }
  const long got = tty::ReadWaiting(handle_, receiveBuffer_.get(), std::min(count, kBufferSize));
  if (got < 0) {
    status_ = kCommReadFailed;
    return 0;
  }
  return static_cast<uint32_t>(got);
}

bool CommClass::WriteAll(const uint8_t* bytes, size_t count) {
  Write(bytes, static_cast<uint32_t>(count));
  return IsOk();
}

int CommClass::UnsentMilliseconds() {
  if (handle_ < 0) return 0;
  const long unsent = tty::BytesUnsent(handle_);
  if (unsent <= 0) return 0;
  const uint32_t rate = LineRate();
  if (rate == 0) return 0;
  // Ten bits a byte on an 8-N-1 line, rounded up.
  return static_cast<int>((unsent * 10 * 1000 + rate - 1) / rate);
}

uint32_t CommClass::LineRate() {
  termios now{};
  if (handle_ < 0 || ::tcgetattr(handle_, &now) != 0) return 0;
  return tty::RateOf(now);
}

long CommClass::BytesWaiting() {
  if (status_ != kCommOk) return -1;
  const long waiting = tty::BytesWaiting(handle_);
  if (waiting < 0) {
    status_ = kCommQueueCountFailed;
    return -1;
  }
  inputQueueCount_ = waiting;
  return InQueue();
}

size_t CommClass::ReadInto(uint8_t* destination, size_t count) {
  const uint32_t got = Read(static_cast<uint32_t>(std::min<size_t>(count, kBufferSize)));
  std::memcpy(destination, receiveBuffer_.get(), got);
  return got;
}

}  // namespace orvald
