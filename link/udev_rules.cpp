#include "link/udev_rules.h"

#include <dirent.h>
#include <fnmatch.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>

namespace orvald {

namespace {

std::string BaseName(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool Contains(const std::string& text, const std::string& part) {
  std::string lower = text;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  return lower.find(part) != std::string::npos;
}

// One "KEY{attr}OP\"value\"" after another, separated by commas and blanks.
std::vector<UdevKey> ParseKeys(const std::string& text) {
  std::vector<UdevKey> keys;
  size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && (text[at] == ',' || std::isspace(static_cast<unsigned char>(text[at])))) ++at;
    if (at >= text.size()) break;
    const size_t nameStart = at;
    while (at < text.size() && std::string_view("=!+-:").find(text[at]) == std::string_view::npos) ++at;
    UdevKey key;
    key.name = text.substr(nameStart, at - nameStart);
    while (!key.name.empty() && std::isspace(static_cast<unsigned char>(key.name.back()))) key.name.pop_back();
    const size_t opStart = at;
    if (at < text.size() && text[at] != '=') ++at;  // the first of "!=", "+=", "-=", ":="
    if (at < text.size() && text[at] == '=') ++at;
    if (at < text.size() && text[at] == '=' && text[opStart] == '=') ++at;  // "=="
    key.op = text.substr(opStart, at - opStart);
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    if (at >= text.size() || text[at] != '"') break;  // not a rule this reader understands
    const size_t valueStart = ++at;
    while (at < text.size() && !(text[at] == '"' && text[at - 1] != '\\')) ++at;
    key.value = text.substr(valueStart, at - valueStart);
    ++at;
    if (!key.name.empty() && !key.op.empty()) keys.push_back(std::move(key));
  }
  return keys;
}

// A udev pattern: shell globs, "|" between alternatives. Hex ids are
// compared without regard to case.
bool PatternMatches(const std::string& pattern, const std::string& value) {
  size_t start = 0;
  while (true) {
    const size_t bar = pattern.find('|', start);
    const std::string alternative = pattern.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
    if (::fnmatch(alternative.c_str(), value.c_str(), FNM_CASEFOLD) == 0) return true;
    if (bar == std::string::npos) return false;
    start = bar + 1;
  }
}

std::string WithoutLeadingZeros(const std::string& hex) {
  const auto first = hex.find_first_not_of('0');
  return first == std::string::npos ? "0" : hex.substr(first);
}

// The value a condition key is compared with, for the keys that describe the
// adapter; nothing for any other key.
std::optional<std::string> AdapterValue(const std::string& name, const UsbIdentity& usb) {
  if (name == "ATTRS{idVendor}" || name == "ATTR{idVendor}" || name == "ENV{ID_VENDOR_ID}") return usb.vendor;
  if (name == "ATTRS{idProduct}" || name == "ATTR{idProduct}" || name == "ENV{ID_MODEL_ID}") return usb.product;
  if (name == "ATTRS{product}" || name == "ATTR{product}") return usb.productName;
  // The USB device's PRODUCT: vendor/product/release in hex without leading zeros.
  if (name == "ENV{PRODUCT}") {
    return WithoutLeadingZeros(usb.vendor) + "/" + WithoutLeadingZeros(usb.product) + "/" +
           WithoutLeadingZeros(usb.release);
  }
  return std::nullopt;
}

}  // namespace

std::vector<std::string> UdevRuleFiles(const std::vector<std::string>& folders) {
  std::map<std::string, std::string> byName;  // ordered by name, as udev reads them
  for (const std::string& folder : folders) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) continue;
    while (dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (EndsWith(name, ".rules")) byName.emplace(name, folder + "/" + name);
    }
    ::closedir(dir);
  }
  std::vector<std::string> files;
  for (const auto& [name, path] : byName) files.push_back(path);
  return files;
}

std::vector<UdevRule> ReadUdevRules(const std::string& file) {
  std::vector<UdevRule> rules;
  std::ifstream in(file);
  std::string line;
  std::string pending;
  int lineNo = 0;
  int firstLine = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (pending.empty()) firstLine = lineNo;
    const auto first = line.find_first_not_of(" \t");
    if (pending.empty() && (first == std::string::npos || line[first] == '#')) continue;
    if (!line.empty() && line.back() == '\\') {
      pending += line.substr(0, line.size() - 1);
      continue;
    }
    pending += line;
    if (std::vector<UdevKey> keys = ParseKeys(pending); !keys.empty()) rules.push_back({file, firstLine, std::move(keys)});
    pending.clear();
  }
  return rules;
}

bool RuleNamesAdapter(const UdevRule& rule, const UsbIdentity& usb) {
  bool named = false;
  for (const UdevKey& key : rule.keys) {
    if (!key.IsCondition()) continue;
    const std::optional<std::string> value = AdapterValue(key.name, usb);
    if (!value) continue;
    const bool matches = PatternMatches(key.value, *value);
    if (matches != (key.op == "==")) return false;
    named = named || key.op == "==";
  }
  return named;
}

std::optional<std::string> AssignedValue(const UdevRule& rule, const std::string& name) {
  for (const UdevKey& key : rule.keys) {
    if (!key.IsCondition() && key.name == name) return key.value;
  }
  return std::nullopt;
}

RuleOwner OwnerOf(const UdevRule& rule) {
  const std::string file = BaseName(rule.file);
  if (Contains(file, "gpsd")) return RuleOwner::kGpsd;
  if (Contains(file, "brltty")) return RuleOwner::kBrltty;
  if (Contains(file, "-mm-") || Contains(file, "modemmanager")) return RuleOwner::kModemManager;
  for (const UdevKey& key : rule.keys) {
    if (key.IsCondition()) continue;
    if (Contains(key.value, "gpsd")) return RuleOwner::kGpsd;
    if (Contains(key.value, "brltty") || key.name.rfind("ENV{BRLTTY_", 0) == 0) return RuleOwner::kBrltty;
    if (key.name.rfind("ENV{ID_MM_", 0) == 0) return RuleOwner::kModemManager;
  }
  return RuleOwner::kOther;
}

}  // namespace orvald
