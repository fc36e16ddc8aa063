#include "app/port_chooser.h"

#include <QAbstractItemView>
#include <QStyledItemDelegate>

#include "link/port_names.h"

namespace orvald {

namespace {

constexpr int kDeviceRole = Qt::UserRole;

QString Listed(const QModelIndex& index) {
  return index.data(Qt::DisplayRole).toString() + "  " + index.data(kDeviceRole).toString();
}

// The list beneath the box adds each port's device to its name.
class PortListDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->text = Listed(index);
  }
};

}  // namespace

PortChooser::PortChooser(QWidget* parent) : QComboBox(parent) {
  view()->setItemDelegate(new PortListDelegate(view()));
}

void PortChooser::SetPort(int portNo, const std::string& devicePath) {
  const QString device = devicePath.empty() ? QString("(no device)") : QString::fromStdString(devicePath);
  while (count() < portNo) addItem(QString());
  setItemText(portNo - 1, QString::fromStdString(PortName(portNo)));
  setItemData(portNo - 1, device, kDeviceRole);
  setItemData(portNo - 1, device, Qt::ToolTipRole);
}

void PortChooser::showPopup() {
  view()->setMinimumWidth(view()->sizeHintForColumn(0) + 2 * view()->frameWidth() + 8);
  QComboBox::showPopup();
}

QString PortChooser::ListedText(int index) const {
  return Listed(model()->index(index, modelColumn()));
}

}  // namespace orvald
