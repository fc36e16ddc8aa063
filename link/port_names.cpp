#include "link/port_names.h"

#include <sys/stat.h>

#include <charconv>
#include <filesystem>

namespace orvald {

std::string PortName(int portNo) { return "COM" + std::to_string(portNo); }

std::string DefaultPortPath(const std::string& portName) {
  constexpr std::string_view prefix = "COM";
  if (portName.size() <= prefix.size() || portName.compare(0, prefix.size(), prefix) != 0) return {};
  const char* first = portName.data() + prefix.size();
  const char* last = portName.data() + portName.size();
  int number = 0;
  auto [end, error] = std::from_chars(first, last, number);
  if (error != std::errc() || end != last || number < 1) return {};
  return "/dev/ttyUSB" + std::to_string(number - 1);
}

PortResolver FixedPortResolver(std::string devicePath) {
  return [path = std::move(devicePath)](const std::string&) { return path; };
}

bool SamePortDevice(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  struct stat first {};
  struct stat second {};
  if (::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0) {
    if (S_ISCHR(first.st_mode) && S_ISCHR(second.st_mode)) return first.st_rdev == second.st_rdev;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
  }
  return std::filesystem::path(a).lexically_normal() == std::filesystem::path(b).lexically_normal();
}

}  // namespace orvald
