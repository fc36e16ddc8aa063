#include "link/port_diagnosis_text.h"

#include "link/link.h"

namespace orvald {

namespace {

// The rules file the desk adds its own lines to; it sorts before the
// packages' rules it has to win against.
constexpr const char* kKeepOffRulesFile = "/etc/udev/rules.d/59-orvald-keep-off.rules";

std::string BaseName(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FromRule(const PortFinding& finding) { return finding.rule.empty() ? "" : " (" + finding.rule + ")"; }

std::string AdapterMatch(const UsbIdentity& usb) {
  return "ATTRS{idVendor}==\"" + usb.vendor + "\", ATTRS{idProduct}==\"" + usb.product + "\"";
}

std::string FindingText(const PortDiagnosis& d, const PortFinding& f) {
  const std::string ids = d.usb.known() ? d.usb.Ids() : "this adapter";
  switch (f.kind) {
    case FindingKind::kMissing:
      return "no such device: plug the adapter in, or name a port that `orvald-cli doctor` lists";
    case FindingKind::kMayOpen:
      return (f.detail.empty() ? std::string("this user") : f.detail) + " may open it";
    case FindingKind::kNotPermitted:
      return "this user may not open it (" + f.detail + ")";
    case FindingKind::kNotInDialout:
      return f.detail + " is not in the dialout group: sudo adduser " + f.detail + " dialout, then log in again";
    case FindingKind::kDialoutNextLogin:
      return f.detail + " was added to the dialout group after logging in: log out and in again";
    case FindingKind::kRuleMissing:
      return "ORVALD's udev rule " + f.detail + " is not installed: install the package, or sudo cp app/" + f.detail +
             " /etc/udev/rules.d/ && sudo udevadm control --reload && sudo udevadm trigger";
    case FindingKind::kHeld:
      return "held open by " + (f.detail.empty() ? std::string("a process") : f.detail) + " (PID " +
             std::to_string(f.number) + "): close that program, or stop its service";
    case FindingKind::kHoldersHidden:
      return std::to_string(f.number) +
             " processes of other users could not be looked into: sudo orvald-cli doctor shows whether one holds it";
    case FindingKind::kGpsdClaims:
      return "gpsd takes " + ids + " as a GPS receiver" + FromRule(f) +
             ": set USBAUTO=\"false\" in /etc/default/gpsd, then replug the adapter";
    case FindingKind::kGpsdKeptOff:
      return "gpsd has a rule for " + ids + FromRule(f) + ", USBAUTO keeps it off";
    case FindingKind::kModemManagerClaims:
      return "ModemManager probes " + ids + " for about 10 s after it appears" + FromRule(f) + ": add " +
             AdapterMatch(d.usb) + ", ENV{ID_MM_DEVICE_IGNORE}=\"1\" to " + kKeepOffRulesFile +
             ", then sudo udevadm control --reload";
    case FindingKind::kModemManagerKeptOff:
      return "ModemManager leaves it alone" + FromRule(f);
    case FindingKind::kBrlttyClaims:
      return "brltty takes " + ids + " for a braille display" + FromRule(f) + ": sudo ln -s /dev/null /etc/udev/rules.d/" +
             BaseName(f.rule.substr(0, f.rule.find_last_of(':'))) + " (or remove the brltty package), then replug";
    case FindingKind::kDriver:
      return "driver " + f.detail;
    case FindingKind::kLatencyHolds:
      return "latency timer " + std::to_string(f.number) + " ms: ORVALD's low-latency request holds";
    case FindingKind::kLatencyHigh:
      return "latency timer " + std::to_string(f.number) +
             " ms although ORVALD asks for low latency: each reply may wait that long; echo 1 | sudo tee " +
             "/sys/bus/usb-serial/devices/" + d.ttyName + "/latency_timer";
    case FindingKind::kLatencyUntested:
      return "latency timer " + std::to_string(f.number) +
             " ms; ORVALD asks for 1 ms when it opens the port, which could not be tried now";
  }
  return {};
}

}  // namespace

std::vector<std::string> DiagnosisLines(const std::vector<PortDiagnosis>& diagnoses) {
  std::vector<std::string> lines;
  size_t blocked = 0;
  for (const PortDiagnosis& d : diagnoses) {
    std::string where = PortLabel(d.port.name, d.port.device);
    if (!d.port.alias.empty()) where += " [" + BaseName(d.port.alias) + "]";
    for (const PortFinding& f : d.findings) lines.push_back(where + ": " + FindingText(d, f));
    if (!d.Clear()) ++blocked;
  }
  if (diagnoses.empty()) {
    lines.push_back("no serial device or adapter found: plug the adapter in");
  } else if (blocked == 0) {
    lines.push_back("nothing stands in the way of " + std::to_string(diagnoses.size()) +
                    (diagnoses.size() == 1 ? " port" : " ports"));
  } else {
    lines.push_back(std::to_string(blocked) + " of " + std::to_string(diagnoses.size()) +
                    (diagnoses.size() == 1 ? " port has" : " ports have") + " something in the way");
  }
  return lines;
}

}  // namespace orvald
