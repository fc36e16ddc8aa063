#include "tables/text_grid.h"

#include <utility>

namespace orvald {

namespace {
const std::string kNoText;
}  // namespace

TextGrid::TextGrid(std::vector<std::string> headings)
    : columnCount_(static_cast<int>(headings.size())) {
  rows_.push_back(std::move(headings));
  rows_.emplace_back(columnCount_);
}

const std::string& TextGrid::Cell(int column, int row) const {
  if (column < 0 || column >= columnCount_ || row < 0 || row >= rowCount()) return kNoText;
  return rows_[row][column];
}

void TextGrid::SetCell(int column, int row, std::string text) {
  if (column < 0 || column >= columnCount_ || row < 0 || row >= rowCount()) return;
  rows_[row][column] = std::move(text);
}

void TextGrid::SetRowCount(int count) {
  if (count < 2) count = 2;
  rows_.resize(count, std::vector<std::string>(columnCount_));
}

void TextGrid::AddRow() { rows_.emplace_back(columnCount_); }

void TextGrid::RemoveLastRow() {
  if (rowCount() > 2) rows_.pop_back();
}

std::vector<std::string> TextGrid::Column(int column) const {
  std::vector<std::string> cells;
  cells.reserve(rows_.size());
  for (int row = 0; row < rowCount(); ++row) cells.push_back(Cell(column, row));
  return cells;
}

std::string TrimBlanks(const std::string& text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && blank(text[begin])) ++begin;
  while (end > begin && blank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

}  // namespace orvald
