#include "app/segments_model.h"

#include <algorithm>

namespace orvald {

namespace {

// The window says which clock its times are on; raw file names use local time.
QString HeadingText(int column) {
  const QString heading = QString::fromLatin1(kGridHeadings[column]);
  return column == 1 || column == 2 ? heading + " (UTC)" : heading;
}

}  // namespace

SegmentsModel::SegmentsModel(QObject* parent) : QAbstractTableModel(parent) { rows_.resize(1); }

void SegmentsModel::SetGridRowCount(int count) {
  const int wanted = std::max(count, 2) - 1;
  const int now = static_cast<int>(rows_.size());
  if (wanted > now) {
    beginInsertRows({}, now, wanted - 1);
    rows_.resize(wanted);
    endInsertRows();
  } else if (wanted < now) {
    beginRemoveRows({}, wanted, now - 1);
    rows_.resize(wanted);
    endRemoveRows();
  }
}

void SegmentsModel::SetGridRow(int row, const std::array<std::string, kGridColumns>& cells) {
  if (row < 1 || row > static_cast<int>(rows_.size())) return;
  Cells& target = rows_[row - 1];
  for (int c = 0; c < kGridColumns; ++c) target[c] = QString::fromStdString(cells[c]);
  emit dataChanged(index(row - 1, 0), index(row - 1, kGridColumns - 1));
}

void SegmentsModel::ClearGridRow(int row) {
  if (row < 1 || row > static_cast<int>(rows_.size())) return;
  rows_[row - 1] = Cells{};
  emit dataChanged(index(row - 1, 0), index(row - 1, kGridColumns - 1));
}

QString SegmentsModel::GridCell(int column, int row) const {
  if (column < 0 || column >= kGridColumns) return {};
  if (row == 0) return HeadingText(column);
  if (row < 1 || row > static_cast<int>(rows_.size())) return {};
  return rows_[row - 1][column];
}

int SegmentsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int SegmentsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kGridColumns; }

QVariant SegmentsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
  if (role == Qt::DisplayRole) return rows_[index.row()][index.column()];
  return {};
}

QVariant SegmentsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < kGridColumns) {
    return HeadingText(section);
  }
  return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags SegmentsModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;  // never editable
}

}  // namespace orvald
