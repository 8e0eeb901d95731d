#include "app/WindowViews.h"

#include <QProgressBar>

#include "base/TickSource.h"
#include "measure/MeasurementDecoder.h"
#include "monitor/MonitorCore.h"
#include "widgets/ReadoutLabel.h"

namespace kelvaro {
namespace {

// An unchanged reading is not set again: each new text is an event for assistive tools.
void setTextIfChanged(QLineEdit* edit, const QString& text) {
  if (edit->text() != text) edit->setText(text);
}

// The battery gauge's own text: its value in percent.
const QString kGaugeFormat = QStringLiteral("%p%");

// A bar whose value is not current is greyed, and says why to assistive tools.
void setCurrent(QProgressBar* bar, bool current, const QString& why = QString()) {
  bar->setEnabled(current);
  bar->setAccessibleDescription(current ? QString() : why);
}

// A new value makes QProgressBar paint itself and hand the window to the screen there and then;
// with updates held back for the call, the bar is painted in the window's next pass instead,
// together with the chart and the labels of the same notification.
void setBarValue(QProgressBar* bar, int value) {
  if (bar->value() == value) return;
  bar->setUpdatesEnabled(false);
  bar->setValue(value);
  bar->setUpdatesEnabled(true);
}

}  // namespace

WindowReadouts::WindowReadouts(const WindowViewParts& parts, const TickSource& ticks, int frameMs)
    : parts_(parts), ticks_(ticks), frameMs_(frameMs) {
  displayTimer_.setSingleShot(true);
  QObject::connect(&displayTimer_, &QTimer::timeout, &parts.window, [this] { showDisplays(); });
}

void WindowReadouts::showReadings(const NotificationOutcome& out, const MeasurementState& state) {
  if (out.batteryShown) {
    pending_.battery = true;
    pending_.batteryReading = out.batteryReading;
    pending_.batteryGauge = out.batteryGauge;
  }
  if (out.temperatureShown) {
    pending_.temperature = true;
    pending_.temperatureReading = out.temperatureReading;
  }
  pending_.forces = true;
  pending_.forceBar = out.forceBarPosition;
  pending_.force1Grams = state.force1Grams;
  pending_.force2Grams = state.force2Grams;

  const auto elapsed = static_cast<int>(ticks_.tick() - lastShown_);
  if (frameMs_ <= 0 || elapsed >= frameMs_) {
    showDisplays();
  } else if (!displayTimer_.isActive()) {
    displayTimer_.start(frameMs_ - elapsed);
  }
}

void WindowReadouts::showDisplays() {
  auto& specPage = *parts_.pages.specSetting;
  auto& graph = *parts_.pages.liveGraph;
  if (pending_.battery) {
    setTextIfChanged(specPage.batteryEdit, batteryReadout(pending_.batteryReading));
    if (batteryNotCurrent_) {
      batteryNotCurrent_ = false;
      setCurrent(graph.batteryGauge, true);
      graph.batteryGauge->setFormat(kGaugeFormat);
    }
    setBarValue(graph.batteryGauge, pending_.batteryGauge);
  }
  if (pending_.temperature) {
    setTextIfChanged(specPage.temperatureEdit, temperatureReadout(pending_.temperatureReading));
  }
  if (pending_.forces) {
    if (forceBarNotCurrent_) {
      forceBarNotCurrent_ = false;
      setCurrent(parts_.pages.gamingKeys->forceBar, true);
    }
    setBarValue(parts_.pages.gamingKeys->forceBar, pending_.forceBar);
    graph.force1Readout->setReading(forceReadout(pending_.force1Grams));
    graph.force2Readout->setReading(forceReadout(pending_.force2Grams));
  }
  pending_.battery = pending_.temperature = pending_.forces = false;
  lastShown_ = ticks_.tick();
}

void WindowReadouts::showNotCurrent(const QString& why) {
  // A reading still waiting for its frame is from before the loss.
  displayTimer_.stop();
  pending_ = Pending{};
  auto& graph = *parts_.pages.liveGraph;
  graph.force1Readout->setReading(kNotCurrentText);
  graph.force2Readout->setReading(kNotCurrentText);
  forceBarNotCurrent_ = true;
  setCurrent(parts_.pages.gamingKeys->forceBar, false, why);
  batteryNotCurrent_ = true;
  setCurrent(graph.batteryGauge, false, why);
  graph.batteryGauge->setFormat(kNotCurrentText);
}

void WindowConnectionPanel::connectionMade(const QString& deviceId) {
  parts_.core().linkConnected(deviceId);
}

void WindowConnectionPanel::connectionEnded() { parts_.core().linkDisconnected(); }

}  // namespace kelvaro
