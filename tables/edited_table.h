#pragma once
// What the loggers table and the task windows table share: a grid of text
// cells held for the whole run, read from and written to its TSV file, grown
// and shrunk at the end by the Down and Up keys, and watched for edits.

#include <string>
#include <utility>
#include <vector>

#include "tables/edit_tracker.h"
#include "tables/grid_keys.h"
#include "tables/table_status.h"
#include "tables/text_grid.h"

namespace orvald {

class EditedTable {
 public:
  virtual ~EditedTable() = default;

  const std::string& filePath() const { return filePath_; }
  void SetFilePath(std::string filePath) { filePath_ = std::move(filePath); }

  // Fills the table from the file. A missing or unreadable file leaves one
  // data row and reports the table's read message.
  TableFileResult Load();
  // Writes every data row, blank ones too, after the byte-order mark the file
  // was loaded with (other programs that read the file may want it). A failed
  // write leaves the old file and the table in memory as they were and reports
  // the write message.
  TableFileResult Save() const;

  // Down on the last row adds a row; Up removes the last row while
  // LastRowRemovable() holds, unless it is the only data row.
  GridKeyEffect KeyDown(GridKey key, int selectionBottomRow);
  virtual bool LastRowRemovable() const = 0;

  // The cell editor's mask for a column ("" for none).
  virtual std::string EditMask(int column) const = 0;

  // Change tracking fed by the cell editor; see EditTracker.
  void SetEditText(int column, int row, const std::string& text) { tracker_.SetEditText(column, row, text); }
  // Fills a cell as the operator would, so Cancel asks before dropping it.
  void FillCell(int column, int row, std::string text) {
    grid_.SetCell(column, row, std::move(text));
    tracker_.MarkModified();
  }
  // The dialog is shown: edits count from now on.
  void StartEditing() { tracker_.StartEditing(); }
  bool modified() const { return tracker_.modified(); }

  TextGrid& grid() { return grid_; }
  const TextGrid& grid() const { return grid_; }

 protected:
  EditedTable(std::string filePath, std::vector<std::string> headings, const char* cantRead, const char* cantWrite)
      : grid_(std::move(headings)), filePath_(std::move(filePath)), cantRead_(cantRead), cantWrite_(cantWrite) {}

  TextGrid grid_;

 private:
  std::string filePath_;
  const char* cantRead_;
  const char* cantWrite_;
  bool byteOrderMark_ = false;
  EditTracker tracker_;
};

}  // namespace orvald
