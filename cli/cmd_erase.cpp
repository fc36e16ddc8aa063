// orvald-cli erase (--port DEVICE | --com N) [--yes]
// Erases the logger's memory after asking on the terminal (or straight away
// with --yes). Exit 0 once the logger agreed, or once its memory reads empty
// after an agreement that did not come in time; 1 with "Logger not erased!"
// otherwise, or when the question was not answered yes.

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/port_choice.h"
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
    if (buttons == PromptButtons::kOk) {
      std::fprintf(stderr, "%s\n", text.c_str());
      return PromptAnswer::kOk;
    }
    if (assumeYes) return PromptAnswer::kOk;
    std::fprintf(stderr, "%s [y/N] ", text.c_str());
    std::fflush(stderr);
    std::string answer;
    std::getline(std::cin, answer);
    if (!::isatty(STDIN_FILENO)) std::fputc('\n', stderr);  // the answer was not echoed
    return answer == "y" || answer == "Y" || answer == "yes" ? PromptAnswer::kOk : PromptAnswer::kCancel;
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
  PortChoice port;
  const std::string error = ReadPortChoice(parsed, port);
  if (!error.empty()) return UsageError("erase", error);

  const std::unique_ptr<Link> link = MakeLink(port);
  TerminalPrompts prompts(assumeYes);
  ReplyOrder order;
  switch (EraseLogger(*link, order, prompts)) {
    case EraseOutcome::kErased:
      std::printf("Logger erased\n");
      return kExitOk;
    case EraseOutcome::kCancelled:
      return Failure("nothing erased");
    case EraseOutcome::kNotErased:
      return kExitFailure;  // "Logger not erased!" is already on stderr
  }
  return kExitFailure;
}

}  // namespace orvald::cli
