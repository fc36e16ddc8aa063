#pragma once
// A table of text cells as a string grid shows it: row 0 holds the headings,
// rows 1 and on the data, and there is always at least one data row. The
// dialogs' grids display this object directly, so every query sees the cells
// exactly as the operator left them, saved or not.

#include <string>
#include <vector>

namespace orvald {

class TextGrid {
 public:
  explicit TextGrid(std::vector<std::string> headings);

  int columnCount() const { return columnCount_; }
  // Heading row included, so never less than 2.
  int rowCount() const { return static_cast<int>(rows_.size()); }
  int lastRow() const { return rowCount() - 1; }

  // Out-of-range places read as empty text and ignore writes, as a grid does.
  const std::string& Cell(int column, int row) const;
  void SetCell(int column, int row, std::string text);

  // Growing adds empty rows; shrinking drops rows from the end, and the rows
  // that remain keep their cells. Counts below 2 are raised to 2.
  void SetRowCount(int count);
  void AddRow();
  void RemoveLastRow();  // never removes the only data row

  // Every cell of one column, heading first.
  std::vector<std::string> Column(int column) const;

 private:
  int columnCount_;
  std::vector<std::vector<std::string>> rows_;
};

// Leading and trailing blanks (spaces and control characters) removed.
std::string TrimBlanks(const std::string& text);

}  // namespace orvald
