#pragma once
// Every modal box the core asks the operator goes through this interface: the
// window shows message boxes, the command line answers from its options, and
// tests script the answers.

#include <string>

namespace orvald {

enum class PromptButtons { kOk, kOkCancel, kYesNo };
enum class PromptIcon { kNone, kInformation, kWarning, kError, kQuestion };
enum class PromptAnswer { kOk, kCancel, kYes, kNo };

class Prompts {
 public:
  virtual ~Prompts() = default;
  // Shows `text` in a modal box captioned `caption` and returns the button chosen.
  virtual PromptAnswer Ask(const std::string& caption, const std::string& text, PromptButtons buttons,
                           PromptIcon icon) = 0;
};

}  // namespace orvald
