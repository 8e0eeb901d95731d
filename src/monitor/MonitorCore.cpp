#include "monitor/MonitorCore.h"

#include <algorithm>
#include <optional>

#include "base/TickSource.h"
#include "link/SerialReceiver.h"
#include "measure/MeasurementDecoder.h"

namespace kelvaro {

MonitorCore::MonitorCore(TickSource& ticks, EventPump& pump, SerialTransport& port,
                         ScanView& scanView, MonitorDisplay& display)
    : clock_(ticks),
      port_(port),
      display_(display),
      stopwatch_(ticks),
      waiter_(stopwatch_, pump),
      commands_(port, console_, link_),
      dispatcher_(link_, scanList_, console_, scanView, *this),
      framer_(ticks, console_, dispatcher_),
      guard_(ticks, console_, *this) {
  dispatcher_.setDisconnectedHandler([this](std::uint16_t reason) {
    guard_.disconnectedEvent(reason);
    watchLink();
  });
  linkTimer_.setSingleShot(true);
  QObject::connect(&linkTimer_, &QTimer::timeout, [this] { checkLink(); });
}

MonitorCore::~MonitorCore() { dispatcher_.setDisconnectedHandler(nullptr); }

void MonitorCore::receive() { readSerialBytes(port_, framer_); }

void MonitorCore::feed(const std::uint8_t* bytes, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) framer_.FeedRxByte(bytes[i]);
}

void MonitorCore::addConsumer(MeasurementConsumer& consumer) {
  if (std::find(consumers_.begin(), consumers_.end(), &consumer) == consumers_.end()) {
    consumers_.push_back(&consumer);
  }
}

void MonitorCore::removeConsumer(MeasurementConsumer& consumer) {
  const auto at = std::find(consumers_.begin(), consumers_.end(), &consumer);
  if (at == consumers_.end()) return;
  if (dispatching_ > 0) {
    // The road is iterating the list: the slot is emptied now and swept when it is done.
    *at = nullptr;
    sweep_ = true;
  } else {
    consumers_.erase(at);
  }
}

// Calls every registered consumer in order. Indexing (not iterators) lets a consumer register
// another from inside its call; one removed meanwhile is skipped.
template <class Call>
static void forEachConsumer(std::vector<MeasurementConsumer*>& consumers, int& dispatching,
                            bool& sweep, Call&& call) {
  if (consumers.empty()) return;
  ++dispatching;
  for (std::size_t i = 0; i < consumers.size(); ++i) {
    if (MeasurementConsumer* c = consumers[i]) call(*c);
  }
  if (--dispatching == 0 && sweep) {
    consumers.erase(std::remove(consumers.begin(), consumers.end(), nullptr), consumers.end());
    sweep = false;
  }
}

// The road of one measurement, in the one order every consumer relies on: decode, read-outs, key
// activation, then (only while the graph runs and the forces have been zeroed) plot, activity,
// advance, record and the consumers of plotted samples; the wrap of the write position, the
// breath detector and the consumers of every notification (the Scratch links among them).
void MonitorCore::handleMeasurementNotification(const BgapiPacket& packet) {
  const NotificationOutcome out = kelvaro::handleMeasurementNotification(
      packet.payload.data(), packet.length, measurement_, calibration_,
      NotificationSwitches{switches_.log, switches_.freeze}, console_);
  if (!out.decoded) return;
  const std::uint32_t tick = stopwatch_.tick();
  // Every decoded notification is a sign of life, whatever the window does with it.
  guard_.notificationAt(tick);
  const MeasurementState& m = measurement_;
  if (out.zeroed) activity_.PrimeActivity(m.force1Grams, m.accelX);
  display_.showReadings(out, measurement_);

  display_.keyIndicator(keys_.update(m.force1Grams, m.accelX, m.accelY, m.accelZ));

  int plottedSlot = -1;
  if (out.gated) {
    plottedSlot = graph_.graphSlot();
    graph_.plotSample(m.force1Grams, m.force2Grams, m.accelX, m.accelY, m.accelZ);
    display_.samplePlotted(graph_.graphSlot());
    if (const auto block = activity_.AddActivitySample(m.force1Grams, m.accelX)) {
      display_.activityBlock(*block);
      if (block->alarms.belowLevel) tellEvent(MonitorEventKind::ActivityAlarm, QString(), tick);
    }
    graph_.advanceSlot();
    recorder_.RecordSample(m);
    const PlottedSample sample{m, plottedSlot, tick};
    forEachConsumer(consumers_, dispatching_, sweep_,
                    [&](MeasurementConsumer& c) { c.samplePlotted(sample); });
  }
  graph_.wrapSlot();

  const BreathUpdate breath = detectBreath(out, plottedSlot, tick);

  const DecodedNotification decoded{m, out, breath, plottedSlot, tick};
  forEachConsumer(consumers_, dispatching_, sweep_,
                  [&](MeasurementConsumer& c) { c.notificationDecoded(decoded); });
}

