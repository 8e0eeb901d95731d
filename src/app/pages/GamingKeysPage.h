#pragma once

#include <QStringList>
#include <QWidget>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QSlider;
class QSpinBox;

namespace kelvaro {

class RadioGroup;
class ShapeIndicator;

// The "Gaming Key Activation" page: the key selection, the threshold slider with its read-out,
// the live force bar, the key indicator and the instructions. A passive view; the main window
// wires every control and applies the settings over the defaults set here.
//
// TrackBar1 keeps the position semantics of the threshold: position 0 is at the top, so the
// threshold is maximum - position (the slider's appearance and keys are inverted accordingly).
// RadioGroup1 starts with nothing selected and SpinEditKeyF1 at 255, the force key before any
// selection.
class GamingKeysPage : public QWidget {
  Q_OBJECT

 public:
  explicit GamingKeysPage(QWidget* parent = nullptr);

  // The captions of RadioGroup1, by item index.
  static QStringList keySelectionItems();
  // The instructions shown in Memo1, one entry per line.
  static QStringList instructionLines();

  QCheckBox* keyActivationCheck = nullptr;
  RadioGroup* keySelection = nullptr;
  QLabel* thresholdLabel = nullptr;
  QSpinBox* forceThresholdSpin = nullptr;
  QSpinBox* forceKeySpin = nullptr;
  QLabel* thresholdTopLabel = nullptr;
  QSlider* thresholdSlider = nullptr;
  QLabel* thresholdBottomLabel = nullptr;
  QLabel* forceBarLabel = nullptr;
  QProgressBar* forceBar = nullptr;
  QLabel* indicatorLabel = nullptr;
  ShapeIndicator* keysIndicator = nullptr;
  QPlainTextEdit* instructions = nullptr;
  QSpinBox* focusSpin = nullptr;

 private:
  QWidget* buildThresholdColumn();
};

}  // namespace kelvaro
