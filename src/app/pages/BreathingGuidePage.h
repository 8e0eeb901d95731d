#pragma once

#include <QWidget>

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace kelvaro {

class BreathShape;
class GuideWave;

// The "Breathing Guide" page: the exercise's fields, "Start" and "Stop"; while it runs the wave
// of the target and the live breathing, the shape that grows and shrinks with the guide, the
// phase in large text, the "Following" score and the breaths a minute beside the target; the
// summary of the last exercise and the list of the selected user's exercises. A passive view;
// GuidePanel drives it.
class BreathingGuidePage : public QWidget {
  Q_OBJECT

 public:
  explicit BreathingGuidePage(QWidget* parent = nullptr);

  QLabel* paceLabel = nullptr;
  QDoubleSpinBox* paceSpin = nullptr;  // breaths a minute, 3.0 to 12.0 in halves
  QLabel* inShareLabel = nullptr;
  QSpinBox* inShareSpin = nullptr;  // percent, 30 to 60
  QLabel* holdInLabel = nullptr;
  QDoubleSpinBox* holdInSpin = nullptr;  // seconds, 0 to 5
  QLabel* holdOutLabel = nullptr;
  QDoubleSpinBox* holdOutSpin = nullptr;
  QLabel* lengthLabel = nullptr;
  QSpinBox* lengthSpin = nullptr;  // minutes, 1 to 30
  QCheckBox* soundCheck = nullptr;
  QPushButton* startButton = nullptr;
  QPushButton* stopButton = nullptr;

  GuideWave* wave = nullptr;
  BreathShape* shape = nullptr;
  QLabel* phaseLabel = nullptr;  // "Breathe in", "Hold", "Breathe out"
  QLabel* timeLabel = nullptr;   // "01:10 of 05:00"
  QLabel* followingCaption = nullptr;
  QLabel* followingReadout = nullptr;  // "93 %", "---"
  QLabel* rateCaption = nullptr;
  QLabel* rateReadout = nullptr;  // breaths a minute, "---"
  QLabel* targetCaption = nullptr;
  QLabel* targetReadout = nullptr;  // the pace, "6.0"
  QLabel* summaryLabel = nullptr;   // the last exercise's summary

  QLabel* historyLabel = nullptr;  // "Exercises of Alice"
  QTableWidget* historyTable = nullptr;
  QLabel* trendLabel = nullptr;

 private:
  QWidget* buildFields();
  QWidget* buildGuide();
  QWidget* buildHistory();
};

}  // namespace kelvaro
