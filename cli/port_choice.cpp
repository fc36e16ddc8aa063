#include "cli/port_choice.h"

#include "link/port_names.h"

namespace orvald::cli {

namespace {

std::string ReadOne(const std::string& option, const std::string& value, PortChoice& choice) {
  if (option == "port") {
    choice.device = value;
    return value.empty() ? "--port needs a device path" : "";
  }
  long portNo = 0;
  if (!ParseInteger(value, 1, 255, portNo)) return "--com takes a port number, 1 to 255";
  choice.portNo = static_cast<int>(portNo);
  return "";
}

}  // namespace

std::string PortChoice::Name() const { return device.empty() ? PortName(portNo) : device; }

std::string PortChoice::DevicePath() const { return device.empty() ? DefaultPortPath(PortName(portNo)) : device; }

std::string ReadPortChoice(const ParsedArgs& parsed, PortChoice& choice) {
  if (parsed.count("port") + parsed.count("com") != 1) return "needs exactly one of --port DEVICE and --com N";
  const std::string option = parsed.has("port") ? "port" : "com";
  return ReadOne(option, parsed.options.at(option), choice);
}

std::string ReadPortChoices(const ParsedArgs& parsed, std::vector<PortChoice>& choices) {
  choices.clear();
  for (const auto& [option, value] : parsed.given) {
    if (option != "port" && option != "com") continue;
    PortChoice choice;
    if (std::string error = ReadOne(option, value, choice); !error.empty()) return error;
    for (const PortChoice& earlier : choices) {
      if (SamePortDevice(earlier.DevicePath(), choice.DevicePath())) {
        return earlier.Name() == choice.Name() ? choice.Name() + " is given twice"
                                               : earlier.Name() + " and " + choice.Name() + " are the same port";
      }
    }
    choices.push_back(choice);
  }
  if (choices.empty()) return "needs --port DEVICE or --com N (either may be repeated)";
  return "";
}

std::unique_ptr<Link> MakeLink(const PortChoice& choice, bool withUsbAdapter) {
  const bool adapter = withUsbAdapter && choice.device.empty();
  auto link = std::make_unique<Link>(adapter ? MakeSystemUsbAdapter() : nullptr);
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
