#include "link/port_diagnosis.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <limits.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "link/port_names.h"
#include "link/sysfs_usb_adapter.h"
#include "link/tty_port.h"

namespace orvald {

namespace {

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return {};
  return resolved;
}

std::string BaseName(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool StartsWith(const std::string& text, const std::string& head) { return text.rfind(head, 0) == 0; }

bool AllDigits(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The value of NAME=VALUE in a shell defaults file, without its quotes.
std::optional<std::string> ShellSetting(const std::string& file, const std::string& name) {
  std::ifstream in(file);
  std::string line;
  std::optional<std::string> value;
  while (std::getline(in, line)) {
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line.compare(first, name.size() + 1, name + "=") != 0) continue;
    std::string text = line.substr(first + name.size() + 1);
    if (const auto hash = text.find(" #"); hash != std::string::npos) text.resize(hash);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front()) {
      text = text.substr(1, text.size() - 2);
    }
    value = text;  // the last one counts, as in the shell
  }
  return value;
}

std::string ModeText(mode_t mode) {
  std::string text;
  for (const auto& [bit, letter] : {std::pair{S_IRUSR, 'r'}, {S_IWUSR, 'w'}, {S_IXUSR, 'x'}, {S_IRGRP, 'r'},
                                    {S_IWGRP, 'w'}, {S_IXGRP, 'x'}, {S_IROTH, 'r'}, {S_IWOTH, 'w'}, {S_IXOTH, 'x'}}) {
    text += (mode & bit) ? letter : '-';
  }
  return text;
}

std::string GroupName(gid_t gid) {
  if (const group* entry = ::getgrgid(gid)) return entry->gr_name;
  return std::to_string(gid);
}

std::string UserName(uid_t uid) {
  if (const passwd* entry = ::getpwuid(uid)) return entry->pw_name;
  return std::to_string(uid);
}

bool InGroup(const DeskUser& user, gid_t gid) {
  return std::find(user.groups.begin(), user.groups.end(), gid) != user.groups.end();
}

// Read and write, as ORVALD opens a port, judged by the mode bits for this user.
bool MayReadAndWrite(const struct stat& node, const DeskUser& user) {
  if (user.uid == 0) return true;
  constexpr mode_t kOwner = S_IRUSR | S_IWUSR, kGroup = S_IRGRP | S_IWGRP, kOther = S_IROTH | S_IWOTH;
  if (node.st_uid == user.uid) return (node.st_mode & kOwner) == kOwner;
  if (InGroup(user, node.st_gid)) return (node.st_mode & kGroup) == kGroup;
  return (node.st_mode & kOther) == kOther;
}

class PortDoctor {
 public:
  explicit PortDoctor(const DiagnosisSetup& setup) : setup_(setup), places_(setup.places) {
    for (const std::string& file : UdevRuleFiles({places_.etcUdev + "/rules.d", places_.libUdev + "/rules.d"})) {
      std::vector<UdevRule> rules = ReadUdevRules(file);
      rules_.insert(rules_.end(), rules.begin(), rules.end());
      if (file.find("-mm-") != std::string::npos) modemManagerPresent_ = true;
      if (BaseName(file) == kOrvaldRulesFile && !rules.empty()) orvaldRuleInstalled_ = true;
    }
  }

  PortDiagnosis Diagnose(const PortToCheck& port) const {
    PortDiagnosis d;
    d.port = port;
    const std::string node = RealPath(port.device);
    struct stat info {};
    if (node.empty() || ::stat(node.c_str(), &info) != 0) {
      d.findings.push_back({FindingKind::kMissing, {}, 0, {}});
      return d;
    }
    d.ttyName = BaseName(node);
    d.usb = UsbIdentityOf(d.ttyName);
    const bool mayOpen = CheckAccess(info, d.findings);
    const bool held = CheckHolders(port.device, node, d.findings);
    if (d.usb.known()) CheckClaims(d, d.findings);
    CheckDriver(d, mayOpen && !held, d.findings);
    return d;
  }

 private:
  UsbIdentity UsbIdentityOf(const std::string& ttyName) const {
    UsbIdentity usb;
    const std::string folder = SysfsFolderAbove(places_.sys, ttyName, "idVendor");
    if (folder.empty()) return usb;
    usb.vendor = SysfsAttribute(folder + "/idVendor");
    usb.product = SysfsAttribute(folder + "/idProduct");
    usb.productName = SysfsAttribute(folder + "/product");
    usb.release = SysfsAttribute(folder + "/bcdDevice");
    return usb;
  }

