#include "link/link.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include "link/sysfs_usb_adapter.h"

namespace orvald {

int64_t SteadyMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::unique_ptr<UsbAdapterBackend> MakeSystemUsbAdapter() { return std::make_unique<SysfsUsbAdapter>(); }

Link::Link(std::unique_ptr<UsbAdapterBackend> usbAdapter) : usbAdapter_(std::move(usbAdapter)) { LendSleep(); }

void Link::SetCancellation(Cancellation* cancel) {
  // The one given back must not keep sleeping on this link's waiter.
  cancel_->SleepWith(nullptr, {});
  cancel_ = cancel != nullptr ? cancel : &idle_;
  LendSleep();
}

void Link::ChoosePort(uint8_t number) {
  portNo_ = number;
  portChosen_ = true;
}

void Link::SetLineRate(uint32_t bitsPerSecond) {
  lineRate_ = bitsPerSecond;
  if (comm_.Refresh()) comm_.SetBaudRate(bitsPerSecond);
}

Channel& Link::ChannelFor(UsbAdapterHandle adapter) {
  if (adapter != nullptr) {
    adapter->SetRate(kUsbAdapterRate);
    return *adapter;
  }
  if (portChosen_) {
    // The operator chose another port: the one held so far is let go.
    portChosen_ = false;
    if (comm_.PortNumber() != portNo_) comm_.Close();
  }
  if (!comm_.Refresh()) {
    comm_.Open(portNo_);
    if (comm_.IsOpen()) ++serialOpens_;
    comm_.SetBaudRate(lineRate_);
  }
  return comm_;
}

void Link::Unplug() {
  comm_.SetPortResolver([](const std::string&) { return std::string(); });
  comm_.Close();
  usbAdapter_.reset();
}

bool Link::UsbAdapterPresent() {
  UsbAdapterHandle adapter = OpenUsbAdapter(usbAdapter_.get());
  CloseUsbAdapter(adapter);
  return adapter != nullptr;
}

std::string PortLabel(const std::string& portName, const std::string& devicePath) {
  if (portName.empty()) return devicePath;
  if (devicePath.empty()) return portName;
  return portName + " (" + devicePath + ")";
}

std::string PortProblemText(const std::string& portName, const std::string& devicePath, int error) {
  std::string reason;
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
      reason = "no such device";
      break;
    case EACCES:
    case EPERM:
      reason = "permission denied: add the user to the dialout group (or install the udev rule)";
      break;
    case EBUSY:
      reason = "in use by another program";
      break;
    case ENOTTY:
      reason = "not a serial port";
      break;
    default:
      reason = std::strerror(error);
  }
  // The port check has nothing to say about a device that is no serial port.
  const bool checkable = error != ENOTTY;
  return PortLabel(portName, devicePath) + ": " + reason + (checkable ? std::string("; ") + kPortCheckHint : "");
}

std::string Link::PortProblem() const {
  const SystemError failure = comm_.OpenError();
  if (comm_.IsOpen() || !failure.failed()) return {};
  return PortProblemText(portNamedByPath_ ? std::string() : PortName(comm_.PortNumber()), failure.path,
                         failure.number);
}

}  // namespace orvald
