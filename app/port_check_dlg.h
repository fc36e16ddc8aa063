#pragma once
// Logger > Check ports: the port check's lines, read-only, with a button
// that checks again (after replugging an adapter or changing a setting).

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

class QPlainTextEdit;
class QPushButton;

namespace orvald {

class TPortCheckDlg : public QDialog {
  Q_OBJECT
 public:
  using Check = std::function<std::vector<std::string>()>;
  TPortCheckDlg(Check check, QWidget* parent = nullptr);

  // Runs the check and shows its lines in place of the last ones.
  void Refresh();

  QPlainTextEdit* memoFindings;
  QPushButton* btnCheckAgain;
  QPushButton* btnClose;

 private:
  Check check_;
};

}  // namespace orvald
