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
      framer_(ticks, console_, dispatcher_) {
  roads_[0] = std::make_unique<BeltRoad>(0, clock_, console_, static_cast<BeltLinkActions&>(*this));
  beltOnHandle_[0] = 1;
  dispatcher_.setDisconnectedHandler([this](std::uint16_t reason) {
    first().guard.disconnectedEvent(reason);
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

void MonitorCore::handleMeasurementNotification(const BgapiPacket& packet) {
  // The connection handle is the payload's first byte; a packet too short to carry one is the
  // first belt's to refuse.
  const std::uint8_t handle = packet.length >= 1 ? packet.payload[0] : 0;
  const int slot = beltOnHandle_[handle] - 1;
  if (slot < 0) return;
  road(*roads_[static_cast<std::size_t>(slot)], packet);
}

// The road of one belt's measurement, in the one order every consumer relies on: decode,
// read-outs, key activation, then (only while the graph runs and the forces have been zeroed)
// plot, activity, advance, record and the consumers of plotted samples; the wrap of the write
// position, the breath detector and the consumers of every notification (the Scratch links among
// them). The display hears of the shown belt only, and of the other belts' chart lines.
void MonitorCore::road(BeltRoad& belt, const BgapiPacket& packet) {
  const NotificationOutcome out = kelvaro::handleMeasurementNotification(
      packet.payload.data(), packet.length, belt.measurement, belt.calibration,
      NotificationSwitches{switches_.log, switches_.freeze}, console_);
  if (!out.decoded) return;
  const int index = belt.index();
  const bool shown = index == shownBelt_;
  const std::uint32_t tick = stopwatch_.tick();
  // Every decoded notification is a sign of life, whatever the window does with it.
  belt.guard.notificationAt(tick);
  const MeasurementState& m = belt.measurement;
  if (out.zeroed) belt.activity.PrimeActivity(m.force1Grams, m.accelX);
  if (shown) display_.showReadings(out, m);

  const KeyIndicator keys = belt.keys.update(m.force1Grams, m.accelX, m.accelY, m.accelZ);
  if (shown) display_.keyIndicator(keys);

  int plottedSlot = -1;
  if (out.gated) {
    livegraph::LiveGraphModel& graph = belt.graph;
    plottedSlot = graph.graphSlot();
    graph.plotSample(m.force1Grams, m.force2Grams, m.accelX, m.accelY, m.accelZ);
    if (index == 0) {
      display_.samplePlotted(graph.graphSlot());
    } else {
      display_.beltPlotted(index, graph.graphSlot());
    }
    if (const auto block = belt.activity.AddActivitySample(m.force1Grams, m.accelX)) {
      if (index == 0) display_.activityBlock(*block);
      if (block->alarms.belowLevel) {
        tellEvent(index, MonitorEventKind::ActivityAlarm, QString(), tick);
      }
    }
    graph.advanceSlot();
    belt.recorder.RecordSample(m);
    const PlottedSample sample{m, plottedSlot, tick, index};
    forEachConsumer(consumers_, dispatching_, sweep_,
                    [&](MeasurementConsumer& c) { c.samplePlotted(sample); });
  }
  belt.graph.wrapSlot();

  const BreathUpdate breath = detectBreath(belt, out, plottedSlot, tick);

  const DecodedNotification decoded{m, out, breath, plottedSlot, tick, index};
  forEachConsumer(consumers_, dispatching_, sweep_,
                  [&](MeasurementConsumer& c) { c.notificationDecoded(decoded); });
}

BreathUpdate MonitorCore::detectBreath(BeltRoad& belt, const NotificationOutcome& out,
                                       int plottedSlot, std::uint32_t tick) {
  const MeasurementState& m = belt.measurement;
  const int index = belt.index();
  // The first notification of a connection starts afresh; a zeroing moves the force's zero.
  if (m.notificationCount == 1) resetBreathing(belt);
  if (out.zeroed) belt.breath.restartSignal();
  const BreathUpdate update = belt.breath.addSample(m.force1Grams, tick);
  belt.lastNotificationTick = tick;
  if (update.apneaBegan) {
    belt.apneaOpen = true;
    belt.apneaSince = tick - update.msSinceBreath;
  }
  if (update.apneaEnded && belt.apneaOpen) {
    belt.apneaOpen = false;
    tellEvent(index, MonitorEventKind::Apnea, QString(), belt.apneaSince, tick - belt.apneaSince);
  }

  const std::uint64_t number = ++belt.notifications;
  auto& shows = belt.slotShows;
  if (plottedSlot >= 0 && plottedSlot <= livegraph::kLastPoint) {
    shows[static_cast<std::size_t>(plottedSlot)] = number;
  }
  // A search of the sweep once a breath: a held breath peaked many seconds before it is seen.
  if (update.breath && update.peakSamplesAgo < number) {
    const std::uint64_t peak = number - update.peakSamplesAgo;
    const auto found = std::find(shows.begin(), shows.end(), peak);
    if (found != shows.end()) {
      const int slot = static_cast<int>(found - shows.begin());
      belt.graph.markBreath(slot);
      if (index == 0) display_.breathMarked(slot);
    }
  }
  if (update.apneaBegan) {
    ActivityMonitor& activity = belt.activity;
    if (activity.settings().sound) activity.alarm().soundAlarm();
    if (activity.settings().mute) activity.alarm().muteAlarm();
  }
  if (index == shownBelt_) display_.breathing(update);
  return update;
}

QString MonitorCore::nameFor(const QString& deviceId) const {
  const QString name = beltNames_ ? beltNames_(deviceId) : QString();
  return name.isEmpty() ? defaultBeltName(deviceId) : name;
}

QString MonitorCore::defaultBeltName(const QString& deviceId) {
  return deviceId.right(4).toUpper();
}

void MonitorCore::linkConnected(const QString& deviceId) {
  BeltRoad& belt = first();
  if (belt.deviceId != deviceId || belt.name.isEmpty()) {
    belt.deviceId = deviceId;
    setBeltName(0, nameFor(deviceId));
  }
  belt.guard.connected(deviceId);
  watchLink();
  tellLink(0, LinkEvent::Connected, deviceId);
}

void MonitorCore::linkDisconnected() {
  BeltRoad& belt = first();
  const QString deviceId = belt.guard.deviceId();
  belt.guard.userDisconnected();
  watchLink();
  belt.measurement.notificationCount = 0;
  // No belt: nothing of its breathing goes on.
  resetBreathing(belt);
  tellLink(0, LinkEvent::Disconnected, deviceId);
}

bool MonitorCore::hasBelt(int index) const {
  return index >= 0 && index < kMaxBelts && roads_[static_cast<std::size_t>(index)] != nullptr;
}

int MonitorCore::beltCount() const {
  return static_cast<int>(std::count_if(roads_.begin(), roads_.end(),
                                        [](const auto& road) { return road != nullptr; }));
}

int MonitorCore::beltOnHandle(std::uint8_t handle) const { return beltOnHandle_[handle] - 1; }

int MonitorCore::attachBelt(const QString& deviceId, std::uint8_t handle) {
  // Connection 0 is the first belt's.
  if (handle == 0) return -1;
  BeltLinkActions& actions = *this;
  int slot = -1;
  for (int i = 1; i < kMaxBelts; ++i) {
    if (hasBelt(i) && belt(i).deviceId == deviceId) slot = i;
  }
  for (int i = 1; i < kMaxBelts && slot < 0; ++i) {
    if (!hasBelt(i)) {
      roads_[static_cast<std::size_t>(i)] =
          std::make_unique<BeltRoad>(i, clock_, console_, actions);
      BeltRoad& added = belt(i);
      added.deviceId = deviceId;
      setBeltName(i, nameFor(deviceId));
      // Its sweep runs beside the first belt's.
      if (first().graph.hasPoints()) added.graph.createPoints();
      for (int s = 0; s < first().graph.graphSlot(); ++s) added.graph.advanceSlot();
      slot = i;
    }
  }
  if (slot < 0) return -1;
  BeltRoad& road = belt(slot);
  // A reconnect may have brought it back on another connection.
  if (beltOnHandle_[road.handle] == slot + 1) beltOnHandle_[road.handle] = 0;
  road.handle = handle;
  beltOnHandle_[handle] = static_cast<std::int8_t>(slot + 1);
  // A belt whose link was lost is back (its guard says so), not connected anew.
  const LinkGuard::State state = road.guard.state();
  road.guard.connected(deviceId);
  watchLink();
  if (state == LinkGuard::State::Lost || state == LinkGuard::State::Reconnecting) return slot;
  tellLink(slot, LinkEvent::Connected, deviceId);
  return slot;
}

void MonitorCore::detachBelt(int index) {
  if (index <= 0 || !hasBelt(index)) return;
  BeltRoad& road = belt(index);
  const QString deviceId = road.deviceId;
  road.guard.userDisconnected();
  road.keys.releaseAll();
  road.recorder.finish();
  resetBreathing(road);
  if (beltOnHandle_[road.handle] == index + 1) beltOnHandle_[road.handle] = 0;
  if (shownBelt_ == index) shownBelt_ = 0;
  tellLink(index, LinkEvent::Disconnected, deviceId);
  roads_[static_cast<std::size_t>(index)].reset();
  watchLink();
}

void MonitorCore::beltDisconnectedEvent(int index, std::uint16_t reason) {
  if (!hasBelt(index)) return;
  belt(index).guard.disconnectedEvent(reason);
  watchLink();
}

void MonitorCore::setBeltName(int index, const QString& name) {
  if (!hasBelt(index)) return;
  belt(index).name = name;
  forEachConsumer(consumers_, dispatching_, sweep_,
                  [&](MeasurementConsumer& c) { c.beltNamed(index, name); });
}

void MonitorCore::setShownBelt(int index) { shownBelt_ = hasBelt(index) ? index : 0; }

void MonitorCore::restartZeroing() {
  first().measurement.notificationCount = measurement::kSessionStartCount;
}

std::int32_t MonitorCore::zeroForce(ForceChannel channel, int index) {
  BeltRoad& belt = hasBelt(index) ? this->belt(index) : first();
  const std::int32_t offset = zeroForceChannel(channel, belt.measurement, belt.calibration);
  tellEvent(
      belt.index(),
      channel == ForceChannel::One ? MonitorEventKind::ZeroForce1 : MonitorEventKind::ZeroForce2,
      QString(), stopwatch_.tick());
  return offset;
}

void MonitorCore::noteEvent(MonitorEventKind kind, const QString& text) {
  const bool firstBelts =
      kind == MonitorEventKind::SessionStart || kind == MonitorEventKind::SessionStop;
  tellEvent(firstBelts ? 0 : kEveryBelt, kind, text, stopwatch_.tick());
}

void MonitorCore::resetBreathing(BeltRoad& belt) {
  if (belt.apneaOpen) {
    belt.apneaOpen = false;
    const std::uint32_t since = belt.apneaSince;
    const std::uint32_t last = belt.lastNotificationTick;
    const std::uint32_t end = last - since < 0x80000000u ? last : since;
    tellEvent(belt.index(), MonitorEventKind::Apnea, QString(), since, end - since);
  }
  belt.breath.reset();
}

void MonitorCore::checkLink() {
  for (auto& road : roads_) {
    if (road) road->guard.tick();
  }
  watchLink();
}

void MonitorCore::retryLinkSoon() {
  for (auto& road : roads_) {
    if (road) road->guard.retrySoon();
  }
  watchLink();
}

void MonitorCore::watchLink() {
  // Notifications move the end of a silence on without touching the timer: a look that comes
  // before it only sets the timer again.
  std::optional<std::uint32_t> due;
  for (const auto& road : roads_) {
    if (!road) continue;
    const std::optional<std::uint32_t> beltDue = road->guard.msUntilDue();
    if (beltDue && (!due || *beltDue < *due)) due = beltDue;
  }
  if (!due) {
    linkTimer_.stop();
    return;
  }
  linkTimer_.start(realWaitMs(clock_, std::max<std::uint32_t>(*due, kLinkCheckMs)));
}

void MonitorCore::beltLinkLost(int index, const QString& deviceId, const QString& reason) {
  BeltRoad& road = belt(index);
  // The chart's line breaks where the data stopped; a silence is no apnea.
  road.graph.breakLine();
  resetBreathing(road);
  tellLink(index, LinkEvent::Lost, deviceId, reason);
}

void MonitorCore::beltLinkBack(int index, const QString& deviceId) {
  tellLink(index, LinkEvent::Back, deviceId);
}

bool MonitorCore::beltReconnect(int index, const QString& deviceId) {
  if (index == 0) return reconnect_ ? reconnect_(deviceId) : false;
  return beltReconnect_ ? beltReconnect_(index, deviceId) : false;
}

void MonitorCore::tellLink(int belt, LinkEvent event, const QString& deviceId,
                           const QString& reason) {
  const LinkChange change{event, deviceId, reason, belt};
  forEachConsumer(consumers_, dispatching_, sweep_,
                  [&](MeasurementConsumer& c) { c.linkChanged(change); });
}

void MonitorCore::tellEvent(int belt, MonitorEventKind kind, const QString& text,
                            std::uint32_t tick, std::uint32_t durationMs) {
  const MonitorEvent event{kind, text, tick, durationMs, belt};
  forEachConsumer(consumers_, dispatching_, sweep_,
                  [&](MeasurementConsumer& c) { c.eventNoted(event); });
}

}  // namespace kelvaro
