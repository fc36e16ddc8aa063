#include "app/table_grid_view.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolTip>

#include "app/edit_mask.h"
#include "app/text_grid_model.h"

namespace orvald {

namespace {

constexpr int kRowHeight = 16;

// A type small enough that a cell's text, and the editor over it, fit a 16-pixel row.
void FitRowFont(QTableView* grid) {
  QFont font = grid->font();
  for (qreal size = font.pointSizeF(); size >= 6.0; size -= 0.5) {
    font.setPointSizeF(size);
    if (QFontMetrics(font).height() + 2 <= kRowHeight) break;
  }
  grid->setFont(font);
  grid->horizontalHeader()->setFont(font);
}

// The headings are longer than the cells beneath them ("Date (yyyy/mm/dd)"
// over a date): their type shrinks until each fits its column's width.
void FitHeadingFont(QTableView* grid, const std::vector<int>& columnWidths) {
  QHeaderView* header = grid->horizontalHeader();
  const int margins = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header) + 2;
  QFont font = header->font();
  for (qreal size = font.pointSizeF(); size >= 6.0; size -= 0.5) {
    font.setPointSizeF(size);
    const QFontMetrics metrics(font);
    bool fits = true;
    for (int column = 0; column < static_cast<int>(columnWidths.size()); ++column) {
      const QString heading = grid->model()->headerData(column, Qt::Horizontal).toString();
      if (metrics.horizontalAdvance(heading) + margins > columnWidths[column]) fits = false;
    }
    if (fits) break;
  }
  header->setFont(font);
}

// A masked line edit drops a key its mask refuses before the line edit sees
// it: the line edit would first delete the selected text, so a letter typed
// over a selected "042" wiped the number. Every mask here takes digits only.
class MaskedLineEdit : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    const QString text = event->text();
    const bool printable = text.size() == 1 && text[0].isPrint();
    if (!inputMask().isEmpty() && printable && !text[0].isDigit() && !(event->modifiers() & Qt::ControlModifier)) {
      event->accept();
      return;
    }
    QLineEdit::keyPressEvent(event);
  }
};

// The cell editor: a frameless line edit with the column's mask. It writes
// each edit into the table straight away, so the table's queries and the
// next save see what the operator sees, and reports the text it shows. A
// masked cell left half filled in goes back to what it held before.
class MaskedCellDelegate : public QStyledItemDelegate {
 public:
  explicit MaskedCellDelegate(TableGridView* view) : QStyledItemDelegate(view), view_(view) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override {
    auto* editor = new MaskedLineEdit(parent);
    editor->setFrame(false);
    editor->setFont(view_->font());
    if (view_->hooks().getEditMask)
      editor->setInputMask(QtInputMask(view_->hooks().getEditMask(index.column())));
    const QPersistentModelIndex cell(index);
    TableGridView* view = view_;
    QObject::connect(editor, &QLineEdit::textEdited, editor, [view, editor, cell] {
      if (!cell.isValid()) return;
      // displayText keeps the unfilled places of a mask as spaces; text() would drop them.
      const QString shown = editor->displayText();
      view->model()->setData(cell, shown, Qt::EditRole);
      if (view->hooks().setEditText)
        view->hooks().setEditText(cell.column(), TextGridModel::GridRow(cell), shown.toStdString());
    });
    return editor;
  }

  void setEditorData(QWidget* widget, const QModelIndex& index) const override {
    auto* editor = static_cast<QLineEdit*>(widget);
    const QString text = index.data(Qt::EditRole).toString();
    // The table changed under the editor because the editor wrote it: leave
    // the editor (and its cursor) alone.
    if (editor->property("opened").toBool() && editor->displayText() == text) return;
    editor->setText(text);
    editor->selectAll();
    editor->setProperty("opened", true);
    editor->setProperty("textAtOpen", text);
    if (view_->hooks().setEditText)
      view_->hooks().setEditText(index.column(), TextGridModel::GridRow(index), editor->displayText().toStdString());
  }

  // Every edit is in the table already.
  void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {}

