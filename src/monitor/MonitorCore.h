#pragma once

#include <QString>
#include <QTimer>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
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
class MonitorCore final : private MeasurementSink, private LinkGuardActions {
 public:
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
  // latest raw reading, noted as an event. Returns the new offset for the channel's field.
  std::int32_t zeroForce(ForceChannel channel);
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
  LinkGuard& linkGuard() { return guard_; }
  const LinkGuard& linkGuard() const { return guard_; }

  // The activity computation; its session control and alarm are attached to it.
  ActivityMonitor& activity() { return activity_; }
  // The breath detector; reset by the window when no belt is connected. Its apnea sounds the
  // activity alarm's outputs, as they are ticked.
  BreathDetector& breathing() { return breath_; }
  // The key triggers; the window gives them their sink and working copies and switches them on
  // and off.
  KeyTriggers& keys() { return keys_; }

  ConsoleLog& console() { return console_; }
  LinkState& link() { return link_; }
  ScanList& scanList() { return scanList_; }
  MeasurementState& measurement() { return measurement_; }
  const MeasurementState& measurement() const { return measurement_; }
  Calibration& calibration() { return calibration_; }
  // The measurement recorder; its file is the real one unless a test or a benchmark sets another.
  Recorder& recorder() { return recorder_; }
  livegraph::LiveGraphModel& graph() { return graph_; }
  const livegraph::LiveGraphModel& graph() const { return graph_; }
  CommandSender& commands() { return commands_; }
  Dispatcher& dispatcher() { return dispatcher_; }
  Stopwatch& stopwatch() { return stopwatch_; }
  Waiter& waiter() { return waiter_; }

 private:
  void handleMeasurementNotification(const BgapiPacket& packet) override;
  // The breathing step: the detector fed with every decoded notification, a peak marked where it
  // was plotted, an apnea's alarm.
  BreathUpdate detectBreath(const NotificationOutcome& out, int plottedSlot, std::uint32_t tick);

  void linkLost(const QString& deviceId, const QString& reason) override;
  void linkBack(const QString& deviceId) override;
  bool reconnect(const QString& deviceId) override;
  void tellLink(LinkEvent event, const QString& deviceId, const QString& reason = QString());
  void tellEvent(MonitorEventKind kind, const QString& text, std::uint32_t tick,
                 std::uint32_t durationMs = 0);
  // The breath detector starts afresh: an apnea it was in is over where the data stopped.
  void resetBreathing();
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
  MeasurementState measurement_;
  Calibration calibration_;
  livegraph::LiveGraphModel graph_;
  PosixAppendFile recordFile_;
  Recorder recorder_{recordFile_};
  ActivityMonitor activity_;
  BreathDetector breath_;
  // The notifications numbered as they come (from 1), and the one each slot of the sweep shows,
  // so that a breath confirmed later (a held one when it is breathed out) finds the slot of its
  // peak for as long as the sweep shows it, and none once the slot has been written again.
  std::uint64_t notifications_ = 0;
  std::array<std::uint64_t, livegraph::kPointCount> slotShows_{};
  // The apnea under way: since when (the last breath's peak), and the latest notification's tick.
  bool apneaOpen_ = false;
  std::uint32_t apneaSince_ = 0;
  std::uint32_t lastNotificationTick_ = 0;
  KeyTriggers keys_;
  CommandSender commands_;
  Dispatcher dispatcher_;
  RxFramer framer_;
  LinkGuard guard_;
  QTimer linkTimer_;
  std::function<bool(const QString&)> reconnect_;
  // In registration order; a slot emptied while the road runs is swept afterwards.
  std::vector<MeasurementConsumer*> consumers_;
  int dispatching_ = 0;
  bool sweep_ = false;
};

}  // namespace kelvaro
