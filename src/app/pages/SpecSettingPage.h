#pragma once

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace kelvaro {

class NumberEdit;
class Scratch3Group;

// specSettingPage, the page of special settings: the low-level tools on four sub-pages
// ("Standard", "Edhanced", "Calibration", "Accel Setting") above the diagnostics console Memo3. A
// passive view; the main window wires every control and attaches the console (ConsoleView). Initial
// values are the settings' defaults; the window applies the settings file over them.
//
// The slope fields NEditK1/NEditK2 are NumberEdits (picture "0000", limits -1000..20000): the
// value is the slope times 1000 as typed, confirmed by Enter or by leaving the field
// (editingFinished). The read-outs EditNap and EditTemp, and Memo3, are read-only.
class SpecSettingPage : public QWidget {
  Q_OBJECT

 public:
  explicit SpecSettingPage(QWidget* parent = nullptr);

  QTabWidget* specPages = nullptr;
  QWidget* standardSpecTab = nullptr;
  QWidget* enhancedTab = nullptr;
  QWidget* calibrationTab = nullptr;
  QWidget* accelSettingTab = nullptr;
  QPlainTextEdit* diagnosticsConsole = nullptr;

  // "Standard"
  QPushButton* bleResetButton = nullptr;
  QPushButton* bleConnectButton = nullptr;
  QPushButton* bleDisconnectButton = nullptr;
  QLabel* macLabel = nullptr;
  QLineEdit* macEdit = nullptr;
  QPushButton* tcpConnectButton = nullptr;
  QPushButton* tcpDisconnectButton = nullptr;
  QLabel* scratchIpLabel = nullptr;
  QLineEdit* scratchIpEdit = nullptr;
  QLabel* batteryLabel = nullptr;
  QLineEdit* batteryEdit = nullptr;
  QLabel* temperatureLabel = nullptr;
  QLineEdit* temperatureEdit = nullptr;
  QPushButton* clearConsoleButton = nullptr;
  Scratch3Group* scratch3Group = nullptr;  // the Scratch 3 bridge, under the three groups

  // "Edhanced"
  QPushButton* connectDirectButton = nullptr;
  QPushButton* set1Button = nullptr;
  QPushButton* set2Button = nullptr;
  QPushButton* startDiscoveryButton = nullptr;
  QPushButton* stopDiscoveryButton = nullptr;
  QPushButton* sendForceButton = nullptr;
  QSpinBox* forceToSendSpin = nullptr;
  QPushButton* testLinkButton = nullptr;
  QCheckBox* logCheck = nullptr;
  QCheckBox* captureCheck = nullptr;  // the capture of the dongle's bytes (CapturePanel)
  QGroupBox* graphGroup = nullptr;
  QLabel* printResolutionLabel = nullptr;
  QSpinBox* printResolutionSpin = nullptr;
  QPushButton* aboutButton = nullptr;
  QPushButton* comSetupButton = nullptr;

  // "Calibration"
  QLabel* sensor1Label = nullptr;
  QLabel* sensor2Label = nullptr;
  NumberEdit* slope1Edit = nullptr;
  NumberEdit* slope2Edit = nullptr;
  QSpinBox* offset1Spin = nullptr;
  QSpinBox* offset2Spin = nullptr;
  QPushButton* zero1Button = nullptr;
  QPushButton* zero2Button = nullptr;

  // "Accel Setting": rows X, Y, Z; limits LOW and HIGH, then keys LOW and HIGH.
  QSpinBox* accelLowXSpin = nullptr;
  QSpinBox* accelLowYSpin = nullptr;
  QSpinBox* accelLowZSpin = nullptr;
  QSpinBox* accelHighXSpin = nullptr;
  QSpinBox* accelHighYSpin = nullptr;
  QSpinBox* accelHighZSpin = nullptr;
  QSpinBox* keyLowXSpin = nullptr;
  QSpinBox* keyLowYSpin = nullptr;
  QSpinBox* keyLowZSpin = nullptr;
  QSpinBox* keyHighXSpin = nullptr;
  QSpinBox* keyHighYSpin = nullptr;
  QSpinBox* keyHighZSpin = nullptr;

 private:
  QWidget* buildStandard();
  QWidget* buildEnhanced();
  QWidget* buildCalibration();
  QWidget* buildAccelSetting();
  void orderTabs();
};

}  // namespace kelvaro
