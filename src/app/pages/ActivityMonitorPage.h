#pragma once

#include <QWidget>

class QChart;
class QDateTime;
class QChartView;
class QCheckBox;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QPushButton;
class QSlider;
class QSpinBox;
class QValueAxis;

namespace kelvaro {

// The "Activity Monitor" page: the activity chart, the session buttons, the current and average
// activity, and the alarm level with its sound options. A passive view; the main window wires
// every control and applies the settings over the defaults set here.
//
// Chart2 is empty at start. Its axes have neutral ranges until the window fits them to the data:
// the bottom axis shows times of day, Series1 (force) is on the left axis, Series2 (motion) on
// the right one.
class ActivityMonitorPage : public QWidget {
  Q_OBJECT

 public:
  explicit ActivityMonitorPage(QWidget* parent = nullptr);

  // One point per series at the end of a block; the axes follow the points so that all of them
  // stay visible. The chart is never trimmed.
  void addActivityPoints(const QDateTime& at, double forceActivity, double motionActivity);
  // A session start: both series begin again with one point (at, 0).
  void restartActivityChart(const QDateTime& at);

  QChartView* activityChart = nullptr;
  QLineSeries* forceActivitySeries = nullptr;
  QLineSeries* motionActivitySeries = nullptr;
  QDateTimeAxis* timeAxis = nullptr;
  QValueAxis* forceAxis = nullptr;
  QValueAxis* motionAxis = nullptr;

  QPushButton* sessionStartButton = nullptr;
  QPushButton* sessionStopButton = nullptr;

  QLabel* beltActivityCaption = nullptr;
  QLabel* beltActivityReadout = nullptr;
  QLabel* sessionActivityCaption = nullptr;
  QLabel* sessionActivityReadout = nullptr;
  QLabel* breathingCaption = nullptr;
  QLabel* breathingRateReadout = nullptr;  // breaths a minute, "---" while unknown

  QLabel* alarmLevelLabel = nullptr;
  QLabel* alarmMinLabel = nullptr;
  QSlider* alarmLevelSlider = nullptr;
  QLabel* alarmMaxLabel = nullptr;
  QCheckBox* soundAlarmCheck = nullptr;
  QCheckBox* muteAlarmCheck = nullptr;
  // No breath for this many seconds raises the apnea alarm.
  QLabel* apneaLabel = nullptr;
  QSpinBox* apneaSpin = nullptr;

  // Show the automatic session thresholds read from the settings; hidden.
  QLabel* actStartLabel = nullptr;
  QLabel* actStopLabel = nullptr;

 private:
  QChartView* buildChart();
  void fitAxes();
  QWidget* buildControls();
};

}  // namespace kelvaro
