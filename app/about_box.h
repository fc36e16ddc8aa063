#pragma once
// Help > About: the logger family served and the program's version.

#include <QDialog>

class QLabel;
class QPushButton;
class QFrame;

namespace orvald {

class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutBox(QWidget* parent = nullptr);

  QFrame* Panel1;
  QLabel* ProgramIcon;
  QLabel* ProductName;
  QLabel* Version;
  QLabel* Label1;
  QPushButton* OKButton;
};

}  // namespace orvald
