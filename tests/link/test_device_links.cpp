// The adapters' links in a folder, watched with inotify on a temporary
// folder; /dev/null and /dev/zero stand in for the adapters' devices.

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>

#include "link/device_links.h"
#include "support/temp_dir.h"

namespace orvald {
namespace {

using testing::TempDir;
using Kind = DeviceLinkEvent::Kind;

TEST(DeviceLinks, SocketNamesFromByPathLinks) {
  const char* cases[][3] = {  // link, caption, the adapter of a link to /dev/ttyUSB3
      {"pci-0000:00:14.0-usb-0:1.3:1.0-port0", "USB hub port 1.3", "ttyUSB3 (usb-0:1.3:1.0)"},
      {"pci-0000:00:14.0-usbv2-0:2:1.0-port0", "USB port 2", "ttyUSB3 (usb-0:2:1.0)"},
      {"pci-0000:00:1f.0-platform-serial8250-port0", "pci-0000:00:1f.0-platform-serial8250-port0",
       "ttyUSB3 (pci-0000:00:1f.0-platform-serial8250-port0)"},
      {"hub-usb-3", "hub-usb-3", "ttyUSB3 (hub-usb-3)"},
  };
  for (const auto& [link, caption, adapter] : cases) {
    EXPECT_EQ(SocketCaption(link), caption) << link;
    EXPECT_EQ(AdapterText({.name = link, .path = "", .device = "/dev/ttyUSB3"}), adapter) << link;
  }
}

// "name>device" of the events of `kind`, gathered until some come (or a generous deadline).
std::set<std::string> Next(DeviceLinkWatcher& watcher, Kind kind, size_t atLeast = 1) {
  std::set<std::string> names;
  pollfd p{watcher.fd(), POLLIN, 0};
  while (names.size() < atLeast && ::poll(&p, 1, 10000) > 0) {
    for (const auto& event : watcher.TakeEvents()) {
      if (event.kind == kind) names.insert(event.link.name + ">" + event.link.device);
    }
  }
  return names;
}

TEST(DeviceLinks, LinksAppearGoAndAreRetargeted) {
  TempDir dir;
  ASSERT_EQ(::symlink("/dev/null", (dir / "already").c_str()), 0);
  ASSERT_EQ(::symlink("/nowhere", (dir / "dangling").c_str()), 0);
  dir.Write("plain-file", "not a device");
  DeviceLinkWatcher watcher(dir.path() + "/");
  std::string error;
  ASSERT_TRUE(watcher.Start(error)) << error;
  const std::vector<DeviceLinkEvent> first = watcher.TakeEvents();
  ASSERT_EQ(first.size(), 1u) << "only a link to a device counts";
  EXPECT_EQ(first[0].link.path, dir / "already");
  EXPECT_EQ(first[0].link.device, "/dev/null");

  // A burst: all eight are told, however the notices were grouped.
  std::set<std::string> expected;
  for (int i = 1; i <= 8; ++i) {
    const std::string name = "usb-0:1." + std::to_string(i) + ":1.0";
    ASSERT_EQ(::symlink("/dev/zero", (dir / name).c_str()), 0);
    expected.insert(name + ">/dev/zero");
  }
  EXPECT_EQ(Next(watcher, Kind::kAppeared, 8), expected);

  // Retargeted as udev does it, a new link renamed over the old one; then one goes.
  ASSERT_EQ(::symlink("/dev/zero", (dir / "tmp").c_str()), 0);
  ASSERT_EQ(::rename((dir / "tmp").c_str(), (dir / "already").c_str()), 0);
  ASSERT_EQ(::unlink((dir / "usb-0:1.3:1.0").c_str()), 0);
  EXPECT_EQ(Next(watcher, Kind::kGone, 2), (std::set<std::string>{"already>/dev/null", "usb-0:1.3:1.0>/dev/zero"}));
  EXPECT_TRUE(watcher.TakeEvents().empty()) << "nothing told twice";
  pollfd p{watcher.fd(), POLLIN, 0};
  EXPECT_EQ(::poll(&p, 1, 0), 0) << "woken by nothing: a watcher that wakes itself spins";
}

TEST(DeviceLinks, AFolderThatComesAndGoesWithItsAdapters) {
  TempDir root;
  const std::string folder = root / "serial/by-path";
  DeviceLinkWatcher watcher(folder);
  std::string error;
  ASSERT_TRUE(watcher.Start(error)) << error;
  EXPECT_TRUE(watcher.TakeEvents().empty());

  // The first adapter: both folders made, then its link; the last goes with
  // the folder; then one comes back.
  ASSERT_EQ(::mkdir((root / "serial").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  ASSERT_EQ(::symlink("/dev/null", (folder + "/usb-0:2:1.0").c_str()), 0);
  EXPECT_EQ(Next(watcher, Kind::kAppeared), std::set<std::string>{"usb-0:2:1.0>/dev/null"});
  ASSERT_EQ(::unlink((folder + "/usb-0:2:1.0").c_str()), 0);
  ASSERT_EQ(::rmdir(folder.c_str()), 0);
  EXPECT_EQ(Next(watcher, Kind::kGone), std::set<std::string>{"usb-0:2:1.0>/dev/null"});
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  ASSERT_EQ(::symlink("/dev/zero", (folder + "/usb-0:3:1.0").c_str()), 0);
  EXPECT_EQ(Next(watcher, Kind::kAppeared), std::set<std::string>{"usb-0:3:1.0>/dev/zero"});
  watcher.TakeEvents();
  pollfd p{watcher.fd(), POLLIN, 0};
  EXPECT_EQ(::poll(&p, 1, 0), 0) << "woken by nothing";
}

}  // namespace
}  // namespace orvald
