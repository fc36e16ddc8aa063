#include "app/table_dialog_layout.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/table_grid_view.h"
#include "logger/prompts.h"

namespace orvald {

namespace {
constexpr int kVisibleRows = 12;  // data rows the dialog shows before it scrolls
}  // namespace

QPushButton* NewDialogButton(const char* name, const char* caption, QDialog* dialog) {
  auto* button = new QPushButton(caption, dialog);
  button->setObjectName(name);
  button->setAutoDefault(false);  // Enter belongs to the cell editor
  return button;
}

void LayOutTableDialog(QDialog* dialog, TableGridView* grid, QPushButton* ok, QPushButton* cancel,
                       QPushButton* help) {
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  buttons->addWidget(help);

  auto* layout = new QVBoxLayout(dialog);
  layout->addWidget(grid, 1);
  layout->addLayout(buttons);

  const int gridHeight = 2 * grid->frameWidth() + grid->horizontalHeader()->sizeHint().height() +
                         kVisibleRows * grid->verticalHeader()->defaultSectionSize();
  grid->setMinimumWidth(grid->FittingWidth());
  grid->setMinimumHeight(gridHeight);
  dialog->resize(dialog->sizeHint().expandedTo(dialog->minimumSizeHint()));
}

void ShowTableFileError(Prompts& prompts, const std::string& message) {
  prompts.Ask("Error", message, PromptButtons::kOk, PromptIcon::kError);
}

bool ConfirmDiscardChanges(Prompts& prompts) {
  return prompts.Ask("Warning", "Discard changes?", PromptButtons::kOkCancel, PromptIcon::kWarning) ==
         PromptAnswer::kOk;
}

}  // namespace orvald
