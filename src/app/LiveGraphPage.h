#pragma once

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QVBoxLayout;

namespace kelvaro::ui {

class ReadoutLabel;
class ShapeIndicator;

// The "Live Graph" page: the live chart above a panel of two sub-pages, "Standard" (print and
// export, disconnect, zeroing, key indicator, battery, force and activity read-outs) and
// "Scientific Tools" (the measurement log and the cursor measurement fields), with "Graph Freeze"
// beside their tabs. A passive view; the main window wires every control.
class LiveGraphPage : public QWidget {
  Q_OBJECT

 public:
  explicit LiveGraphPage(QWidget* parent = nullptr);

  // Puts the real chart where the placeholder is; the page takes ownership and the placeholder
  // is deleted. Chart1 then points at the chart.
  void replaceChart(QWidget* chart);

  QWidget* Chart1 = nullptr;
  QCheckBox* CheckBoxFreeze = nullptr;
  QTabWidget* LowerPages = nullptr;
  QWidget* TabStandard = nullptr;
  QWidget* TabScientificTools = nullptr;

  // "Standard"
  QLabel* LabelLinkLost = nullptr;  // "Belt ... out of reach — reconnecting…", else hidden
  QPushButton* Button2 = nullptr;
  QPushButton* Button6 = nullptr;
  QPushButton* Button19 = nullptr;
  QPushButton* Button4 = nullptr;
  QPushButton* Button20 = nullptr;
  QLabel* LabelForce1 = nullptr;
  ReadoutLabel* LabelF1 = nullptr;
  QLabel* LabelForce2 = nullptr;
  ReadoutLabel* LabelF2 = nullptr;
  QLabel* LabelCurrentActivity = nullptr;
  ReadoutLabel* LabelActF10 = nullptr;
  QLabel* LabelAvgActivity = nullptr;
  ReadoutLabel* LabelActivityFAvg = nullptr;
  QLabel* LabelBreathing = nullptr;
  ReadoutLabel* LabelRate = nullptr;  // breaths a minute, "---" while unknown
  QLabel* LabelKeyActivation = nullptr;
  ShapeIndicator* Shape1 = nullptr;
  QLabel* LabelBattery = nullptr;
  QProgressBar* Gauge1 = nullptr;

  // "Scientific Tools"
  QGroupBox* GroupLog = nullptr;
  QLineEdit* EditSoub = nullptr;
  QPushButton* ButtonStartLog = nullptr;
  QPushButton* ButtonEndLog = nullptr;
  QLabel* LabelErr = nullptr;
  QGroupBox* GroupCursor = nullptr;
  QLineEdit* EditPosY = nullptr;
  QLineEdit* EditPosX = nullptr;
  QGroupBox* GroupClick = nullptr;
  QLineEdit* Edit8 = nullptr;
  QLineEdit* Edit7 = nullptr;

 private:
  QWidget* buildStandard();
  QWidget* buildScientificTools();

  QVBoxLayout* layout_ = nullptr;
};

}  // namespace kelvaro::ui
