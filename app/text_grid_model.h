#pragma once
// Shows a table's TextGrid in a QTableView: the grid's row 0 is the heading,
// its data rows are the view's rows. The grid stays the one copy of the table,
// so whatever the editor writes here is what the table's queries read.

#include <QAbstractTableModel>

#include "tables/text_grid.h"

namespace orvald {

class TextGridModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  TextGridModel(TextGrid& grid, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // The grid's row of a view index (data rows start at 1) and back.
  static int GridRow(const QModelIndex& index) { return index.row() + 1; }
  QModelIndex IndexOf(int column, int gridRow) const { return index(gridRow - 1, column); }

  // Tells the view about rows the table added or removed at its end.
  void SyncRowCount();
  // The table was read again: every cell may have changed.
  void Reload();

 private:
  TextGrid& grid_;
  int shownRows_;  // the data rows the view knows of
};

}  // namespace orvald
