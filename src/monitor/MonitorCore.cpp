#include "monitor/MonitorCore.h"

#include <algorithm>

#include "link/SerialReceiver.h"
#include "measure/MeasurementDecoder.h"

namespace kelvaro {

MonitorCore::MonitorCore(TickSource& ticks, EventPump& pump, SerialTransport& port,
                         ScanView& scanView, MonitorDisplay& display)
    : port_(port),
      display_(display),
      stopwatch_(ticks),
      waiter_(stopwatch_, pump),
      activity_(hooks_, hooks_),
      keys_(keySink_),
      commands_(port, console_, link_),
      dispatcher_(link_, scanList_, console_, scanView, *this),
      framer_(ticks, console_, dispatcher_) {}

void MonitorCore::receive() { ComPort1RxChar(port_, framer_); }

void MonitorCore::feed(const std::uint8_t* bytes, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) framer_.FeedRxByte(bytes[i]);
}

// The road of one measurement, in the one order every consumer relies on: decode, key
// activation, then (only while the graph runs and the forces have been zeroed) plot, activity,
// advance, record; the wrap of the write position, the breath detector and the Scratch sender for
// every notification.
void MonitorCore::handleMeasurementNotification(const BgapiPacket& packet) {
  const NotificationOutcome out = kelvaro::handleMeasurementNotification(
      packet.payload.data(), packet.length, measurement_, calibration_,
      NotificationSwitches{switches_.log, switches_.freeze}, console_);
  if (!out.decoded) return;
  const MeasurementState& m = measurement_;
  if (out.zeroed) activity_.PrimeActivity(m.Force1Grams, m.AccelX);
  display_.showReadings(out, measurement_);

  display_.keyIndicator(keys_.update(m.Force1Grams, m.AccelX, m.AccelY, m.AccelZ));

  int plottedSlot = -1;
  if (out.gated) {
    plottedSlot = graph_.graphSlot();
    graph_.plotSample(m.Force1Grams, m.Force2Grams, m.AccelX, m.AccelY, m.AccelZ);
    display_.samplePlotted(graph_.graphSlot());
    if (const auto block = activity_.AddActivitySample(m.Force1Grams, m.AccelX)) {
      display_.activityBlock(*block);
    }
    graph_.advanceSlot();
    recorder_.RecordSample(m);
  }
  graph_.wrapSlot();

  detectBreath(out, plottedSlot);

  if (scratch_)
    scratch_->sendSensorUpdate(m.AccelX, m.AccelY, m.AccelZ, m.Force1Grams, m.Force2Grams);
}

void MonitorCore::detectBreath(const NotificationOutcome& out, int plottedSlot) {
  const MeasurementState& m = measurement_;
  // The first notification of a connection starts afresh; a zeroing moves the force's zero.
  if (m.NotificationCount == 1) breath_.reset();
  if (out.zeroed) breath_.restartSignal();
  const BreathUpdate update = breath_.addSample(m.Force1Grams, stopwatch_.Tick());

  ++notifications_;
  if (plottedSlot >= 0 && plottedSlot <= livegraph::kLastPoint) {
    slotShows_[static_cast<std::size_t>(plottedSlot)] = notifications_;
  }
  // A search of the sweep once a breath: a held breath peaked many seconds before it is seen.
  if (update.breath && update.peakSamplesAgo < notifications_) {
    const std::uint64_t peak = notifications_ - update.peakSamplesAgo;
    const auto shown = std::find(slotShows_.begin(), slotShows_.end(), peak);
    if (shown != slotShows_.end()) {
      const int slot = static_cast<int>(shown - slotShows_.begin());
      graph_.markBreath(slot);
      display_.breathMarked(slot);
    }
  }
  if (update.apneaBegan) {
    if (activity_.settings().sound) hooks_.soundAlarm();
    if (activity_.settings().mute) hooks_.muteAlarm();
  }
  display_.breathing(update);
}

}  // namespace kelvaro
