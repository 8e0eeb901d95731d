#pragma once

#include <QObject>
#include <array>
#include <functional>

class QTabWidget;
class QWidget;

namespace kelvaro {

class ConsoleLog;

class GamingKeysPage;
class ShapeIndicator;
class SpecSettingPage;

// The key activation's controls: the threshold slider and its read-out, the key selection, the
// fourteen fields that the triggers work from, the on/off box with its focus rules, and the
// indicators. What the triggers need is read from the fields each time one of them changes.
class KeysPanel : public QObject {
  Q_OBJECT

 public:
  // The working copies the triggers use.
  struct Values {
    bool active = false;
    int forceThreshold = 200;
    int forceKey = 255;
    std::array<int, 3> lowLimits{-500, -501, -502};  // X, Y, Z
    std::array<int, 3> highLimits{500, 501, 502};
    std::array<int, 3> lowKeys{1, 2, 3};
    std::array<int, 3> highKeys{4, 5, 6};
  };
  // changed is called with the new working copies whenever a field or the on/off box changes.
  // liveGraphLamp is Shape1 on "Live Graph", which shows the same colour as the page's Shape2.
  KeysPanel(GamingKeysPage& keys, SpecSettingPage& accelPage, ShapeIndicator& liveGraphLamp,
            QTabWidget& pages, ConsoleLog& console, std::function<void(const Values&)> changed,
            QObject* parent = nullptr);

  // applyFields: the working copies from the fields.
  Values values() const;
  void applyFields();
  // The indicators on both pages: green while the force is above the threshold.
  void showForceAbove(bool above);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void keySelectionClicked(int index);

  GamingKeysPage& keys_;
  SpecSettingPage& accelPage_;
  ShapeIndicator& liveGraphLamp_;
  QTabWidget& pages_;
  ConsoleLog& console_;
  std::function<void(const Values&)> changed_;
  QWidget* activeBox_ = nullptr;  // CheckBoxKeyActive, watched for its key events
};

}  // namespace kelvaro
