#include "cli/port_choice.h"

#include "link/port_names.h"

namespace orvald::cli {

std::string ReadPortChoice(const ParsedArgs& parsed, PortChoice& choice) {
  if (parsed.has("port") == parsed.has("com")) return "needs exactly one of --port DEVICE and --com N";
  if (parsed.has("port")) {
    choice.device = parsed.options.at("port");
    if (choice.device.empty()) return "--port needs a device path";
    return "";
  }
  long portNo = 0;
  if (!ParseInteger(parsed.options.at("com"), 1, 255, portNo)) return "--com takes a port number, 1 to 255";
  choice.portNo = static_cast<int>(portNo);
  return "";
}

std::unique_ptr<Link> MakeLink(const PortChoice& choice) {
  auto link = std::make_unique<Link>(choice.device.empty() ? MakeSystemUsbAdapter() : nullptr);
  if (choice.device.empty()) {
    link->ChoosePort(static_cast<uint8_t>(choice.portNo));
  } else {
    link->SetPortResolver(FixedPortResolver(choice.device));
    link->SetPortNamedByPath(true);
    link->ChoosePort(1);
  }
  return link;
}

}  // namespace orvald::cli
