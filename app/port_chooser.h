#pragma once
// The main port's chooser: its list names each port with the device it
// opens ("COM3  /dev/pts/7"), so the operator picks an adapter, not a
// number; closed, it shows the port's name alone, which fits the narrow
// column beside its caption.

#include <QComboBox>
#include <string>

namespace orvald {

class PortChooser : public QComboBox {
  Q_OBJECT
 public:
  explicit PortChooser(QWidget* parent = nullptr);

  // Item n-1 becomes COMn, opening `devicePath` ("": no device).
  void SetPort(int portNo, const std::string& devicePath);
  // What the list shows for item `index`: its name and its device.
  QString ListedText(int index) const;

 protected:
  // The list opens as wide as its longest device, not as the closed box.
  void showPopup() override;
};

}  // namespace orvald
