#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "link/port_diagnosis.h"
#include "link/port_diagnosis_text.h"
#include "support/fake_sysfs_tree.h"

namespace orvald {
namespace {

using testing::FakeSystemTree;
using Kinds = std::vector<FindingKind>;
namespace fs = std::filesystem;

// One USB serial adapter, ttyUSB0, whose device node belongs to this test's
// user and group with mode 0660; the desk user is that same user unless a
// case changes it.
struct DoctorBench {
  FakeSystemTree tree;
  DiagnosisSetup setup;
  std::string node = tree.at("nodes/ttyUSB0");
  DoctorBench() {
    tree.Write("nodes/ttyUSB0", "");
    ::chmod(node.c_str(), 0660);
    tree.Plug("ttyUSB0", "USB Serial", node);
    setup.places = {tree.dev(), tree.sys(), tree.at("proc"), tree.at("etc/udev"), tree.at("lib/udev"),
                    tree.at("etc/default/gpsd")};
    setup.user = {"pilot", ::getuid(), {::getgid()}, ::getgid() + 1, false, 99};
  }
  void Holds(int pid, const std::string& comm) {
    tree.Write("proc/" + std::to_string(pid) + "/comm", comm + "\n");
    fs::create_directories(tree.at("proc/" + std::to_string(pid) + "/fd"));
    fs::create_symlink(node, tree.at("proc/" + std::to_string(pid) + "/fd/5"));
  }
  PortDiagnosis Run(const std::string& device = "") {
    return DiagnosePorts({{"COM1", device.empty() ? tree.dev() + "/ttyUSB0" : device, {}}}, setup).at(0);
  }
};

Kinds KindsOf(const PortDiagnosis& d) {
  Kinds kinds;
  for (const PortFinding& f : d.findings) kinds.push_back(f.kind);
  return kinds;
}

const PortFinding* Find(const PortDiagnosis& d, FindingKind kind) {
  for (const PortFinding& f : d.findings) {
    if (f.kind == kind) return &f;
  }
  return nullptr;
}

constexpr const char* kGpsdRules =
    "# PL2303\n"
    "ATTRS{idVendor}==\"067b\", ATTRS{idProduct}==\"2303\", SYMLINK+=\"gps%n\", \\\n"
    "  TAG+=\"systemd\", ENV{SYSTEMD_WANTS}=\"gpsdctl@%k.service\"\n"
    "ATTRS{idVendor}!=\"10c4\", GOTO=\"gpsd_end\"\n";

TEST(PortDiagnosis, FindingsOfEachObstacle) {
  using K = FindingKind;
  struct Case {
    const char* what;
    std::function<void(DoctorBench&)> arrange;
    Kinds expected;
    bool clear;
  };
  const std::vector<Case> cases = {
      {"the device is missing", [](DoctorBench& b) { b.tree.Unplug("ttyUSB0"); }, {K::kMissing}, false},
      {"no permission, not in dialout, no rule",
       [](DoctorBench& b) { b.setup.user = {"guest", ::getuid() + 1, {}, ::getgid(), false, 99}; },
       {K::kNotPermitted, K::kNotInDialout, K::kRuleMissing}, false},
      {"in dialout from the next login, the rule installed",
       [](DoctorBench& b) {
         b.setup.user = {"guest", ::getuid() + 1, {}, ::getgid(), true, 99};
         b.tree.Write("lib/udev/rules.d/60-orvald-logger.rules", "SUBSYSTEM==\"tty\", MODE=\"0660\"\n");
       },
       {K::kNotPermitted, K::kDialoutNextLogin}, false},
      {"held by another process, not by this one",
       [](DoctorBench& b) {
         b.Holds(4321, "minicom");
         b.Holds(99, "orvald");
       },
       {K::kMayOpen, K::kHeld}, false},
      {"gpsd's rule with USBAUTO on",
       [](DoctorBench& b) {
         b.tree.Describe("ttyUSB0", "067b:2303", "pl2303");
         b.tree.Write("lib/udev/rules.d/60-gpsd.rules", kGpsdRules);
         b.tree.Write("etc/default/gpsd", "START_DAEMON=\"true\"\nUSBAUTO=\"true\"\n");
       },
       {K::kMayOpen, K::kGpsdClaims, K::kDriver}, false},
      {"gpsd's rule with USBAUTO off",
       [](DoctorBench& b) {
         b.tree.Describe("ttyUSB0", "067b:2303", "pl2303");
         b.tree.Write("lib/udev/rules.d/60-gpsd.rules", kGpsdRules);
         b.tree.Write("etc/default/gpsd", "USBAUTO=\"true\"\nUSBAUTO='false'  # the desk's adapters\n");
       },
       {K::kMayOpen, K::kGpsdKeptOff, K::kDriver}, true},
      {"gpsd's rules name other adapters only",
       [](DoctorBench& b) {
         b.tree.Describe("ttyUSB0", "0403:6001", "ftdi_sio", 1);
         b.tree.Write("lib/udev/rules.d/60-gpsd.rules", kGpsdRules);
         b.tree.Write("etc/default/gpsd", "USBAUTO=\"true\"\n");
       },
       {K::kMayOpen, K::kDriver, K::kLatencyHolds}, true},
      {"ModemManager's rule and brltty's, by PRODUCT",
       [](DoctorBench& b) {
         b.tree.Describe("ttyUSB0", "1a86:7523", "ch341");
         b.tree.Write("sys/devices/usb1/1-1/bcdDevice", "0264\n");
         b.tree.Write("lib/udev/rules.d/77-mm-vendor.rules",
                      "ATTRS{idVendor}==\"1A86|2341\", ENV{ID_MM_CANDIDATE}=\"1\"\n");
         b.tree.Write("lib/udev/rules.d/85-brltty.rules",
                      "ENV{PRODUCT}==\"1a86/7523/*\", ENV{BRLTTY_BRAILLE_DRIVER}=\"bm\", GOTO=\"brltty_run\"\n");
       },
       {K::kMayOpen, K::kModemManagerClaims, K::kBrlttyClaims, K::kDriver}, false},
      {"ModemManager told to ignore it, brltty's rules masked",
       [](DoctorBench& b) {
         b.tree.Describe("ttyUSB0", "1a86:7523", "ch341");
         b.tree.Write("lib/udev/rules.d/77-mm-vendor.rules", "ATTRS{idVendor}==\"1a86\", ENV{ID_MM_CANDIDATE}=\"1\"\n");
         b.tree.Write("etc/udev/rules.d/59-keep-off.rules",
                      "ATTRS{idVendor}==\"1a86\", ATTRS{idProduct}==\"7523\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"\n");
         b.tree.Write("lib/udev/rules.d/85-brltty.rules", "ENV{PRODUCT}==\"1a86/7523/*\", ENV{BRLTTY_X}=\"bm\"\n");
         b.tree.Write("etc/udev/rules.d/85-brltty.rules", "");
       },
       {K::kMayOpen, K::kModemManagerKeptOff, K::kDriver}, true},
      {"FTDI at 16 ms, the low-latency request brings it to 1",
       [](DoctorBench& b) {
         b.tree.Describe("ttyUSB0", "0403:6001", "ftdi_sio", 16);
         b.setup.requestLowLatency = [&b](const std::string&) {
           b.tree.Write("sys/devices/usb1/1-1/1-1:1.0/ttyUSB0/latency_timer", "1\n");
           return true;
         };
       },
       {K::kMayOpen, K::kDriver, K::kLatencyHolds}, true},
      {"FTDI at 16 ms, the request does not hold",
       [](DoctorBench& b) {
         b.tree.Describe("ttyUSB0", "0403:6001", "ftdi_sio", 16);
         b.setup.requestLowLatency = [](const std::string&) { return true; };
       },
       {K::kMayOpen, K::kDriver, K::kLatencyHigh}, false},
      {"FTDI at 16 ms on a held port is not asked",
       [](DoctorBench& b) {
         b.tree.Describe("ttyUSB0", "0403:6001", "ftdi_sio", 16);
         b.Holds(4321, "gpsd");
         b.setup.requestLowLatency = [](const std::string&) -> bool { throw std::logic_error("asked"); };
       },
       {K::kMayOpen, K::kHeld, K::kDriver, K::kLatencyUntested}, false},
  };
  for (const Case& c : cases) {
    DoctorBench bench;
    c.arrange(bench);
    const PortDiagnosis d = bench.Run();
    EXPECT_EQ(KindsOf(d), c.expected) << c.what;
    EXPECT_EQ(d.Clear(), c.clear) << c.what;
    EXPECT_EQ(NothingInTheWay({d}), c.clear) << c.what;
    EXPECT_EQ(DiagnosisLines({d}).size(), d.findings.size() + 1) << c.what;
  }
}

TEST(PortDiagnosis, FindingsCarryWhatTheLinesNeed) {
  DoctorBench bench;
  bench.tree.Describe("ttyUSB0", "067b:2303", "pl2303");
  bench.tree.Write("lib/udev/rules.d/60-gpsd.rules", kGpsdRules);
  bench.tree.Write("etc/default/gpsd", "USBAUTO=\"true\"\n");
  bench.Holds(4321, "minicom");
  const PortDiagnosis d = bench.Run();
  ASSERT_NE(Find(d, FindingKind::kHeld), nullptr);
  EXPECT_EQ(Find(d, FindingKind::kHeld)->number, 4321);
  EXPECT_EQ(Find(d, FindingKind::kHeld)->detail, "minicom");
  ASSERT_NE(Find(d, FindingKind::kGpsdClaims), nullptr);
  EXPECT_EQ(Find(d, FindingKind::kGpsdClaims)->rule, bench.tree.at("lib/udev/rules.d/60-gpsd.rules") + ":2");
  const std::vector<std::string> lines = DiagnosisLines({d});
  EXPECT_EQ(lines[1], "COM1 (" + bench.tree.dev() + "/ttyUSB0): held open by minicom (PID 4321): close that "
                      "program, or stop its service");
  EXPECT_NE(lines[2].find("067b:2303"), std::string::npos);
  EXPECT_NE(lines[2].find("USBAUTO=\"false\""), std::string::npos);
  EXPECT_EQ(lines.back(), "1 of 1 port has something in the way");
  EXPECT_EQ(DiagnosisLines({}), std::vector<std::string>{"no serial device or adapter found: plug the adapter in"});
}

TEST(PortDiagnosis, FindsSerialDevicesAndSocketLinks) {
  DoctorBench bench;
  FakeSystemTree& tree = bench.tree;
  for (const char* name : {"ttyS0", "ttyS1", "ttyACM0", "ttyUSBx", "tty1"}) tree.Write(std::string("dev/") + name, "");
  tree.Write("sys/class/tty/ttyS0/type", "0\n");  // no UART behind it
  tree.Write("sys/class/tty/ttyS1/type", "4\n");
  fs::create_directories(tree.dev() + "/serial/by-path");
  fs::create_symlink("../../ttyUSB0", tree.dev() + "/serial/by-path/usb-0:1.3:1.0-port0");
  tree.Write("nodes/sim0", "");
  fs::create_symlink(tree.at("nodes/sim0"), tree.dev() + "/serial/by-path/elsewhere");

  std::vector<std::string> found;
  for (const PortToCheck& p : FindSerialPorts(bench.setup.places)) found.push_back(p.device + "|" + p.alias);
  const std::string dev = tree.dev();
  EXPECT_EQ(found, (std::vector<std::string>{dev + "/ttyACM0|", dev + "/ttyS1|",
                                             dev + "/ttyUSB0|" + dev + "/serial/by-path/usb-0:1.3:1.0-port0",
                                             dev + "/serial/by-path/elsewhere|"}));

  // A chosen port is checked first and not again among those found.
  const std::vector<PortToCheck> ports = ChosenThenFound({{"COM1", dev + "/serial/by-path/usb-0:1.3:1.0-port0", {}}},
                                                         bench.setup.places);
  ASSERT_EQ(ports.size(), 4u);
  EXPECT_EQ(ports[0].name, "COM1");
  EXPECT_EQ(ports[3].device, dev + "/serial/by-path/elsewhere");
}

}  // namespace
}  // namespace orvald
