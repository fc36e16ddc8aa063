#include "app/table_dialog.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/table_grid_view.h"
#include "app/text_grid_model.h"
#include "logger/prompts.h"
#include "tables/edited_table.h"

namespace orvald {

namespace {

constexpr int kVisibleRows = 12;  // data rows the dialog shows before it scrolls

QPushButton* NewDialogButton(const char* name, const char* caption, QDialog* dialog) {
  auto* button = new QPushButton(caption, dialog);
  button->setObjectName(name);
  button->setAutoDefault(false);  // Enter belongs to the cell editor
  return button;
}

// The start-up box for a table not read: its own words, then where it was
// looked for and what the operator's first OK will do about it.
std::string LoadFailureText(const TableFileResult& result, const std::string& filePath) {
  const QFileInfo file(QString::fromStdString(filePath));
  if (!result.missing) return result.message + "\n\n" + result.reason;
  return result.message + "\n\nThere is no " + file.fileName().toStdString() + " in " +
         file.absolutePath().toStdString() + " yet; an empty table will be created there at the first OK.";
}

}  // namespace

TTableDialog::TTableDialog(EditedTable& table, Prompts& prompts, const TableDialogNames& names,
                           const std::vector<int>& columnWidths, QWidget* parent)
    : QDialog(parent), table_(table), prompts_(prompts) {
  setObjectName(names.dialog);
  setWindowTitle(names.caption);

  model_ = new TextGridModel(table_.grid(), this);
  TableGridHooks hooks;
  hooks.getEditMask = [this](int column) { return table_.EditMask(column); };
  hooks.setEditText = [this](int column, int row, const std::string& text) { table_.SetEditText(column, row, text); };
  hooks.keyDown = [this](GridKey key, int row) { return table_.KeyDown(key, row); };
  grid_ = new TableGridView(model_, std::move(hooks), columnWidths, this);
  grid_->setObjectName(names.grid);

  QPushButton* ok = NewDialogButton(names.okButton, "OK", this);
  QPushButton* cancel = NewDialogButton(names.cancelButton, "Cancel", this);
  QPushButton* help = NewDialogButton("HelpBtn", "&Help", this);
  help->hide();  // no help file ships with the program: a button that does nothing is not offered
  connect(ok, &QPushButton::clicked, this, [this] { OKBtnClick(); });
  connect(cancel, &QPushButton::clicked, this, [this] { CancelBtnClick(); });
  connect(help, &QPushButton::clicked, this, [this] { HelpBtnClick(); });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  buttons->addWidget(help);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(grid_, 1);
  layout->addLayout(buttons);
  // Every column shows, and a dozen rows before the grid scrolls.
  grid_->setMinimumWidth(grid_->FittingWidth());
  grid_->setMinimumHeight(2 * grid_->frameWidth() + grid_->horizontalHeader()->sizeHint().height() +
                          kVisibleRows * grid_->verticalHeader()->defaultSectionSize());
  resize(sizeHint().expandedTo(minimumSizeHint()));
}

TTableDialog::~TTableDialog() { grid_->DetachHooks(); }

void TTableDialog::Load() {
  const TableFileResult result = table_.Load();
  grid_->TableReloaded();
  if (!result.ok()) prompts_.Ask("Error", LoadFailureText(result, table_.filePath()), PromptButtons::kOk, PromptIcon::kError);
  TableRead();
}

void TTableDialog::Save() {
  const TableFileResult result = table_.Save();
  if (!result.ok()) prompts_.Ask("Error", result.message, PromptButtons::kOk, PromptIcon::kError);
  TableWritten();
}

void TTableDialog::OKBtnClick() {
  // Refused input stays in the grid with its reason, for the operator to mend.
  if (const std::string refusal = Refusal(); !refusal.empty()) {
    prompts_.Ask("Error", refusal, PromptButtons::kOk, PromptIcon::kWarning);
    return;
  }
  Save();
  done(QDialog::Accepted);  // closes after a failed write too; the edits stay in memory
}

void TTableDialog::CancelBtnClick() {
  if (modified()) {
    if (prompts_.Ask("Warning", "Discard changes?", PromptButtons::kOkCancel, PromptIcon::kWarning) !=
        PromptAnswer::kOk) {
      return;
    }
    Load();
  }
  done(QDialog::Rejected);
}

// No help file exists, so there is nothing to show (and the button is hidden).
void TTableDialog::HelpBtnClick() {}

void TTableDialog::FormShow() { table_.StartEditing(); }

bool TTableDialog::modified() const { return table_.modified(); }

void TTableDialog::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TTableDialog::reject() { CancelBtnClick(); }

}  // namespace orvald
