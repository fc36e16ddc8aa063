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
#include "tables/text_grid.h"
#include "tracklog/raw_image.h"
#include "tracklog/safe_text.h"

namespace orvald {

int TfrmMain::SegmentsGridRowCount() const { return segmentsModel_->gridRowCount(); }

QString TfrmMain::SegmentsGridCell(int column, int row) const { return segmentsModel_->GridCell(column, row); }

void TfrmMain::SegmentsGridSelectCell(int, int) {
  if (settingUpGrid_ || manualMode != 1) return;  // only the operator's own choice on the manual page
  int first = -1;
  int last = -1;
  for (const QModelIndex& index : SegmentsGrid->selectionModel()->selectedIndexes()) {
    const int segment = index.row();  // grid row - 1
    if (segment >= SegmentsGridRowCount() - 1) continue;
    first = first < 0 ? segment : std::min(first, segment);
    last = std::max(last, segment);
  }
  firstSegment = first;
  lastSegment = last;
  if (first < 0 || first >= table_.segmentCount) {
    firstSegment = lastSegment = -1;
    SetManSaveEnabled(false);
    ShowSelectionInPicture();
    return;
  }
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

void TfrmMain::ForgetSelection() {
  firstSegment = -1;
  lastSegment = -1;
  ClearGridSelection();
  SetSaveEnabled(false);
  SetManSaveEnabled(false);
  for (QLineEdit* box : {edFrom, edTo, edPoints, edEvents, taskPoints, taskEvents}) box->clear();
  ShowSelectionInPicture();
}

void TfrmMain::PageControl1Changing() { PageControl1->repaint(); }

void TfrmMain::PageControl1Change() {
  if (PageControl1->currentIndex() == 0) {
    manualMode = 1;
    SegmentsGrid->setSelectionMode(QAbstractItemView::ContiguousSelection);
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
  // Here the task's window chooses the rows; the grid shows those and only those.
  SegmentsGrid->setSelectionMode(QAbstractItemView::NoSelection);
  ClearGridSelection();
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
  // The logger is the decoded log's own, never what a box kept from another log.
  request.loggerSN = table_.serialText;
  request.loggerType = table_.typeText;
  request.taskText = manualMode == 1 ? edManTask->text().toStdString() : ChosenTaskText();

  // A save that cannot be made says why instead of doing nothing.
  std::string refusal;
  if (firstSegment < 0 || lastSegment < 0) {
    refusal = manualMode == 1 ? "Nothing to save: choose the segments in the grid first."
                              : "Nothing to save: choose a task whose window holds part of this log.";
  } else if (TrimBlanks(request.competNo).empty()) {
    refusal = "The logger of this log (serial " + SafeDisplayText(table_.serialText) +
              ") has no competition number in the loggers table. Add it with Edit in the Identification box, "
              "then save again.";
  } else if (TrimBlanks(request.taskText).empty()) {
    refusal = manualMode == 1 ? "Type the task number before saving." : "Choose a task before saving.";
  }
  if (!refusal.empty()) {
    env_.prompts->Ask("FILE SAVE:", refusal, PromptButtons::kOk, PromptIcon::kWarning);
    return;
  }
  request.now = env_.clock();
  request._timezone = env_._timezone;
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
    env_.prompts->Ask("FILE SAVE:", text, PromptButtons::kOk,
                      saved.companionError.empty() ? PromptIcon::kNone : PromptIcon::kError);
    return;
  }
  std::string text = result.error;
  if (text.empty()) text = "File " + result.fileName + " was not saved.";
  env_.prompts->Ask("FILE SAVE:", text, PromptButtons::kOk, PromptIcon::kError);
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
