#pragma once
// The program's icon, drawn rather than loaded so the binary needs no image
// plug-in; orvald.svg in this folder is the same picture for the desktop menu.

#include <QIcon>
#include <QPixmap>

namespace orvald {

QPixmap ProgramPixmap(int size);
QIcon ProgramIcon();

}  // namespace orvald
