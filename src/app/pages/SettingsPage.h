#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace kelvaro {

// The "Settings" page: which series the live graph shows, its autoscaling switches and fixed axis
// ranges, and "Confirm Changes". A passive view; the main window applies the settings file to
// these controls and wires them to the chart. Initial states are the settings' defaults.
class SettingsPage : public QWidget {
  Q_OBJECT

 public:
  explicit SettingsPage(QWidget* parent = nullptr);

  QCheckBox* force1SeriesCheck = nullptr;
  QCheckBox* force2SeriesCheck = nullptr;
  QCheckBox* accelXSeriesCheck = nullptr;
  QCheckBox* accelYSeriesCheck = nullptr;
  QCheckBox* accelZSeriesCheck = nullptr;
  QCheckBox* forceAutoscaleCheck = nullptr;
  QCheckBox* accelAutoscaleCheck = nullptr;

  QLabel* maximumLabel = nullptr;
  QLabel* minimumLabel = nullptr;
  QLabel* forceAxisLabel = nullptr;
  QLabel* accelAxisLabel = nullptr;
  QSpinBox* forceAxisMaxSpin = nullptr;
  QSpinBox* forceAxisMinSpin = nullptr;
  QSpinBox* accelAxisMaxSpin = nullptr;
  QSpinBox* accelAxisMinSpin = nullptr;

  QPushButton* confirmChangesButton = nullptr;
};

}  // namespace kelvaro