  bool CheckAccess(const struct stat& info, std::vector<PortFinding>& findings) const {
    const DeskUser& user = setup_.user;
    if (MayReadAndWrite(info, user)) {
      findings.push_back({FindingKind::kMayOpen, user.name, 0, {}});
      return true;
    }
    findings.push_back(
        {FindingKind::kNotPermitted, UserName(info.st_uid) + ":" + GroupName(info.st_gid) + " " + ModeText(info.st_mode), 0, {}});
    if (user.dialout && !InGroup(user, *user.dialout)) {
      findings.push_back({user.listedInDialout ? FindingKind::kDialoutNextLogin : FindingKind::kNotInDialout, user.name, 0, {}});
    }
    if (!orvaldRuleInstalled_) findings.push_back({FindingKind::kRuleMissing, kOrvaldRulesFile, 0, {}});
    return false;
  }

  // Every other process with a descriptor on the device; processes whose
  // descriptors this user may not see are counted instead.
  bool CheckHolders(const std::string& device, const std::string& node, std::vector<PortFinding>& findings) const {
    bool held = false;
    long hidden = 0;
    for (const std::string& pid : NamesIn(places_.proc)) {
      if (!AllDigits(pid) || std::stol(pid) == setup_.user.self) continue;
      const std::string fdFolder = places_.proc + "/" + pid + "/fd";
      DIR* dir = ::opendir(fdFolder.c_str());
      if (dir == nullptr) {
        if (errno == EACCES) ++hidden;
        continue;
      }
      bool holds = false;
      while (dirent* entry = ::readdir(dir)) {
        char target[PATH_MAX];
        const ssize_t length = ::readlinkat(::dirfd(dir), entry->d_name, target, sizeof target - 1);
        if (length <= 0) continue;
        const std::string opened(target, static_cast<size_t>(length));
        if (opened == node || opened == device) holds = true;
      }
      ::closedir(dir);
      if (!holds) continue;
      held = true;
      findings.push_back({FindingKind::kHeld, SysfsAttribute(places_.proc + "/" + pid + "/comm"), std::stol(pid), {}});
    }
    if (!held && hidden > 0) findings.push_back({FindingKind::kHoldersHidden, {}, hidden, {}});
    return held;
  }

  static std::string Where(const UdevRule& rule) { return rule.file + ":" + std::to_string(rule.line); }

  void CheckClaims(const PortDiagnosis& d, std::vector<PortFinding>& findings) const {
    const UdevRule* gpsd = nullptr;
    const UdevRule* modemManager = nullptr;
    const UdevRule* modemManagerOff = nullptr;
    const UdevRule* brltty = nullptr;
    for (const UdevRule& rule : rules_) {
      if (!RuleNamesAdapter(rule, d.usb)) continue;
      if (AssignedValue(rule, "ENV{ID_MM_DEVICE_IGNORE}") == std::optional<std::string>("1")) {
        if (!modemManagerOff) modemManagerOff = &rule;
        continue;
      }
      const auto first = [&rule](const UdevRule*& slot) {
        if (!slot) slot = &rule;
      };
      switch (OwnerOf(rule)) {
        case RuleOwner::kGpsd: first(gpsd); break;
        case RuleOwner::kModemManager: first(modemManager); break;
        case RuleOwner::kBrltty: first(brltty); break;
        case RuleOwner::kOther: break;
      }
    }
    if (gpsd) {
      // gpsd's hot-plug service takes a device only while USBAUTO is "true".
      const bool takes = ShellSetting(places_.gpsdDefaults, "USBAUTO") == std::optional<std::string>("true");
      findings.push_back({takes ? FindingKind::kGpsdClaims : FindingKind::kGpsdKeptOff, {}, 0, Where(*gpsd)});
    }
    // ModemManager probes every ACM device unless told to leave it alone.
    const bool acm = StartsWith(d.ttyName, "ttyACM") && modemManagerPresent_;
    if (modemManagerOff && (modemManager || acm)) {
      findings.push_back({FindingKind::kModemManagerKeptOff, {}, 0, Where(*modemManagerOff)});
    } else if (modemManager || acm) {
      findings.push_back({FindingKind::kModemManagerClaims, {}, 0, modemManager ? Where(*modemManager) : ""});
    }
    if (brltty) findings.push_back({FindingKind::kBrlttyClaims, {}, 0, Where(*brltty)});
  }

  long LatencyTimer(const std::string& ttyName) const {
    const std::string text = SysfsAttribute(places_.sys + "/class/tty/" + ttyName + "/device/latency_timer");
    return AllDigits(text) ? std::stol(text) : -1;
  }

  void CheckDriver(const PortDiagnosis& d, bool free, std::vector<PortFinding>& findings) const {
    const std::string driver = BaseName(RealPath(places_.sys + "/class/tty/" + d.ttyName + "/device/driver"));
    if (driver.empty()) return;
    findings.push_back({FindingKind::kDriver, driver, 0, {}});
    long latency = LatencyTimer(d.ttyName);
    if (latency < 0) return;
    if (latency <= 1) {
      findings.push_back({FindingKind::kLatencyHolds, {}, latency, {}});
      return;
    }
    if (!free || !setup_.requestLowLatency || !setup_.requestLowLatency(d.port.device)) {
      findings.push_back({FindingKind::kLatencyUntested, {}, latency, {}});
      return;
    }
    latency = LatencyTimer(d.ttyName);
    findings.push_back({latency >= 0 && latency <= 1 ? FindingKind::kLatencyHolds : FindingKind::kLatencyHigh, {},
                        latency, {}});
  }

