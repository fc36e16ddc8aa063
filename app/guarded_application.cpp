#include "app/guarded_application.h"

#include <exception>

namespace orvald {

GuardedApplication::GuardedApplication(int& argc, char** argv, AppPrompts& prompts)
    : QApplication(argc, argv), prompts_(prompts) {}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ReportEscapedError(error.what());
  } catch (...) {
    ReportEscapedError("Unknown error");
  }
  return false;
}

void GuardedApplication::ReportEscapedError(const std::string& text) {
  if (reported_) return;
  reported_ = true;
  prompts_.Ask(kEscapedErrorCaption, text, PromptButtons::kOk, PromptIcon::kError);
  exit(1);
}

int RunGuarded(AppPrompts& prompts, const std::function<int()>& body) {
  try {
    return body() == 0 ? 0 : 1;
  } catch (const std::exception& error) {
    prompts.Ask(kEscapedErrorCaption, error.what(), PromptButtons::kOk, PromptIcon::kError);
  } catch (...) {
    prompts.Ask(kEscapedErrorCaption, "Unknown error", PromptButtons::kOk, PromptIcon::kError);
  }
  return 1;
}

}  // namespace orvald
