// The grid, the two selection pages and Save, shown as the desk's selection
// says: the operator's highlight or the task's window goes to DeskSelection,
// and the run, the totals and the Saves' states come back from it.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPalette>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTableView>
#include <vector>

#include "app/app_settings.h"
#include "app/main_window.h"
#include "app/stations_dlg.h"
#include "app/today_dlg.h"
#include "app/segments_model.h"
#include "app/track_view.h"
#include "desk/utc_text.h"
#include "export/flight_files.h"
#include "export/igc_file_name.h"
#include "files/path_in.h"
#include "journal/journal_file.h"
#include "link/port_names.h"
#include "logger/session_view.h"
#include "export/igc_writer.h"
#include "export/task_window.h"
#include "tracklog/grid_text.h"
#include "tracklog/log_file.h"

namespace orvald {

namespace {

QColor BannerColour(BannerTone tone) {
  switch (tone) {
    case BannerTone::kOk: return QColor(46, 125, 50);
    case BannerTone::kCheck: return QColor(214, 132, 0);
    case BannerTone::kProblem: return QColor(198, 40, 40);
    case BannerTone::kBusy: return QColor(110, 110, 110);
    case BannerTone::kPlain:
    case BannerTone::kBlank: break;
  }
  return QColor(232, 232, 232);
}

// "2026/12/08", the tasks table's way of writing the day.
std::string UtcDateText(std::time_t now) { return UtcDateAndMinuteText(now).substr(0, 10); }

// The version character the next save of this request gets.
char FirstFreeVersion(const IgcSaveRequest& request) {
  for (char version = '1'; version != 0; version = NextVersionChar(version)) {
    const std::string name = IgcFileName(request.competNo, request.taskText, version, request.pilotNames);
    if (!QFileInfo::exists(QString::fromStdString(PathIn(request.directory, name)))) return version;
  }
  return '?';
}

}  // namespace

int TfrmMain::SegmentsGridRowCount() const { return segmentsModel_->gridRowCount(); }

QString TfrmMain::SegmentsGridCell(int column, int row) const { return segmentsModel_->GridCell(column, row); }

void TfrmMain::ClearSegmentRows() {
  settingUpGrid_ = true;
  segmentsModel_->SetGridRowCount(2);
  segmentsModel_->ClearGridRow(1);
  settingUpGrid_ = false;
  ForgetSelection();
}

void TfrmMain::ShowSegmentRow(int index, const TrackSegment& segment) {
  settingUpGrid_ = true;
  segmentsModel_->SetGridRowCount(index + 2);
  settingUpGrid_ = false;
  segmentsModel_->SetGridRow(index + 1, SegmentRowCells(index, segment));
}

void TfrmMain::SegmentsGridSelectCell(int, int) {
  if (settingUpGrid_) return;  // only the operator's own choice
  std::vector<int> highlighted;
  for (const QModelIndex& index : SegmentsGrid->selectionModel()->selectedIndexes()) {
    highlighted.push_back(index.row());  // grid row - 1
  }
  if (!selection_.ChooseHighlighted(highlighted, SegmentsGridRowCount() - 1)) return;
  if (selection_.firstSegment() >= 0) {
    const RunTotals totals = selection_.runTotals();
    edEvents->setText(QString::number(totals.events));
    edPoints->setText(QString::number(totals.points));
    edFrom->setText(SegmentsGridCell(1, selection_.firstSegment() + 1));
    edTo->setText(SegmentsGridCell(2, selection_.lastSegment() + 1));
  }
  UpdateCommandStates();
  ShowSelectionInPicture();
}

void TfrmMain::ForgetSelection() {
  selection_.Forget();
  ClearGridSelection();
  UpdateCommandStates();
  for (QLineEdit* box : {edFrom, edTo, edPoints, edEvents, taskPoints, taskEvents}) box->clear();
  ShowSelectionInPicture();
}

void TfrmMain::PageControl1Changing() { PageControl1->repaint(); }

void TfrmMain::PageControl1Change() {
  if (PageControl1->currentIndex() == 0) {
    selection_.ShowManualPage();
    SegmentsGrid->setSelectionMode(QAbstractItemView::ContiguousSelection);
    ClearGridSelection();
    UpdateCommandStates();
    taskPoints->clear();
    taskEvents->clear();
    TrackPicture->SetTaskWindow(0, 0);
    ShowSelectionInPicture();
    return;
  }
  selection_.ShowTaskPage();
  UpdateCommandStates();
  // Here the task's window chooses the rows; the grid shows those and only those.
  SegmentsGrid->setSelectionMode(QAbstractItemView::NoSelection);
  ClearGridSelection();
  ShowSelectionInPicture();
  // The day's task stays chosen: its window picks the rows at once.
  WindowTaskChange(WindowTask);
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
  if (!startTaskChosen_) {
    startTaskChosen_ = true;
    ChooseTodaysTask(fill.entries);
  }
  WindowTaskChange(nullptr);
}

void TfrmMain::ChooseTodaysTask(const std::vector<std::string>& entries) {
  if (!taskQueries_) return;
  std::vector<DeskTask> tasks;
  for (const std::string& number : entries) {
    const TaskWindowTexts texts = taskQueries_(number);
    tasks.push_back({number, texts.date, texts.timeFrom, texts.timeTo});
  }
  const StartTask start = ChooseStartTask(day_.task(), tasks, UtcDateText(env_.clock()));
  if (start.notice.empty()) return;
  {
    const QSignalBlocker quiet(WindowTask);
    WindowTask->setCurrentIndex(WindowTask->findText(QString::fromStdString(start.task), Qt::MatchExactly));
  }
  WindowTaskChange(WindowTask);
  SetStatusText(start.notice);
  day_.HoldStatus();
}

void TfrmMain::WindowTaskChange(QObject* sender) {
  const std::string task = WindowTask->currentText().toStdString();
  const TaskWindowTexts texts = taskQueries_ ? taskQueries_(task) : TaskWindowTexts{};
  Date->setText(QString::fromStdString(texts.date));
  TimeFrom->setText(QString::fromStdString(texts.timeFrom));
  TimeTo->setText(QString::fromStdString(texts.timeTo));
  if (!sender) return;
  if (const std::string chosen = ChosenTaskText(); sender == WindowTask && !chosen.empty() && chosen != day_.task()) {
    day_.ChooseTask(chosen);
    WriteTaskSetting(env_.settings, chosen);
    edManTask->setText(QString::fromStdString(chosen));
    DayJudgingChanged();
  }
  NoteTaskOnLog(texts);
  // The operator's own highlight on the manual page is never taken over.
  if (selection_.manualMode()) return;

  // The grid's data rows are the segments the matching may pick from.
  const TaskWindowMatch match = selection_.ChooseTaskWindow(texts, SegmentsGridRowCount() - 1);
  TrackPicture->SetTaskWindow(match.windowStart, match.windowEnd);
  if (match.selected()) {
    SelectGridRows(match.firstSegment + 1, match.lastSegment + 1);
    taskPoints->setText(QString::number(match.pointsTotal));
    taskEvents->setText(QString::number(match.eventsTotal));
  } else {
    ClearGridSelection();
    taskPoints->clear();
    taskEvents->clear();
  }
  UpdateCommandStates();
  ShowSelectionInPicture();
}

std::string TfrmMain::ChosenTaskText() const {
  // The entry chosen in the list; typed text that names no entry is no choice.
  const int index = WindowTask->findText(WindowTask->currentText(), Qt::MatchExactly);
  return index < 0 ? std::string() : WindowTask->itemText(index).toStdString();
}

IgcSaveRequest TfrmMain::TaskRequest(const TaskWindowMatch& match, const std::string& taskText) const {
  IgcSaveRequest request = RunSaveRequest(table_, match.firstSegment, match.lastSegment, CompetNo->text().toStdString(),
                                          PilotNames->text().toStdString(), taskText);
  request._timezone = env_._timezone;
  return request;  // in the working directory, the data directory
}

void TfrmMain::NoteTaskOnLog(const TaskWindowTexts& texts) {
  if (lblDLFile->text().isEmpty() || day_.downloading()) return;  // no log on show
  const TaskWindowMatch match = MatchTaskWindow(table_, texts.date, texts.timeFrom, texts.timeTo);
  const bool selects = !day_.task().empty() && match.selected();
  day_.TaskSelected(selects, selects ? SavedWithSameFixes(table_, TaskRequest(match, day_.task())) : std::string());
  ShowBanner();
}

void TfrmMain::ShowLogOnDesk() {
  day_.Show({table_.serialText, CompetNo->text().toStdString(), PilotNames->text().toStdString(),
             lblDLFile->text().toStdString()});
  ShowBanner();
}

void TfrmMain::ApplyTaskToNewLog() {
  ShowLogOnDesk();
  // A new log is cut for the day's task unless the operator types another.
  edManTask->setText(QString::fromStdString(day_.task()));
  WindowTaskChange(WindowTask);
  if (!selection_.manualMode() && selection_.firstSegment() >= 0) {
    SegmentsGrid->scrollTo(segmentsModel_->index(selection_.firstSegment(), 0), QAbstractItemView::PositionAtTop);
  }
}

DeskJudging TfrmMain::DayJudging(const std::string& dataDir) const {
  const bool alsoKmlGpx = chkKmlGpx->isChecked();
  return {.tasksPath = dataDir.empty() ? "tasks.tsv" : dataDir + "/tasks.tsv",
          .task = day_.task(),
          .autoSave = chkAutoSave->isChecked(),
          .companions = {alsoKmlGpx, alsoKmlGpx},
          .directory = dataDir.empty() ? "." : dataDir,
          ._timezone = env_._timezone};
}

void TfrmMain::DayJudgingChanged() {
  if (todayDlg_ != nullptr) todayDlg_->SetTask(day_.task());
  if (stationsDlg_ == nullptr) return;
  stationsDlg_->SetJudging(DayJudging(dataDir_.empty() ? QDir::currentPath().toStdString() : dataDir_));
}

void TfrmMain::GiveVerdict(const LoadLogResult& result) {
  if (result.end == LoadLogEnd::kNotBegun) return;  // nothing happened that the desk must see
  if (result.keptFile()) shownPort_ = PortName(portNo_);
  if (!result.keptFile()) {
    day_.DownloadKeptNothing(NothingDoneText(result));
    if (result.end == LoadLogEnd::kAborted) SetStatusText(StatusText().toStdString() + " " + NothingDoneText(result));
    ShowBanner();
    return;
  }
  if (day_.task().empty()) return;
  // The main port's files go to the working directory, the data directory.
  DeskJudging judging = DayJudging("");
  judging.journal = true;
  judging.port = PortName(portNo_);
  const Verdict verdict = JudgeDownload(judging, result, table_, env_.lookup ? *env_.lookup : *noLoggers_,
                                        env_.clock());
  day_.Judged(verdict);
  SetStatusText(verdict.text);
  day_.HoldStatus();
  ShowBanner();
}

void TfrmMain::ShowBanner() {
  const Banner banner = day_.banner();
  if (banner.tone == BannerTone::kBlank) {
    lblBanner->hide();
    return;
  }
  QString text = QString::fromStdString(banner.headline);
  if (!banner.detail.empty()) text += "\n" + QString::fromStdString(banner.detail);
  lblBanner->setText(text);
  lblBanner->setToolTip(text);
  QPalette palette = lblBanner->palette();
  palette.setColor(QPalette::Window, BannerColour(banner.tone));
  palette.setColor(QPalette::WindowText, banner.tone == BannerTone::kPlain ? Qt::black : Qt::white);
  lblBanner->setPalette(palette);
  lblBanner->show();
}

void TfrmMain::ShowSelectionInPicture() {
  TrackPicture->SetSelection(selection_.firstSegment(), selection_.lastSegment());
}

void TfrmMain::btnManSaveClick() { btnSaveClick(); }

void TfrmMain::btnSaveClick() {
  if (busy_) return;  // the buttons are disabled then; a queued click must not slip through
  const std::string taskText = selection_.manualMode() ? edManTask->text().toStdString() : ChosenTaskText();
  IgcSaveRequest request =
      selection_.SaveRequest(CompetNo->text().toStdString(), PilotNames->text().toStdString(), taskText);
  // A save that cannot be made says why instead of doing nothing.
  if (const std::string refusal = selection_.SaveRefusal(request); !refusal.empty()) {
    env_.prompts->Ask("FILE SAVE:", refusal, PromptButtons::kOk, PromptIcon::kWarning);
    return;
  }
  request.now = env_.clock();
  request._timezone = env_._timezone;
  // The request's folder stays ".": the working directory, which start-up made the data directory.
  if (!ConfirmSave(request)) return;

  const bool alsoKmlGpx = chkKmlGpx->isChecked();
  const FlightFilesResult saved = WriteFlightFiles(table_, request, {alsoKmlGpx, alsoKmlGpx});
  const IgcSaveResult& result = saved.igc;
  if (result.saved()) {
    std::string text = "File " + result.fileName + " saved!";
    for (size_t i = 0; i < saved.companions.size(); ++i) {
      text += (i == 0 ? " Also " : " and ") + saved.companions[i] + (i + 1 == saved.companions.size() ? "." : "");
    }
    if (!saved.companionError.empty()) text += "\n" + saved.companionError;
    // The working directory is the data directory.
    const JournalAppendResult journalled = DayJournal(std::string(), env_.clock)
        .Record(SaveEntry(shownPort_, table_.serialText, request.competNo, request.pilotNames,
                          lblDLFile->text().toStdString(), request.firstSegment, request.lastSegment, ""),
                result.fileName);
    if (!journalled.ok) text += "\nThe journal could not be written: " + journalled.error.Text();
    day_.Saved(result.fileName, taskText);
    ShowBanner();
    // A save that went well is said by the banner and the status bar: a box
    // to click away after every pilot only slows the line. A failure asks.
    SetStatusText(text);
    day_.HoldStatus();
    if (!saved.companionError.empty()) env_.prompts->Ask("FILE SAVE:", text, PromptButtons::kOk, PromptIcon::kError);
    return;
  }
  std::string text = result.error;
  if (text.empty()) text = "File " + result.fileName + " was not saved.";
  env_.prompts->Ask("FILE SAVE:", text, PromptButtons::kOk, PromptIcon::kError);
}

bool TfrmMain::ConfirmSave(const IgcSaveRequest& request) {
  if (selection_.manualMode() && taskQueries_) {
    const TaskWindowTexts texts = taskQueries_(request.taskText);
    const std::string question =
        OutsideWindowQuestion(table_, request.firstSegment, request.lastSegment,
                              {request.taskText, texts.date, texts.timeFrom, texts.timeTo});
    if (!question.empty() &&
        env_.prompts->Ask("FILE SAVE:", question, PromptButtons::kYesNo, PromptIcon::kQuestion) != PromptAnswer::kYes) {
      return false;
    }
  }
  // Saving the same fixes again only makes a second version to tell apart.
  const std::string existing = SavedWithSameFixes(table_, request);
  if (existing.empty()) return true;
  return env_.prompts->Ask("FILE SAVE:", SaveAgainQuestion(existing, FirstFreeVersion(request)),
                           PromptButtons::kYesNo, PromptIcon::kQuestion) == PromptAnswer::kYes;
}

bool TfrmMain::ExtendGridHighlight(const QKeyEvent& key) {
  const Qt::KeyboardModifiers both = Qt::ControlModifier | Qt::ShiftModifier;
  if ((key.modifiers() & both) != both || (key.key() != Qt::Key_Home && key.key() != Qt::Key_End)) return false;
  const int rows = segmentsModel_->rowCount();
  if (rows == 0 || SegmentsGrid->selectionMode() == QAbstractItemView::NoSelection) return false;
  RowSpan highlighted;
  for (const QModelIndex& index : SegmentsGrid->selectionModel()->selectedRows()) {
    highlighted.first = highlighted.first < 0 ? index.row() : std::min(highlighted.first, index.row());
    highlighted.last = std::max(highlighted.last, index.row());
  }
  const int target = key.key() == Qt::Key_Home ? 0 : rows - 1;
  const RowSpan span = ExtendedHighlight(highlighted, SegmentsGrid->currentIndex().row(), target);
  const QModelIndex cursor = segmentsModel_->index(target, std::max(SegmentsGrid->currentIndex().column(), 0));
  SegmentsGrid->selectionModel()->setCurrentIndex(cursor, QItemSelectionModel::NoUpdate);
  SegmentsGrid->scrollTo(cursor);
  // Through selectionChanged, as every other way of highlighting, this is the run Save writes.
  SegmentsGrid->selectionModel()->select(
      QItemSelection(segmentsModel_->index(span.first, 0), segmentsModel_->index(span.last, kGridColumns - 1)),
      QItemSelectionModel::ClearAndSelect);
  return true;
}

void TfrmMain::HoldOpenWarning(const LoadLogResult& opened) {
  if (!opened.decode.ok() || !DecodeNoticeText(opened.decode).empty()) day_.HoldStatus();
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

}  // namespace orvald