  const DiagnosisSetup& setup_;
  const DiagnosisPlaces& places_;
  std::vector<UdevRule> rules_;
  bool modemManagerPresent_ = false;
  bool orvaldRuleInstalled_ = false;
};

}  // namespace

DeskUser CurrentDeskUser() {
  DeskUser user;
  user.uid = ::geteuid();
  user.name = UserName(user.uid);
  user.self = ::getpid();
  user.groups.push_back(::getegid());
  const int count = ::getgroups(0, nullptr);
  if (count > 0) {
    std::vector<gid_t> more(static_cast<size_t>(count));
    const int got = ::getgroups(count, more.data());
    if (got > 0) user.groups.insert(user.groups.end(), more.begin(), more.begin() + got);
  }
  if (const group* dialout = ::getgrnam("dialout")) {
    user.dialout = dialout->gr_gid;
    for (char** member = dialout->gr_mem; member && *member; ++member) {
      if (user.name == *member) user.listedInDialout = true;
    }
  }
  return user;
}

LowLatencyRequest SystemLowLatencyRequest() {
  return [](const std::string& device) {
    int error = 0;
    const int fd = tty::OpenExclusive(device, error);
    if (fd < 0) return false;
    tty::RequestLowLatency(fd);
    tty::CloseExclusive(fd);
    return true;
  };
}

bool StandsInTheWay(FindingKind kind) {
  switch (kind) {
    case FindingKind::kMayOpen:
    case FindingKind::kHoldersHidden:
    case FindingKind::kGpsdKeptOff:
    case FindingKind::kModemManagerKeptOff:
    case FindingKind::kDriver:
    case FindingKind::kLatencyHolds:
    case FindingKind::kLatencyUntested:
      return false;
    default:
      return true;
  }
}

bool PortDiagnosis::Clear() const {
  return std::none_of(findings.begin(), findings.end(), [](const PortFinding& f) { return StandsInTheWay(f.kind); });
}

std::vector<PortToCheck> FindSerialPorts(const DiagnosisPlaces& places) {
  std::vector<PortToCheck> ports;
  for (const std::string& name : NamesIn(places.dev)) {
    const bool uart = StartsWith(name, "ttyS");
    if (!uart && !StartsWith(name, "ttyUSB") && !StartsWith(name, "ttyACM")) continue;
    if (!AllDigits(name.substr(uart ? 4 : 6))) continue;
    // The kernel makes ttyS0 to ttyS31 whether or not a UART is behind them;
    // those without one have the port type 0.
    if (uart && SysfsAttribute(places.sys + "/class/tty/" + name + "/type") == "0") continue;
    ports.push_back({{}, places.dev + "/" + name, {}});
  }
  const std::string byPath = places.dev + "/serial/by-path";
  for (const std::string& link : NamesIn(byPath)) {
    const std::string path = byPath + "/" + link;
    auto same = std::find_if(ports.begin(), ports.end(),
                             [&path](const PortToCheck& port) { return SamePortDevice(port.device, path); });
    if (same != ports.end()) {
      if (same->alias.empty()) same->alias = path;
    } else {
      ports.push_back({{}, path, {}});
    }
  }
  return ports;
}

std::vector<PortToCheck> ChosenThenFound(std::vector<PortToCheck> chosen, const DiagnosisPlaces& places) {
  const size_t chosenCount = chosen.size();
  for (PortToCheck& found : FindSerialPorts(places)) {
    const auto same = [&found](const PortToCheck& port) {
      return SamePortDevice(port.device, found.device) || (!found.alias.empty() && SamePortDevice(port.device, found.alias));
    };
    if (std::none_of(chosen.begin(), chosen.begin() + static_cast<long>(chosenCount), same)) chosen.push_back(found);
  }
  return chosen;
}

std::vector<PortDiagnosis> DiagnosePorts(const std::vector<PortToCheck>& ports, const DiagnosisSetup& setup) {
  const PortDoctor doctor(setup);
  std::vector<PortDiagnosis> diagnoses;
  for (const PortToCheck& port : ports) diagnoses.push_back(doctor.Diagnose(port));
  return diagnoses;
}

bool NothingInTheWay(const std::vector<PortDiagnosis>& diagnoses) {
  return !diagnoses.empty() &&
         std::all_of(diagnoses.begin(), diagnoses.end(), [](const PortDiagnosis& d) { return d.Clear(); });
}

}  // namespace orvald
