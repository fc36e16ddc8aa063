#include "link/comm_class.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>

#include "link/tty_port.h"

namespace orvald {

CommClass::CommClass(uint8_t portNumber, PortResolver resolver)
    : portNumber_(portNumber), resolver_(std::move(resolver)) {}

CommClass::~CommClass() { Close(); }

void CommClass::Fail(Status status, int errorNumber) {
  // What fails after the first failure fails because of it.
  if (status_ != kOk && status_ != kNeverOpened) return;
  // A terminal whose device went away fails its calls with EIO before a
  // health check has looked: that is the hang-up, not a faulty port.
  if (status != kOpenFailed && handle_ >= 0 && tty::HungUp(handle_)) {
    status = kHungUp;
    errorNumber = 0;
  }
  status_ = status;
  errorNumber_ = errorNumber;
}

void CommClass::Open(uint8_t portNumber) {
  portNumber_ = portNumber;
  if (handle_ >= 0) Close();

  devicePath_ = resolver_ ? resolver_(PortName(portNumber)) : std::string();
  handle_ = tty::OpenExclusive(devicePath_, openError_);
  status_ = handle_ < 0 ? kOpenFailed : kOk;
  errorNumber_ = openError_;
  if (handle_ < 0) return;
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
  if (status_ != kOk) return false;
  if (tty::HungUp(handle_)) {
    status_ = kHungUp;
    return false;
  }
  if (::tcgetattr(handle_, &lineSettings_) != 0) {
    Fail(kSettingsReadFailed, errno);
    return false;
  }
  if (::fcntl(handle_, F_GETFL) < 0) {
    Fail(kModeReadFailed, errno);
    return false;
  }
  if (tty::BytesWaiting(handle_) < 0) Fail(kQueueCountFailed, errno);  // shows at the next check
  return true;
}

bool CommClass::SetBaudRate(uint32_t bitsPerSecond) {
  auto speed = tty::SpeedFor(bitsPerSecond);
  if (!speed) {
    // The driver would refuse the setting; the port is then treated as failed.
    if (IsOk()) Fail(kSettingsWriteFailed, EINVAL);
    return false;
  }
  ::cfsetispeed(&lineSettings_, *speed);
  ::cfsetospeed(&lineSettings_, *speed);
  return ApplySettings();
}

bool CommClass::ApplySettings() {
  if (!IsOk()) return false;
  if (::tcsetattr(handle_, TCSANOW, &lineSettings_) != 0) {
    Fail(kSettingsWriteFailed, errno);
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

bool CommClass::WriteAll(const uint8_t* bytes, size_t count) {
  if (handle_ < 0) {
    Fail(kWriteFailed, EBADF);
  } else if (!tty::WriteAll(handle_, bytes, static_cast<uint32_t>(count))) {
    Fail(kWriteFailed, errno);
  }
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
  if (status_ != kOk) return -1;
  const long waiting = tty::BytesWaiting(handle_);
  if (waiting < 0) {
    Fail(kQueueCountFailed, errno);
    return -1;
  }
  // The classic queue count is 16 bits wide.
  return waiting & 0xFFFF;
}

size_t CommClass::ReadInto(uint8_t* destination, size_t count) {
  if (handle_ < 0) {
    Fail(kReadFailed, EBADF);
    return 0;
  }
  const long got = tty::ReadWaiting(handle_, destination, std::min<size_t>(count, kBufferSize));
  if (got < 0) {
    Fail(kReadFailed, errno);
    return 0;
  }
  return static_cast<size_t>(got);
}

ChannelFault CommClass::Fault() const {
  switch (status_) {
    case kOk:
    case kNeverOpened:
      return {};
    case kHungUp:
      return {LineStatus::kHangUp, 0};
    default:
      return {LineStatus::kIoError, errorNumber_};
  }
}

}  // namespace orvald
