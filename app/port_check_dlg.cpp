#include "app/port_check_dlg.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvald {

TPortCheckDlg::TPortCheckDlg(Check check, QWidget* parent) : QDialog(parent), check_(std::move(check)) {
  setObjectName("PortCheckDlg");
  setWindowTitle("Check ports");
  resize(760, 320);

  memoFindings = new QPlainTextEdit(this);
  memoFindings->setObjectName("memoFindings");
  memoFindings->setReadOnly(true);
  memoFindings->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  memoFindings->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

  btnCheckAgain = new QPushButton("Check &again", this);
  btnCheckAgain->setObjectName("btnCheckAgain");
  btnClose = new QPushButton("Close", this);
  btnClose->setObjectName("btnClose");
  btnClose->setDefault(true);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btnCheckAgain);
  buttons->addWidget(btnClose);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(memoFindings, 1);
  layout->addLayout(buttons);

  connect(btnCheckAgain, &QPushButton::clicked, this, [this] { Refresh(); });
  connect(btnClose, &QPushButton::clicked, this, &QDialog::close);
}

void TPortCheckDlg::Refresh() {
  QStringList lines;
  for (const std::string& line : check_()) lines << QString::fromStdString(line);
  memoFindings->setPlainText(lines.join('\n'));
}

}  // namespace orvald
