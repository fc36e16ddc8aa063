#pragma once
// What stands in the way of a serial port: whether the device is there and
// this user may open it, who else holds it, which of the programs that take
// serial ports on their own (gpsd, ModemManager, brltty) have udev rules for
// the adapter, and whether the adapter's driver hands over replies at once.
//
// Everything is read from folders given as parameters, so that a test can
// build a small tree of its own; the findings are facts, and the text for
// them is made in port_diagnosis_text.

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/udev_rules.h"

namespace orvald {

struct DiagnosisPlaces {
  std::string dev = "/dev";
  std::string sys = "/sys";
  std::string proc = "/proc";
  std::string etcUdev = "/etc/udev";  // rules.d: the administrator's rules, read first
  std::string libUdev = "/lib/udev";  // rules.d: the packages' rules
  std::string gpsdDefaults = "/etc/default/gpsd";
};

// Who asks, as the permission check needs it.
struct DeskUser {
  std::string name;
  uid_t uid = 0;
  std::vector<gid_t> groups;     // the groups this login has (primary and supplementary)
  std::optional<gid_t> dialout;  // the dialout group, when the system has one
  bool listedInDialout = false;  // a member in the group file (in effect from the next login)
  pid_t self = 0;                // this process, which is no other holder
};
DeskUser CurrentDeskUser();

// Asks the driver of `device` for low latency, as ORVALD does when it opens
// its adapter, and lets the port go again; false when it could not be opened.
using LowLatencyRequest = std::function<bool(const std::string& device)>;
LowLatencyRequest SystemLowLatencyRequest();

struct DiagnosisSetup {
  DiagnosisPlaces places;
  DeskUser user;
  LowLatencyRequest requestLowLatency;  // none: the request is not tried
};

// ORVALD's own rule for its USB adapter, as the package installs it.
inline constexpr const char* kOrvaldRulesFile = "60-orvald-logger.rules";

enum class FindingKind {
  kMissing,             // no such device
  kMayOpen,             // the user may open it
  kNotPermitted,        // the user may not open it (detail: owner:group and mode)
  kNotInDialout,        // ... and is not in the dialout group the device belongs to
  kDialoutNextLogin,    // ... is in the group file but not yet in this login
  kRuleMissing,         // ... and ORVALD's udev rule is not installed
  kHeld,                // another process holds it open (detail: its name, number: its PID)
  kHoldersHidden,       // processes of other users could not be looked into (number: how many)
  kGpsdClaims,          // a gpsd rule takes the adapter and USBAUTO lets it (rule: where)
  kGpsdKeptOff,         // a gpsd rule names it, USBAUTO keeps gpsd off
  kModemManagerClaims,  // ModemManager probes it (rule: where; empty for any ACM device)
  kModemManagerKeptOff, // ID_MM_DEVICE_IGNORE is set for it (rule: where)
  kBrlttyClaims,        // a brltty rule takes the adapter (rule: where)
  kDriver,              // the adapter's driver (detail)
  kLatencyHolds,        // FTDI latency timer at 1 ms, or brought there by the low-latency request
  kLatencyHigh,         // the timer stays at `number` ms although low latency was asked for
  kLatencyUntested,     // the timer is at `number` ms; the port could not be opened to ask
};

// Whether the finding keeps ORVALD from the port or slows every reply.
bool StandsInTheWay(FindingKind kind);

struct PortFinding {
  FindingKind kind;
  std::string detail;
  long number = 0;
  std::string rule;  // "file:line" of the udev rule it comes from
};

struct PortToCheck {
  std::string name;    // "COM3" when chosen by number, else ""
  std::string device;  // the device path
  std::string alias;   // the /dev/serial/by-path link that leads to it, if any
};

struct PortDiagnosis {
  PortToCheck port;
  std::string ttyName;  // the terminal's kernel name: "ttyUSB0"
  UsbIdentity usb;      // empty for a port that is no USB device
  std::vector<PortFinding> findings;
  bool Clear() const;
};

// Every serial device and adapter to be found: /dev/ttyS* that have a UART
// behind them, ttyUSB*, ttyACM*, and the /dev/serial/by-path links (given as
// the alias of the device they lead to, or on their own).
std::vector<PortToCheck> FindSerialPorts(const DiagnosisPlaces& places);

// `chosen` first, then every port found that is none of them.
std::vector<PortToCheck> ChosenThenFound(std::vector<PortToCheck> chosen, const DiagnosisPlaces& places);

// The findings for each port, in the order given.
std::vector<PortDiagnosis> DiagnosePorts(const std::vector<PortToCheck>& ports, const DiagnosisSetup& setup);

// True when there is at least one port and nothing stands in any one's way.
bool NothingInTheWay(const std::vector<PortDiagnosis>& diagnoses);

}  // namespace orvald
