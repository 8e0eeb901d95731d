#pragma once

#include <QString>
#include <QTimer>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "activity/ActivityMonitor.h"
#include "base/ConsoleLog.h"
#include "breathing/BreathDetector.h"
#include "link/CommandSender.h"
#include "link/Dispatcher.h"
#include "link/LinkGuard.h"
#include "link/LinkState.h"
#include "link/RxFramer.h"
#include "link/ScanList.h"
#include "link/Stopwatch.h"
#include "measure/CalibrationFields.h"
#include "measure/LiveGraphModel.h"
#include "measure/MeasurementState.h"
#include "measure/Recorder.h"
#include "monitor/BeltRoad.h"
#include "monitor/MeasurementConsumer.h"
#include "monitor/MonitorDisplay.h"
#include "platform/AppendFile.h"

namespace kelvaro {

class SerialTransport;
class TickSource;

// The headless core of the monitor: the state that lives for the whole run (the framer, the link
// flags, the scan list, the decoded measurement, the calibration, the live graph's model with its
// write position, the stopwatch, the link guard) and the road of one measurement, from the port's
// bytes to the last consumer. It knows no widget: the window, a test, a benchmark or a replay
// creates it with a transport, a clock and a display, sets its switches and registers its
// outputs as consumers.
class MonitorCore final : private MeasurementSink, private BeltLinkActions {
 public:
  // Belts at once, the first included.
  static constexpr int kMaxBelts = kelvaro::kMaxBelts;

  // The link guard is looked at when it has something to notice (the end of a silence, an
  // attempt due), never sooner than this, and not at all while no link is watched.
  static constexpr int kLinkCheckMs = 250;

  // Everything passed in must outlive the core.
  MonitorCore(TickSource& ticks, EventPump& pump, SerialTransport& port, ScanView& scanView,
              MonitorDisplay& display);
  ~MonitorCore() override;
  MonitorCore(const MonitorCore&) = delete;
  MonitorCore& operator=(const MonitorCore&) = delete;

  // The port's receive event: every waiting byte through the framer, packets dispatched as
  // they complete.
  void receive();
  // Bytes from any other source (a replay, a benchmark), fed as if they had been received.
  void feed(const std::uint8_t* bytes, std::size_t count);

  MonitorSwitches& switches() { return switches_; }

  // An output of the road, called after those registered before it (register in road order).
  // It must outlive the core or be removed first; registering one twice changes nothing.
  void addConsumer(MeasurementConsumer& consumer);
  void removeConsumer(MeasurementConsumer& consumer);

  // The link to the belt. A connection of the user's was made: it is watched from now on (a
  // silence of LinkGuard::kSilenceMs or the dongle's disconnected event is a lost link, mended
  // through `reconnect`).
  void linkConnected(const QString& deviceId);
  // The user's Disconnect: nothing is watched or mended any more, and the belt is gone: the next
  // connection starts its count afresh, so that its tenth notification zeroes the forces again.
  void linkDisconnected();
  // A session start: the next notification zeroes the forces again and primes the activity
  // computation.
  void restartZeroing();
  // "Zero Force 1" / "Zero Force 2" (and "Zero1" / "Zero2"): the channel's offset becomes its
  // latest raw reading, noted as an event. Returns the new offset for the channel's field. The
  // first belt's unless another belt is named.
  std::int32_t zeroForce(ForceChannel channel, int belt = 0);
  // Something that happened now (a marker, a session, the dongle), for every consumer. The core
  // notes the apneas and the activity alarms of the road itself.
  void noteEvent(MonitorEventKind kind, const QString& text = QString());
  // Notices a silence and starts a reconnect when one is due; the core's own timer calls it when
  // the guard is due, a test or a benchmark may call it directly.
  void checkLink();
  // What stood in the way of a reconnect is gone (the dongle is back): the next attempt soon.
  void retryLinkSoon();
  // The timer that has the guard look at the link.
  QTimer& linkCheckTimer() { return linkTimer_; }
  // One attempt to connect to the belt again (true: connected); it may pump the event loop.
  // Without it a lost link stays lost.
  void setReconnect(std::function<bool(const QString& deviceId)> reconnect) {
    reconnect_ = std::move(reconnect);
  }
  LinkGuard& linkGuard() { return first().guard; }
  const LinkGuard& linkGuard() const { return first().guard; }

  // The activity computation; its session control and alarm are attached to it.
  ActivityMonitor& activity() { return first().activity; }
  // The breath detector; reset by the window when no belt is connected. Its apnea sounds the
  // activity alarm's outputs, as they are ticked.
  BreathDetector& breathing() { return first().breath; }
  // The key triggers; the window gives them their sink and working copies and switches them on
  // and off.
  KeyTriggers& keys() { return first().keys; }

