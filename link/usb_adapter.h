#pragma once
// The USB serial adapter that some loggers hang off. It is found by its
// product string, opened at the start of every exchange and closed at its end,
// so plugging it in or out takes effect at the next exchange. While it is
// plugged in it carries every exchange at 115200 bit/s and the serial port is
// left alone.

#include <cstdint>

#include "link/channel.h"

namespace orvald {

inline constexpr char kUsbAdapterProduct[] = "PikketUSB";
inline constexpr uint32_t kUsbAdapterRate = 115200;

// The adapter's calls: open by product string, then the channel's set rate,
// write, bytes waiting (queue status), read and close.
class UsbAdapterBackend : public Channel {
 public:
  // False when no adapter is plugged in (not an error: the serial port is used).
  virtual bool Open() = 0;
  uint32_t LineRate() override { return kUsbAdapterRate; }
};

// An open adapter, or null.
using UsbAdapterHandle = UsbAdapterBackend*;

// Opens the adapter when one is present; null when none is (or no backend).
UsbAdapterHandle OpenUsbAdapter(UsbAdapterBackend* backend);
// Closes an open adapter; nothing for null.
void CloseUsbAdapter(UsbAdapterHandle handle);

}  // namespace orvald
