#pragma once
// Decides whether the operator changed a table since the dialog was shown.
// The cell editor reports its text on every change, including when it merely
// opens on a cell, so a report only counts as an edit when it follows a report
// for the same cell with a different text.

#include <string>

namespace orvald {

class EditTracker {
 public:
  // One report of the cell editor: its column, row and current text.
  void SetEditText(int column, int row, const std::string& text) {
    if (column == column_ && row == row_ && text != text_) modified_ = true;
    column_ = column;
    row_ = row;
    text_ = text;
  }

  // Showing the dialog starts a fresh editing session; the memory of the last
  // reported cell carries over on purpose.
  void StartEditing() { modified_ = false; }
  // A cell the program filled in for the operator counts as an edit.
  void MarkModified() { modified_ = true; }

  bool modified() const { return modified_; }

 private:
  bool modified_ = false;
  int column_ = -1;
  int row_ = -1;
  std::string text_;
};

}  // namespace orvald
