#include "app/about_box.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/program_icon.h"

namespace orvald {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName("AboutBox");
  setWindowTitle("About");
  setModal(true);
  setFixedSize(298, 254);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  Panel1 = new QFrame(this);
  Panel1->setObjectName("Panel1");
  Panel1->setFrameShape(QFrame::Panel);
  Panel1->setFrameShadow(QFrame::Sunken);

  ProgramIcon = new QLabel(Panel1);
  ProgramIcon->setObjectName("ProgramIcon");
  ProgramIcon->setPixmap(ProgramPixmap(48));
  ProgramIcon->setFixedSize(52, 52);

  ProductName = new QLabel("VIRELINE", Panel1);
  ProductName->setObjectName("ProductName");
  QFont productFont = ProductName->font();
  productFont.setBold(true);
  productFont.setPointSizeF(productFont.pointSizeF() * 1.8);
  ProductName->setFont(productFont);

  Version = new QLabel("Version 1.0A", Panel1);
  Version->setObjectName("Version");

  Label1 = new QLabel("10 April 2007", Panel1);
  Label1->setObjectName("Label1");
  Label1->setAlignment(Qt::AlignCenter);

  auto* top = new QHBoxLayout;
  top->addWidget(ProgramIcon, 0, Qt::AlignTop);
  auto* names = new QVBoxLayout;
  names->addWidget(ProductName);
  names->addWidget(Version);
  top->addLayout(names, 1);

  auto* panelLayout = new QVBoxLayout(Panel1);
  panelLayout->addLayout(top);
  panelLayout->addStretch(1);
  panelLayout->addWidget(Label1);
  panelLayout->addStretch(1);

  OKButton = new QPushButton("OK", this);
  OKButton->setObjectName("OKButton");
  OKButton->setDefault(true);
  OKButton->setAutoDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(Panel1, 1);
  layout->addWidget(OKButton, 0, Qt::AlignHCenter);
}

}  // namespace orvald
