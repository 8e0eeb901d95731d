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

namespace kelvaro::ui {

class NumberEdit;

// TabSheetSpecSetting, the page of special settings: the low-level tools on four sub-pages
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

  QTabWidget* PageControl2 = nullptr;
  QWidget* TabSheet3 = nullptr;
  QWidget* TabSheet4 = nullptr;
  QWidget* TabSheet2 = nullptr;
  QWidget* TabSheet6 = nullptr;
  QPlainTextEdit* Memo3 = nullptr;

  // "Standard"
  QPushButton* ButtonReset = nullptr;
  QPushButton* ButtonAutoConn = nullptr;
  QPushButton* ButtonBLEDis = nullptr;
  QLabel* LabelMac = nullptr;
  QLineEdit* EditMac = nullptr;
  QPushButton* Button13 = nullptr;
  QPushButton* Button14 = nullptr;
  QLabel* LabelIP = nullptr;
  QLineEdit* EditIP = nullptr;
  QLabel* LabelNap = nullptr;
  QLineEdit* EditNap = nullptr;
  QLabel* LabelTemp = nullptr;
  QLineEdit* EditTemp = nullptr;
  QPushButton* Button5 = nullptr;

  // "Edhanced"
  QPushButton* Button8 = nullptr;
  QPushButton* Button10 = nullptr;
  QPushButton* Button12 = nullptr;
  QPushButton* Button9 = nullptr;
  QPushButton* Button7 = nullptr;
  QPushButton* Button15 = nullptr;
  QSpinBox* SpinEdit1 = nullptr;
  QPushButton* Button16 = nullptr;
  QCheckBox* CheckBoxLog = nullptr;
  QGroupBox* GroupGraph = nullptr;
  QLabel* LabelPrintResolution = nullptr;
  QSpinBox* SpinEdit14 = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button3 = nullptr;

  // "Calibration"
  QLabel* LabelSensor1 = nullptr;
  QLabel* LabelSensor2 = nullptr;
  NumberEdit* NEditK1 = nullptr;
  NumberEdit* NEditK2 = nullptr;
  QSpinBox* SpinEditOfs1 = nullptr;
  QSpinBox* SpinEditOfs2 = nullptr;
  QPushButton* ButtonZero1 = nullptr;
  QPushButton* ButtonZero2 = nullptr;

  // "Accel Setting": rows X, Y, Z; limits LOW and HIGH, then keys LOW and HIGH.
  QSpinBox* SpinEditACLX = nullptr;
  QSpinBox* SpinEditACLY = nullptr;
  QSpinBox* SpinEditACLZ = nullptr;
  QSpinBox* SpinEditACHX = nullptr;
  QSpinBox* SpinEditACHY = nullptr;
  QSpinBox* SpinEditACHZ = nullptr;
  QSpinBox* SpinEditKeyLX = nullptr;
  QSpinBox* SpinEditKeyLY = nullptr;
  QSpinBox* SpinEditKeyLZ = nullptr;
  QSpinBox* SpinEditKeyHX = nullptr;
  QSpinBox* SpinEditKeyHY = nullptr;
  QSpinBox* SpinEditKeyHZ = nullptr;

 private:
  QWidget* buildStandard();
  QWidget* buildEnhanced();
  QWidget* buildCalibration();
  QWidget* buildAccelSetting();
  void orderTabs();
};

}  // namespace kelvaro::ui
