#include "app/today_dlg.h"

#include <algorithm>
#include <iterator>

#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/window_placement.h"


namespace orvald {

namespace {

constexpr int kSettleMs = 300;
constexpr QSize kLeastFirstSize(980, 520);
constexpr int kWidestColumnPx = 260;  // longer names are elided; the tooltip has them whole
constexpr int kNumberColumns[] = {0, 8};  // No. and Points sort as numbers

QColor RowColour(DayVerdict verdict) {
  switch (verdict) {
    case DayVerdict::kNotInTable: return QColor(235, 235, 235);
    case DayVerdict::kIncomplete:
    case DayVerdict::kCheck: return QColor(255, 224, 196);
    case DayVerdict::kSaved:
    case DayVerdict::kDownloaded: return QColor(222, 242, 218);
    case DayVerdict::kNotSaved: return QColor(255, 244, 204);
    case DayVerdict::kNotDownloaded: break;
  }
  return QColor(Qt::white);
}

// A cell that sorts by number when both cells hold one ("7" before "12"),
// by text otherwise, numbers first.
class SortedCell : public QTableWidgetItem {
 public:
  SortedCell(const QString& text, bool numeric) : QTableWidgetItem(text) {
    if (numeric) number_ = text.toDouble(&isNumber_);
  }
  bool operator<(const QTableWidgetItem& other) const override {
    const auto* cell = dynamic_cast<const SortedCell*>(&other);
    if (cell && (isNumber_ || cell->isNumber_)) {
      if (isNumber_ != cell->isNumber_) return isNumber_;
      return number_ < cell->number_;
    }
    return QTableWidgetItem::operator<(other);
  }

 private:
  bool isNumber_ = false;
  double number_ = 0;
};

}  // namespace

TTodayDlg::TTodayDlg(std::string dataDir, std::string task, QWidget* parent)
    : QDialog(parent), dataDir_(std::move(dataDir)), task_(std::move(task)) {
  setObjectName("TodayDlg");
  setWindowTitle("Today");
  setSizeGripEnabled(true);  // a long day's list wants all the room the desk's screen has

  lblTask = new QLabel(this);
  lblTask->setObjectName("lblTask");
  chkMissingOnly = new QCheckBox("Missing only", this);
  chkMissingOnly->setObjectName("chkMissingOnly");
  lblSummary = new QLabel(this);
  lblSummary->setObjectName("lblSummary");
  QFont summaryFont = lblSummary->font();
  summaryFont.setBold(true);
  lblSummary->setFont(summaryFont);
  // A folder's problem can be a long sentence: it wraps rather than widen the view beyond the screen.
  lblSummary->setWordWrap(true);
  auto* refresh = new QPushButton("Refresh", this);
  refresh->setObjectName("btnRefresh");
  refresh->setAutoDefault(false);

  TodayGrid = new QTableWidget(0, kDayColumns, this);
  TodayGrid->setObjectName("TodayGrid");
  QStringList headings;
  for (const char* heading : kDayHeadings) headings << heading;
  TodayGrid->setHorizontalHeaderLabels(headings);
  TodayGrid->verticalHeader()->hide();
  TodayGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TodayGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
  TodayGrid->setWordWrap(false);
  TodayGrid->setTextElideMode(Qt::ElideRight);
  TodayGrid->setSortingEnabled(true);
  TodayGrid->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);  // the folder's order until clicked
  TodayGrid->horizontalHeader()->setStretchLastSection(true);
  TodayGrid->verticalHeader()->setDefaultSectionSize(TodayGrid->fontMetrics().height() + 8);

  auto* top = new QHBoxLayout;
  top->addWidget(lblTask);
  top->addSpacing(12);
  top->addWidget(lblSummary, 1);
  top->addWidget(chkMissingOnly);
  top->addWidget(refresh);
  auto* column = new QVBoxLayout(this);
  column->addLayout(top);
  column->addWidget(TodayGrid, 1);

  settle_.setSingleShot(true);
  settle_.setInterval(kSettleMs);
  connect(&settle_, &QTimer::timeout, this, [this] { Refresh(); });
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { settle_.start(); });
  watcher_.addPath(QString::fromStdString(dataDir_.empty() ? "." : dataDir_));
  connect(refresh, &QPushButton::clicked, this, [this] { Refresh(); });
  connect(chkMissingOnly, &QCheckBox::toggled, this, [this] { ShowOnlyMissing(); });
  Refresh();
  FitToScreen();
}

