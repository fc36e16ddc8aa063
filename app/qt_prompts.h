#pragma once
// The real dialogs behind AppPrompts: QMessageBox, QFileDialog.

#include <QPointer>
#include <QWidget>

#include "app/app_prompts.h"

namespace orvald {

class QtPrompts : public AppPrompts {
 public:
  // Boxes are centred on `parent` once it exists; before that on the screen.
  void SetParentWindow(QWidget* parent) { parent_ = parent; }

  PromptAnswer Ask(const std::string& caption, const std::string& text, PromptButtons buttons,
                   PromptIcon icon) override;
  std::optional<std::string> ChooseFileToOpen(const std::string& title, const std::string& filter,
                                              const std::string& defaultSuffix,
                                              const std::string& startDirectory) override;
  std::optional<std::string> ChooseDirectory(const std::string& prompt,
                                             const std::string& startDirectory) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace orvald
