#pragma once

#include <QDialog>

#include "link/ComPortSettings.h"

class QComboBox;
class QGroupBox;
class QPushButton;

namespace kelvaro {
class PortCatalog;
class PortSelection;
}  // namespace kelvaro

namespace kelvaro {

// The serial setup dialog: the port and its five line settings as drop-down lists, each showing
// the current value. The port list holds the ports present now (and the current name, present or
// not). The dialog only chooses; applying the choice is EditPortSettings' job.
class TComSetupFrm : public QDialog {
  Q_OBJECT

 public:
  TComSetupFrm(const PortCatalog& catalog, const ComPortConfig& current, QWidget* parent = nullptr);

  // The six values as chosen, on top of the configuration the dialog was opened with.
  ComPortConfig chosenConfig() const;

  QGroupBox* settingsGroup = nullptr;
  QComboBox* portCombo = nullptr;
  QComboBox* baudRateCombo = nullptr;
  QComboBox* dataBitsCombo = nullptr;
  QComboBox* stopBitsCombo = nullptr;
  QComboBox* parityCombo = nullptr;
  QComboBox* flowControlCombo = nullptr;
  QPushButton* okButton = nullptr;
  QPushButton* cancelButton = nullptr;

 private:
  ComPortConfig current_;
};

// Runs the setup dialog over the port's configuration; "OK" applies all six values at once (an
// open port is reopened with them). Then, whatever the user chose, ComPort.ini is written with the
// settings now in force, before a reopen is tried, so that a port that does not open now is still
// remembered for the next start. A refused write or a failed reopen throws kelvaro::Error for the
// general error report.
void EditPortSettings(QWidget* parent, const PortCatalog& catalog, PortSelection& selection);

}  // namespace kelvaro
