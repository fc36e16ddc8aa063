#include "link/comm_class.h"

#include <fcntl.h>

#include <algorithm>
#include <cstring>

#include "link/tty_port.h"

namespace orvald {

CommClass::CommClass(uint8_t portNumber, uint32_t desiredAccess, uint32_t fileFlags, PortResolver resolver)
    : portNumber(portNumber),
      desiredAccess(desiredAccess),
      fileFlags(fileFlags),
      receiveBuffer(new uint8_t[kBufferSize]),
      resolver(std::move(resolver)) {}

CommClass::~CommClass() { Close(); }

void CommClass::Open(uint8_t portNumber, uint32_t desiredAccess, uint32_t fileFlags) {
  this->portNumber = portNumber;
  this->desiredAccess = desiredAccess;
  this->fileFlags = fileFlags;
  if (portHandle >= 0) Close();

  devicePath = resolver ? resolver(PortName(portNumber)) : std::string();
  portHandle = tty::OpenExclusive(devicePath, openError);
  if (portHandle < 0) {
    status = kCommOpenFailed;
    return;
  }
  status = kCommOk;
  Refresh();
  lineSettings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | PARENB);
  lineSettings.c_cflag |= CS8;
  if (parity != 0) lineSettings.c_cflag |= PARENB;
  SetLineDefaults();
  // Opening a terminal raises DTR and RTS; the loggers expect them held off.
  tty::DropModemLines(portHandle);
}

void CommClass::Close() {
  if (portHandle < 0) return;
  tty::CloseExclusive(portHandle);
  portHandle = -1;
}

bool CommClass::Refresh() {
  if (status != kCommOk) return false;
  if (tty::HungUp(portHandle)) {
    status = kCommPropertiesFailed;
    return false;
  }
  if (::tcgetattr(portHandle, &lineSettings) != 0) {
    status = kCommGetSettingsFailed;
    return false;
  }
  int flags = ::fcntl(portHandle, F_GETFL);
  if (flags < 0) {
    status = kCommTimeoutsFailed;
    return false;
  }
  descriptorFlags = flags;
  long waiting = tty::BytesWaiting(portHandle);
  if (waiting < 0) {
    status = kCommQueueStatusFailed;  // shows at the next check, as a failed event query would
  } else {
    inputQueueCount = waiting;
  }
  return true;
}

bool CommClass::SetBaudRate(uint32_t bitsPerSecond) {
  auto speed = tty::SpeedFor(bitsPerSecond);
  if (!speed) {
    // The driver would refuse the setting; the port is then treated as failed.
    if (IsOk()) status = kCommSetSettingsFailed;
    return false;
  }
  ::cfsetispeed(&lineSettings, *speed);
  ::cfsetospeed(&lineSettings, *speed);
  return ApplySettings();
}

bool CommClass::ApplySettings() {
  if (!IsOk()) return false;
  if (::tcsetattr(portHandle, TCSANOW, &lineSettings) != 0) {
    status = kCommSetSettingsFailed;
    return false;
  }
  return true;
}

bool CommClass::SetLineDefaults() {
  // Keep the rate the port reported; everything else becomes the plain raw line.
  tty::MakeRawEightNOne(lineSettings);
  return ApplySettings();
}

void CommClass::Write(const uint8_t* bytes, uint32_t count) {
  if (portHandle < 0 || !tty::WriteAll(portHandle, bytes, count)) status = kCommWriteFailed;
}

uint32_t CommClass::Read(uint32_t count) {
  if (portHandle < 0) {
    status = kCommReadFailed;
    return 0;
  }
  long got = tty::ReadWaiting(portHandle, receiveBuffer.get(), std::min(count, bufferSize));
  if (got < 0) {
    status = kCommReadFailed;
    return 0;
  }
  return static_cast<uint32_t>(got);
}

bool CommClass::WriteAll(const uint8_t* bytes, size_t count) {
  Write(bytes, static_cast<uint32_t>(count));
  return IsOk();
}

int CommClass::UnsentMilliseconds() {
  if (portHandle < 0) return 0;
  const long unsent = tty::BytesUnsent(portHandle);
  const uint32_t rate = LineRate();
  if (unsent <= 0 || rate == 0) return 0;
  // Ten bits a byte on an 8-N-1 line, rounded up.
  return static_cast<int>((unsent * 10 * 1000 + rate - 1) / rate);
}

uint32_t CommClass::LineRate() {
  termios now{};
  if (portHandle < 0 || ::tcgetattr(portHandle, &now) != 0) return 0;
  return tty::RateOf(now);
}

long CommClass::BytesWaiting() { return Refresh() ? InQueue() : -1; }

size_t CommClass::ReadInto(uint8_t* destination, size_t count) {
  uint32_t got = Read(static_cast<uint32_t>(std::min<size_t>(count, bufferSize)));
  std::memcpy(destination, receiveBuffer.get(), got);
  return got;
}

}  // namespace orvald
