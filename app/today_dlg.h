#pragma once
// The Today view: who of loggers.tsv is downloaded and who is saved for the
// window's task, read from the data folder and read again whenever a file
// appears, goes or is replaced there.

#include <QDialog>
#include <QFileSystemWatcher>
#include <QTimer>
#include <string>

#include "journal/journal_verify.h"
#include "tables/day_status.h"

class QCheckBox;
class QLabel;
class QTableWidget;

namespace orvald {

class TTodayDlg : public QDialog {
  Q_OBJECT
 public:
  TTodayDlg(std::string dataDir, std::string task, QWidget* parent = nullptr);

  // The window's task of the day changed: show that one (empty: none chosen).
  void SetTask(const std::string& task);

  // Reads the folder now (the watcher does it by itself a moment after a change).
  void Refresh();
  const DayStatus& status() const { return status_; }

  QLabel* lblTask;
  QLabel* lblSummary;
  QCheckBox* chkMissingOnly;
  QTableWidget* TodayGrid;

 private:
  void FillGrid();
  void FitToScreen();
  void ShowOnlyMissing();

  std::string dataDir_;
  std::string task_;
  DayStatus status_;
  IgcPointCounter counter_;
  FolderCheck journalCheck_;  // the journal's word on the folder's files
  DigestCache digests_;
  QFileSystemWatcher watcher_;
  QTimer settle_;  // a save or a download changes the folder several times in a row
};

}  // namespace orvald
