#include "app/text_grid_model.h"

namespace orvald {

TextGridModel::TextGridModel(TextGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid), shownRows_(grid.rowCount() - 1) {}

int TextGridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shownRows_; }

int TextGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : grid_.columnCount();
}

QVariant TextGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
  return QString::fromStdString(grid_.Cell(index.column(), GridRow(index)));
}

QVariant TextGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  return QString::fromStdString(grid_.Cell(section, 0));
}

bool TextGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole) return false;
  const std::string text = value.toString().toStdString();
  if (grid_.Cell(index.column(), GridRow(index)) == text) return true;
  grid_.SetCell(index.column(), GridRow(index), text);
  emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
  return true;
}

Qt::ItemFlags TextGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

void TextGridModel::SyncRowCount() {
  const int rows = grid_.rowCount() - 1;
  if (rows > shownRows_) {
    beginInsertRows(QModelIndex(), shownRows_, rows - 1);
    shownRows_ = rows;
    endInsertRows();
  } else if (rows < shownRows_) {
    beginRemoveRows(QModelIndex(), rows, shownRows_ - 1);
    shownRows_ = rows;
    endRemoveRows();
  }
}

void TextGridModel::Reload() {
  beginResetModel();
  shownRows_ = grid_.rowCount() - 1;
  endResetModel();
}

}  // namespace orvald
