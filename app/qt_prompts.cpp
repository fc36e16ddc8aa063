#include "app/qt_prompts.h"

#include <QFileDialog>
#include <QMessageBox>

namespace orvald {

namespace {

QMessageBox::Icon ToQtIcon(PromptIcon icon) {
  switch (icon) {
    case PromptIcon::Information: return QMessageBox::Information;
    case PromptIcon::Warning: return QMessageBox::Warning;
    case PromptIcon::Error: return QMessageBox::Critical;
    case PromptIcon::Question: return QMessageBox::Question;
    case PromptIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQtButtons(PromptButtons buttons) {
  switch (buttons) {
    case PromptButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case PromptButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case PromptButtons::Ok: break;
  }
  return QMessageBox::Ok;
}

}  // namespace

PromptAnswer QtPrompts::Ask(const std::string& caption, const std::string& text, PromptButtons buttons,
                            PromptIcon icon) {
  QMessageBox box(ToQtIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                  ToQtButtons(buttons), parent_.data());
  switch (box.exec()) {
    case QMessageBox::Yes: return PromptAnswer::Yes;
    case QMessageBox::No: return PromptAnswer::No;
    case QMessageBox::Cancel: return PromptAnswer::Cancel;
    case QMessageBox::Ok: return PromptAnswer::Ok;
    default: break;
  }
  // Closed by the window's close box or Escape: the harmless answer.
  switch (buttons) {
    case PromptButtons::YesNo: return PromptAnswer::No;
    case PromptButtons::OkCancel: return PromptAnswer::Cancel;
    case PromptButtons::Ok: break;
  }
  return PromptAnswer::Ok;
}

std::optional<std::string> QtPrompts::ChooseFileToOpen(const std::string& title, const std::string& filter,
                                                       const std::string& defaultSuffix) {
  QFileDialog dialog(parent_.data(), QString::fromStdString(title), QString(), QString::fromStdString(filter));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setDefaultSuffix(QString::fromStdString(defaultSuffix));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst().toStdString();
}

std::optional<std::string> QtPrompts::ChooseDirectory(const std::string& prompt,
                                                      const std::string& startDirectory) {
  const QString chosen = QFileDialog::getExistingDirectory(parent_.data(), QString::fromStdString(prompt),
                                                           QString::fromStdString(startDirectory));
  if (chosen.isEmpty()) return std::nullopt;
  return chosen.toStdString();
}

}  // namespace orvald
