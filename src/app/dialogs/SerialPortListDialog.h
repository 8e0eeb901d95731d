#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;

namespace kelvaro {
class PortCatalog;
}

namespace kelvaro {

// This system's answer to the device manager: the serial ports present now, with the device
// behind each (description, manufacturer, USB location, VID:PID). The dongle's row is shown in
// bold, so that a user can see which port to choose in the setup dialog.
class SerialPortListDialog : public QDialog {
  Q_OBJECT

 public:
  explicit SerialPortListDialog(const PortCatalog& catalog, QWidget* parent = nullptr);

  // Lists the ports again; a dongle plugged in since shows up.
  void refresh();

  QLabel* introLabel = nullptr;
  QTableWidget* portTable = nullptr;
  QPushButton* refreshButton = nullptr;
  QPushButton* closeButton = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void fitColumns();

  const PortCatalog& catalog_;
};

}  // namespace kelvaro
