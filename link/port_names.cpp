#include "link/port_names.h"

#include <charconv>

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

}  // namespace orvald
