#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace kelvaro::ui {

// The "Settings" page: which series the live graph shows, its autoscaling switches and fixed axis
// ranges, and "Confirm Changes". A passive view; the main window applies the settings file to
// these controls and wires them to the chart. Initial states are the settings' defaults.
class SettingsPage : public QWidget {
  Q_OBJECT

 public:
  explicit SettingsPage(QWidget* parent = nullptr);

  QCheckBox* CheckBoxForce1 = nullptr;
  QCheckBox* CheckBoxForce2 = nullptr;
  QCheckBox* CheckBoxAccX = nullptr;
  QCheckBox* CheckBoxAccY = nullptr;
  QCheckBox* CheckBoxAccZ = nullptr;
  QCheckBox* CheckBoxAuto = nullptr;
  QCheckBox* CheckBoxAutoAcel = nullptr;

  QLabel* LabelMaximum = nullptr;
  QLabel* LabelMinimum = nullptr;
  QLabel* LabelForceAxis = nullptr;
  QLabel* LabelAccelAxis = nullptr;
  QSpinBox* SpinEditMax = nullptr;
  QSpinBox* SpinEditMin = nullptr;
  QSpinBox* SpinEditMaxAcel = nullptr;
  QSpinBox* SpinEditMinAcel = nullptr;

  QPushButton* Button18 = nullptr;
};

}  // namespace kelvaro::ui
