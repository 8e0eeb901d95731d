#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QVBoxLayout;

namespace kelvaro {

class ReadoutLabel;
class ShapeIndicator;

// The "Live Graph" page: the live chart above a panel of two sub-pages, "Standard" (print and
// export, disconnect, zeroing, key indicator, battery, force and activity read-outs) and
// "Scientific Tools" (the measurement log and the cursor measurement fields), with "Graph Freeze"
// beside their tabs; between the chart and the panel a person's marker ("Marker text" and
// "Marker"). A passive view; the main window wires every control.
class LiveGraphPage : public QWidget {
  Q_OBJECT

 public:
  explicit LiveGraphPage(QWidget* parent = nullptr);

  // Puts the real chart where the placeholder is; the page takes ownership and the placeholder
  // is deleted. Chart1 then points at the chart.
  void replaceChart(QWidget* chart);

  QWidget* liveChart = nullptr;
  QCheckBox* graphFreezeCheck = nullptr;
  QTabWidget* lowerPages = nullptr;
  QLabel* markerTextLabel = nullptr;
  QLineEdit* markerTextEdit = nullptr;  // the marker's text, empty by default
  QPushButton* markerButton = nullptr;  // "Marker" (F9 on every page)
  QWidget* standardTab = nullptr;
  QWidget* scientificToolsTab = nullptr;

  // "Standard"
  QLabel* linkLostLabel = nullptr;  // "Belt ... out of reach — reconnecting…", else hidden
  QPushButton* printButton = nullptr;
  QPushButton* exportPictureButton = nullptr;
  QPushButton* zeroForce1Button = nullptr;
  QPushButton* zeroForce2Button = nullptr;
  QPushButton* disconnectButton = nullptr;  // the chosen belt's
  // The belts: the one the read-outs show, its short name, another belt, all of them ended.
  QLabel* beltCaption = nullptr;
  QComboBox* beltCombo = nullptr;
  QLabel* beltNameCaption = nullptr;
  QLineEdit* beltNameEdit = nullptr;
  QPushButton* addBeltButton = nullptr;
  QPushButton* disconnectAllButton = nullptr;
  QLabel* force1Caption = nullptr;
  ReadoutLabel* force1Readout = nullptr;
  QLabel* force2Caption = nullptr;
  ReadoutLabel* force2Readout = nullptr;
  QLabel* currentActivityCaption = nullptr;
  ReadoutLabel* currentActivityReadout = nullptr;
  QLabel* averageActivityCaption = nullptr;
  ReadoutLabel* averageActivityReadout = nullptr;
  QLabel* breathingCaption = nullptr;
  ReadoutLabel* breathingRateReadout = nullptr;  // breaths a minute, "---" while unknown
  QLabel* keyActivationCaption = nullptr;
  ShapeIndicator* keyIndicator = nullptr;
  QLabel* batteryCaption = nullptr;
  QProgressBar* batteryGauge = nullptr;

  // "Scientific Tools"
  QGroupBox* measurementLogGroup = nullptr;
  QLineEdit* logFileNameEdit = nullptr;
  QLabel* logFormatLabel = nullptr;
  QComboBox* logFormatCombo = nullptr;  // "CSV" (the default) or "EDF+"
  QPushButton* startLogButton = nullptr;
  QPushButton* endLogButton = nullptr;
  QLabel* logStatusLabel = nullptr;
  QGroupBox* cursorGroup = nullptr;
  QLineEdit* forceValueEdit = nullptr;
  QLineEdit* timeValueEdit = nullptr;
  QGroupBox* clickGroup = nullptr;
  QLineEdit* forceDeltaEdit = nullptr;
  QLineEdit* timeDeltaEdit = nullptr;

 private:
  QWidget* buildStandard();
  QWidget* buildScientificTools();
  QLayout* buildMarker();

  QVBoxLayout* layout_ = nullptr;
};

}  // namespace kelvaro
