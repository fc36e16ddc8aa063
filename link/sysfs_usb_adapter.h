#pragma once
// The USB adapter on Linux: the terminal whose USB device reports the
// adapter's product string in sysfs. Opened exclusively and raw, like the
// serial port, at 115200 bit/s with the driver's low-latency mode, so a reply
// is not held back by the adapter's latency timer.
//
// Every exchange asks for the adapter, so finding it must be cheap when none
// is plugged in: the result of a scan is kept until the terminal class folder
// or the device folder changes.

#include <sys/stat.h>
#include <termios.h>

#include <array>
#include <string>

#include "link/usb_adapter.h"

namespace orvald {

// The nearest folder, from terminal `ttyName`'s device up towards the root of
// `sysfsRoot`, that holds a file `fileName` (the USB device holds `product`
// and `idVendor`, its interface does not); "" when none does.
std::string SysfsFolderAbove(const std::string& sysfsRoot, const std::string& ttyName, const std::string& fileName);

// The first line of a sysfs attribute without its trailing blanks; "" when
// it cannot be read.
std::string SysfsAttribute(const std::string& path);

class SysfsUsbAdapter : public UsbAdapterBackend {
 public:
  // `sysfsRoot` holds class/tty/<name>/device; `devDir` holds the <name>
  // device nodes. Both are parameters so tests can build a tree of their own.
  explicit SysfsUsbAdapter(std::string sysfsRoot = "/sys", std::string devDir = "/dev",
                           std::string product = kUsbAdapterProduct);
  ~SysfsUsbAdapter() override;
  SysfsUsbAdapter(const SysfsUsbAdapter&) = delete;
  SysfsUsbAdapter& operator=(const SysfsUsbAdapter&) = delete;

  // The device path of the adapter's terminal, or "" when none is plugged in.
  std::string FindDevicePath();

  bool Open() override;
  void Close() override;
  bool Healthy() override;
  bool SetRate(uint32_t bitsPerSecond) override;
  bool WriteAll(const uint8_t* bytes, size_t count) override;
  long BytesWaiting() override;
  size_t ReadInto(uint8_t* destination, size_t count) override;
  int WaitDescriptor() const override { return fd_; }
  // What the terminal holds, not what was asked of it.
  uint32_t LineRate() override;
  ChannelFault Fault() const override { return broken_ ? fault_ : ChannelFault{}; }

 private:
  void Broke(LineStatus status);
  struct FolderStamp {
    bool present = false;
    dev_t device = 0;
    ino_t inode = 0;
    nlink_t links = 0;
    timespec modified{};
    timespec changed{};
    bool operator==(const FolderStamp& other) const;
  };
  static FolderStamp StampOf(const std::string& folder);
  static bool RecentlyChanged(const FolderStamp& stamp);
  std::string Scan() const;
  std::string ProductOf(const std::string& ttyName) const;

  std::string sysfsRoot_;
  std::string devDir_;
  std::string product_;
  std::string ttyClassDir_;

  bool cacheValid_ = false;
  std::array<FolderStamp, 2> cachedStamps_;
  std::string cachedPath_;

  int fd_ = -1;
  bool broken_ = false;
  ChannelFault fault_;
  termios settings_{};
};

}  // namespace orvald
