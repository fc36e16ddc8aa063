// Finding the USB adapter when none is plugged in: every exchange asks, so
// the lookup must stay far below the exchange itself.
// Target: at most 50 microseconds per lookup on average.
//
//   orvald-bench-link --benchmark_filter=NoAdapter

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "link/sysfs_usb_adapter.h"
#include "link/usb_adapter.h"

namespace {

namespace fs = std::filesystem;

// A tree the size of a desktop's: 64 virtual consoles, 32 built-in serial
// ports and one USB serial cable of another make.
class BusyTree {
 public:
  BusyTree() {
    char pattern[] = "/tmp/orvald-bench-sysfs-XXXXXX";
    root = ::mkdtemp(pattern);
    fs::create_directories(root + "/sys/class/tty");
    fs::create_directories(root + "/dev");
    for (int i = 0; i < 64; ++i) fs::create_directories(root + "/sys/class/tty/tty" + std::to_string(i));
    fs::create_directories(root + "/sys/devices/platform/serial8250");
    for (int i = 0; i < 32; ++i) {
      std::string name = "ttyS" + std::to_string(i);
      fs::create_directories(root + "/sys/class/tty/" + name);
      fs::create_directory_symlink(root + "/sys/devices/platform/serial8250", root + "/sys/class/tty/" + name + "/device");
      std::ofstream(root + "/dev/" + name);
    }
    fs::create_directories(root + "/sys/devices/usb1/1-1/1-1:1.0/ttyUSB0");
    std::ofstream(root + "/sys/devices/usb1/1-1/product") << "FT232R USB UART\n";
    fs::create_directories(root + "/sys/class/tty/ttyUSB0");
    fs::create_directory_symlink(root + "/sys/devices/usb1/1-1/1-1:1.0/ttyUSB0", root + "/sys/class/tty/ttyUSB0/device");
    std::ofstream(root + "/dev/ttyUSB0");
  }
  ~BusyTree() { fs::remove_all(root); }
  std::string root;
};

void BM_NoAdapterLookupOnThisSystem(benchmark::State& state) {
  orvald::SysfsUsbAdapter usb;  // the real /sys and /dev
  for (auto _ : state) benchmark::DoNotOptimize(orvald::OpenUsbAdapter(&usb));
}
BENCHMARK(BM_NoAdapterLookupOnThisSystem);

void BM_NoAdapterLookupBusyTree(benchmark::State& state) {
  BusyTree tree;
  orvald::SysfsUsbAdapter usb(tree.root + "/sys", tree.root + "/dev");
  for (auto _ : state) benchmark::DoNotOptimize(orvald::OpenUsbAdapter(&usb));
}
BENCHMARK(BM_NoAdapterLookupBusyTree);

// For comparison: what every lookup would cost without the cached scan.
void BM_FullScanBusyTree(benchmark::State& state) {
  BusyTree tree;
  for (auto _ : state) {
    orvald::SysfsUsbAdapter usb(tree.root + "/sys", tree.root + "/dev");
    benchmark::DoNotOptimize(usb.FindDevicePath());
  }
}
BENCHMARK(BM_FullScanBusyTree);

}  // namespace

BENCHMARK_MAIN();