BreathUpdate MonitorCore::detectBreath(const NotificationOutcome& out, int plottedSlot,
                                       std::uint32_t tick) {
  const MeasurementState& m = measurement_;
  // The first notification of a connection starts afresh; a zeroing moves the force's zero.
  if (m.notificationCount == 1) resetBreathing();
  if (out.zeroed) breath_.restartSignal();
  const BreathUpdate update = breath_.addSample(m.force1Grams, tick);
  lastNotificationTick_ = tick;
  if (update.apneaBegan) {
    apneaOpen_ = true;
    apneaSince_ = tick - update.msSinceBreath;
  }
  if (update.apneaEnded && apneaOpen_) {
    apneaOpen_ = false;
    tellEvent(MonitorEventKind::Apnea, QString(), apneaSince_, tick - apneaSince_);
  }

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
    if (activity_.settings().sound) activity_.alarm().soundAlarm();
    if (activity_.settings().mute) activity_.alarm().muteAlarm();
  }
  display_.breathing(update);
  return update;
}

void MonitorCore::linkConnected(const QString& deviceId) {
  guard_.connected(deviceId);
  watchLink();
  tellLink(LinkEvent::Connected, deviceId);
}

void MonitorCore::linkDisconnected() {
  const QString deviceId = guard_.deviceId();
  guard_.userDisconnected();
  watchLink();
  measurement_.notificationCount = 0;
  // No belt: nothing of its breathing goes on.
  resetBreathing();
  tellLink(LinkEvent::Disconnected, deviceId);
}

void MonitorCore::restartZeroing() {
  measurement_.notificationCount = measurement::kSessionStartCount;
}

std::int32_t MonitorCore::zeroForce(ForceChannel channel) {
  const std::int32_t offset = zeroForceChannel(channel, measurement_, calibration_);
  noteEvent(channel == ForceChannel::One ? MonitorEventKind::ZeroForce1
                                         : MonitorEventKind::ZeroForce2);
  return offset;
}

void MonitorCore::noteEvent(MonitorEventKind kind, const QString& text) {
  tellEvent(kind, text, stopwatch_.tick());
}

void MonitorCore::resetBreathing() {
  if (apneaOpen_) {
    apneaOpen_ = false;
    const std::uint32_t end =
        lastNotificationTick_ - apneaSince_ < 0x80000000u ? lastNotificationTick_ : apneaSince_;
    tellEvent(MonitorEventKind::Apnea, QString(), apneaSince_, end - apneaSince_);
  }
  breath_.reset();
}

void MonitorCore::checkLink() {
  guard_.tick();
  watchLink();
}

void MonitorCore::retryLinkSoon() {
  guard_.retrySoon();
  watchLink();
}

void MonitorCore::watchLink() {
  // Notifications move the end of a silence on without touching the timer: a look that comes
  // before it only sets the timer again.
  const std::optional<std::uint32_t> due = guard_.msUntilDue();
  if (!due) {
    linkTimer_.stop();
    return;
  }
  linkTimer_.start(realWaitMs(clock_, std::max<std::uint32_t>(*due, kLinkCheckMs)));
}

void MonitorCore::linkLost(const QString& deviceId, const QString& reason) {
  // The chart's line breaks where the data stopped; a silence is no apnea.
  graph_.breakLine();
  resetBreathing();
  tellLink(LinkEvent::Lost, deviceId, reason);
}

void MonitorCore::linkBack(const QString& deviceId) { tellLink(LinkEvent::Back, deviceId); }

bool MonitorCore::reconnect(const QString& deviceId) {
  return reconnect_ ? reconnect_(deviceId) : false;
}

void MonitorCore::tellLink(LinkEvent event, const QString& deviceId, const QString& reason) {
  const LinkChange change{event, deviceId, reason};
  forEachConsumer(consumers_, dispatching_, sweep_,
                  [&](MeasurementConsumer& c) { c.linkChanged(change); });
}

void MonitorCore::tellEvent(MonitorEventKind kind, const QString& text, std::uint32_t tick,
                            std::uint32_t durationMs) {
  const MonitorEvent event{kind, text, tick, durationMs};
  forEachConsumer(consumers_, dispatching_, sweep_,
                  [&](MeasurementConsumer& c) { c.eventNoted(event); });
}

}  // namespace kelvaro
