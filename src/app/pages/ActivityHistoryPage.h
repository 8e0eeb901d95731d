#pragma once

#include <QWidget>

class QCategoryAxis;
class QChartView;
class QGroupBox;
class QLabel;
class QLineEdit;
class QLineSeries;
class QPushButton;
class QSpinBox;
class QValueAxis;

namespace kelvaro {

// The "Activity History" page: the chart of one user's sessions, page by page, with the totals
// of all sessions below it. A passive view; the main window fills the chart and the totals.
//
// ChartActHist is empty at start with its title "TChart". The bottom axis is a category axis
// whose labels sit on the points' sequence numbers (0, 1, ...), so the window adds one label per
// point of Series4; it shows one page of SpinEdit2 points. Series5 is kept but never drawn and
// has no legend entry. The totals are read-only.
class ActivityHistoryPage : public QWidget {
  Q_OBJECT

 public:
  // The chart's title ("Activity History for <user>"), which is also what a screen reader says
  // of the chart.
  void setChartTitle(const QString& title);

  explicit ActivityHistoryPage(QWidget* parent = nullptr);

  QChartView* historyChart = nullptr;
  QLineSeries* totalTimeSeries = nullptr;
  QLineSeries* averageLevelSeries = nullptr;
  QLineSeries* motionAverageSeries = nullptr;
  QCategoryAxis* sessionsAxis = nullptr;
  QValueAxis* activityAxis = nullptr;
  QValueAxis* durationAxis = nullptr;

  QLabel* averageLabel = nullptr;
  QLineEdit* averageEdit = nullptr;
  QLabel* totalTimeLabel = nullptr;
  QLineEdit* totalTimeEdit = nullptr;
  QLabel* countLabel = nullptr;
  QLineEdit* countEdit = nullptr;

  QPushButton* updateChartButton = nullptr;
  QLabel* sessionsPerPageLabel = nullptr;
  QSpinBox* sessionsPerPageSpin = nullptr;
  QGroupBox* scrollingGroup = nullptr;
  QPushButton* scrollLeftButton = nullptr;
  QPushButton* scrollRightButton = nullptr;

 private:
  QChartView* buildChart();
  QWidget* buildControls();
};

}  // namespace kelvaro
