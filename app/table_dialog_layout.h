#pragma once
// The shape both table dialogs share: the grid filling the dialog, the three
// buttons in a row beneath it on the right, and the boxes they show.

#include <QString>
#include <string>

class QDialog;
class QPushButton;

namespace orvald {

class Prompts;
class TableGridView;

QPushButton* NewDialogButton(const char* name, const char* caption, QDialog* dialog);

// Lays out `grid` above the buttons and sizes the dialog so every column shows.
void LayOutTableDialog(QDialog* dialog, TableGridView* grid, QPushButton* ok, QPushButton* cancel,
                       QPushButton* help);

// A table file that could not be read or written: error icon, one OK button.
void ShowTableFileError(Prompts& prompts, const std::string& message);

// Whether the operator lets the edits go: warning icon, OK and Cancel.
bool ConfirmDiscardChanges(Prompts& prompts);

}  // namespace orvald
