#pragma once
// A sysfs and /dev of a test's own, for the USB adapter lookup: USB devices
// under sys/devices, terminals under sys/class/tty whose `device` link points
// into them, and device nodes that are links to pseudo-terminals.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace orvald::testing {

class FakeSystemTree {
 public:
  FakeSystemTree() {
    char pattern[] = "/tmp/orvald-sysfs-XXXXXX";
    root = ::mkdtemp(pattern);
    std::filesystem::create_directories(sys() + "/class/tty");
    std::filesystem::create_directories(dev());
    // Terminals that are no USB adapter at all.
    std::filesystem::create_directories(sys() + "/class/tty/tty0");
    std::filesystem::create_directories(sys() + "/devices/platform/serial8250/tty/ttyS0");
    std::filesystem::create_directories(sys() + "/class/tty/ttyS0");
    std::filesystem::create_directory_symlink(sys() + "/devices/platform/serial8250", sys() + "/class/tty/ttyS0/device");
    WriteFile(sys() + "/devices/usb1/product", "xHCI Host Controller\n");
  }
  ~FakeSystemTree() { std::filesystem::remove_all(root); }

  std::string sys() const { return root + "/sys"; }
  std::string at(const std::string& relative) const { return root + "/" + relative; }
  std::string dev() const { return root + "/dev"; }

  // A USB serial device with the given product string whose terminal `name`
  // leads to `ptyPath`.
  void Plug(const std::string& name, const std::string& product, const std::string& ptyPath, int port = 1) {
    const std::string usbDevice = sys() + "/devices/usb1/1-" + std::to_string(port);
    const std::string interface = usbDevice + "/1-" + std::to_string(port) + ":1.0";
    std::filesystem::create_directories(interface + "/" + name + "/tty/" + name);
    WriteFile(usbDevice + "/product", product + "\n");
    std::filesystem::create_directories(sys() + "/class/tty/" + name);
    // Relative, as the kernel makes them.
    std::filesystem::create_directory_symlink("../../../devices/usb1/1-" + std::to_string(port) + "/1-" + std::to_string(port) +
                                     ":1.0/" + name,
                                 sys() + "/class/tty/" + name + "/device");
    std::filesystem::create_symlink(ptyPath, dev() + "/" + name);
  }
  // What sysfs shows of a plugged USB serial device beyond its product:
  // "vendor:product", the driver of its port and, for an FTDI chip, the
  // latency timer in milliseconds (none when negative).
  void Describe(const std::string& name, const std::string& ids, const std::string& driver, int latencyMs = -1,
                int port = 1) {
    const std::string usbDevice = sys() + "/devices/usb1/1-" + std::to_string(port);
    const std::string tty = usbDevice + "/1-" + std::to_string(port) + ":1.0/" + name;
    WriteFile(usbDevice + "/idVendor", ids.substr(0, ids.find(':')) + "\n");
    WriteFile(usbDevice + "/idProduct", ids.substr(ids.find(':') + 1) + "\n");
    std::filesystem::create_directories(sys() + "/bus/usb-serial/drivers/" + driver);
    std::filesystem::create_directory_symlink(sys() + "/bus/usb-serial/drivers/" + driver, tty + "/driver");
    if (latencyMs >= 0) WriteFile(tty + "/latency_timer", std::to_string(latencyMs) + "\n");
  }
  void Write(const std::string& relative, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(at(relative)).parent_path());
    WriteFile(at(relative), text);
  }
  void Unplug(const std::string& name) {
    std::filesystem::remove_all(sys() + "/class/tty/" + name);
    std::filesystem::remove(dev() + "/" + name);
  }

 private:
  static void WriteFile(const std::string& path, const std::string& text) { std::ofstream(path) << text; }
  std::string root;
};

}  // namespace orvald::testing
