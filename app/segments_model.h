#pragma once
// The cells of SegmentsGrid. The grid counts its heading row as row 0, so grid
// row r is model row r - 1 and the grid's row count is the model's plus one.
// A model keeps 20000 rows cheap where one widget item per cell would not.

#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <string>
#include <vector>

#include "tracklog/grid_text.h"

namespace orvald {

class SegmentsModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  using Cells = std::array<QString, kGridColumns>;

  explicit SegmentsModel(QObject* parent = nullptr);

  // Heading row included, as the grid counts; never less than 2.
  int gridRowCount() const { return static_cast<int>(rows_.size()) + 1; }
  void SetGridRowCount(int count);
  // Grid row `row` (1 or more); other rows are ignored.
  void SetGridRow(int row, const std::array<std::string, kGridColumns>& cells);
  void ClearGridRow(int row);
  // The text of grid cell (column, row); row 0 gives the heading.
  QString GridCell(int column, int row) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  std::vector<Cells> rows_;
};

}  // namespace orvald
