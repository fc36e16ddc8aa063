#pragma once
// Every modal box of the window program goes through this one interface: the
// message boxes and questions the core asks (Prompts) plus the two choosers
// only the window has. The program shows real dialogs; the GUI tests script
// the answers, so no test ever waits on a dialog.

#include <optional>
#include <string>

#include "logger/prompts.h"

namespace orvald {

class AppPrompts : public Prompts {
 public:
  // The file-open dialog, showing `startDirectory`: `filter` in the toolkit's
  // "Name (*.ext);;..." form. std::nullopt when the operator cancels.
  virtual std::optional<std::string> ChooseFileToOpen(const std::string& title, const std::string& filter,
                                                      const std::string& defaultSuffix,
                                                      const std::string& startDirectory) = 0;
  // The folder browser, with `startDirectory` shown and selected. std::nullopt when cancelled.
  virtual std::optional<std::string> ChooseDirectory(const std::string& prompt,
                                                     const std::string& startDirectory) = 0;
};

}  // namespace orvald
