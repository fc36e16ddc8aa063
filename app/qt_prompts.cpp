#include "app/qt_prompts.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
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
