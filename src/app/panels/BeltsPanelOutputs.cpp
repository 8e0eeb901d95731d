// The further belts' outputs beside the first belt's: their keys, their alarm and their CSV files.
#include <QComboBox>
#include <QLineEdit>
#include <QTimer>
#include <limits>

#include "app/WindowPages.h"
#include "app/pages/LiveGraphPage.h"
#include "app/panels/BeltsPanel.h"
#include "base/SettingsFile.h"
#include "monitor/MonitorCore.h"

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