void TTodayDlg::FitToScreen() {
  // Wide enough for every column as filled and tall enough for every row,
  // shrunk to the screen it opens on and centred there.
  const QScreen* on = parentWidget() != nullptr ? parentWidget()->screen() : QGuiApplication::primaryScreen();
  const int margins = 2 * (layout()->contentsMargins().left() + TodayGrid->frameWidth()) +
                      TodayGrid->verticalScrollBar()->sizeHint().width();
  const int rowsHeight = TodayGrid->horizontalHeader()->height() +
                         TodayGrid->rowCount() * TodayGrid->verticalHeader()->defaultSectionSize();
  const QSize wanted = kLeastFirstSize.expandedTo(
      QSize(TodayGrid->horizontalHeader()->length() + margins, rowsHeight + lblSummary->sizeHint().height() + 48));
  if (on == nullptr) {
    resize(wanted);
    return;
  }
  const QRect room = on->availableGeometry().adjusted(0, 0, -kFrameAllowance.width(), -kFrameAllowance.height());
  setMinimumSize(minimumSize().boundedTo(room.size()));
  const QRect frame = FitOnScreen(wanted, room);
  resize(frame.size());
  move(frame.topLeft());
}

void TTodayDlg::SetTask(const std::string& task) {
  task_ = task;
  Refresh();
}

void TTodayDlg::Refresh() {
  lblTask->setText(task_.empty() ? "No task chosen" : "Task " + QString::fromStdString(task_));
  status_ = ReadDayStatus(dataDir_.empty() ? "." : dataDir_, task_, counter_);
  journalCheck_ = CheckDataFolder(dataDir_.empty() ? "." : dataDir_, &digests_);
  QString summary = QString::fromStdString(DaySummaryText(status_));
  if (!status_.problem.empty()) summary += "  —  " + QString::fromStdString(status_.problem);
  lblSummary->setText(summary);
  FillGrid();
}

void TTodayDlg::FillGrid() {
  // Filling a sorted grid moves rows under the loop's feet: sort once at the end.
  TodayGrid->setSortingEnabled(false);
  TodayGrid->setRowCount(static_cast<int>(status_.rows.size()));
  for (int r = 0; r < static_cast<int>(status_.rows.size()); ++r) {
    const DayRow& row = status_.rows[r];
    const auto cells = DayRowCells(status_, row);
    const DayVerdict verdict = VerdictOf(status_, row);
    // A file that is gone or holds other bytes than the journal recorded
    // outweighs any verdict: the row is red and its note says which file.
    std::string unmatched;
    for (const std::string* name : {&row.latest.fileName, &row.igc.fileName}) {
      if (row.rawFiles > 0 || name == &row.igc.fileName) {
        if (!name->empty() && journalCheck_.unmatched.count(*name) != 0) unmatched += (unmatched.empty() ? "" : ", ") + *name;
      }
    }
    std::array<std::string, kDayColumns> shown = cells;
    if (!unmatched.empty()) {
      shown[kDayColumns - 1] = "does not match the journal: " + unmatched +
                                (cells[kDayColumns - 1].empty() ? "" : "; " + cells[kDayColumns - 1]);
    }
    const QColor colour = unmatched.empty() ? RowColour(verdict) : QColor(255, 190, 190);
    for (int c = 0; c < kDayColumns; ++c) {
      const bool numeric = std::find(std::begin(kNumberColumns), std::end(kNumberColumns), c) != std::end(kNumberColumns);
      auto* item = new SortedCell(QString::fromStdString(shown[c]), numeric);
      item->setBackground(colour);
      item->setToolTip(item->text());
      item->setData(Qt::UserRole, static_cast<int>(verdict));
      if (numeric || c == 7) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      TodayGrid->setItem(r, c, item);
    }
  }
  TodayGrid->setSortingEnabled(true);
  TodayGrid->resizeColumnsToContents();
  for (int c = 0; c < kDayColumns; ++c) {
    if (TodayGrid->columnWidth(c) > kWidestColumnPx) TodayGrid->setColumnWidth(c, kWidestColumnPx);
  }
  ShowOnlyMissing();
}

void TTodayDlg::ShowOnlyMissing() {
  const bool only = chkMissingOnly->isChecked();
  for (int r = 0; r < TodayGrid->rowCount(); ++r) {
    const QTableWidgetItem* first = TodayGrid->item(r, 0);
    const bool saved = first && first->data(Qt::UserRole).toInt() == static_cast<int>(DayVerdict::kSaved);
    TodayGrid->setRowHidden(r, only && saved);
  }
}

}  // namespace orvald
