#pragma once
// What the udev rules on this machine say about one USB serial adapter:
// enough of the rules language to tell which rules are written for an
// adapter's vendor and product, and what they set for it. Conditions on
// anything else (the action, the subsystem, the kernel name) are taken as
// met, so a rule counts as soon as it names the adapter.

#include <optional>
#include <string>
#include <vector>

namespace orvald {

// The USB device above a terminal, as sysfs shows it.
struct UsbIdentity {
  std::string vendor;       // idVendor, four hex digits: "067b"
  std::string product;      // idProduct: "2303"
  std::string productName;  // the product string, when the device has one
  std::string release;      // bcdDevice: "0300"

  bool known() const { return !vendor.empty() && !product.empty(); }
  // "067b:2303"
  std::string Ids() const { return vendor + ":" + product; }
};

struct UdevKey {
  std::string name;   // "ATTRS{idVendor}", "ENV{ID_MM_DEVICE_IGNORE}", "GOTO"
  std::string op;     // "==", "!=", "=", "+=", "-=", ":="
  std::string value;  // without the quotes
  bool IsCondition() const { return op == "==" || op == "!="; }
};

struct UdevRule {
  std::string file;  // the rules file it was read from
  int line = 0;      // its first line there, counted from 1
  std::vector<UdevKey> keys;
};

// The rules files udev reads from `folders` (each a rules.d), earliest folder
// first: a file hides any file of the same name in a later folder (a link to
// /dev/null in /etc/udev/rules.d switches a packaged file off), and the files
// are read in the order of their names.
std::vector<std::string> UdevRuleFiles(const std::vector<std::string>& folders);

// Every rule of one file; comments, blank lines and continued lines handled.
std::vector<UdevRule> ReadUdevRules(const std::string& file);

// Whether `rule` is written for this adapter: at least one of its conditions
// on the vendor, product or product string holds, and none of them fails.
bool RuleNamesAdapter(const UdevRule& rule, const UsbIdentity& usb);

// The value `rule` gives the key `name` (an assignment, not a condition).
std::optional<std::string> AssignedValue(const UdevRule& rule, const std::string& name);

// Where the rule leads the adapter: to one of the programs that open serial
// ports on their own, or nowhere of interest.
enum class RuleOwner { kOther, kGpsd, kModemManager, kBrltty };
RuleOwner OwnerOf(const UdevRule& rule);

}  // namespace orvald
