#include "app/today_dlg.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

#include "tables/tasks_table.h"
#include "files/path_in.h"

namespace orvald {

namespace {

constexpr int kSettleMs = 300;

QColor RowColour(const DayStatus& status, const DayRow& row) {
  if (!row.inTable) return QColor(235, 235, 235);
  if (row.rawFiles > 0 && row.latest.incomplete) return QColor(255, 224, 196);
  const bool done = status.task.empty() ? row.rawFiles > 0 : row.saved;
  if (done) return QColor(222, 242, 218);
  if (row.rawFiles > 0) return QColor(255, 244, 204);
  return QColor(Qt::white);
}

}  // namespace

TTodayDlg::TTodayDlg(std::string dataDir, QWidget* parent) : QDialog(parent), dataDir_(std::move(dataDir)) {
  setObjectName("TodayDlg");
  setWindowTitle("Today");
  resize(980, 520);

  cbTask = new QComboBox(this);
  cbTask->setObjectName("cbTask");
  cbTask->setMinimumContentsLength(4);
  lblSummary = new QLabel(this);
  lblSummary->setObjectName("lblSummary");
  QFont summaryFont = lblSummary->font();
  summaryFont.setBold(true);
  lblSummary->setFont(summaryFont);
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
  TodayGrid->horizontalHeader()->setStretchLastSection(true);
  TodayGrid->verticalHeader()->setDefaultSectionSize(TodayGrid->fontMetrics().height() + 8);

  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel("Task", this));
  top->addWidget(cbTask);
  top->addSpacing(12);
  top->addWidget(lblSummary, 1);
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
  connect(cbTask, &QComboBox::currentTextChanged, this, [this] { Refresh(); });
  Refresh();
}

void TTodayDlg::FillTaskList() {
  TasksTable tasks(PathIn(dataDir_, kTasksFileName));
  tasks.Load();  // without the file there is simply no task to choose
  QStringList entries;
  const std::vector<std::string> column = tasks.TaskNumberColumn();
  for (size_t i = 1; i < column.size(); ++i) {
    if (!column[i].empty()) entries << QString::fromStdString(column[i]);
  }
  const QSignalBlocker quiet(cbTask);
  const QString current = cbTask->currentText();
  const bool first = cbTask->count() == 0;
  cbTask->clear();
  cbTask->addItem("");  // no task: downloads only
  cbTask->addItems(entries);
  // The day's task is usually the one added last.
  const int keep = cbTask->findText(current);
  cbTask->setCurrentIndex(first ? cbTask->count() - 1 : std::max(0, keep));
}

void TTodayDlg::Refresh() {
  FillTaskList();
  status_ = ReadDayStatus(dataDir_.empty() ? "." : dataDir_, cbTask->currentText().toStdString(), counter_);
  QString summary = QString::fromStdString(DaySummaryText(status_));
  if (!status_.problem.empty()) summary += "  —  " + QString::fromStdString(status_.problem);
  lblSummary->setText(summary);
  FillGrid();
}

void TTodayDlg::FillGrid() {
  TodayGrid->setRowCount(static_cast<int>(status_.rows.size()));
  for (int r = 0; r < static_cast<int>(status_.rows.size()); ++r) {
    const DayRow& row = status_.rows[r];
    const auto cells = DayRowCells(status_, row);
    const QColor colour = RowColour(status_, row);
    for (int c = 0; c < kDayColumns; ++c) {
      auto* item = new QTableWidgetItem(QString::fromStdString(cells[c]));
      item->setBackground(colour);
      if (c == 0 || c == 6 || c == 7) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      TodayGrid->setItem(r, c, item);
    }
  }
  TodayGrid->resizeColumnsToContents();
}

}  // namespace orvald