  ConsoleLog& console() { return console_; }
  LinkState& link() { return link_; }
  ScanList& scanList() { return scanList_; }
  MeasurementState& measurement() { return first().measurement; }
  const MeasurementState& measurement() const { return first().measurement; }
  Calibration& calibration() { return first().calibration; }
  // The measurement recorder; its file is the real one unless a test or a benchmark sets another.
  Recorder& recorder() { return first().recorder; }
  livegraph::LiveGraphModel& graph() { return first().graph; }
  const livegraph::LiveGraphModel& graph() const { return first().graph; }
  CommandSender& commands() { return commands_; }
  Dispatcher& dispatcher() { return dispatcher_; }
  Stopwatch& stopwatch() { return stopwatch_; }
  Waiter& waiter() { return waiter_; }

  // The belts. Belt 0 is the first belt, on connection 0, whose accessors are the ones above;
  // further belts get a slot when their connection streams and keep it (their calibration,
  // name and recording) until they are detached. Each belt's notifications go down a road of
  // their own, routed by the connection handle they carry; one on a connection no belt has is
  // dropped.
  BeltRoad& belt(int index) { return *roads_[static_cast<std::size_t>(index)]; }
  const BeltRoad& belt(int index) const { return *roads_[static_cast<std::size_t>(index)]; }
  // Whether slot `index` (0..kMaxBelts-1) holds a belt; slot 0 always does.
  bool hasBelt(int index) const;
  // Slots holding a belt, the first included.
  int beltCount() const;
  // The belt on connection `handle`, or -1.
  int beltOnHandle(std::uint8_t handle) const;
  // A further belt streams on connection `handle`: the slot it had (the same DeviceId) with its
  // new handle, or a free one, whose sweep starts where the first belt's is; -1 when every slot
  // is taken. Its link is watched from now on, and the consumers hear it named, then connected;
  // a belt whose link was lost is back instead (its guard tells it).
  int attachBelt(const QString& deviceId, std::uint8_t handle);
  // The user disconnected further belt `index`: its recording ends, nothing of it is watched,
  // the consumers hear it disconnected and its slot is free.
  void detachBelt(int index);
  // The dongle's disconnected event for further belt `index`'s connection.
  void beltDisconnectedEvent(int index, std::uint16_t reason);
  // The belt's short name, for every consumer (beltNamed).
  void setBeltName(int index, const QString& name);
  // Where a belt's name comes from when it connects (the one the user gave it); a belt without
  // one is called by the last four digits of its DeviceId.
  void setBeltNames(std::function<QString(const QString& deviceId)> names) {
    beltNames_ = std::move(names);
  }
  static QString defaultBeltName(const QString& deviceId);
  // The belt whose readings, key indicator and breathing the display shows (the first by
  // default); its chart line is drawn by every belt's plotted samples all the same.
  void setShownBelt(int index);
  int shownBelt() const { return shownBelt_; }
  // One attempt to connect further belt `index` again after its link was lost (true:
  // connected); it may pump the event loop.
  void setBeltReconnect(std::function<bool(int belt, const QString& deviceId)> reconnect) {
    beltReconnect_ = std::move(reconnect);
  }

 private:
  BeltRoad& first() { return *roads_[0]; }
  const BeltRoad& first() const { return *roads_[0]; }

  void handleMeasurementNotification(const BgapiPacket& packet) override;
  // The road of one belt's notification.
  void road(BeltRoad& belt, const BgapiPacket& packet);
  // The breathing step: the detector fed with every decoded notification, a peak marked where it
  // was plotted, an apnea's alarm.
  BreathUpdate detectBreath(BeltRoad& belt, const NotificationOutcome& out, int plottedSlot,
                            std::uint32_t tick);

  void beltLinkLost(int belt, const QString& deviceId, const QString& reason) override;
  void beltLinkBack(int belt, const QString& deviceId) override;
  bool beltReconnect(int belt, const QString& deviceId) override;
  void tellLink(int belt, LinkEvent event, const QString& deviceId,
                const QString& reason = QString());
  void tellEvent(int belt, MonitorEventKind kind, const QString& text, std::uint32_t tick,
                 std::uint32_t durationMs = 0);
  // The belt's breath detector starts afresh: an apnea it was in is over where the data stopped.
  void resetBreathing(BeltRoad& belt);
  QString nameFor(const QString& deviceId) const;
  // The link timer set for the belt whose guard is due first.
  void watchLink();

  const TickSource& clock_;
  SerialTransport& port_;
  MonitorDisplay& display_;
  MonitorSwitches switches_;
  ConsoleLog console_;
  Stopwatch stopwatch_;
  Waiter waiter_;
  LinkState link_;
  ScanList scanList_;
  std::array<std::unique_ptr<BeltRoad>, kMaxBelts> roads_;
  // Connection handle -> belt slot + 1 (0: none), for the notifications' routing.
  std::array<std::int8_t, 256> beltOnHandle_{};
  int shownBelt_ = 0;
  CommandSender commands_;
  Dispatcher dispatcher_;
  RxFramer framer_;
  QTimer linkTimer_;
  std::function<bool(const QString&)> reconnect_;
  std::function<bool(int, const QString&)> beltReconnect_;
  std::function<QString(const QString&)> beltNames_;
  // In registration order; a slot emptied while the road runs is swept afterwards.
  std::vector<MeasurementConsumer*> consumers_;
  int dispatching_ = 0;
  bool sweep_ = false;
};

}  // namespace kelvaro
