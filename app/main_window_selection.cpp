// Choosing a run of segments (mouse on the grid, or a task's time window) and
// saving it as an IGC file.
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTableView>
#include <algorithm>

#include "app/main_window.h"
#include "app/segments_model.h"
#include "app/track_view.h"
#include "export/flight_files.h"
#include "export/igc_writer.h"
#include "export/task_window.h"

namespace orvald {

int TfrmMain::SegmentsGridRowAt(QPoint pos) const {
  const QHeaderView* header = SegmentsGrid->horizontalHeader();
  if (header->isVisible() && header->geometry().contains(pos)) return 0;
  const QWidget* viewport = SegmentsGrid->viewport();
  if (!viewport->geometry().contains(pos)) return -1;
  const int modelRow = SegmentsGrid->rowAt(pos.y() - viewport->geometry().top());
  return modelRow < 0 ? -1 : modelRow + 1;
}

int TfrmMain::SegmentsGridRowCount() const { return segmentsModel_->gridRowCount(); }

QString TfrmMain::SegmentsGridCell(int column, int row) const { return segmentsModel_->GridCell(column, row); }

void TfrmMain::SegmentsGridMouseDown(Qt::MouseButton, Qt::KeyboardModifiers, QPoint pos) {
  if (manualMode != 1) return;
  const int row = SegmentsGridRowAt(pos);
  if (row >= 1) firstSegment = row - 1;  // the anchor; the heading or nothing leaves it
}

void TfrmMain::SegmentsGridMouseUp(Qt::MouseButton, Qt::KeyboardModifiers, QPoint pos) {
  if (manualMode != 1) return;
  const int row = SegmentsGridRowAt(pos);
  if (row < 1 || row >= SegmentsGridRowCount()) return;
  lastSegment = row - 1;
  if (firstSegment == -1) {
    lastSegment = -1;
    ShowSelectionInPicture();
    return;
  }
  if (firstSegment > lastSegment) std::swap(firstSegment, lastSegment);

  long points = 0;
  long events = 0;
  const int inTable = std::min(lastSegment, table_.segmentCount - 1);
  for (int i = firstSegment; i <= inTable; ++i) {
    points += table_.segments()[i].points;
    events += table_.segments()[i].events;
  }
  edEvents->setText(QString::number(events));
  edPoints->setText(QString::number(points));
  edFrom->setText(SegmentsGridCell(1, firstSegment + 1));
  edTo->setText(SegmentsGridCell(2, lastSegment + 1));
  SetManSaveEnabled(true);
  ShowSelectionInPicture();
}

void TfrmMain::SegmentsGridSelectCell(int, int) {
  if (settingUpGrid_) return;  // only the operator's selections count
  SetManSaveEnabled(true);
}

void TfrmMain::PageControl1Changing() { PageControl1->repaint(); }

void TfrmMain::PageControl1Change() {
  if (PageControl1->currentIndex() == 0) {
    manualMode = 1;
    ClearGridSelection();
    SetSaveEnabled(false);
    taskPoints->clear();
    taskEvents->clear();
    firstSegment = -1;
    lastSegment = -1;
    TrackPicture->SetTaskWindow(0, 0);
    ShowSelectionInPicture();
    return;
  }
  manualMode = 0;
  SetManSaveEnabled(false);
  {
    const QSignalBlocker quiet(WindowTask);
    WindowTask->setEditText("--");
  }
  firstSegment = -1;
  lastSegment = -1;
  ShowSelectionInPicture();
  WindowTaskChange(nullptr);
}

void TfrmMain::FillTaskList(const std::vector<std::string>& column) {
  const TaskListFill fill = orvald::FillTaskList(WindowTask->currentText().toStdString(), column);
  {
    const QSignalBlocker quiet(WindowTask);
    WindowTask->clear();
    for (const std::string& task : fill.entries) WindowTask->addItem(QString::fromStdString(task));
    const QString text = QString::fromStdString(fill.text);
    WindowTask->setCurrentIndex(WindowTask->findText(text, Qt::MatchExactly));
    WindowTask->setEditText(text);
  }
  WindowTaskChange(nullptr);
}

void TfrmMain::WindowTaskChange(QObject* sender) {
  const std::string task = WindowTask->currentText().toStdString();
  const TaskWindowTexts texts = taskQueries_ ? taskQueries_(task) : TaskWindowTexts{};
  Date->setText(QString::fromStdString(texts.date));
  TimeFrom->setText(QString::fromStdString(texts.timeFrom));
  TimeTo->setText(QString::fromStdString(texts.timeTo));
  if (!sender) return;

  // The grid's data rows are the segments the matching may pick from.
  const int segments = std::min(SegmentsGridRowCount() - 1, table_.segmentCount);
  const TaskWindowMatch match = MatchTaskWindow(table_.segments(), segments, texts.date, texts.timeFrom, texts.timeTo);
  firstSegment = match.firstSegment;
  lastSegment = match.lastSegment;
  TrackPicture->SetTaskWindow(match.windowStart, match.windowEnd);
  if (firstSegment == -1 || lastSegment == -1) {
    ClearGridSelection();
    SetSaveEnabled(false);
    taskPoints->clear();
    taskEvents->clear();
    ShowSelectionInPicture();
    return;
  }
  if (lastSegment < firstSegment) lastSegment = firstSegment;
  SelectGridRows(firstSegment + 1, lastSegment + 1);
  SetSaveEnabled(true);
  taskPoints->setText(QString::number(match.pointsTotal));
  taskEvents->setText(QString::number(match.eventsTotal));
  ShowSelectionInPicture();
}

std::string TfrmMain::ChosenTaskText() const {
  // The entry chosen in the list; typed text that names no entry is no choice.
  const int index = WindowTask->findText(WindowTask->currentText(), Qt::MatchExactly);
  return index < 0 ? std::string() : WindowTask->itemText(index).toStdString();
}

void TfrmMain::ShowSelectionInPicture() { TrackPicture->SetSelection(firstSegment, lastSegment); }

void TfrmMain::btnManSaveClick() { btnSaveClick(); }

void TfrmMain::btnSaveClick() {
  if (busy_) return;  // the buttons are disabled then; a queued click must not slip through
  IgcSaveRequest request;
  request.firstSegment = firstSegment;
  request.lastSegment = lastSegment;
  request.competNo = CompetNo->text().toStdString();
  request.pilotNames = PilotNames->text().toStdString();
  request.loggerSN = LoggerSN->text().toStdString();
  request.loggerType = LoggerType->text().toStdString();
  request.taskText = manualMode == 1 ? edManTask->text().toStdString() : ChosenTaskText();
  request.now = env_.clock();
  request._timezone = env_.timezoneOffset;
  request.directory = ".";  // the working directory, which start-up made the data directory

  const bool alsoKmlGpx = chkKmlGpx->isChecked();
  const FlightFilesResult saved = WriteFlightFiles(table_, request, {alsoKmlGpx, alsoKmlGpx});
  const IgcSaveResult& result = saved.igc;
  if (result.saved()) {
    std::string text = "File " + result.fileName + " saved!";
    for (size_t i = 0; i < saved.companions.size(); ++i) {
      text += (i == 0 ? " Also " : " and ") + saved.companions[i] + (i + 1 == saved.companions.size() ? "." : "");
    }
    if (!saved.companionError.empty()) text += "\n" + saved.companionError;
    env_.prompts->Ask("FILE SAVE:", text, PromptButtons::Ok,
                      saved.companionError.empty() ? PromptIcon::None : PromptIcon::Error);
    return;
  }
  if (result.status == IgcSaveStatus::NothingSelected) return;
  std::string text = result.error;
  if (text.empty()) text = "File " + result.fileName + " was not saved.";
  env_.prompts->Ask("FILE SAVE:", text, PromptButtons::Ok, PromptIcon::Error);
}

void TfrmMain::ClearGridSelection() {
  settingUpGrid_ = true;
  SegmentsGrid->clearSelection();
  settingUpGrid_ = false;
}

void TfrmMain::SelectGridRows(int firstRow, int lastRow) {
  settingUpGrid_ = true;
  const QModelIndex top = segmentsModel_->index(firstRow - 1, 0);
  const QModelIndex bottom = segmentsModel_->index(lastRow - 1, kGridColumns - 1);
  SegmentsGrid->selectionModel()->select(QItemSelection(top, bottom), QItemSelectionModel::ClearAndSelect);
  settingUpGrid_ = false;
}

void TfrmMain::SetSaveEnabled(bool enabled) {
  saveWanted_ = enabled;
  UpdateCommandStates();
}

void TfrmMain::SetManSaveEnabled(bool enabled) {
  manSaveWanted_ = enabled;
  UpdateCommandStates();
}

}  // namespace orvald