  void destroyEditor(QWidget* widget, const QModelIndex& index) const override {
    auto* editor = static_cast<QLineEdit*>(widget);
    // Only while the table still holds what the editor shows (a reload
    // closes the editor too, and must keep what it loaded).
    if (index.isValid() && view_->hooks().getEditMask && editor->property("opened").toBool() &&
        index.data(Qt::EditRole).toString() == editor->displayText() &&
        !MaskAccepts(view_->hooks().getEditMask(index.column()), editor->displayText())) {
      std::vector<QString> column;
      for (int r = 0; r < view_->model()->rowCount(); ++r) {
        if (r != index.row()) column.push_back(view_->model()->index(r, index.column()).data(Qt::EditRole).toString());
      }
      const SettledCell settled =
          SettleMaskedText(view_->hooks().getEditMask(index.column()), editor->displayText(), column);
      view_->model()->setData(index, settled.text, Qt::EditRole);
      if (view_->hooks().setEditText)
        view_->hooks().setEditText(index.column(), TextGridModel::GridRow(index), settled.text.toStdString());
      if (!settled.reason.empty()) {
        // Said at the cell, so the operator sees which input did not fit and why.
        QApplication::beep();
        QToolTip::showText(view_->viewport()->mapToGlobal(view_->visualRect(index).bottomLeft()),
                           QString::fromStdString(settled.reason), view_->viewport());
      }
    }
    QStyledItemDelegate::destroyEditor(widget, index);
  }

 private:
  TableGridView* view_;
};

}  // namespace

TableGridView::TableGridView(TextGridModel* model, TableGridHooks hooks, const std::vector<int>& columnWidths,
                             QWidget* parent)
    : QTableView(parent), model_(model), hooks_(std::move(hooks)) {
  setModel(model_);
  setItemDelegate(new MaskedCellDelegate(this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(QAbstractItemView::AllEditTriggers);
  setTabKeyNavigation(true);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setMinimumSectionSize(kRowHeight);
  verticalHeader()->setDefaultSectionSize(kRowHeight);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setMinimumSectionSize(16);
  horizontalHeader()->setStretchLastSection(false);
  FitRowFont(this);
  FitHeadingFont(this, columnWidths);
  for (int column = 0; column < static_cast<int>(columnWidths.size()); ++column)
    setColumnWidth(column, columnWidths[column]);
}

QLineEdit* TableGridView::CellEditor() const {
  const QModelIndex current = currentIndex();
  return current.isValid() ? qobject_cast<QLineEdit*>(indexWidget(current)) : nullptr;
}

void TableGridView::OpenCellEditor() {
  QModelIndex current = currentIndex();
  if (!current.isValid()) {
    current = model_->index(0, 0);
    setCurrentIndex(current);  // opens the editor through currentChanged
  }
  // edit() complains about a cell that has its editor already.
  if (current.isValid() && !indexWidget(current) && state() != EditingState) edit(current);
}

void TableGridView::TableReloaded() {
  const QModelIndex before = currentIndex();
  ShowTableCell(before.row() + 1, before.column());
}

void TableGridView::ShowTableCell(int tableRow, int column) {
  model_->Reload();  // closes the editor and forgets the current cell
  const int row = std::min(std::max(tableRow - 1, 0), model_->rowCount() - 1);
  setCurrentIndex(model_->index(row, std::max(column, 0)));
  scrollTo(currentIndex());
  if (isVisible()) OpenCellEditor();
}

int TableGridView::FittingWidth() const {
  int width = 2 * frameWidth() + verticalScrollBar()->sizeHint().width();
  for (int column = 0; column < model_->columnCount(); ++column) width += columnWidth(column);
  return width;
}

void TableGridView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTableView::currentChanged(current, previous);
  if (isVisible()) OpenCellEditor();
}

void TableGridView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  QTableView::closeEditor(editor, hint);
  // Enter and Escape close the editor; the grid keeps one open all the same.
  // Tab and Shift+Tab open the next one themselves.
  if (hint != QAbstractItemDelegate::EditNextItem && hint != QAbstractItemDelegate::EditPreviousItem && isVisible())
    OpenCellEditor();
}

void TableGridView::keyPressEvent(QKeyEvent* event) {
  const GridKey key = event->key() == Qt::Key_Down ? GridKey::kDown
                      : event->key() == Qt::Key_Up ? GridKey::kUp
                                                   : GridKey::kOther;
  if (key != GridKey::kOther && hooks_.keyDown) {
    const QModelIndex current = currentIndex();
    const int selectionBottomRow = current.isValid() ? TextGridModel::GridRow(current) : -1;
    const GridKeyEffect effect = hooks_.keyDown(key, selectionBottomRow);
    model_->SyncRowCount();
    if (effect == GridKeyEffect::kRowRemoved) {
      // The cursor was on the row that went; Up lands on the new last row.
      setCurrentIndex(model_->index(model_->rowCount() - 1, std::max(current.column(), 0)));
      event->accept();
      return;
    }
  }
  QTableView::keyPressEvent(event);
}

void TableGridView::showEvent(QShowEvent* event) {
  QTableView::showEvent(event);
  OpenCellEditor();
}

}  // namespace orvald
