#pragma once
// The string grid of the two table dialogs: one heading row, 16-pixel rows,
// adjustable column widths, and a masked cell editor that is always open on
// the current cell. Every change of the editor's text goes into the table at
// once and is reported to the dialog's change tracking; Up and Down on the
// last row go to the table first, which may add or remove that row.

#include <QTableView>
#include <functional>
#include <string>
#include <vector>

#include "tables/grid_keys.h"

class QLineEdit;

namespace orvald {

class TextGridModel;

struct TableGridHooks {
  // The table's mask text for a column's cells ("" for none).
  std::function<std::string(int column)> getEditMask;
  // Each text the editor shows: when it opens on a cell and after each edit.
  std::function<void(int column, int row, const std::string& text)> setEditText;
  // Up and Down, before the grid moves the cursor; rows count from 1.
  std::function<GridKeyEffect(GridKey key, int selectionBottomRow)> keyDown;
};

class TableGridView : public QTableView {
  Q_OBJECT
 public:
  TableGridView(TextGridModel* model, TableGridHooks hooks, const std::vector<int>& columnWidths,
                QWidget* parent = nullptr);

  TextGridModel* gridModel() const { return model_; }
  const TableGridHooks& hooks() const { return hooks_; }
  // Stops reporting to the owner; a dialog calls it before it is torn down,
  // since hiding a dying dialog still moves the focus and reopens the editor.
  void DetachHooks() { hooks_ = {}; }
  // The editor open on the current cell, or nullptr.
  QLineEdit* CellEditor() const;
  // Opens the editor on the current cell; the first cell when there is none.
  void OpenCellEditor();
  // The table was read again: show its cells and keep the cursor inside it.
  void TableReloaded();
  // The table's cells may have changed: show them, with the cursor on a
  // cell of the table (its row 1 is the grid's first).
  void ShowTableCell(int tableRow, int column);
  // The width the grid needs to show all its columns without a horizontal scroll bar.
  int FittingWidth() const;

 protected:
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  TextGridModel* model_;
  TableGridHooks hooks_;
};

}  // namespace orvald
