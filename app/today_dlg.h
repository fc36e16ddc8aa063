#pragma once
// The Today view: who of loggers.tsv is downloaded and who is saved for the
// chosen task, read from the data folder and read again whenever a file
// appears, goes or is replaced there.

#include <QDialog>
#include <QFileSystemWatcher>
#include <QTimer>
#include <string>

#include "tables/day_status.h"

class QComboBox;
class QLabel;
class QTableWidget;

namespace orvald {

class TTodayDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TTodayDlg(std::string dataDir, QWidget* parent = nullptr);

  // Reads the folder now (the watcher does it by itself a moment after a change).
  void Refresh();
  const DayStatus& status() const { return status_; }

  QComboBox* cbTask;
  QLabel* lblSummary;
  QTableWidget* TodayGrid;

 private:
  void FillTaskList();
  void FillGrid();

  std::string dataDir_;
  DayStatus status_;
  IgcPointCounter counter_;
  QFileSystemWatcher watcher_;
  QTimer settle_;  // a save or a download changes the folder several times in a row
};

}  // namespace orvald
