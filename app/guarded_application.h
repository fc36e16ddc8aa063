#pragma once
// An error that escapes start-up or an event handler is shown to the operator
// and ends the process with exit status 1; nothing carries on in a state no
// handler finished.

#include <QApplication>
#include <functional>

#include "app/app_prompts.h"

namespace orvald {

inline constexpr const char* kEscapedErrorCaption = "ORVALD";

class GuardedApplication : public QApplication {
 public:
  GuardedApplication(int& argc, char** argv, AppPrompts& prompts);
  bool notify(QObject* receiver, QEvent* event) override;
  // Shows `text` once and asks the event loop to end with status 1.
  void ReportEscapedError(const std::string& text);

 private:
  AppPrompts& prompts_;
  bool reported_ = false;
};

// Runs `body` (start-up and the event loop); an exception from it is shown
// and gives 1, as does an error reported from inside the loop.
int RunGuarded(AppPrompts& prompts, const std::function<int()>& body);

}  // namespace orvald
