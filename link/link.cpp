#include "link/link.h"

#include <chrono>

#include "link/sysfs_usb_adapter.h"

namespace orvald {

int64_t SteadyMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::unique_ptr<UsbAdapterBackend> MakeSystemUsbAdapter() { return std::make_unique<SysfsUsbAdapter>(); }

Link::Link(std::unique_ptr<UsbAdapterBackend> usbAdapter) : usbAdapter(std::move(usbAdapter)) {}

}  // namespace orvald
