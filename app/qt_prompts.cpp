#include "app/qt_prompts.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace orvald {

namespace {

QMessageBox::Icon ToQtIcon(PromptIcon icon) {
  switch (icon) {
    case PromptIcon::kInformation: return QMessageBox::Information;
    case PromptIcon::kWarning: return QMessageBox::Warning;
    case PromptIcon::kError: return QMessageBox::Critical;
    case PromptIcon::kQuestion: return QMessageBox::Question;
    case PromptIcon::kNone: break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQtButtons(PromptButtons buttons) {
  switch (buttons) {
    case PromptButtons::kOkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case PromptButtons::kYesNo: return QMessageBox::Yes | QMessageBox::No;
    case PromptButtons::kOk: break;
  }
  return QMessageBox::Ok;
}

}  // namespace

PromptAnswer QtPrompts::Ask(const std::string& caption, const std::string& text, PromptButtons buttons,
                            PromptIcon icon) {
  QMessageBox box(ToQtIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                  ToQtButtons(buttons), parent_.data());
  // Return (or a hasty click on the focused button) gives the harmless answer:
  // nothing is erased, stopped or written twice unless the operator chooses it.
  if (buttons == PromptButtons::kYesNo) box.setDefaultButton(QMessageBox::No);
  if (buttons == PromptButtons::kOkCancel) box.setDefaultButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Yes: return PromptAnswer::kYes;
    case QMessageBox::No: return PromptAnswer::kNo;
    case QMessageBox::Cancel: return PromptAnswer::kCancel;
    case QMessageBox::Ok: return PromptAnswer::kOk;
    default: break;
  }
  // Closed by the window's close box or Escape: the harmless answer.
  switch (buttons) {
    case PromptButtons::kYesNo: return PromptAnswer::kNo;
    case PromptButtons::kOkCancel: return PromptAnswer::kCancel;
    case PromptButtons::kOk: break;
  }
  return PromptAnswer::kOk;
}

std::optional<std::string> QtPrompts::ChooseFileToOpen(const std::string& title, const std::string& filter,
                                                       const std::string& defaultSuffix,
                                                       const std::string& startDirectory) {
  QFileDialog dialog(parent_.data(), QString::fromStdString(title), QString::fromStdString(startDirectory),
                     QString::fromStdString(filter));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setDefaultSuffix(QString::fromStdString(defaultSuffix));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst().toStdString();
}

std::optional<std::string> QtPrompts::ChooseDirectory(const std::string& prompt,
                                                      const std::string& startDirectory) {
  // Opened on the folder's parent with the folder itself selected, so the
  // one the program offers (on a first start the new ~/ORVALD) is plain to
  // see and one click takes it.
  QFileDialog dialog(parent_.data(), QString::fromStdString(prompt));
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  const QFileInfo start(QString::fromStdString(startDirectory));
  if (start.isDir()) {
    dialog.setDirectory(start.absoluteDir());
    dialog.selectFile(start.fileName());
  } else {
    dialog.setDirectory(QDir::home());
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst().toStdString();
}

}  // namespace orvald
