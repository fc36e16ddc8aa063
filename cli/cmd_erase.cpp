// orvald-cli erase (--port DEVICE | --com N) [--yes]
// Erases the logger's memory after asking on the terminal (or straight away
// with --yes). Exit 0 once the logger agreed; 1 with "Logger not erased!"
// when it did not, or when the question was not answered yes.

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "args.h"
#include "commands.h"
#include "link/link.h"
#include "link/port_names.h"
#include "logger/erase.h"
#include "logger/prompts.h"

namespace orvald::cli {
namespace {

// The erase's boxes on the terminal: the question on stderr, answered from
// stdin (anything but y or yes is No); messages on stderr.
class TerminalPrompts : public Prompts {
 public:
  explicit TerminalPrompts(bool assumeYes) : assumeYes(assumeYes) {}
  PromptAnswer Ask(const std::string&, const std::string& text, PromptButtons buttons, PromptIcon) override {
    if (buttons == PromptButtons::Ok) {
      std::fprintf(stderr, "%s\n", text.c_str());
      return PromptAnswer::Ok;
    }
    if (assumeYes) return PromptAnswer::Ok;
    std::fprintf(stderr, "%s [y/N] ", text.c_str());
    std::fflush(stderr);
    std::string answer;
    std::getline(std::cin, answer);
    if (!::isatty(STDIN_FILENO)) std::fputc('\n', stderr);  // the answer was not echoed
    return answer == "y" || answer == "Y" || answer == "yes" ? PromptAnswer::Ok : PromptAnswer::Cancel;
  }

 private:
  bool assumeYes;
};

}  // namespace

int RunErase(const std::vector<std::string>& args) {
  // --yes is the one option without a value.
  std::vector<std::string> rest;
  bool assumeYes = false;
  for (const std::string& arg : args) {
    if (arg == "--yes") {
      assumeYes = true;
    } else {
      rest.push_back(arg);
    }
  }
  const ParsedArgs parsed = ParseArgs(rest, {"port", "com"});
  if (!parsed.error.empty()) return UsageError("erase", parsed.error);
  if (!parsed.positional.empty()) return UsageError("erase", "unexpected argument " + parsed.positional.front());
  if (parsed.has("port") == parsed.has("com")) return UsageError("erase", "needs exactly one of --port DEVICE and --com N");

  // A named device is the only line used; a port number lets the USB adapter
  // carry the erase when it is plugged in.
  std::unique_ptr<UsbAdapterBackend> adapter;
  uint8_t portNo = 1;
  std::string device;
  if (parsed.has("port")) {
    device = parsed.options.at("port");
    if (device.empty()) return UsageError("erase", "--port needs a device path");
  } else {
    long number = 0;
    if (!ParseInteger(parsed.options.at("com"), 1, 255, number)) {
      return UsageError("erase", "--com takes a port number, 1 to 255");
    }
    portNo = static_cast<uint8_t>(number);
    adapter = MakeSystemUsbAdapter();
  }
  Link link(std::move(adapter));
  link.portNo = portNo;
  if (!device.empty()) link.SetPortResolver(FixedPortResolver(device));

  TerminalPrompts prompts(assumeYes);
  switch (EraseLogger(link, prompts)) {
    case EraseOutcome::Erased:
      std::printf("Logger erased\n");
      return kExitOk;
    case EraseOutcome::Cancelled:
      return Failure("nothing erased");
    case EraseOutcome::NotErased:
      return kExitFailure;  // "Logger not erased!" is already on stderr
  }
  return kExitFailure;
}

}  // namespace orvald::cli
