#pragma once
// AppPrompts for the GUI tests: every box asked is recorded, and the answers
// come from a script. A box nobody scripted is answered with the harmless
// button and marked, so a test sees unexpected questions instead of hanging.

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/app_prompts.h"

namespace orvald::testing {

struct AskedBox {
  std::string caption;
  std::string text;
  PromptButtons buttons;
  PromptIcon icon;
  bool scripted;
};

struct AskedChooser {
  std::string kind;  // "open" or "directory"
  std::string title;
  std::string filter;
  std::string defaultSuffix;
  std::string startDirectory;
};

class ScriptedPrompts : public AppPrompts {
 public:
  std::deque<PromptAnswer> answers;
  std::deque<std::optional<std::string>> files;        // ChooseFileToOpen, in order
  std::deque<std::optional<std::string>> directories;  // ChooseDirectory, in order
  std::vector<AskedBox> boxes;
  std::vector<AskedChooser> choosers;
  // Runs while a box is "open", as the operator's other clicks would.
  std::function<void(const AskedBox&)> whileAsking;

  PromptAnswer Ask(const std::string& caption, const std::string& text, PromptButtons buttons,
                   PromptIcon icon) override {
    boxes.push_back({caption, text, buttons, icon, !answers.empty()});
    if (whileAsking) whileAsking(boxes.back());
    if (answers.empty()) {
      return buttons == PromptButtons::kYesNo ? PromptAnswer::kNo
             : buttons == PromptButtons::kOkCancel ? PromptAnswer::kCancel
                                                  : PromptAnswer::kOk;
    }
    PromptAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }

  std::optional<std::string> ChooseFileToOpen(const std::string& title, const std::string& filter,
                                              const std::string& defaultSuffix,
                                              const std::string& startDirectory) override {
    choosers.push_back({"open", title, filter, defaultSuffix, startDirectory});
    if (files.empty()) return std::nullopt;
    auto file = files.front();
    files.pop_front();
    return file;
  }

  std::optional<std::string> ChooseDirectory(const std::string& prompt, const std::string& startDirectory) override {
    choosers.push_back({"directory", prompt, "", "", startDirectory});
    if (directories.empty()) return std::nullopt;
    auto dir = directories.front();
    directories.pop_front();
    return dir;
  }

  int UnscriptedBoxes() const {
    int n = 0;
    for (const AskedBox& box : boxes) n += box.scripted ? 0 : 1;
    return n;
  }
};

}  // namespace orvald::testing
