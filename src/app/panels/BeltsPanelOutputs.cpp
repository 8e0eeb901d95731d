// The further belts' outputs beside the first belt's: their keys, their alarm and their CSV files.
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <limits>

#include "app/WindowPages.h"
#include "app/pages/GamingKeysPage.h"
#include "app/pages/LiveGraphPage.h"
#include "app/panels/BeltsPanel.h"
#include "base/SettingsFile.h"
#include "monitor/MonitorCore.h"
#include "widgets/RadioGroup.h"

namespace kelvaro {

// A further belt's recorder reports through the window: a file that exists or fails is said
// once, after the road that found it has returned.
class BeltsPanel::FurtherRecorderView final : public RecorderView {
 public:
  FurtherRecorderView(BeltsPanel& panel, QString beltName)
      : panel_(panel), beltName_(std::move(beltName)) {}
  QString fileNameText() const override { return QString(); }
  void showFileExists() override {
    say(QStringLiteral("Belt %1 is not recorded: its file exists already").arg(beltName_));
  }
  void showRecording() override {}
  void showFirstRow() override {}
  void showStopped() override {}
  void showFailure(const QString& message) override { say(message); }

 private:
  void say(const QString& text) {
    QTimer::singleShot(0, &panel_, [p = &panel_, text] { p->parts_.warn(text); });
  }

  BeltsPanel& panel_;
  QString beltName_;
};

void BeltsPanel::setUpKeys(int belt) {
  MonitorCore& core = parts_.core;
  KeyTriggers& keys = core.belt(belt).keys;
  KeyActivationValues values;
  values.forceThreshold = core.keys().values().forceThreshold;
  values.forceKey = kDefaultKeys[static_cast<std::size_t>(belt - 1)];
  if (const SettingsFile* file = parts_.settings()) {
    const QString id = core.belt(belt).deviceId;
    values.forceThreshold =
        file->readInteger(kSection, id + QStringLiteral(".Threshold"), values.forceThreshold);
    values.forceKey =
        keyCodeFromField(file->readInteger(kSection, id + QStringLiteral(".Key"), values.forceKey));
  }
  // A further belt presses its force key only: the axes' keys are the first belt's.
  constexpr std::int32_t kNever = std::numeric_limits<std::int32_t>::max();
  for (AxisKeyValues* axis : {&values.x, &values.y, &values.z}) *axis = {-kNever, kNever, 0, 0};
  keys.setSink(parts_.keySink());
  keys.applyValues(values);
  keys.setActive(core.keys().active());
  // Its held breath sounds the alarm as the first belt's does.
  ActivityMonitor& activity = core.belt(belt).activity;
  activity.settings() = core.activity().settings();
  activity.setAlarm(&core.activity().alarm());
}

void BeltsPanel::showKeysOf(int previous, int belt) {
  if (previous == belt) return;
  GamingKeysPage& page = *parts_.pages.gamingKeys;
  if (previous == 0 && belt != 0) {
    firstKeys_ = {page.forceThresholdSpin->value(), page.forceKeySpin->value(),
                  page.keySelection->itemIndex()};
  }
  showingFurtherKeys_ = false;
  KeyFields fields = firstKeys_;
  if (belt != 0) {
    const KeyActivationValues& values = parts_.core.belt(belt).keys.values();
    fields = {values.forceThreshold, values.forceKey, -1};
  } else {
    // The selection back as it was, without the click it stands for.
    const QSignalBlocker quiet(page.keySelection);
    page.keySelection->setItemIndex(fields.selection);
  }
  // The slider drives its field.
  page.thresholdSlider->setValue(page.thresholdSlider->maximum() - fields.threshold);
  page.forceThresholdSpin->setValue(fields.threshold);
  page.forceKeySpin->setValue(fields.key);
  showingFurtherKeys_ = belt != 0;
}

void BeltsPanel::chosenKeysChanged(int forceThreshold, int forceKeyField) {
  MonitorCore& core = parts_.core;
  const int belt = core.shownBelt();
  if (belt == 0 || !showingFurtherKeys_) return;
  KeyTriggers& keys = core.belt(belt).keys;
  KeyActivationValues values = keys.values();
  values.forceThreshold = forceThreshold;
  values.forceKey = keyCodeFromField(forceKeyField);
  if (values.forceThreshold == keys.values().forceThreshold &&
      values.forceKey == keys.values().forceKey) {
    return;
  }
  keys.applyValues(values);
  if (SettingsFile* file = parts_.settings()) {
    const QString id = core.belt(belt).deviceId;
    parts_.guarded([&] {
      file->writeInteger(kSection, id + QStringLiteral(".Threshold"), values.forceThreshold);
      file->writeInteger(kSection, id + QStringLiteral(".Key"), values.forceKey);
    });
  }
}

void BeltsPanel::keysChanged(bool active, int forceThreshold) {
  MonitorCore& core = parts_.core;
  for (int belt = 1; belt < MonitorCore::kMaxBelts; ++belt) {
    if (!core.hasBelt(belt)) continue;
    KeyTriggers& keys = core.belt(belt).keys;
    KeyActivationValues values = keys.values();
    if (!keyThresholdStored(belt)) values.forceThreshold = forceThreshold;
    keys.applyValues(values);
    keys.setActive(active);
  }
}

bool BeltsPanel::keyThresholdStored(int belt) const {
  const SettingsFile* file = parts_.settings();
  if (!file) return false;
  const QString key = parts_.core.belt(belt).deviceId + QStringLiteral(".Threshold");
  return file->readInteger(kSection, key, -1) != -1;
}

void BeltsPanel::startLog() {
  const LiveGraphPage& page = *parts_.pages.liveGraph;
  if (page.logFormatCombo->currentIndex() != 0) return;
  for (int belt = 1; belt < MonitorCore::kMaxBelts; ++belt) {
    if (parts_.core.hasBelt(belt)) startFurtherLog(belt);
  }
}

void BeltsPanel::endLog() {
  for (int belt = 1; belt < MonitorCore::kMaxBelts; ++belt) {
    if (parts_.core.hasBelt(belt)) parts_.core.belt(belt).recorder.endLogClicked();
  }
}

void BeltsPanel::startFurtherLog(int belt) {
  MonitorCore& core = parts_.core;
  BeltRoad& road = core.belt(belt);
  const QString first = core.recorder().state() == RecorderState::Recording
                            ? core.recorder().path()
                            : QStringLiteral("./") +
                                  parts_.pages.liveGraph->logFileNameEdit->text() +
                                  QStringLiteral(".csv");
  const QString base =
      first.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive) ? first.chopped(4) : first;
  auto& view = recorderViews_[static_cast<std::size_t>(belt)];
  view = std::make_unique<FurtherRecorderView>(*this, road.name);
  road.recorder.setView(view.get());
  road.recorder.startRecording(base + QLatin1Char('_') + road.name + QStringLiteral(".csv"));
}

}  // namespace kelvaro
